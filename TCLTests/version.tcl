* version.tcl: shows the terminal's serial number and the version of its
* application (firmware).
ISR,'Serial number: '&SN:
ISR,'Firmware version: '&VS:

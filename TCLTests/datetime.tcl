* datetime.tcl: shows the terminal's date as day.month.year and its time.
* KT holds the date as MMDDwYYYY (w: the weekday, 0 = Sunday), UR the time
* as hh:mm:ss.
ISR,'Date: '&KT+2,2&'.'&KT,2&'.'&KT+5,4:
ISR,'Time: '&UR:

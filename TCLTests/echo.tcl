* echo.tcl: stores a text in a variable of its own and shows it again: the
* terminal's application takes statements, keeps what it is given and answers.
IK,'Echo from the terminal',ECHO:
ISR,ECHO:

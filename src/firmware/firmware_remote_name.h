#pragma once

#include <string>
#include <string_view>

namespace kestrix {

class TerminalFields;

// The name under which a firmware file is written to the terminal, from its
// local path (absolute, with "/"). The file's own name is the part after the
// last "/"; a file below the depot's "pcmcia" folder keeps its driver folder
// in front, joined with the terminal's "\" ("wavelan\\driver.sys"). A TCL
// program becomes "talmo.tcl", a text file "talmo.txt", "tcl.bin" is sent as
// "tcl.exe"; "autoexec.bat" goes to the root of drive C, every other name
// into the terminal's program folder (terminalPath's write form).
//
// depotRoot is the folder that holds the depot's "TCL", "Server" and "pcmcia"
// folders: only the part of the path below it is looked at for "pcmcia", so
// a program directory whose own path contains that word, or a file named by
// an absolute path outside the depot, changes nothing.
// It reads no file and checks nothing on the terminal.
std::string remoteFileName(std::string_view localPath, std::string_view depotRoot,
                           const TerminalFields& terminal);

} // namespace kestrix

#pragma once

#include "sim/tftp/tftp_packet.h"

#include <string>
#include <string_view>
#include <variant>

namespace kestrix::sim {

// Maps the name of a file as the program names it on a terminal to a path
// relative to the simulated terminal's directory. The simulator keeps all of
// the terminal's files in one directory: the drive root, the "t7000" folder of
// the older platforms and the plain names of the newer ones are that one
// directory; the "/talmo/" tree is its subdirectory "talmo".
//
//   write names must start with "[" + own serial number + "]"; the prefix is
//     removed (a write without it, or with another serial number, is refused);
//     read names are taken as they are;
//   then one drive prefix is removed, the first that matches of
//     "C@\t7000\"  (backslash, "t7000", backslash: the older platforms)
//     "C@\"        (drive root, as "[SN]C@\packet.ini" and "[SN]C@\autoexec.bat")
//     "C:\\"       (two backslashes) and "C:\" (as "C:\\autoexec.bat" is read);
//   "\" separates folders like "/";
//   without a drive prefix, a name starting with "/talmo/" names a file of the
//     talmo tree ("/talmo/terminal-ui.xml" -> talmo/terminal-ui.xml); any other
//     name starting with "/" or "\" is a host path and refused;
//   every folder and file name left must be non-empty, must not start with "."
//     (so no "." or "..", and no hidden or temporary files of the server) and
//     must not hold control characters.
//
// Examples: "C@\t7000\talmo.cfg", "talmo.cfg" and "[SN]C@\t7000\talmo.cfg" ->
// talmo.cfg; "C:\\autoexec.bat" and "[SN]C@\autoexec.bat" -> autoexec.bat;
// "[SN]/talmo/rfwdownload.trfw" -> talmo/rfwdownload.trfw.
// Names are case-sensitive, as on this system. This does not look at the disk.

// The path under the terminal's directory, folders separated by "/".
struct MappedFileName {
    std::string relativePath;
};

std::variant<MappedFileName, RequestRefusal>
mapTerminalFileName(std::string_view name, TransferDirection direction, std::string_view serialNumber);

} // namespace kestrix::sim

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kestrix {

class TerminalFields;

// The two firmware depots below the program directory: "FirmwareDir/TCL" for
// terminals that run a TCL application, "FirmwareDir/Server" for servers.
enum class FirmwareDepotKind { TCL, Server };

// The depot a terminal takes its firmware from: servers (TCL kinds 3 and 11)
// the server depot, every other terminal the TCL depot.
FirmwareDepotKind depotKindOf(const TerminalFields& terminal);

// The option "BIOS und MONITOR immer ersetzen".
enum class MonitorReplacement { WhenOlder, Always };
// The option "PCMCIA Software immer ersetzen".
enum class PcmciaReplacement { Never, Always };

struct UpdateOptions {
    MonitorReplacement monitor = MonitorReplacement::WhenOlder;
    PcmciaReplacement pcmcia = PcmciaReplacement::Never;
};

// What GetUpdateFiles composes for one terminal: the local files to send, in
// sending order (the monitor file, and on platform group 2 the BIOS file,
// first), and the three version values that steer the update. The monitor
// version values are five-character version keys ("1_06~").
struct UpdateFileList {
    std::vector<std::string> files;
    std::optional<std::size_t> defaultProgram; // index in files of the "Defaultprogramm" file, when one was added
    std::string MinMonitorVersion = "9_99~";
    std::string FileMonitorVersion = "-";
    std::string ConfigVersion = "-";
};

} // namespace kestrix

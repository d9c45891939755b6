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
// FileMonitorVersion and ConfigVersion when the description names no monitor
// file or no configuration version.
inline constexpr const char* kNoFileMonitorVersion = "-";
inline constexpr const char* kNoConfigVersion = "-";

struct UpdateFileList {
    std::vector<std::string> files;
    std::string MinMonitorVersion = "9_99~";
    std::string FileMonitorVersion = kNoFileMonitorVersion;
    std::string ConfigVersion = kNoConfigVersion;
    // The index in files of the language's default TCL program
    // ("Defaultprogramm"), when one was added.
    std::optional<std::size_t> defaultProgram;

    // The indexes in files of the monitor and BIOS files, in list order.
    // A well-formed description names them first ("BIOS" and "MONITOR" sort
    // before "TCL"), but the list is shortened by what the files are, not by
    // where they stand.
    std::vector<std::size_t> monitorFiles;

    bool isMonitorFile(std::size_t index) const;
    // Removes the monitor and BIOS files (of a terminal that keeps its
    // monitor), keeping defaultProgram on its file.
    void removeMonitorFiles();
    // Removes the default program's file, if one was added (for a terminal
    // that keeps its own program); every other file stays.
    void removeDefaultProgram();
};

} // namespace kestrix

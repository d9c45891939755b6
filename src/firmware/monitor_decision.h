#pragma once

#include "firmware/update_files.h"

#include <string>

namespace kestrix {

// Whether an update sends the terminal's monitor (and on platform group 2 its
// BIOS), which are the first files of the update list.
enum class MonitorChoice {
    Replace,        // the terminal's monitor is older than the depot's
    Keep,           // newer or the same: the monitor files are dropped from the list
    KeepAtMinimum,  // newer, "always replace" checked, but the depot's monitor is at or
                    // below the minimum version: dropped, and the sending starts at once
    ReplaceOnLinux, // platform groups 6 and 7: sent with the rest, never compared
    NoMonitorFiles, // the platform has neither monitor nor BIOS file
};

// How many of the update's first files are monitor and BIOS: 2 on platform
// group 2, 1 on groups 3, 5, 6 and 7, else 0.
int monitorFileCount(int platformGroup);

// Whether the decision compares the terminal's monitor version (groups other
// than 6 and 7 that have monitor files); only then the terminal is asked for it.
bool monitorVersionDecides(int platformGroup);

// The decision for a terminal of the platform group whose monitor has the
// version key terminalKey, against the depot's monitor key and the lowest
// monitor key the new firmware runs with. Keys compare as byte strings; an
// unknown terminal key (empty) counts as older. Decides only; it neither asks
// the terminal nor changes the list.
MonitorChoice decideMonitor(int platformGroup, const std::string& terminalKey, const std::string& fileKey,
                            const std::string& minimumKey, MonitorReplacement option);

// Whether the choice sends monitor files (after which a terminal of a
// platform group with a monitor restarts by itself).
constexpr bool replacesMonitor(MonitorChoice choice) {
    return choice == MonitorChoice::Replace || choice == MonitorChoice::ReplaceOnLinux;
}

} // namespace kestrix

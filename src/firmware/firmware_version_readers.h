#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrix {

// The readers that take the firmware version out of a firmware file, one per
// file format. Each opens the file, reads its header, checks it and answers
// the four-character version text ("6.20", "5a50"), or nothing when the file
// cannot be read or is not of its format (with a trace line that says which).
// They read only; they do not decide which file belongs to which terminal.
std::optional<std::string> init_tcl_7450_version(const std::string& path);
std::optional<std::string> init_monitor_7450_version(const std::string& path);
std::optional<std::string> init_tcl_7200_version(const std::string& path);
std::optional<std::string> init_monitor_7200_version(const std::string& path);
std::optional<std::string> init_monitor_9300_version(const std::string& path);
// Nothing only for a file that is no DOS executable; an executable whose
// version pointer or version cannot be read gives "5.01".
std::optional<std::string> init_tcl_7000_version(const std::string& path);

// The five-character version key of a version text: "1.06" gives "1_06~",
// "5a50" gives "5_50a". Only the first four characters count. A text shorter
// than four characters gives the empty key, which sorts before every other
// key (so a minimum monitor version of "1." lets every monitor file pass, and
// a monitor file of unknown version never counts as newer). Traced with the key.
std::string BuildSortMonitorVersion(std::string_view version);

} // namespace kestrix

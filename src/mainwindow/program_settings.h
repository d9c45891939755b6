#pragma once

// The program settings file "Kestrix.ini": the local TFTP port range and the
// initial presentation of the terminal list. Read once at start-up, never
// written by the program.
#include "mainwindow/list_presentation.h"
#include "tftp/tftp_port_range.h"

#include <string>

namespace kestrix {

class CToolBoxLang;
class MessageBoxes;

inline constexpr const char* kSettingsFileName = "Kestrix.ini";

struct ProgramSettings {
    ListPresentation list;
    TftpPortRange tftpPorts; // 0 and 0: the system chooses
};

// Why the settings could not be used.
enum class SettingsResult {
    Read,      // the file was read, or it does not exist (defaults)
    Malformed, // the parser refused the file; its text has been shown; the program ends
};

// `GetIniFile`: sets the defaults, reads the file (a relative name is taken
// from the current directory) and fills settings from its sections "TFTP"
// and "Terminallist", with the trace lines of each key. A wrong port range
// (one of the two 0, maxPort below minPort, minPort below 1024, maxPort above
// 65535) is reset to 0 and 0 and reported with message 83; a malformed file is shown with the
// parser's text. Sets the process-wide TFTP port range from the result.
// The boxes carry the caption "Kestrix IPv4+IPv6".
SettingsResult GetIniFile(const std::string& fileName, const CToolBoxLang& language, MessageBoxes& messageBoxes,
                          ProgramSettings& settings);

} // namespace kestrix

#pragma once

#include "sim/responder.h"
#include "sim/tftp/tftp_server_options.h"

#include <filesystem>
#include <string>

namespace kestrix::sim {

// The terminal's keyboard layout file as its TFTP server serves and takes it.
// The file lies in the terminal's directory under its name there, which the
// test bed (or whoever sets the terminal up) puts in place:
// - platform group 6: "talmo/terminal-ui.xml" (read as "/talmo/terminal-ui.xml");
// - platform group 1: the keyboard driver that the terminal's autoexec.bat
//   starts, a line "C:\T7000\KBD....COM" ("KBD8X8.COM", read as
//   "C@\t7000\KBD8X8.COM");
// - every other group: "KEYB.MAP".
// Group 6 installs a written file by itself: it replaces the file at once.
// The others load their keyboard file when they start: a written one is held
// back (in the folder ".keyboard", which no read reaches) and replaces the
// file at the end of the next restart. It checks nothing of the contents.
class KeyboardFile {
public:
    KeyboardFile(Responder& responder, std::filesystem::path directory);

    // Sets storeWrittenAs and adds the install to the responder's restarts;
    // this object must outlive both.
    void attachTo(TftpServerOptions& options);

    // The keyboard file's path under the directory, empty when the terminal
    // has none (group 1 without a driver in autoexec.bat).
    std::string fileName() const;
    // Where a written file is stored (held back for a restart, or not).
    std::string storeWrittenAs(const std::string& relativePath) const;
    // Puts a held-back file in place; called at the end of a restart.
    void install() const;

private:
    Responder& responder_;
    const int platformGroup_;
    const std::filesystem::path directory_;
};

} // namespace kestrix::sim

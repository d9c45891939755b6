#pragma once

// The TCL console's view for kestrix-cli: the terminal's output on standard
// output as it arrives.
#include "tcl_console/terminal_tcl.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrix::cli {

// Prints every line the terminal sends as one line of its own, as it arrives
// (from the connection's worker thread; the stream is guarded). The terminal
// ends its lines with CR LF and the connection splits at CR, so a line begins
// with the LF of the line before: that LF is dropped. A piece that is only
// that LF (the end of what arrived) is held back: the next line tells whether
// it was an empty line of the terminal (the next one begins with its own LF)
// or the end of the last line (it does not).
//
// It keeps when the terminal last sent something, for the wait until it has
// been quiet. The header, the buttons, the history, the file list and the
// preview are the window's: it shows none of them. The poll timer is the
// subcommand's loop (it calls OnTimer), so starting it always succeeds.
class ConsoleTclView : public TerminalTCLView {
public:
    explicit ConsoleTclView(std::FILE* out = stdout) : out_(out) {}

    void setHeader(const std::string&) override {}
    void setConnectedControlsEnabled(bool) override {}
    void appendOutputLine(const std::string& line) override;
    // The output area was cut: its text ends with the line that came now.
    void replaceOutput(const std::string& text) override;
    void showStatementHistory(const std::vector<std::string>&) override {}
    void setStatementText(const std::string&) override {}
    void showFileList(const std::vector<std::string>&, int) override {}
    void setPreview(const std::string&) override {}
    bool startPollTimer() override { return true; }
    void stopPollTimer() override {}
    std::optional<std::string> askTclFile(const std::string&, const std::string&) override { return std::nullopt; }

    // When the terminal last sent a line (the view's start before the first).
    std::chrono::steady_clock::time_point lastOutput() const;

private:
    void print(const std::string& line);

    std::FILE* out_;
    mutable std::mutex mutex_;
    bool lineFeedHeld_ = false;
    std::chrono::steady_clock::time_point lastOutput_ = std::chrono::steady_clock::now();
};

} // namespace kestrix::cli

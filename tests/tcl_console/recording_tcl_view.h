#pragma once

// A TerminalTCLView for tests: records what the console shows. The output
// calls come from the connection's worker thread, so they are guarded, and a
// test can wait for a number of output lines.
#include "tcl_console/terminal_tcl.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrix::test {

class RecordingTclView : public TerminalTCLView {
public:
    void setHeader(const std::string& text) override { header = text; }
    void setConnectedControlsEnabled(bool enabled) override { connectedControlsEnabled = enabled; }
    void appendOutputLine(const std::string& line) override {
        std::lock_guard lock(lock_.mutex);
        lines_.push_back(line);
        lock_.changed.notify_all();
    }
    void replaceOutput(const std::string&) override {
        std::lock_guard lock(lock_.mutex);
        ++replacements_;
        lock_.changed.notify_all();
    }
    void showStatementHistory(const std::vector<std::string>& entries) override { history = entries; }
    void setStatementText(const std::string& text) override { statementText = text; }
    void showFileList(const std::vector<std::string>& names, int selected) override {
        fileNames = names;
        selectedFile = selected;
    }
    void setPreview(const std::string& text) override { preview = text; }
    bool startPollTimer() override {
        timerRunning = true;
        return true;
    }
    void stopPollTimer() override { timerRunning = false; }
    std::optional<std::string> askTclFile(const std::string& directory, const std::string& filter) override {
        fileDialogDirectory = directory;
        fileDialogFilter = filter;
        return fileAnswer;
    }

    // Waits until at least count output lines arrived (at most the time-out); answers them.
    std::vector<std::string> waitForLines(std::size_t count,
                                          std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock lock(lock_.mutex);
        lock_.changed.wait_for(lock, timeout, [&] { return lines_.size() >= count; });
        return lines_;
    }
    std::vector<std::string> lines() {
        std::lock_guard lock(lock_.mutex);
        return lines_;
    }
    int replacements() {
        std::lock_guard lock(lock_.mutex);
        return replacements_;
    }

    std::string header;
    bool connectedControlsEnabled = false;
    std::vector<std::string> history;
    std::string statementText;
    std::vector<std::string> fileNames;
    int selectedFile = -1;
    std::string preview;
    bool timerRunning = false;
    std::string fileDialogDirectory;
    std::string fileDialogFilter;
    std::optional<std::string> fileAnswer; // nothing: the file dialog is cancelled

private:
    // A recording view is copied like its data (a test may replace a whole
    // RecordingView); the copy gets a lock of its own.
    struct Lock {
        Lock() = default;
        Lock(const Lock&) {}
        Lock& operator=(const Lock&) { return *this; }
        std::mutex mutex;
        std::condition_variable changed;
    };
    Lock lock_;
    std::vector<std::string> lines_;
    int replacements_ = 0;
};

} // namespace kestrix::test

#pragma once

#include "messages/toolbox_lang.h"
#include "reader_security/t7000ip_lbus_comm.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace kestrix::test {

// What a reader operation wrote, as the dialog would show it: each reader's
// last status line, the result bar's range and every position it took, the
// message boxes and the end code. Safe to read while the worker runs.
class RecordingTarget : public LBusCommTarget {
public:
    void setReaderStatus(int reader, const std::string& text) override {
        std::lock_guard lock(mutex_);
        statusLines_[reader] = text;
    }
    void setResultRange(int lower, int upper) override {
        std::lock_guard lock(mutex_);
        range_ = {lower, upper};
    }
    void setResultPosition(int position) override {
        std::lock_guard lock(mutex_);
        positions_.push_back(position);
    }
    void showWorkerMessage(const std::string& text, MessageIcon) override {
        std::lock_guard lock(mutex_);
        messages_.push_back(text);
    }
    const CToolBoxLang& language() const override { return language_; }
    void workerEnded(int endCode) override {
        std::lock_guard lock(mutex_);
        endCode_ = endCode;
        ended_.notify_all();
    }

    // The end code once reported (0 when the time ran out first).
    int waitForEnd(std::chrono::seconds timeout = std::chrono::seconds(120)) {
        std::unique_lock lock(mutex_);
        ended_.wait_for(lock, timeout, [this] { return endCode_ != 0; });
        return endCode_;
    }
    std::map<int, std::string> statusLines() {
        std::lock_guard lock(mutex_);
        return statusLines_;
    }
    std::pair<int, int> range() {
        std::lock_guard lock(mutex_);
        return range_;
    }
    std::vector<int> positions() {
        std::lock_guard lock(mutex_);
        return positions_;
    }
    std::vector<std::string> messages() {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    std::string text(int id) const { return language_.GetText(id); }

private:
    const CToolBoxLang language_{kLocaleIdEnglishUnitedStates};
    std::mutex mutex_;
    std::condition_variable ended_;
    std::map<int, std::string> statusLines_;
    std::pair<int, int> range_{-1, -1};
    std::vector<int> positions_;
    std::vector<std::string> messages_;
    int endCode_ = 0;
};

} // namespace kestrix::test

#include "console_firmware_view.h"

#include <cstdio>

namespace kestrix::cli {

void ConsoleFirmwareView::setSerialNumbers(std::vector<std::string> serialNumbers) {
    const std::lock_guard lock(mutex_);
    serialNumbers_ = std::move(serialNumbers);
}

void ConsoleFirmwareView::setSlotSerialNumber(int slot, const std::string& serialNumber) {
    const std::lock_guard lock(mutex_);
    slotSerialNumbers_[slot] = serialNumber;
}

void ConsoleFirmwareView::slotHeader(int slot, const std::string& text) {
    if (text.empty())
        return; // the slot is freed; its last lines keep their serial number
    {
        const std::lock_guard lock(mutex_);
        // The longest serial number standing as a word of the header, so that
        // "1001" never takes the lines of "100101".
        std::string found;
        const std::string words = " " + text + " ";
        for (const std::string& serialNumber : serialNumbers_)
            if (serialNumber.size() > found.size() &&
                words.find(" " + serialNumber + " ") != std::string::npos)
                found = serialNumber;
        slotSerialNumbers_[slot] = found.empty() ? "slot " + std::to_string(slot + 1) : found;
    }
    printLine(slot, text);
}

void ConsoleFirmwareView::slotMessage(int slot, const std::string& text) {
    if (!text.empty())
        printLine(slot, text);
}

void ConsoleFirmwareView::printLine(int slot, const std::string& text) {
    const std::lock_guard lock(mutex_);
    const auto found = slotSerialNumbers_.find(slot);
    const std::string serialNumber =
        found != slotSerialNumbers_.end() ? found->second : "slot " + std::to_string(slot + 1);
    // Under the lock, so that lines of two slots never mix.
    std::fprintf(stderr, "%s: %s\n", serialNumber.c_str(), text.c_str());
    std::fflush(stderr);
}

void ConsoleFirmwareView::setStartEnabled(bool enabled) {
    const std::lock_guard lock(mutex_);
    startEnabled_ = enabled;
}

bool ConsoleFirmwareView::startEnabled() const {
    const std::lock_guard lock(mutex_);
    return startEnabled_;
}

void ConsoleFirmwareView::postSchedulerEnd() {
    {
        const std::lock_guard lock(mutex_);
        schedulerEnded_ = true;
    }
    changed_.notify_all();
}

void ConsoleFirmwareView::interrupt() {
    {
        const std::lock_guard lock(mutex_);
        interruptPending_ = true;
    }
    changed_.notify_all();
}

RunEvent ConsoleFirmwareView::waitForEvent() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return schedulerEnded_ || interruptPending_; });
    if (schedulerEnded_)
        return RunEvent::SchedulerEnded;
    interruptPending_ = false;
    return RunEvent::Interrupted;
}

} // namespace kestrix::cli

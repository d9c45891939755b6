#pragma once

#include <cstdint>
#include <string>

namespace kestrix {

// Which number of a display slot a progress report sets.
enum class ProgressValue {
    TotalKiB, // the file's size in KiB, rounded up: sets the bar's range and puts it back to 0
    SentKiB,  // the whole KiB sent so far: sets the bar's position
};

// Receives the progress of a file transfer for one display slot of its owner
// (the firmware update dialog shows one slot per running update). It is told
// texts and numbers only; it draws nothing itself and cannot stop a transfer.
// Called on the transferring thread.
class TransferProgress {
public:
    virtual ~TransferProgress() = default;
    // The slot's label: the file's name followed by ":".
    virtual void slotLabel(int slot, const std::string& text) = 0;
    virtual void slotValue(int slot, ProgressValue kind, std::uint64_t kibibytes) = 0;
};

} // namespace kestrix

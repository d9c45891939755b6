#pragma once

#include "tftp/transfer_progress.h"

#include <string>

namespace kestrix {

// Which number of a slot's terminal bar a report sets.
enum class FileCountValue {
    Total, // the number of files to send: sets the bar's range and puts it back to 0
    Sent,  // the files sent so far: sets the bar's position
};

// The display of the firmware update dialog's two slots (0 and 1) and its
// overall bar, as the scheduler, the per-terminal updates and their TFTP
// transfers report to it. Every call may come from a worker thread; a view
// that draws with a toolkit forwards each call to its user-interface thread.
// The TransferProgress part is the file label ("<file>:") and the KiB bar.
//
// It holds no state the updates read back and decides nothing.
class FirmwareSlots : public TransferProgress {
public:
    // The slot's header line (the terminal with its running firmware); empty clears it.
    virtual void slotHeader(int slot, const std::string& text) = 0;
    // Appends a line to the slot's message list and selects it; an empty text clears the list.
    virtual void slotMessage(int slot, const std::string& text) = 0;
    // The terminal label: "Terminal:" or "Terminal <serial number>:".
    virtual void slotTerminal(int slot, const std::string& text) = 0;
    virtual void slotFileCount(int slot, FileCountValue kind, int files) = 0;
    // One more terminal has finished (with success or not).
    virtual void advanceOverall() = 0;
};

} // namespace kestrix

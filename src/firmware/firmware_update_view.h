#pragma once

#include "firmware/firmware_slots.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kestrix {

// The four choice lists of the firmware update dialog.
enum class FirmwareChoice { TclVersion, ServerVersion, TclLanguage, ServerLanguage };

// What the firmware update dialog shows besides its slots: the four lists,
// which controls are enabled, the overall bar's range, and the scheduler's
// end message. Its FirmwareSlots part is called from worker threads; a view
// that draws with a toolkit forwards those calls to its user-interface thread.
class FirmwareUpdateView : public FirmwareSlots {
public:
    // A list's entries and its selected one.
    virtual void showChoices(FirmwareChoice list, const std::vector<std::string>& entries,
                             std::size_t selected) = 0;
    // The four lists.
    virtual void setListsEnabled(bool enabled) = 0;
    // The two options.
    virtual void setOptionsEnabled(bool enabled) = 0;
    virtual void setStartEnabled(bool enabled) = 0;
    virtual void setCancelEnabled(bool enabled) = 0;
    // The overall bar: range 0..terminals, position 0.
    virtual void setOverallRange(int terminals) = 0;
    // "MsgSchedFirmUpdEnd": the scheduler has ended (called on its thread).
    // The view calls FirmwareUpdate::OnSchedFirmUpdEnd later on its own
    // thread, never inside this call.
    virtual void postSchedulerEnd() = 0;
};

} // namespace kestrix

#pragma once

#include "config/setup_page.h"
#include "config/setup_spin_range.h"

#include <string>
#include <vector>

namespace kestrix {

// Whether the terminal reported a Wiegand interface (its system information).
enum class WiegandInterface { Present, Absent };

// The internal reader's types, in list order (the low nibble of the type byte).
enum class InternalReaderType { ClockData = 0, SerialStandard = 1, SerialHitag = 2 };

// The controls of the internal reader page; -1 selects nothing.
struct ReaderPageValues {
    int type = 0;               // "Lesertyp": index of InternalReaderType
    int mode = 0;               // "Lesermodus": index into modeNames()
    bool furtherOption = false; // the check box stored as bit 7 of the type byte
    int chipcard1 = 0;          // "Chipcard Parameter:" first number
    int chipcard2 = 0;          // and second
};

// The "Interner Leser" page: the internal reader's type and mode (bytes 974
// and 975, the mode numbered across the types: clock-data 0-4 with Wiegand
// at 3 and barcode always at 4, serial standard 5-6, serial Hitag 7-12), the
// further option in bit 7 of the type byte and the two chipcard parameters,
// which are written only for serial standard in Standard/Chipcard mode.
//
// "Wiegand" is offered on a terminal with a Wiegand interface, and also
// while the block holds it, so that an untouched page writes back what it
// read. A type or mode the lists do not have selects nothing, and Put then
// keeps both bytes. It never stops OK and does not decide whether the tab
// exists (shown does).
class SetupPageReader : public SetupPage {
public:
    static constexpr SpinRange kChipcardParameter{0, 65535, 1};

    SetupPageReader(const SetupContext& context, WiegandInterface wiegand);

    void Get(const SetupBlock& block) override;
    bool Put(SetupBlock& block) override;

    // Terminals with an internal reader: every product but the door control
    // units (the DCU4 and DCU8 families and the DCU40), whose readers are on
    // the LBus.
    static bool shown(const SetupContext& context);

    std::vector<std::string> typeNames() const;
    // The modes of the page's type (empty when it selects nothing).
    std::vector<std::string> modeNames() const;
    // The view chose another type: its first mode is selected.
    void selectType(int type);
    // The mode number (byte 975) of a type and mode list index; -1 when the
    // lists have no such entry.
    int modeNumber(int type, int modeIndex) const;
    bool chipcardParametersEnabled() const;
    // The label of the further option: the message table names none, so it
    // says where the box is stored.
    std::string furtherOptionLabel() const;

    ReaderPageValues values;

private:
    bool wiegandOffered() const;

    const SetupContext& context_;
    WiegandInterface wiegand_;
    bool blockHoldsWiegand_ = false;
};

} // namespace kestrix

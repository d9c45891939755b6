#pragma once

// The rules of the LBus security functions that the dialog and the command
// line share: which actions an access grade and a terminal's version offer,
// which action comes preselected, which readers are offered and checked for
// an action, the reader mask, and the command line's reader lists
// ("1,2,5-8"). Pure functions: they show nothing and send nothing.
#include "config/config_block.h"
#include "reader_security/t7000ip_lbus_comm.h"

#include <array>
#include <optional>
#include <string_view>

namespace kestrix {

class TerminalFields;

inline constexpr int kReaderLines = 17; // reader 0 (internal) and readers 1-16

// Why an action is not offered.
enum class LBusRefusal {
    None,
    AccessGrade,    // grade 2: only the parameter card actions
    CardVersion,    // version key below "6_04~": only the key transfer
    UpdatePlatform, // updates need platform group 6 or 7
    UpdateVersion,  // updates need version key "6_20a" at least
};

LBusRefusal actionRefusal(LBusFunction action, int grade, const TerminalFields& terminal);
// The release-card action from version key "6_04~" on, else the key transfer.
LBusFunction preselectedAction(const TerminalFields& terminal);
bool isReaderUpdate(LBusFunction action);

// One reader's check box.
enum class ReaderOffer { Disabled, Checked };
using ReaderOffers = std::array<ReaderOffer, kReaderLines>;
// Readers 1-16 that the security functions serve are offered and checked;
// reader 0 likewise, except with the key transfer.
ReaderOffers readerOffers(const UserParamBlock& block, LBusFunction action);

// Bit n for every checked reader n; the key transfer counts readers 1-16 only.
unsigned readerMask(const std::array<bool, kReaderLines>& checked, LBusFunction action);

// A list of reader numbers and ranges, "1,2,5-8", as a mask; empty for a
// malformed list or a number outside 0-16.
std::optional<unsigned> parseReaderList(std::string_view list);

} // namespace kestrix

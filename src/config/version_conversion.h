#pragma once

// Converting a configuration block to another version of the version table.
#include "config/config_block.h"

#include <string_view>

namespace kestrix {

// Converts the block, of the version at versionIndex, to newVersion one step
// at a time along the version table; each step is chosen by the block's four
// version characters and must find there the version the walk has reached.
// owner supplies the terminal's properties that some steps read, doSwap says
// that the block's 16- and 32-bit fields are stored most significant byte
// first (the steps carry them as they stand and read only the summer times).
//
// An unknown newVersion returns false and leaves the block unchanged; the
// block's own version returns true. When the walk cannot start (the block's
// characters are not the version at versionIndex) it returns false with the
// block unchanged. On success versionIndex becomes newVersion's index; on
// failure it stays. Warnings of single steps (a MUX setup or group size
// that the older version cannot hold, a summer-time rule that becomes no
// change-over) are traced and do not stop a conversion. Writes the
// setUserParamVersion trace lines.
bool setBlockVersion(UserParamBlock& block, int& versionIndex, std::string_view newVersion,
                     const BlockOwner& owner, bool doSwap);

} // namespace kestrix

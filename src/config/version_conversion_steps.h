#pragma once

// The single steps between neighbouring rows of the version table. Each step
// takes a block of its source version and leaves one of its target version:
// it copies the old block aside, zeroes all 1242 bytes, moves the fields it
// carries, sets the bytes it forces and writes the new version's four
// characters. A step does not check the block's version; setBlockVersion
// chooses the step by it. Multi-byte fields are moved as they stand, in the
// block's byte order; only the summer-time step reads and writes times, in
// the byte order it is given.
#include "config/config_block.h"
#include "config/user_param.h"

#include <string_view>

namespace kestrix {

// What a step reads besides the block: the terminal the block belongs to and
// the byte order of the block's 16- and 32-bit fields.
struct StepContext {
    const BlockOwner& owner;
    BlockByteOrder byteOrder;
};

// A step of the version table in one direction.
using ConversionStep = void (*)(UserParamBlock& block, const StepContext& context);

// "4.10" <-> "5.00" <-> "5.10" <-> "5.50" <-> "5.91"
void conv_500_from_410(UserParamBlock& block, const StepContext& context);
void conv_410_from_500(UserParamBlock& block, const StepContext& context);
void conv_510_from_500(UserParamBlock& block, const StepContext& context);
void conv_500_from_510(UserParamBlock& block, const StepContext& context);
void conv_550_from_510(UserParamBlock& block, const StepContext& context);
void conv_510_from_550(UserParamBlock& block, const StepContext& context);
void conv_591_from_550(UserParamBlock& block, const StepContext& context);
void conv_550_from_591(UserParamBlock& block, const StepContext& context);

// "5.93" <-> "6.00"
void conv_600_from_593(UserParamBlock& block, const StepContext& context);
void conv_593_from_600(UserParamBlock& block, const StepContext& context);

// "6.01" <-> "6.02" <-> ... <-> "6.20"
void conv_602_from_601(UserParamBlock& block, const StepContext& context);
void conv_601_from_602(UserParamBlock& block, const StepContext& context);
void conv_610_from_603(UserParamBlock& block, const StepContext& context);
void conv_603_from_610(UserParamBlock& block, const StepContext& context);
void conv_620_from_611(UserParamBlock& block, const StepContext& context);
void conv_611_from_620(UserParamBlock& block, const StepContext& context);

} // namespace kestrix

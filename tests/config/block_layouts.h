#pragma once

// The nine layouts of the configuration block as the tests know them: every
// byte between the version characters and the CRC belongs to exactly one
// field, and a field that several layouts share has its offset in each. The
// tests build blocks from these fields, each with its own byte pattern, so a
// byte that a conversion moves to the wrong place or drops shows.
#include "config/config_block.h"

#include <array>
#include <span>
#include <string_view>

namespace kestrix::test {

// The layouts in table order: "4.10", "5.00", "5.10", "5.50", "5.91"-"5.93",
// "6.00"/"6.01", "6.02"/"6.03", "6.10"/"6.11", "6.20"/"6.21".
inline constexpr std::size_t kLayoutCount = 9;
inline constexpr int kAbsent = -1;

struct BlockField {
    std::string_view name;
    std::size_t width;
    std::array<int, kLayoutCount> offsets; // kAbsent where the layout lacks the field
};

std::size_t layoutOfVersion(int versionIndex);
std::span<const BlockField> blockFields();
// A block of the version whose every field holds its own pattern.
UserParamBlock patternBlock(int versionIndex);
void writeVersionCharacters(UserParamBlock& block, int versionIndex);
// A zeroed block of the version.
UserParamBlock emptyBlock(int versionIndex);

// A server of platform group 1 (product 1, serial number "12345678", firmware
// "6.20"), which has no TCL application area, and the same terminal running TCL.
BlockOwner serverOwner();
BlockOwner tclOwner();

// The block converted from one version index to another; the conversion must succeed.
UserParamBlock converted(UserParamBlock block, int fromIndex, int toIndex, const BlockOwner& owner,
                         bool doSwap = false);

} // namespace kestrix::test

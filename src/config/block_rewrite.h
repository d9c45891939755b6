#pragma once

// The frame every version conversion step works in.
#include "config/config_block.h"
#include "config/user_param.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kestrix {

// A run of bytes that one conversion step carries: `length` bytes at
// `lowerOffset` in the older version's layout and at `upperOffset` in the
// newer one. The same list serves both directions of a step.
struct FieldMove {
    std::size_t lowerOffset;
    std::size_t upperOffset;
    std::size_t length;
};

// Which way a step walks the version table.
enum class StepDirection { Up, Down };

// Whether every move of a list lies within the parameters of both layouts:
// behind the four version characters and before the CRC. Checked at compile
// time for every list of moves.
constexpr bool movesFitLayouts(std::span<const FieldMove> moves, std::size_t lowerLength,
                               std::size_t upperLength) {
    for (const FieldMove& move : moves) {
        const bool lowerFits = move.lowerOffset >= 4 && move.lowerOffset + move.length <= lowerLength - 2;
        const bool upperFits = move.upperOffset >= 4 && move.upperOffset + move.length <= upperLength - 2;
        if (move.length == 0 || !lowerFits || !upperFits)
            return false;
    }
    return lowerLength <= kUserParamSize && upperLength <= kUserParamSize;
}

// One conversion step on a block: the old block is copied aside and all 1242
// bytes of the block are zeroed at construction; the step then moves the
// fields it carries from the old block, sets the bytes it forces and at last
// writes the new version's four characters. Bytes the step does not write
// stay zero.
//
// It does not choose what to move: the steps do. Every offset is checked
// against the buffer, so a wrong offset throws std::out_of_range instead of
// touching memory beyond the block; the contents of the old block never
// decide an offset.
class BlockRewrite {
public:
    BlockRewrite(UserParamBlock& block, BlockByteOrder byteOrder);
    BlockRewrite(const BlockRewrite&) = delete;
    BlockRewrite& operator=(const BlockRewrite&) = delete;

    BlockByteOrder byteOrder() const { return byteOrder_; }

    // The old block's bytes.
    std::uint8_t oldByte(std::size_t offset) const;
    std::span<const std::uint8_t> oldBytes(std::size_t offset, std::size_t length) const;

    // Copies old bytes to the new block.
    void move(std::size_t oldOffset, std::size_t newOffset, std::size_t length);
    // Carries the listed moves in the given direction: upward from each
    // move's lower offset to its upper one, downward the other way. Moves are
    // carried in list order, so a later move overwrites an earlier one.
    void moveAll(std::span<const FieldMove> moves, StepDirection direction);

    // The new block's bytes so far.
    std::uint8_t newByte(std::size_t offset) const;
    void setByte(std::size_t offset, std::uint8_t value);
    void setBytes(std::size_t offset, std::span<const std::uint8_t> bytes);
    std::span<std::uint8_t> newBytes(std::size_t offset, std::size_t length);

    // Writes the new version's four characters into bytes 0-3.
    void writeVersion(std::string_view version);

private:
    UserParamBlock old_;
    UserParamBlock& block_;
    BlockByteOrder byteOrder_;
};

} // namespace kestrix

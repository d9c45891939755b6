#include "config/block_rewrite.h"

#include <algorithm>
#include <stdexcept>

namespace kestrix {

namespace {

void checkRange(std::size_t offset, std::size_t length) {
    if (offset > kUserParamSize || length > kUserParamSize - offset)
        throw std::out_of_range("configuration block offset beyond the block");
}

} // namespace

BlockRewrite::BlockRewrite(UserParamBlock& block, BlockByteOrder byteOrder)
    : old_(block), block_(block), byteOrder_(byteOrder) {
    block_.fill(0);
}

std::uint8_t BlockRewrite::oldByte(std::size_t offset) const {
    return old_.at(offset);
}

std::span<const std::uint8_t> BlockRewrite::oldBytes(std::size_t offset, std::size_t length) const {
    checkRange(offset, length);
    return std::span<const std::uint8_t>(old_).subspan(offset, length);
}

void BlockRewrite::move(std::size_t oldOffset, std::size_t newOffset, std::size_t length) {
    setBytes(newOffset, oldBytes(oldOffset, length));
}

void BlockRewrite::moveAll(std::span<const FieldMove> moves, StepDirection direction) {
    for (const FieldMove& field : moves) {
        if (direction == StepDirection::Up)
            move(field.lowerOffset, field.upperOffset, field.length);
        else
            move(field.upperOffset, field.lowerOffset, field.length);
    }
}

std::uint8_t BlockRewrite::newByte(std::size_t offset) const {
    return block_.at(offset);
}

void BlockRewrite::setByte(std::size_t offset, std::uint8_t value) {
    block_.at(offset) = value;
}

void BlockRewrite::setBytes(std::size_t offset, std::span<const std::uint8_t> bytes) {
    std::ranges::copy(bytes, newBytes(offset, bytes.size()).begin());
}

std::span<std::uint8_t> BlockRewrite::newBytes(std::size_t offset, std::size_t length) {
    checkRange(offset, length);
    return std::span<std::uint8_t>(block_).subspan(offset, length);
}

void BlockRewrite::writeVersion(std::string_view version) {
    std::span<std::uint8_t> characters = newBytes(0, 4);
    std::fill(characters.begin(), characters.end(), 0);
    std::copy_n(version.begin(), std::min<std::size_t>(version.size(), 4), characters.begin());
}

} // namespace kestrix

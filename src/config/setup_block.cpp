#include "config/setup_block.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace kestrix {

std::span<const std::uint8_t> SetupBlock::span(std::size_t offset, std::size_t width) const {
    if (offset > bytes_.size() || width > bytes_.size() - offset)
        throw std::out_of_range("setup block field beyond the block");
    return std::span<const std::uint8_t>(bytes_).subspan(offset, width);
}

std::span<std::uint8_t> SetupBlock::span(std::size_t offset, std::size_t width) {
    if (offset > bytes_.size() || width > bytes_.size() - offset)
        throw std::out_of_range("setup block field beyond the block");
    return std::span<std::uint8_t>(bytes_).subspan(offset, width);
}

std::uint8_t SetupBlock::byte(std::size_t offset) const {
    return span(offset, 1)[0];
}

void SetupBlock::setByte(std::size_t offset, std::uint8_t value) {
    span(offset, 1)[0] = value;
}

std::uint16_t SetupBlock::unsigned16(std::size_t offset) const {
    std::uint16_t value = 0;
    std::memcpy(&value, span(offset, 2).data(), 2);
    return value;
}

void SetupBlock::setUnsigned16(std::size_t offset, std::uint16_t value) {
    std::memcpy(span(offset, 2).data(), &value, 2);
}

std::uint32_t SetupBlock::unsigned32(std::size_t offset) const {
    std::uint32_t value = 0;
    std::memcpy(&value, span(offset, 4).data(), 4);
    return value;
}

void SetupBlock::setUnsigned32(std::size_t offset, std::uint32_t value) {
    std::memcpy(span(offset, 4).data(), &value, 4);
}

std::uint32_t SetupBlock::ipv4Number(std::size_t offset) const {
    const std::span<const std::uint8_t> bytes = span(offset, 4);
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void SetupBlock::setIpv4Number(std::size_t offset, std::uint32_t value) {
    const std::span<std::uint8_t> bytes = span(offset, 4);
    for (std::size_t index = 0; index < 4; ++index)
        bytes[index] = static_cast<std::uint8_t>(value >> (8 * index));
}

std::string SetupBlock::text(const BlockField& field) const {
    const std::span<const std::uint8_t> bytes = span(field.offset, field.width);
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return std::string(bytes.begin(), end);
}

void SetupBlock::setText(const BlockField& field, std::string_view text) {
    const std::span<std::uint8_t> bytes = span(field.offset, field.width);
    std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
    std::copy_n(text.begin(), std::min(text.size(), bytes.size()), bytes.begin());
}

std::uint32_t SetupBlock::number(const BlockField& field) const {
    switch (field.format) {
    case FieldFormat::Byte:
        return byte(field.offset);
    case FieldFormat::Native16:
        return unsigned16(field.offset);
    case FieldFormat::Native32:
        return unsigned32(field.offset);
    case FieldFormat::Ipv4Number:
        return ipv4Number(field.offset);
    default:
        throw std::invalid_argument("not a number field: " + std::string(field.key));
    }
}

void SetupBlock::setNumber(const BlockField& field, std::uint32_t value) {
    switch (field.format) {
    case FieldFormat::Byte:
        return setByte(field.offset, static_cast<std::uint8_t>(value));
    case FieldFormat::Native16:
        return setUnsigned16(field.offset, static_cast<std::uint16_t>(value));
    case FieldFormat::Native32:
        return setUnsigned32(field.offset, value);
    case FieldFormat::Ipv4Number:
        return setIpv4Number(field.offset, value);
    default:
        throw std::invalid_argument("not a number field: " + std::string(field.key));
    }
}

} // namespace kestrix

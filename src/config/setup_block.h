#pragma once

#include "config/config_block.h"
#include "config/setup_fields.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kestrix {

// The setup editor's working copy of a block: all 1242 bytes of the newest
// layout with the terminal's multi-byte numbers in this machine's byte order
// (UserParam::copyUserParamOut/copyUserParamIn convert). Every page reads
// and writes its fields here, by the field map's offsets. A read or write
// that would reach beyond the block throws std::out_of_range: a page never
// writes outside its field.
//
// It does not know what a field means or check values: the pages do.
class SetupBlock {
public:
    SetupBlock() = default;
    explicit SetupBlock(const UserParamBlock& bytes) : bytes_(bytes) {}

    UserParamBlock& bytes() { return bytes_; }
    const UserParamBlock& bytes() const { return bytes_; }

    std::uint8_t byte(std::size_t offset) const;
    void setByte(std::size_t offset, std::uint8_t value);
    // 16- and 32-bit numbers in this machine's order (the Native formats).
    std::uint16_t unsigned16(std::size_t offset) const;
    void setUnsigned16(std::size_t offset, std::uint16_t value);
    std::uint32_t unsigned32(std::size_t offset) const;
    void setUnsigned32(std::size_t offset, std::uint32_t value);
    // An IPv4 number (first octet most significant), stored least significant byte first.
    std::uint32_t ipv4Number(std::size_t offset) const;
    void setIpv4Number(std::size_t offset, std::uint32_t value);

    std::span<const std::uint8_t> span(std::size_t offset, std::size_t width) const;
    std::span<std::uint8_t> span(std::size_t offset, std::size_t width);

    // The characters of a text field up to its first zero byte (at most the width).
    std::string text(const BlockField& field) const;
    // Stores a text zero-padded to the field's width; a longer text is cut
    // at the width (the caller checks lengths it must refuse).
    void setText(const BlockField& field, std::string_view text);

    // The same by field (Byte, Native16, Native32 and Ipv4Number fields).
    std::uint32_t number(const BlockField& field) const;
    void setNumber(const BlockField& field, std::uint32_t value);

private:
    UserParamBlock bytes_{};
};

} // namespace kestrix

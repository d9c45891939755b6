#pragma once

// Two configuration blocks of the newest layout compared field by field
// through the field map: each named field whose bytes differ, with both
// values as text, and each run of differing bytes that no field names, by
// offset. The two bytes of the CRC that closes the block are left out: they
// follow from the others.
//
// It neither reads files nor converts: the caller brings both blocks to the
// newest layout first and hands them over in this machine's byte order
// (UserParam::copyUserParamOut), so that a little- and a big-endian block
// compare by their values.
#include "config/config_block.h"
#include "config/setup_fields.h"

#include <span>
#include <string>
#include <vector>

namespace kestrix {

// Whether the values of secret fields are written or masked.
enum class SecretDisplay { Masked, Shown };

struct BlockDifference {
    std::string name; // the field's key ("ipv4-address", "channel[2].flags"), or "offset N" / "offset N-M"
    const BlockField* field; // nullptr for unnamed bytes
    std::size_t offset;
    std::size_t width;
    std::string first, second; // the values as text
};

// The differences of two blocks of the newest layout (1242 bytes), in
// offset order. A field that holds others (the secret area) is reported only
// for differing bytes of its own.
std::vector<BlockDifference> blockDifferences(const UserParamBlock& first, const UserParamBlock& second,
                                              SecretDisplay secrets);

// A field's value as text: numbers in decimal, addresses in their usual
// form, texts quoted with non-printable bytes as \xNN, raw bytes in hex. The
// bytes are in this machine's byte order.
std::string blockFieldText(const BlockField& field, std::span<const std::uint8_t> bytes);

// Bytes as text: printable characters as they are, others as \xNN, up to the
// first zero byte, in single quotes.
std::string readableBlockText(std::span<const std::uint8_t> bytes);

} // namespace kestrix

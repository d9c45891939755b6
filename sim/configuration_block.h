#pragma once

#include "crypto/aes.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

namespace kestrix::sim {

// The byte order of a configuration block's 16- and 32-bit fields and CRC:
// a block whose fourth version character is odd ("6.21") comes from a
// big-endian terminal.
enum class BlockOrder { LittleEndian, BigEndian };

// What the terminal takes from a written talmo.cfg at its next restart.
// Addresses are in network byte order.
struct BlockSettings {
    std::string version;
    std::uint32_t ipv4Address = 0;
    std::uint32_t ipv4Mask = 0;
    std::uint32_t ipv4Router = 0;
    std::string dhcpName;
    std::uint16_t maintenanceGroup = 0;
    std::uint16_t tclPort = 0;
    bool tclEncrypt = false;
    AesKey tclKey{}; // deciphered
};

// A block of an older layout that the terminal stores but takes nothing from.
struct StoredOnly {
    std::string version;
};

// A block the terminal refuses, with the reason its TFTP error tells.
struct Refused {
    std::string reason;
};

using BlockVerdict = std::variant<BlockSettings, StoredOnly, Refused>;

// Checks a talmo.cfg as the terminal does when it is written: a version of
// the layout table, exactly that version's length and, for a little-endian
// block, the CRC-16/ARC over all bytes before the last two (big-endian blocks
// are taken without a CRC check, as the program reads them). Blocks of the
// layouts "6.10" to "6.21" give their settings, read from the terminal's own
// offsets in the block's byte order (the TCL key deciphered; a server keeps
// it in clear); older layouts are only stored.
BlockVerdict checkWrittenBlock(std::span<const std::uint8_t> file, bool server);

// The layouts that hold the TCL key at 1072 ("6.10" to "6.21"): the block's
// length and byte order, or nothing for any other file (too short included).
struct KeyLayout {
    std::size_t length;
    BlockOrder order;
};
std::optional<KeyLayout> keyLayout(std::span<const std::uint8_t> file);

// Puts the key into a block of those layouts as the terminal keeps it
// (enciphered like its passwords; in clear on a server) and renews the CRC
// when it was right (a wrong one stays wrong).
void putTclKey(std::span<std::uint8_t> file, const KeyLayout& layout, const AesKey& key, bool server);

} // namespace kestrix::sim

#pragma once

// The terminal's configuration block ("talmo.cfg") as bytes: its fifteen
// format versions, their lengths, and the properties of the terminal that some
// conversions read. The block format is the terminal's; every offset and
// width in this folder is binding.
#include "terminal/product_rules.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrix {

class TerminalFields;

// Every buffer that holds a block has the size of the largest version.
inline constexpr std::size_t kUserParamSize = 1242;
using UserParamBlock = std::array<std::uint8_t, kUserParamSize>;

// One row of the version table: the four version characters at the block's
// start and the block's fixed length.
struct ConfigVersion {
    std::string_view text;
    std::size_t length;
};

// The version table `m_Cfg_Versions`, in the order conversions walk it.
inline constexpr std::array<ConfigVersion, 15> kConfigVersions{{
    {"4.10", 450},  {"5.00", 480},  {"5.10", 482},  {"5.50", 646},  {"5.91", 826},
    {"5.92", 826},  {"5.93", 826},  {"6.00", 1100}, {"6.01", 1100}, {"6.02", 1116},
    {"6.03", 1116}, {"6.10", 1122}, {"6.11", 1122}, {"6.20", 1242}, {"6.21", 1242},
}};

// The row index of a version text (exact four characters), or nothing.
inline std::optional<int> configVersionIndex(std::string_view text) {
    for (std::size_t index = 0; index < kConfigVersions.size(); ++index)
        if (kConfigVersions[index].text == text)
            return static_cast<int>(index);
    return std::nullopt;
}

// Whether a block of this version comes from a big-endian terminal: bit 0 of
// its fourth version character ("5.91", "5.93", "6.01", "6.03", "6.11", "6.21").
inline bool isBigEndianVersion(std::string_view text) {
    return text.size() == 4 && (static_cast<unsigned char>(text[3]) & 1U) != 0;
}

// What the conversions and the secret-field cipher read of the terminal the
// block belongs to. Its predicates apply the terminal record's product rules
// to these fields (the command line fills them without a record).
struct BlockOwner {
    bool isServer = false;    // TclKind 3 or 11: no TCL application area
    int platformGroup = -1;   // PlatformGroup
    int productType = 0;      // ProductType
    std::string serialNumber; // SerialNumber
    std::string versionKey;   // sortVersion(): the version sort key of the running version

    bool hasTclApplicationArea() const { return !isServer; }
    bool runsLinux() const { return platformRunsLinux(platformGroup); }
    bool negotiatesLinkSpeed() const { return platformNegotiatesLinkSpeed(platformGroup); }
    bool hasDcu4Lbus() const { return productHasDcu4Lbus(productType); }
};

// The properties of a terminal record.
BlockOwner blockOwnerOf(const TerminalFields& terminal);

} // namespace kestrix

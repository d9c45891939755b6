#include "sim/configuration_block.h"

#include "config/secret_fields.h"
#include "crypto/aes_ofb.h"
#include "crypto/crc16_arc.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace kestrix::sim {
namespace {

// The layouts the terminal knows and their lengths.
struct Layout {
    std::string_view version;
    std::size_t length;
};
constexpr std::array<Layout, 15> kLayouts{{{"4.10", 450},
                                           {"5.00", 480},
                                           {"5.10", 482},
                                           {"5.50", 646},
                                           {"5.91", 826},
                                           {"5.92", 826},
                                           {"5.93", 826},
                                           {"6.00", 1100},
                                           {"6.01", 1100},
                                           {"6.02", 1116},
                                           {"6.03", 1116},
                                           {"6.10", 1122},
                                           {"6.11", 1122},
                                           {"6.20", 1242},
                                           {"6.21", 1242}}};

// Where "6.10" to "6.21" keep what the terminal takes at its restart (both
// layouts agree up to the end of the TCL area at 1115).
constexpr std::size_t kIpv4Address = 12; // IPv4 numbers: always least significant byte first
constexpr std::size_t kIpv4Router = 16;
constexpr std::size_t kIpv4Mask = 20;
constexpr std::size_t kMaintenanceGroup = 60; // 16-bit, block order
constexpr std::size_t kDhcpName = 64;         // zero-terminated text
constexpr std::size_t kDhcpNameWidth = 20;
constexpr std::size_t kHostPort = 146; // 16-bit, block order
constexpr std::size_t kTclKey = 1072;  // 16 bytes, enciphered outside a server
constexpr std::size_t kTclEncrypt = 1088;
// Where the key lies in the secret-field stream: after the setup passwords
// (6 + 8 + 8), the 48-byte area and the TCL area's two passwords (8 + 8).
constexpr std::size_t kKeyStreamOffset = 86;

const Layout* findLayout(std::span<const std::uint8_t> file) {
    if (file.size() < 4)
        return nullptr;
    const std::string_view version(reinterpret_cast<const char*>(file.data()), 4);
    const auto found = std::ranges::find(kLayouts, version, &Layout::version);
    return found == kLayouts.end() ? nullptr : &*found;
}

BlockOrder blockOrder(const Layout& layout) {
    return (layout.version[3] & 1) != 0 ? BlockOrder::BigEndian : BlockOrder::LittleEndian;
}

std::uint16_t word(std::span<const std::uint8_t> file, std::size_t offset, BlockOrder order) {
    const std::uint8_t first = file[offset], second = file[offset + 1];
    return order == BlockOrder::BigEndian ? static_cast<std::uint16_t>(first << 8 | second)
                                          : static_cast<std::uint16_t>(second << 8 | first);
}

void putWord(std::span<std::uint8_t> file, std::size_t offset, std::uint16_t value, BlockOrder order) {
    const auto high = static_cast<std::uint8_t>(value >> 8), low = static_cast<std::uint8_t>(value);
    file[offset] = order == BlockOrder::BigEndian ? high : low;
    file[offset + 1] = order == BlockOrder::BigEndian ? low : high;
}

// An IPv4 number (least significant byte first, a.b.c.d with a most
// significant) in network byte order.
std::uint32_t ipv4Number(std::span<const std::uint8_t> file, std::size_t offset) {
    std::uint32_t networkOrder = 0;
    auto* bytes = reinterpret_cast<std::uint8_t*>(&networkOrder);
    for (std::size_t index = 0; index < 4; ++index)
        bytes[index] = file[offset + 3 - index];
    return networkOrder;
}

bool crcRight(std::span<const std::uint8_t> file, std::size_t length, BlockOrder order) {
    return crc16Arc(file.first(length - 2)) == word(file, length - 2, order);
}

// The 16 stream bytes that encipher the key (the same operation deciphers it).
AesKey keyStream() {
    AesContext context;
    aesKeySetup(AesMode::Standard, &kSecretFieldKey, &context);
    std::array<std::uint8_t, kKeyStreamOffset + 16> stream{};
    aesOfbStream(AesMode::Standard, stream, context);
    AesKey result{};
    std::copy_n(stream.begin() + kKeyStreamOffset, result.size(), result.begin());
    return result;
}

// Enciphers or deciphers the key (a server keeps it in clear).
AesKey cipheredKey(const AesKey& key, bool server) {
    if (server)
        return key;
    const AesKey stream = keyStream();
    AesKey result{};
    for (std::size_t index = 0; index < result.size(); ++index)
        result[index] = key[index] ^ stream[index];
    return result;
}

BlockSettings readSettings(std::span<const std::uint8_t> file, BlockOrder order, bool server) {
    BlockSettings settings;
    settings.version.assign(file.begin(), file.begin() + 4);
    settings.ipv4Address = ipv4Number(file, kIpv4Address);
    settings.ipv4Router = ipv4Number(file, kIpv4Router);
    settings.ipv4Mask = ipv4Number(file, kIpv4Mask);
    const auto name = file.subspan(kDhcpName, kDhcpNameWidth);
    settings.dhcpName.assign(name.begin(), std::ranges::find(name, 0));
    settings.maintenanceGroup = word(file, kMaintenanceGroup, order);
    settings.tclPort = word(file, kHostPort, order);
    settings.tclEncrypt = file[kTclEncrypt] == 1;
    AesKey stored{};
    std::copy_n(file.begin() + kTclKey, stored.size(), stored.begin());
    settings.tclKey = cipheredKey(stored, server);
    return settings;
}

} // namespace

BlockVerdict checkWrittenBlock(std::span<const std::uint8_t> file, bool server) {
    const Layout* layout = findLayout(file);
    if (!layout)
        return Refused{"talmo.cfg of an unknown version"};
    const std::string version(layout->version);
    if (file.size() != layout->length)
        return Refused{"talmo.cfg " + version + " has " + std::to_string(file.size()) + " bytes, not " +
                       std::to_string(layout->length)};
    const BlockOrder order = blockOrder(*layout);
    if (order == BlockOrder::LittleEndian && !crcRight(file, layout->length, order))
        return Refused{"talmo.cfg " + version + " has a CRC error"};
    if (!keyLayout(file))
        return StoredOnly{version};
    return readSettings(file, order, server);
}

std::optional<KeyLayout> keyLayout(std::span<const std::uint8_t> file) {
    const Layout* layout = findLayout(file);
    if (!layout || layout->version < "6.10" || file.size() < layout->length)
        return std::nullopt;
    return KeyLayout{layout->length, blockOrder(*layout)};
}

void putTclKey(std::span<std::uint8_t> file, const KeyLayout& layout, const AesKey& key, bool server) {
    const bool wasRight = crcRight(file, layout.length, layout.order);
    std::ranges::copy(cipheredKey(key, server), file.begin() + kTclKey);
    if (wasRight)
        putWord(file, layout.length - 2, crc16Arc(file.first(layout.length - 2)), layout.order);
}

} // namespace kestrix::sim

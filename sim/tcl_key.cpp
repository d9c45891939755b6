#include "sim/tcl_key.h"

#include "config/secret_fields.h"
#include "crypto/aes_ofb.h"
#include "crypto/crc16_arc.h"
#include "platform/trace.h"
#include "terminal/version_key.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

namespace kestrix::sim {
namespace {

constexpr std::string_view kConfigurationFile = "talmo.cfg";
// Where the key lies in the secret-field stream: after 6 + 8 + 8 + 48 + 8 + 8 bytes.
constexpr std::size_t kKeyStreamOffset = 86;

// The blocks that hold the key at 1072: their length and byte order.
struct KeyLayout {
    std::size_t length;
    bool bigEndian;
};

std::optional<KeyLayout> keyLayout(const std::vector<std::uint8_t>& file) {
    if (file.size() < 4)
        return std::nullopt;
    const std::string version(file.begin(), file.begin() + 4);
    std::optional<KeyLayout> layout;
    if (version == "6.10" || version == "6.11")
        layout = KeyLayout{1122, version == "6.11"};
    else if (version == "6.20" || version == "6.21")
        layout = KeyLayout{1242, version == "6.21"};
    if (!layout || file.size() < layout->length)
        return std::nullopt;
    return layout;
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

std::uint16_t storedCrc(const std::vector<std::uint8_t>& file, const KeyLayout& layout) {
    const std::uint8_t first = file[layout.length - 2], second = file[layout.length - 1];
    return layout.bigEndian ? static_cast<std::uint16_t>(first << 8 | second)
                            : static_cast<std::uint16_t>(second << 8 | first);
}

std::uint16_t computedCrc(const std::vector<std::uint8_t>& file, const KeyLayout& layout) {
    return crc16Arc(std::span(file).first(layout.length - 2));
}

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<std::uint8_t> bytes;
    char buffer[4096];
    // A configuration block is 1242 bytes at most: more is not read.
    while (bytes.size() < 4096 && file.read(buffer, sizeof buffer).gcount() > 0)
        bytes.insert(bytes.end(), buffer, buffer + file.gcount());
    return bytes;
}

} // namespace

AesMode tclCipherMode(const TerminalConfig& config) {
    const std::string key = versionSortKey(config.firmwareVersion);
    const auto within = [&key](std::string_view low, std::string_view high) {
        return key >= low && key <= high;
    };
    if (config.kindWord == "BSM" || within("5_50a", "5_52~") || within("5_90a", "5_92~"))
        return AesMode::Legacy;
    return AesMode::Standard;
}

TclKeyStore::TclKeyStore(const TerminalConfig& config, std::filesystem::path directory)
    : encrypting_(config.tclEncrypt), server_(config.kindWord == "BSM"), directory_(std::move(directory)),
      key_(config.tclKey) {}

std::optional<AesKey> TclKeyStore::key() const {
    std::lock_guard lock(mutex_);
    return key_;
}

void TclKeyStore::patchServedBlock(const ServedBlock& block) const {
    if (!encrypting_ || block.relativePath != kConfigurationFile)
        return;
    const auto key = this->key();
    if (!key)
        return;
    std::vector<std::uint8_t> file = readFile(directory_ / block.relativePath);
    const std::optional<KeyLayout> layout = keyLayout(file);
    if (!layout)
        return;
    const bool crcRight = storedCrc(file, *layout) == computedCrc(file, *layout);
    const AesKey stream = keyStream();
    for (std::size_t index = 0; index < key->size(); ++index)
        file[kConfigTclKeyOffset + index] = server_ ? (*key)[index] : (*key)[index] ^ stream[index];
    if (crcRight) {
        const std::uint16_t crc = computedCrc(file, *layout);
        file[layout->length - 2] = static_cast<std::uint8_t>(layout->bigEndian ? crc >> 8 : crc);
        file[layout->length - 1] = static_cast<std::uint8_t>(layout->bigEndian ? crc : crc >> 8);
    }
    for (std::size_t index = 0; index < block.bytes.size() && block.offset + index < file.size(); ++index)
        block.bytes[index] = file[block.offset + index];
}

void TclKeyStore::takeWrittenConfiguration(const AcceptedWrite& write) {
    if (write.relativePath != kConfigurationFile)
        return;
    const std::vector<std::uint8_t> file = readFile(write.path);
    if (!keyLayout(file))
        return;
    const AesKey stream = keyStream();
    AesKey key{};
    for (std::size_t index = 0; index < key.size(); ++index)
        key[index] = server_ ? file[kConfigTclKeyOffset + index] : file[kConfigTclKeyOffset + index] ^ stream[index];
    std::lock_guard lock(mutex_);
    key_ = key;
    trace("talmo-sim: TCL key taken from the written %s\n", write.terminalName.c_str());
}

} // namespace kestrix::sim

// TEMPORARY: replaced by the firmware library's readers at merge (delete this
// file and its line in sim/CMakeLists.txt). Only lets talmo-sim link and be
// tested before the firmware library implements its declared readers.
#include "firmware/firmware_version_readers.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace kestrix {
namespace {

std::optional<std::vector<std::uint8_t>> readAt(const std::string& path, std::uint64_t offset,
                                                std::size_t count) {
    std::ifstream file(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(count);
    if (!file.seekg(static_cast<std::streamoff>(offset)) ||
        !file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count)))
        return std::nullopt;
    return bytes;
}

unsigned littleWord(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8);
}

std::uint32_t bigLong(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) | bytes[at + 3];
}

std::optional<std::string> versionAt(const std::string& path, std::uint64_t offset, bool zeroAfter) {
    auto bytes = readAt(path, offset, 5);
    if (!bytes || (zeroAfter && (*bytes)[4] != 0))
        return std::nullopt;
    return std::string(bytes->begin(), bytes->begin() + 4);
}

bool holds(const std::vector<std::uint8_t>& bytes, std::size_t at, const char* text) {
    return std::memcmp(bytes.data() + at, text, std::strlen(text)) == 0;
}

} // namespace

std::optional<std::string> init_tcl_7450_version(const std::string& path) {
    auto header = readAt(path, 0, 32);
    if (!header || !holds(*header, 4, "TALMO 7450"))
        return std::nullopt;
    return versionAt(path, (bigLong(*header, 16) & 0xFFFFFF) - 0x100000, true);
}

std::optional<std::string> init_monitor_7450_version(const std::string& path) {
    auto header = readAt(path, 0, 240);
    if (!header || !holds(*header, 224, "TALMO 7450"))
        return std::nullopt;
    return versionAt(path, bigLong(*header, 236) & 0xFFFFFF, true);
}

std::optional<std::string> init_tcl_7200_version(const std::string& path) {
    auto header = readAt(path, 0, 18);
    if (!header || littleWord(*header, 2) != 0xAA55 || littleWord(*header, 6) < 0x8000)
        return std::nullopt;
    return versionAt(path, (littleWord(*header, 6) - 0x7FFFu) * 16 + littleWord(*header, 16), true);
}

std::optional<std::string> init_monitor_7200_version(const std::string& path) {
    auto header = readAt(path, 0, 14);
    if (!header || !holds(*header, 2, "TALMO 7200"))
        return std::nullopt;
    return versionAt(path, littleWord(*header, 12), false);
}

std::optional<std::string> init_monitor_9300_version(const std::string& path) {
    auto header = readAt(path, 0x10000, 14);
    if (!header || !holds(*header, 2, "TALMO 9300"))
        return std::nullopt;
    return versionAt(path, 0x10000 + littleWord(*header, 12), false);
}

std::optional<std::string> init_tcl_7000_version(const std::string& path) {
    auto header = readAt(path, 0, 28);
    if (!header || !(holds(*header, 0, "MZ") || holds(*header, 0, "ZM")))
        return std::nullopt;
    const std::uint64_t headerSize = littleWord(*header, 8) * 16u;
    auto pointer = readAt(path, headerSize, 4);
    if (!pointer)
        return "5.01";
    auto version =
        versionAt(path, headerSize + littleWord(*pointer, 2) * 16u + littleWord(*pointer, 0), true);
    return version && (*version)[1] == '.' ? *version : "5.01";
}

} // namespace kestrix

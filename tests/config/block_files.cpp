#include "block_files.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <stdlib.h>

namespace kestrix::test {

std::uint16_t bitwiseCrc16(std::span<const std::uint8_t> bytes) {
    unsigned crc = 0;
    for (std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return static_cast<std::uint16_t>(crc);
}

void storeCrc(UserParamBlock& block, int index) {
    const std::size_t length = versionLength(index);
    const std::uint16_t crc = bitwiseCrc16(std::span(block).first(length - 2));
    block[length - 2] = static_cast<std::uint8_t>(bigEndianVersion(index) ? crc >> 8 : crc & 0xFF);
    block[length - 1] = static_cast<std::uint8_t>(bigEndianVersion(index) ? crc & 0xFF : crc >> 8);
}

UserParamBlock patternBlock(int index, std::uint8_t seed) {
    UserParamBlock block{};
    for (std::size_t offset = 4; offset < versionLength(index) - 2; ++offset)
        block[offset] = static_cast<std::uint8_t>(offset * 13 + offset / 256 + seed * 101 + 5);
    const std::string_view version = kConfigVersions[static_cast<std::size_t>(index)].text;
    std::copy(version.begin(), version.end(), block.begin());
    storeCrc(block, index);
    return block;
}

std::vector<std::uint8_t> firstBytes(const UserParamBlock& block, std::size_t length) {
    return {block.begin(), block.begin() + static_cast<std::ptrdiff_t>(length)};
}

std::vector<std::uint8_t> patternFile(int index, std::uint8_t seed) {
    return firstBytes(patternBlock(index, seed), versionLength(index));
}

ScratchDirectory::ScratchDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrix-config-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchDirectory::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void writeBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

bool readBlockFile(UserParam& param, const ScratchDirectory& directory, std::span<const std::uint8_t> bytes,
                   const BlockOwner& owner) {
    writeBytes(directory.file("in.cfg"), bytes);
    return param.getFileUserParam(directory.file("in.cfg"), owner);
}

} // namespace kestrix::test

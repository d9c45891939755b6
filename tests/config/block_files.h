#pragma once

// Blocks built byte by byte in the tests (not by the program's own code), and
// the files and directories they go into.
#include "config/config_block.h"
#include "config/user_param.h"

#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <span>
#include <string>
#include <vector>

namespace kestrix::test {

// CRC-16/ARC computed bit by bit (reflected polynomial 0xA001, start 0),
// written here apart from the program's table-driven one.
std::uint16_t bitwiseCrc16(std::span<const std::uint8_t> bytes);

// The row of a version text in the version table; throws for an unknown one.
inline int versionIndex(std::string_view version) {
    return configVersionIndex(version).value();
}
inline std::size_t versionLength(int index) {
    return kConfigVersions[static_cast<std::size_t>(index)].length;
}
// A big-endian terminal's version has an odd fourth character.
inline bool bigEndianVersion(int index) {
    return kConfigVersions[static_cast<std::size_t>(index)].text[3] % 2 == 1;
}

// A block of the version at index: its version characters, then a byte
// pattern that differs from byte to byte and from seed to seed, and the CRC
// over the version's length in the version's own byte order. Bytes beyond the
// version's length are zero.
UserParamBlock patternBlock(int index, std::uint8_t seed = 0);
// Recomputes the CRC of a block of the version at index in the version's byte order.
void storeCrc(UserParamBlock& block, int index);
std::vector<std::uint8_t> firstBytes(const UserParamBlock& block, std::size_t length);
// The version's length of patternBlock: a file as the terminal keeps it.
std::vector<std::uint8_t> patternFile(int index, std::uint8_t seed = 0);

// A directory of its own for one test, removed with everything in it.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // The names of the directory's entries, sorted.
    std::vector<std::string> entries() const;

private:
    std::filesystem::path path_;
};

void writeBytes(const std::string& path, std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> readBytes(const std::string& path);
// Writes the bytes into the directory's "in.cfg" and reads that into param.
bool readBlockFile(UserParam& param, const ScratchDirectory& directory, std::span<const std::uint8_t> bytes,
                   const BlockOwner& owner = {});

// A test name for a version index parameter: "v6_20" for "6.20".
inline std::string versionName(const ::testing::TestParamInfo<int>& info) {
    std::string name(kConfigVersions[static_cast<std::size_t>(info.param)].text);
    name[1] = '_';
    return "v" + name;
}

} // namespace kestrix::test

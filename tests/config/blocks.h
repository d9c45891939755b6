#pragma once

// Configuration blocks as the tests build them byte by byte, not with the
// program's own code: the nine layouts field by field, each field with its own
// byte pattern, so that a byte a conversion moves to the wrong place or drops
// shows; the CRC; the terminals blocks belong to; and kestrix-cli run in a
// directory of the test's, so that no trace or settings file of the caller is read.
#include "config/config_block.h"
#include "support/scratch_directory.h"

#include <array>
#include <gtest/gtest.h>
#include <span>
#include <string>
#include <vector>

namespace kestrix::test {

// The row of a version text in the version table; throws for an unknown one.
int versionIndex(std::string_view version);
std::size_t versionLength(int index);
bool bigEndianVersion(int index);
// A test name for a version index parameter: "v6_20" for "6.20".
std::string versionName(const ::testing::TestParamInfo<int>& info);

// The layouts in table order: "4.10", "5.00", "5.10", "5.50", "5.91"-"5.93",
// "6.00"/"6.01", "6.02"/"6.03", "6.10"/"6.11", "6.20"/"6.21". Every byte
// between the version characters and the CRC belongs to exactly one field.
inline constexpr std::size_t kLayoutCount = 9;
inline constexpr int kAbsent = -1;
struct BlockField {
    std::string_view name;
    std::size_t width;
    std::array<int, kLayoutCount> offsets; // kAbsent where the layout lacks the field
};
std::size_t layoutOfVersion(int versionIndex);
std::span<const BlockField> blockFields();

// A zeroed block of the version, and one whose every field holds its own pattern (no CRC).
UserParamBlock emptyBlock(int versionIndex);
UserParamBlock patternBlock(int versionIndex);
// The block with the CRC-16/ARC over the version's length in the version's byte order.
UserParamBlock withCrc(UserParamBlock block, int versionIndex);
std::vector<std::uint8_t> firstBytes(const UserParamBlock& block, std::size_t length);
// The pattern block with its CRC at the version's length: a file as the terminal keeps it.
std::vector<std::uint8_t> patternFile(int versionIndex);
// A terminal's talmo.cfg of a little-endian version: zeros but for the
// version, the setup passwords of grades 1, 2 and 3 (enciphered as the
// terminal keeps them) and the CRC.
std::vector<std::uint8_t> fileWithPasswords(std::string_view version, const std::array<std::string, 3>& passwords);
// CRC-16/ARC computed bit by bit, apart from the program's table-driven one.
std::uint16_t bitwiseCrc16(std::span<const std::uint8_t> bytes);

// Writes "OFFSET=BYTES OFFSET=BYTES ..." into the block; BYTES are pieces joined
// by "+": hexadecimal bytes, 'text', N*HH (N bytes HH) or AA..BB (AA up to BB).
void putItems(UserParamBlock& block, const std::string& items);
// The same items as offsets and bytes; "-" is none.
std::vector<std::pair<std::size_t, std::string>> byteItems(const std::string& items);

// A server of platform group 1 (product 1, serial number "12345678", firmware
// "6.20"), which has no TCL application area, and the same terminal running TCL.
BlockOwner serverOwner();
BlockOwner tclOwner();
// The block converted from one version index to another; the conversion must succeed.
UserParamBlock converted(UserParamBlock block, int fromIndex, int toIndex, const BlockOwner& owner,
                         bool doSwap = false);

struct CliRun {
    int exitCode = -1;  // -1 when it did not end by exit
    std::string output; // standard output and standard error
};
// The shell command line that runs kestrix-cli with the words (each in single quotes) in the directory.
std::string cliCommandLine(const std::filesystem::path& directory, const std::vector<std::string>& words);
CliRun runCli(const ScratchDirectory& directory, const std::vector<std::string>& words);

} // namespace kestrix::test

// One configuration block read and written as a local file: validation as
// received (version, length, CRC and byte order), the secret-field cipher
// against OpenSSL and the older mode's known key stream, the editor's copy in
// this machine's byte order, a write that replaces the old file only by a
// complete new one, and the conversion along the version table.
#include "config/blocks.h"
#include "config/secret_fields.h"
#include "config/user_param.h"
#include "config/version_conversion.h"
#include "protocol/crypto/openssl_oracle.h"
#include "support/data_file.h"
#include "support/trace_capture.h"
#include "support/tsv_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <sstream>
#include <sys/resource.h>

namespace kestrix {
namespace {

using test::firstBytes;
using test::patternBlock;
using test::ScratchDirectory;
using test::TraceCapture;

BlockOwner ownerOf(bool isServer) {
    BlockOwner owner;
    owner.isServer = isServer;
    return owner;
}

// Writes the bytes into the directory's "in.cfg" and reads that into param.
bool readFile(UserParam& param, const ScratchDirectory& directory, std::span<const std::uint8_t> bytes,
              const BlockOwner& owner = {}) {
    directory.write("in.cfg", bytes);
    return param.getFileUserParam(directory.file("in.cfg"), owner);
}

class EveryVersion : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(AllVersions, EveryVersion, ::testing::Range(0, 15), test::versionName);

// With the byte-order flag clear the check reads the CRC little-endian at the
// version's length: more bytes pass, a wrong CRC or bytes too few to hold it
// fail. Each input is a vector of exactly its size, so reading past it would
// show under AddressSanitizer. Through a file, a big-endian block sets the
// flag and its CRC is not checked.
TEST_P(EveryVersion, TheCrcIsCheckedAtTheVersionsLength) {
    const int index = GetParam();
    const std::size_t length = test::versionLength(index);
    const bool big = test::bigEndianVersion(index);
    UserParamBlock block = test::withCrc(patternBlock(index), index);
    if (big)
        std::swap(block[length - 2], block[length - 1]);
    UserParam param;
    ASSERT_TRUE(param.checkUserParamVersion(firstBytes(block, length)));
    EXPECT_EQ(param.actualVersionIndex(), index);
    std::vector<std::uint8_t> longer = firstBytes(block, length);
    longer.insert(longer.end(), 9, 0xA5);
    EXPECT_TRUE(UserParam().checkUserParamVersion(longer));

    UserParamBlock wrongCrc = block;
    wrongCrc[length - 1] ^= 0x40;
    for (const std::vector<std::uint8_t>& bytes :
         {firstBytes(wrongCrc, length), firstBytes(block, length - 1), firstBytes(block, length - 2),
          firstBytes(block, length / 2)}) {
        UserParam fresh;
        EXPECT_FALSE(fresh.checkUserParamVersion(bytes)) << bytes.size();
        EXPECT_EQ(fresh.actualVersionIndex(), 0);
    }

    ScratchDirectory directory;
    UserParam reader;
    EXPECT_EQ(readFile(reader, directory, firstBytes(wrongCrc, length)), big);
    EXPECT_EQ(reader.byteOrder(), big ? BlockByteOrder::BigEndian : BlockByteOrder::LittleEndian);
}

// An unknown version, or fewer than four bytes (the missing characters are
// zero bytes), fails and leaves the index of the block held.
TEST(CheckUserParamVersion, UnknownVersionsFailAndLeaveTheIndex) {
    UserParam param;
    const UserParamBlock good =
        test::withCrc(patternBlock(test::versionIndex("6.10")), test::versionIndex("6.10"));
    ASSERT_TRUE(param.checkUserParamVersion(firstBytes(good, 1122)));
    TraceCapture trace;
    for (const char* version : {"6.22", "6,20", "6.2 ", "4.1\0", "    "}) {
        UserParamBlock block = good;
        std::copy_n(version, 4, block.begin());
        EXPECT_FALSE(param.checkUserParamVersion(firstBytes(block, 1122))) << version;
    }
    for (std::size_t length = 0; length < 4; ++length)
        EXPECT_FALSE(param.checkUserParamVersion(firstBytes(good, length))) << length;
    EXPECT_EQ(param.actualVersionIndex(), test::versionIndex("6.10"));
    EXPECT_TRUE(trace.contains("checkUserParamVersion(): talmo.cfg has invalid or unknown driver_version '"));
}

// A file read holds exactly the version's bytes: those beyond its length are
// dropped, and those a short big-endian file lacks (its CRC is not checked)
// are zero whatever was held before. A failed read keeps the block held and
// its index; the byte-order flag, once set by a big-endian block, stays set.
TEST(GetFileUserParam, HoldsTheVersionsBytesAndFailuresKeepTheBlock) {
    ScratchDirectory directory;
    UserParam param;
    EXPECT_EQ(param.getNewestVersion(), "6.20");
    std::vector<std::uint8_t> longer = test::patternFile(test::versionIndex("6.00"));
    longer.resize(1242, 0x77);
    ASSERT_TRUE(readFile(param, directory, longer));
    EXPECT_TRUE(
        std::all_of(param.block().begin() + 1100, param.block().end(), [](auto byte) { return byte == 0; }));
    const UserParamBlock held = param.block();

    std::vector<std::uint8_t> bad = test::patternFile(test::versionIndex("6.20"));
    bad[100] ^= 1;
    TraceCapture trace;
    EXPECT_FALSE(readFile(param, directory, bad));
    EXPECT_FALSE(param.getFileUserParam(directory.file("missing.cfg"), BlockOwner{}));
    EXPECT_FALSE(param.getFileUserParam(directory.path().string(), BlockOwner{}));
    EXPECT_TRUE(trace.contains("getFileUserParam(): " + directory.file("missing.cfg") + " does not exist\n"));
    EXPECT_TRUE(trace.contains("getFileUserParam(): I/O error on " + directory.path().string() + "\n"));
    EXPECT_EQ(param.block(), held);
    EXPECT_EQ(param.actualVersionIndex(), test::versionIndex("6.00"));
    EXPECT_TRUE(param.receivedBytes().empty());

    const int index621 = test::versionIndex("6.21");
    ASSERT_TRUE(readFile(param, directory, firstBytes(patternBlock(index621), 700)));
    EXPECT_TRUE(trace.contains("has wrong length (700 must be 1242)"));
    EXPECT_EQ(param.receivedBytes().size(), 700u);
    UserParamBlock expected{};
    std::copy_n(patternBlock(index621).begin(), 700, expected.begin());
    cryptSecretFields(expected, index621, BlockOwner{}); // the fields come deciphered
    EXPECT_EQ(param.block(), expected);
    EXPECT_EQ(param.getNewestVersion(), "6.21");
    ASSERT_TRUE(readFile(param, directory, test::patternFile(test::versionIndex("6.10"))));
    EXPECT_EQ(param.byteOrder(), BlockByteOrder::BigEndian);
}

// Passwords end at their width or first zero byte; the data key is copied up
// to the block's end and not beyond. Blocks older than "5.50" have neither.
TEST(UserParamValues, PasswordsAndDataKeyComeDeciphered) {
    const int index = test::versionIndex("6.20");
    UserParamBlock block = patternBlock(index);
    // password 1 to 3, the byte after password 3 (not part of it), the data key
    test::putItems(block, "794='abc123' 800='12345678' 808='xy'+00+'zzzzz' 816='Q' 1072=a0..af");
    cryptSecretFields(block, index, BlockOwner{}); // as the terminal keeps it
    ScratchDirectory directory;
    UserParam param;
    ASSERT_TRUE(readFile(param, directory, firstBytes(test::withCrc(block, index), 1242)));
    const std::pair<int, const char*> passwords[] = {{1, "abc123"}, {2, "12345678"}, {3, "xy"},
                                                     {0, ""},       {4, ""},         {-1, ""}};
    for (const auto& [kind, expected] : passwords)
        EXPECT_EQ(param.getPassword(kind), expected) << kind;

    std::array<std::uint8_t, 16> key{};
    ASSERT_TRUE(param.getDataKey(key));
    EXPECT_EQ(test::toHex(key), "a0a1a2a3a4a5a6a7a8a9aaabacadaeaf");
    std::vector<std::uint8_t> rest(kUserParamSize - 1072);
    EXPECT_TRUE(param.getDataKey(rest));
    rest.push_back(0);
    EXPECT_FALSE(param.getDataKey(rest));

    UserParam older;
    ASSERT_TRUE(readFile(older, directory, test::patternFile(test::versionIndex("5.10"))));
    EXPECT_EQ(older.getPassword(1), "");
    EXPECT_FALSE(older.getDataKey(key));
}

// The fields the stream runs over for an owner, in order, and their bytes.
std::vector<SecretField> streamFields(int index, const BlockOwner& owner) {
    const SecretFieldLayout& layout = *secretFieldLayout(index);
    std::vector<SecretField> fields(layout.always.begin(), layout.always.end());
    if (owner.hasTclApplicationArea())
        fields.insert(fields.end(), layout.tclArea.begin(),
                      layout.tclArea.begin() + static_cast<std::ptrdiff_t>(layout.tclAreaCount));
    return fields;
}

std::vector<std::uint8_t> gather(const UserParamBlock& block, const std::vector<SecretField>& fields) {
    std::vector<std::uint8_t> bytes;
    for (const SecretField& field : fields)
        bytes.insert(bytes.end(), block.begin() + static_cast<std::ptrdiff_t>(field.offset),
                     block.begin() + static_cast<std::ptrdiff_t>(field.offset + field.width));
    return bytes;
}

// From "5.50" on the fields lie between version and CRC without overlapping;
// one key stream runs over the owner's fields taken together (a server's TCL
// area stays in clear), from "5.92" on AES-128-OFB with a zero initial vector,
// in "5.50" and "5.91" the older mode, whose first 64 bytes (all in the fields
// every owner has) are known. Enciphering adds the stream to the fields and
// nothing else; deciphering is enciphering once more.
TEST_P(EveryVersion, OneSecretFieldStreamOverTheOwnersFields) {
    const int index = GetParam();
    const UserParamBlock plain = patternBlock(index);
    if (index < test::versionIndex("5.50")) {
        EXPECT_EQ(secretFieldLayout(index), nullptr);
        EXPECT_EQ(secretFieldLayout(index + 15), nullptr); // outside the table
        UserParamBlock block = plain;
        cryptSecretFields(block, index, ownerOf(false));
        EXPECT_EQ(block, plain);
        return;
    }
    std::vector<int> uses(kUserParamSize, 0);
    for (const SecretField& field : streamFields(index, ownerOf(false))) {
        EXPECT_GE(field.offset, 4u);
        EXPECT_LE(field.offset + field.width, test::versionLength(index) - 2);
        for (std::size_t offset = field.offset; offset < field.offset + field.width; ++offset)
            EXPECT_EQ(++uses[offset], 1) << "offset " << offset;
    }
    const bool olderMode = index == test::versionIndex("5.50") || index == test::versionIndex("5.91");
    for (bool isServer : {false, true}) {
        SCOPED_TRACE(isServer ? "server" : "TCL terminal");
        const std::vector<SecretField> fields = streamFields(index, ownerOf(isServer));
        UserParamBlock stream{}, expected{}, block = plain;
        cryptSecretFields(stream, index, ownerOf(isServer));
        const std::vector<std::uint8_t> streamBytes = gather(stream, fields);
        const auto nonZero = [](std::uint8_t byte) { return byte != 0; };
        EXPECT_EQ(std::ranges::count_if(stream, nonZero),
                  std::ranges::count_if(streamBytes, nonZero)); // only there
        if (olderMode)
            EXPECT_EQ(test::toHex(std::span(streamBytes).first(64)),
                      "810b13486cb6b756f9d0dad9c512085cda291d7b75e2b34d51b9e3a3678460b8"
                      "b83dd514aafc02d7823ae2a7d5b7d93936ed5d1d77b5b356d2ddd45a6855a3df");
        else
            EXPECT_EQ(streamBytes,
                      test::opensslAesOfb(kSecretFieldKey, std::vector<std::uint8_t>(streamBytes.size())));
        cryptSecretFields(block, index, ownerOf(isServer));
        std::ranges::transform(plain, stream, expected.begin(), std::bit_xor<>());
        EXPECT_EQ(block, expected);
        cryptSecretFields(block, index, ownerOf(isServer));
        EXPECT_EQ(block, plain);
    }
}

// A big-endian terminal stores these fields of the "6.20" layout most
// significant byte first: the pattern differs between neighbours, so a field
// reversed at a wrong offset or width, or one left out, shows.
TEST(SwapUserParam, ReversesExactlyTheListedFields) {
    std::vector<std::pair<std::size_t, std::size_t>> fields{{60, 2},  {146, 2},  {826, 2},  {978, 2},
                                                            {980, 2}, {1036, 2}, {1038, 2}, {1236, 4}};
    for (std::size_t rule = 0; rule < 5; ++rule)
        fields.insert(fields.end(), {{152 + 12 * rule + 8, 2}, {212 + 20 * rule + 18, 2}});
    for (std::size_t record = 312; record < 312 + 6 * 80; record += 80)
        fields.insert(
            fields.end(),
            {{record + 4, 2}, {record + 6, 2}, {record + 8, 2}, {record + 10, 2}, {record + 24, 4}});
    UserParamBlock expected = patternBlock(test::versionIndex("6.21"));
    UserParamBlock swapped = expected;
    for (const auto& [offset, width] : fields)
        std::reverse(expected.begin() + static_cast<std::ptrdiff_t>(offset),
                     expected.begin() + static_cast<std::ptrdiff_t>(offset + width));
    UserParam::swapUserParam(swapped);
    EXPECT_EQ(swapped, expected);
}

// A block as the terminal keeps it, read from a longer file, its maintenance
// group set by the editor (in this machine's order) and written twice, comes
// out as the terminal keeps the changed block: the version's length, the group
// in the block's byte order, the secret fields enciphered again for the owner
// and a new CRC in the block's byte order (the test's own bit-by-bit one).
// The second write gives the same bytes: the block held stays deciphered.
TEST_P(EveryVersion, WritesTheChangedBlockAsTheTerminalKeepsIt) {
    const int index = GetParam();
    const bool big = test::bigEndianVersion(index);
    ScratchDirectory directory;
    UserParamBlock expected = patternBlock(index);
    expected[60] = big ? 0x12 : 0x67;
    expected[61] = big ? 0x67 : 0x12;
    expected = test::withCrc(expected, index);
    for (bool isServer : {false, true}) {
        std::vector<std::uint8_t> file = test::patternFile(index);
        file.insert(file.end(), 7, 0x55);
        UserParam param;
        ASSERT_TRUE(readFile(param, directory, file, ownerOf(isServer)));
        UserParamBlock native{};
        param.copyUserParamOut(native);
        native[60] = 0x67; // 4711
        native[61] = 0x12;
        param.copyUserParamIn(native);
        EXPECT_EQ(native, param.block()); // under the flag swapped in place
        const UserParamBlock held = param.block();
        for (int write = 0; write < 2; ++write) {
            ASSERT_TRUE(param.setFileUserParam(directory.file("out.cfg"), ownerOf(isServer)));
            EXPECT_EQ(directory.bytes("out.cfg"), firstBytes(expected, test::versionLength(index)))
                << "server " << isServer << ", write " << write;
            EXPECT_EQ(param.block(), held);
        }
    }
    EXPECT_EQ(directory.entries(), (std::vector<std::string>{"in.cfg", "out.cfg"}));
}

// A block never read is not written; a place that cannot be written and a
// write that fails half way (here: the file size limit of the process) are
// refused. The existing file stays as it was and no temporary file is left.
TEST(SetFileUserParam, AFailedWriteLeavesTheExistingFile) {
    ScratchDirectory directory;
    const std::vector<std::uint8_t> existing(300, 0xEE);
    directory.write("talmo.cfg", existing);
    TraceCapture trace;
    EXPECT_FALSE(UserParam().setFileUserParam(directory.file("talmo.cfg"), BlockOwner{}));
    EXPECT_TRUE(trace.contains("setFileUserParam(): no valid configuration block held")) << trace.text();

    UserParam param;
    ASSERT_TRUE(readFile(param, directory, test::patternFile(test::versionIndex("6.20"))));
    const std::string nowhere = directory.file("no-such-folder/talmo.cfg");
    EXPECT_FALSE(param.setFileUserParam(nowhere, BlockOwner{}));
    EXPECT_TRUE(trace.contains("setFileUserParam(): Cannot open " + nowhere + " for writing\n"))
        << trace.text();
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = 1000; // bytes a file of the process may have
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const bool written = param.setFileUserParam(directory.file("talmo.cfg"), BlockOwner{});
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
    EXPECT_TRUE(trace.contains("setFileUserParam(): I/O error on " + directory.file("talmo.cfg") + "\n"))
        << trace.text();
    EXPECT_EQ(directory.bytes("talmo.cfg"), existing);
    EXPECT_EQ(directory.entries(), (std::vector<std::string>{"in.cfg", "talmo.cfg"}));
}

// Converting configuration blocks along the version table: every field of
// every layout carries its own byte pattern, so each single step and each
// chain shows a byte that lands in the wrong place or is lost; the rules of
// single steps beyond moving bytes are the rows of conversion_rules.tsv.
using test::BlockField;
using test::blockFields;
using test::layoutOfVersion;
using test::serverOwner;

constexpr int kVersionCount = static_cast<int>(kConfigVersions.size());

std::string_view versionText(int index) {
    return kConfigVersions.at(static_cast<std::size_t>(index)).text;
}

// The offsets where two blocks differ, but for those skipped, with the bytes.
std::string differences(const UserParamBlock& actual, const UserParamBlock& expected,
                        const std::vector<bool>& skipped = std::vector<bool>(kUserParamSize, false)) {
    std::ostringstream text;
    for (std::size_t offset = 0; offset < kUserParamSize; ++offset)
        if (!skipped[offset] && actual[offset] != expected[offset])
            text << offset << ": " << int(actual[offset]) << " != " << int(expected[offset]) << "\n";
    return text.str();
}

// Bytes a step writes whatever the old block held (for the server of serverOwner()).
const struct {
    int from, to;
    std::size_t offset;
    std::string_view bytes;
} kForcedBytes[] = {
    {0, 1, 368, std::string_view("\0\1\2\3\4\5\6\7\10\1\2\3\4\5\6\7\10", 17)}, // default MUX setup
    {2, 3, 352, "3917402552803617"},                                           // default passwords 2 and 3
    {3, 4, 578, "\1"},
    {6, 7, 57, "\1"},             // IPv4 and IPv6
    {6, 7, 58, "\2"},             // 10Base-T half duplex for platform group 1
    {6, 7, 64, "talmo-12345678"}, // DHCP host name
    {10, 11, 57, std::string_view("\0", 1)},
    {10, 11, 58, "\2"},
    {11, 10, 57, "\1"},
};

// Bytes whose new value follows a rule of its own (conversion_rules.tsv).
const struct {
    int from, to;
    std::size_t offset, length;
} kRuledBytes[] = {
    {2, 3, 409, 1},   {3, 2, 385, 1},   // the flag 1 or 6
    {8, 9, 828, 24},                    // summer-time times become texts
    {10, 11, 88, 16}, {10, 11, 974, 2}, // host address, internal reader
    {11, 10, 84, 4},  {11, 10, 974, 2},
};

class SingleStep : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(SingleStep, CarriesEveryFieldBothLayoutsHoldAndZeroesTheRest) {
    const auto [from, to] = GetParam();
    const UserParamBlock source = patternBlock(from);
    UserParamBlock expected = test::emptyBlock(to);
    for (const BlockField& field : blockFields()) {
        const int oldOffset = field.offsets[layoutOfVersion(from)];
        const int newOffset = field.offsets[layoutOfVersion(to)];
        if (oldOffset != test::kAbsent && newOffset != test::kAbsent)
            std::copy_n(source.begin() + oldOffset, field.width, expected.begin() + newOffset);
    }
    if (from == 2 && to == 3) // "5.50" keeps bytes 4-11 as well as moving them
        std::copy_n(source.begin() + 4, 8, expected.begin() + 4);
    for (const auto& forced : kForcedBytes)
        if (forced.from == from && forced.to == to)
            std::ranges::copy(forced.bytes, expected.begin() + static_cast<std::ptrdiff_t>(forced.offset));
    std::vector<bool> skipped(kUserParamSize, false);
    for (const auto& ruled : kRuledBytes)
        if (ruled.from == from && ruled.to == to)
            std::fill_n(skipped.begin() + static_cast<std::ptrdiff_t>(ruled.offset), ruled.length, true);
    EXPECT_EQ(differences(test::converted(source, from, to, serverOwner()), expected, skipped), "")
        << versionText(from) << " -> " << versionText(to);
}

std::vector<std::pair<int, int>> neighbourSteps() {
    std::vector<std::pair<int, int>> steps;
    for (int index = 0; index + 1 < kVersionCount; ++index)
        steps.insert(steps.end(), {{index, index + 1}, {index + 1, index}});
    return steps;
}

INSTANTIATE_TEST_SUITE_P(AllNeighbours, SingleStep, ::testing::ValuesIn(neighbourSteps()));

TEST(Chain, LongChainsWalkEverySingleStepAndSameLengthPartnersOnlyChangeTheVersion) {
    for (const auto& [from, to] : {std::pair{4, 14}, std::pair{14, 0}, std::pair{0, 14}}) {
        UserParamBlock stepwise = patternBlock(from);
        for (int index = from; index != to; index += to > from ? 1 : -1)
            stepwise = test::converted(stepwise, index, index + (to > from ? 1 : -1), test::tclOwner());
        EXPECT_EQ(differences(test::converted(patternBlock(from), from, to, test::tclOwner()), stepwise), "")
            << versionText(from) << " -> " << versionText(to);
    }
    UserParamBlock expected = patternBlock(13);
    expected[3] = '1';
    EXPECT_EQ(differences(test::converted(patternBlock(13), 13, 14, serverOwner()), expected), "");
}

// An unknown target, or a block not of its index's version, leaves block and
// index alone; a block of the target's version stays as it is.
TEST(SetBlockVersion, RefusesUnknownTargetsAndBlocksNotOfTheirIndex) {
    UserParamBlock garbled = patternBlock(13);
    garbled[3] = '9';
    const struct {
        UserParamBlock block;
        int index;
        std::string_view target;
        bool converts;
        std::string trace;
    } cases[] = {
        {patternBlock(13), 13, "6.22", false,
         "setUserParamVersion() NewVersion 6.22 ist eine unbekannte Version\n"},
        {patternBlock(13), 13, "6.2", false, "NewVersion 6.2 ist eine unbekannte Version"},
        {patternBlock(13), 13, "", false, "NewVersion  ist eine unbekannte Version"},
        {UserParamBlock{}, 0, "5.10", false,
         "setUserParamVersion(): user_params hat eine unbekannte Version, die nicht konvertiert werden "
         "konnte.\n"},
        {patternBlock(13), 3, "5.10", false, "user_params hat eine unbekannte Version"},
        {garbled, 13, "5.10", false, "user_params hat eine unbekannte Version"},
        {patternBlock(9), 9, "6.02", true, "setUserParamVersion(): Version bleibt gleich\n"},
    };
    for (const auto& c : cases) {
        test::TraceCapture trace;
        UserParamBlock block = c.block;
        int index = c.index;
        EXPECT_EQ(setBlockVersion(block, index, c.target, serverOwner(), false), c.converts) << c.target;
        EXPECT_EQ(block, c.block);
        EXPECT_EQ(index, c.index);
        EXPECT_TRUE(trace.contains(c.trace)) << trace.text();
    }
}

// The owners a row of the table names: "server group=1,2" names two servers.
std::vector<BlockOwner> ownersOf(const std::string& text, bool& swap) {
    std::istringstream words(text);
    std::string word;
    words >> word;
    std::vector<BlockOwner> owners{word == "tcl" ? test::tclOwner() : serverOwner()};
    while (words >> word) {
        swap = swap || word == "swap";
        if (word == "swap")
            continue;
        const std::string name = word.substr(0, word.find('='));
        std::vector<BlockOwner> named;
        std::istringstream values(word.substr(name.size() + 1) + ",");
        for (std::string value; std::getline(values, value, ',');)
            for (BlockOwner owner : owners) {
                if (name == "group" || name == "product")
                    (name == "group" ? owner.platformGroup : owner.productType) = std::stoi(value);
                else
                    (name == "serial" ? owner.serialNumber : owner.versionKey) = value;
                named.push_back(owner);
            }
        owners = named;
    }
    return owners;
}

TEST(ConversionRules, TheRowsOfTheTable) {
    const auto rows = test::readTsvRows(KESTRIX_CONFIG_TEST_DATA "/conversion_rules.tsv", 5);
    ASSERT_GE(rows.size(), 70u) << "the known-answer file looks truncated";
    for (const auto& row : rows) {
        std::vector<int> steps;
        std::istringstream versions(row[0]);
        for (std::string version; std::getline(versions, version, '>');)
            steps.push_back(test::versionIndex(version));
        bool swap = false;
        for (const BlockOwner& owner : ownersOf(row[1], swap)) {
            std::istringstream blocks(row[2]);
            for (std::string items; std::getline(blocks, items, ';');) {
                SCOPED_TRACE(row[0] + " " + row[1] + " " + items + ": group " +
                             std::to_string(owner.platformGroup) + ", product " +
                             std::to_string(owner.productType) + ", key " + owner.versionKey);
                UserParamBlock block = test::emptyBlock(steps[0]);
                test::putItems(block, items);
                test::TraceCapture trace;
                for (std::size_t step = 1; step < steps.size(); ++step)
                    block = test::converted(block, steps[step - 1], steps[step], owner, swap);
                for (const auto& [offset, bytes] : test::byteItems(row[3]))
                    EXPECT_EQ(std::string(block.begin() + static_cast<std::ptrdiff_t>(offset),
                                          block.begin() + static_cast<std::ptrdiff_t>(offset + bytes.size())),
                              bytes)
                        << "at " << offset;
                std::istringstream texts(row[4]);
                for (std::string text; std::getline(texts, text, '|') && text != "-";)
                    EXPECT_EQ(trace.contains(text.substr(text.front() == '!' ? 1 : 0)), text.front() != '!')
                        << text;
            }
        }
    }
}

// Old reader codes with a type and mode of their own; every other code
// becomes type 0, mode 1, and comes back as 1, as does the Hitag code 7.
TEST(ConversionRules, InternalReaderCodeBecomesTypeAndModeAndComesBack) {
    constexpr std::uint8_t kReaderPairs[][3] = {
        {0, 0, 0},   {2, 0, 2},    {3, 0, 3},    {4, 0, 4},    {5, 1, 5},    {7, 2, 7},  {8, 128, 0},
        {9, 128, 1}, {10, 128, 2}, {11, 128, 3}, {12, 128, 4}, {13, 129, 5}, {16, 1, 6},
    };
    const int v603 = test::versionIndex("6.03"), v610 = test::versionIndex("6.10");
    for (int code = 0; code < 256; ++code) {
        std::array<std::uint8_t, 3> expected{static_cast<std::uint8_t>(code), 0, 1};
        for (const auto& pair : kReaderPairs)
            if (pair[0] == code)
                std::ranges::copy(pair, expected.begin());
        UserParamBlock block = test::emptyBlock(v603);
        block[974] = static_cast<std::uint8_t>(code);
        block[975] = 0x77;
        const UserParamBlock upper = test::converted(block, v603, v610, serverOwner());
        EXPECT_EQ(upper[974], expected[1]) << code;
        EXPECT_EQ(upper[975], expected[2]) << code;
        const bool comesBack = std::ranges::any_of(kReaderPairs, [&](auto& pair) { return pair[0] == code; });
        EXPECT_EQ(test::converted(upper, v610, v603, serverOwner())[974], comesBack && code != 7 ? code : 1)
            << code;
    }
}

} // namespace
} // namespace kestrix

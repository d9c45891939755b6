// Converting configuration blocks along the version table: every field of
// every layout carries its own byte pattern, so each single step and each
// chain shows a byte that lands in the wrong place or is lost; the rules of
// single steps beyond moving bytes are the rows of conversion_rules.tsv.
#include "config/blocks.h"
#include "config/version_conversion.h"
#include "support/trace_capture.h"
#include "support/tsv_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace kestrix {
namespace {

using test::BlockField;
using test::blockFields;
using test::layoutOfVersion;
using test::patternBlock;
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

// Converting configuration blocks along the version table: every field of
// every layout carries its own byte pattern, so each single step and each
// chain shows a byte that lands in the wrong place or is lost.
#include "config/block_layouts.h"
#include "config/version_conversion.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

namespace kestrix {
namespace {

using test::BlockField;
using test::blockFields;
using test::layoutOfVersion;
using test::serverOwner;

constexpr int kVersionCount = static_cast<int>(kConfigVersions.size());

std::string_view versionText(int index) {
    return kConfigVersions.at(static_cast<std::size_t>(index)).text;
}

// The offsets (with their fields) where two blocks differ, but for those skipped.
std::string differences(const UserParamBlock& actual, const UserParamBlock& expected, int versionIndex,
                        const std::vector<bool>& skipped = std::vector<bool>(kUserParamSize, false)) {
    std::ostringstream text;
    for (std::size_t offset = 0; offset < kUserParamSize; ++offset) {
        if (skipped[offset] || actual[offset] == expected[offset])
            continue;
        text << offset;
        for (const BlockField& field : blockFields())
            if (const int start = field.offsets[layoutOfVersion(versionIndex)];
                start != test::kAbsent && offset - static_cast<std::size_t>(start) < field.width)
                text << " (" << field.name << ")";
        text << ": " << int(actual[offset]) << " != " << int(expected[offset]) << "\n";
    }
    return text.str();
}

TEST(BlockLayouts, EveryParameterByteBelongsToExactlyOneField) {
    for (int version = 0; version < kVersionCount; ++version) {
        std::vector<int> owners(kUserParamSize, 0);
        for (const BlockField& field : blockFields())
            for (std::size_t position = 0;
                 field.offsets[layoutOfVersion(version)] != test::kAbsent && position < field.width;
                 ++position)
                ++owners.at(static_cast<std::size_t>(field.offsets[layoutOfVersion(version)]) + position);
        const std::size_t length = kConfigVersions[static_cast<std::size_t>(version)].length;
        for (std::size_t offset = 0; offset < kUserParamSize; ++offset)
            EXPECT_EQ(owners[offset], offset >= 4 && offset < length - 2 ? 1 : 0)
                << versionText(version) << " " << offset;
    }
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
    const UserParamBlock source = test::patternBlock(from);
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
    EXPECT_EQ(differences(test::converted(source, from, to, serverOwner()), expected, to, skipped), "");
}

std::vector<std::pair<int, int>> neighbourSteps() {
    std::vector<std::pair<int, int>> steps;
    for (int index = 0; index + 1 < kVersionCount; ++index)
        steps.insert(steps.end(), {{index, index + 1}, {index + 1, index}});
    return steps;
}

INSTANTIATE_TEST_SUITE_P(AllNeighbours, SingleStep, ::testing::ValuesIn(neighbourSteps()),
                         [](const ::testing::TestParamInfo<std::pair<int, int>>& step) {
                             std::string name = std::string(versionText(step.param.first)) + "_to_" +
                                                std::string(versionText(step.param.second));
                             std::ranges::replace(name, '.', '_');
                             return name;
                         });

TEST(Chain, LongChainsWalkEverySingleStepAndSameLengthPartnersOnlyChangeTheVersion) {
    for (const auto& [from, to] : {std::pair{4, 14}, std::pair{14, 0}, std::pair{0, 14}}) {
        UserParamBlock stepwise = test::patternBlock(from);
        const int direction = to > from ? 1 : -1;
        for (int index = from; index != to; index += direction)
            stepwise = test::converted(stepwise, index, index + direction, test::tclOwner());
        EXPECT_EQ(
            differences(test::converted(test::patternBlock(from), from, to, test::tclOwner()), stepwise, to),
            "")
            << versionText(from) << " -> " << versionText(to);
    }
    UserParamBlock expected = test::patternBlock(13);
    test::writeVersionCharacters(expected, 14);
    EXPECT_EQ(differences(test::converted(test::patternBlock(13), 13, 14, serverOwner()), expected, 14), "");
}

TEST(SetBlockVersion, TracesItsWayAndKeepsItsOwnVersion) {
    test::TraceCapture trace;
    UserParamBlock block = test::patternBlock(4);
    int index = 4;
    EXPECT_TRUE(setBlockVersion(block, index, "6.21", serverOwner(), true));
    EXPECT_EQ(index, 14);
    EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(block.data()), 4), "6.21");
    EXPECT_TRUE(trace.contains("setUserParamVersion() startet mit AktVersion 5.91 und NewVersion 6.21\n"
                               "setUserParamVersion() Konvertierung auf neuere Version (Index: 14)\n"));
    EXPECT_TRUE(trace.contains("setUserParamVersion(): Ok, Version wunschgemäß konvertiert\n"));
    EXPECT_TRUE(setBlockVersion(block, index, "4.10", serverOwner(), true));
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(trace.contains("setUserParamVersion() Konvertierung auf ältere Version (Index: 0)\n"));
    trace.clear();
    const UserParamBlock source = test::patternBlock(9);
    block = source;
    index = 9;
    EXPECT_TRUE(setBlockVersion(block, index, "6.02", serverOwner(), false));
    EXPECT_EQ(block, source);
    EXPECT_TRUE(trace.contains("setUserParamVersion(): Version bleibt gleich\n"));
}

// An unknown target, or a block not of its index's version, leaves block and index alone.
TEST(SetBlockVersion, RefusesUnknownTargetsAndBlocksNotOfTheirIndex) {
    UserParamBlock garbled = test::patternBlock(13);
    garbled[3] = '9';
    const struct {
        UserParamBlock block;
        int index;
        std::string_view target;
        std::string trace;
    } cases[] = {
        {test::patternBlock(13), 13, "6.22",
         "setUserParamVersion() NewVersion 6.22 ist eine unbekannte Version\n"},
        {test::patternBlock(13), 13, "6.2", "NewVersion 6.2 ist eine unbekannte Version"},
        {test::patternBlock(13), 13, "", "NewVersion  ist eine unbekannte Version"},
        {test::patternBlock(13), 13, "4.1O", "NewVersion 4.1O ist eine unbekannte Version"},
        {UserParamBlock{}, 0, "5.10",
         "setUserParamVersion(): user_params hat eine unbekannte Version, die nicht "
         "konvertiert werden konnte.\n"},
        {test::patternBlock(13), 3, "5.10", "user_params hat eine unbekannte Version"},
        {garbled, 13, "5.10", "user_params hat eine unbekannte Version"},
    };
    for (const auto& c : cases) {
        test::TraceCapture trace;
        UserParamBlock block = c.block;
        int index = c.index;
        EXPECT_FALSE(setBlockVersion(block, index, c.target, serverOwner(), false)) << c.target;
        EXPECT_EQ(block, c.block);
        EXPECT_EQ(index, c.index);
        EXPECT_TRUE(trace.contains(c.trace)) << trace.text();
    }
}

// Arbitrary blocks of every version and arbitrary terminals: every conversion
// succeeds and writes nothing beyond the target version's length.
TEST(SetBlockVersion, ArbitraryBlocksStayWithinTheTargetLength) {
    std::mt19937 random(20240607);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 8; ++round) {
        BlockOwner owner;
        owner.isServer = byte(random) % 2 == 0;
        owner.platformGroup = byte(random) % 9 - 1;
        owner.productType = byte(random) % 20 - 1;
        owner.serialNumber = std::string(static_cast<std::size_t>(byte(random) % 40), '7');
        owner.versionKey = byte(random) % 2 == 0 ? "5_16~" : "5_15~";
        const bool doSwap = byte(random) % 2 == 0;
        for (int from = 0; from < kVersionCount; ++from) {
            UserParamBlock source;
            std::ranges::generate(source, [&] { return static_cast<std::uint8_t>(byte(random)); });
            test::writeVersionCharacters(source, from);
            for (int to = 0; to < kVersionCount; ++to) {
                const std::size_t length = kConfigVersions[static_cast<std::size_t>(to)].length;
                const UserParamBlock result = test::converted(source, from, to, owner, doSwap);
                EXPECT_TRUE(std::all_of(result.begin() + static_cast<std::ptrdiff_t>(length), result.end(),
                                        [](std::uint8_t value) { return value == 0; }) ||
                            to == from)
                    << versionText(from) << " -> " << versionText(to);
            }
        }
    }
}

} // namespace
} // namespace kestrix

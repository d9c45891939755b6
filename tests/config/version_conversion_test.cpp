// Converting configuration blocks along the version table: every field of
// every layout carries its own byte pattern, so each single step, each round
// trip and each chain shows a byte that lands in the wrong place or is lost.
#include "config/block_layouts.h"
#include "config/version_conversion.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

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

std::size_t versionLength(int index) {
    return kConfigVersions.at(static_cast<std::size_t>(index)).length;
}

// The name of the field at an offset of a version's layout, for messages.
std::string fieldAt(int versionIndex, std::size_t offset) {
    for (const BlockField& field : blockFields()) {
        const int start = field.offsets[layoutOfVersion(versionIndex)];
        if (start != test::kAbsent && offset >= static_cast<std::size_t>(start) &&
            offset < static_cast<std::size_t>(start) + field.width)
            return std::string(field.name);
    }
    return offset < 4 ? "version" : "no field";
}

// Lists the offsets (with their fields) where two blocks differ, skipping
// those marked.
std::string differences(const UserParamBlock& actual, const UserParamBlock& expected, int versionIndex,
                        const std::vector<bool>& skipped = std::vector<bool>(kUserParamSize, false)) {
    std::ostringstream text;
    for (std::size_t offset = 0; offset < kUserParamSize; ++offset)
        if (!skipped[offset] && actual[offset] != expected[offset])
            text << offset << " (" << fieldAt(versionIndex, offset) << "): " << int(actual[offset])
                 << " != " << int(expected[offset]) << "\n";
    return text.str();
}

TEST(BlockLayoutsTest, EveryParameterByteBelongsToExactlyOneField) {
    for (int version = 0; version < kVersionCount; ++version) {
        std::vector<int> owners(kUserParamSize, 0);
        for (const BlockField& field : blockFields()) {
            const int offset = field.offsets[layoutOfVersion(version)];
            for (std::size_t position = 0; offset != test::kAbsent && position < field.width; ++position)
                ++owners.at(static_cast<std::size_t>(offset) + position);
        }
        for (std::size_t offset = 0; offset < kUserParamSize; ++offset) {
            const bool parameter = offset >= 4 && offset < versionLength(version) - 2;
            EXPECT_EQ(owners[offset], parameter ? 1 : 0) << versionText(version) << " offset " << offset;
        }
    }
}

// --- Single steps, for the server terminal of serverOwner() ---

// Bytes a step writes whatever the old block held.
struct ForcedBytes {
    int from;
    int to;
    std::size_t offset;
    std::string_view bytes;
};

const ForcedBytes kForcedBytes[] = {
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

// Bytes whose new value follows a rule of its own, tested separately.
struct RuledBytes {
    int from;
    int to;
    std::size_t offset;
    std::size_t length;
};

const RuledBytes kRuledBytes[] = {
    {2, 3, 409, 1},   {3, 2, 385, 1},   // the flag 1 or 6
    {8, 9, 828, 24},                    // summer-time times become texts
    {10, 11, 88, 16}, {10, 11, 974, 2}, // host address, internal reader
    {11, 10, 84, 4},  {11, 10, 974, 2},
};

class SingleStepTest : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(SingleStepTest, CarriesEveryFieldBothLayoutsHoldAndZeroesTheRest) {
    const auto [from, to] = GetParam();
    const UserParamBlock source = test::patternBlock(from);
    const UserParamBlock result = test::converted(source, from, to, serverOwner());

    UserParamBlock expected = test::emptyBlock(to);
    for (const BlockField& field : blockFields()) {
        const int oldOffset = field.offsets[layoutOfVersion(from)];
        const int newOffset = field.offsets[layoutOfVersion(to)];
        if (oldOffset != test::kAbsent && newOffset != test::kAbsent)
            std::copy_n(source.begin() + oldOffset, field.width, expected.begin() + newOffset);
    }
    if (from == 2 && to == 3) // "5.50" keeps bytes 4-11 as well as moving them
        std::copy_n(source.begin() + 4, 8, expected.begin() + 4);
    for (const ForcedBytes& forced : kForcedBytes)
        if (forced.from == from && forced.to == to)
            std::ranges::copy(forced.bytes, expected.begin() + static_cast<std::ptrdiff_t>(forced.offset));
    std::vector<bool> skipped(kUserParamSize, false);
    for (const RuledBytes& ruled : kRuledBytes)
        if (ruled.from == from && ruled.to == to)
            std::fill_n(skipped.begin() + static_cast<std::ptrdiff_t>(ruled.offset), ruled.length, true);

    EXPECT_EQ(differences(result, expected, to, skipped), "");
}

std::vector<std::pair<int, int>> neighbourSteps() {
    std::vector<std::pair<int, int>> steps;
    for (int index = 0; index + 1 < kVersionCount; ++index) {
        steps.emplace_back(index, index + 1);
        steps.emplace_back(index + 1, index);
    }
    return steps;
}

std::string stepName(const ::testing::TestParamInfo<std::pair<int, int>>& info) {
    std::string name =
        std::string(versionText(info.param.first)) + "_to_" + std::string(versionText(info.param.second));
    std::ranges::replace(name, '.', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(AllNeighbours, SingleStepTest, ::testing::ValuesIn(neighbourSteps()), stepName);

// --- Round trips and chains ---

class RoundTripTest : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(RoundTripTest, FieldsHeldAllTheWayComeBackUnchanged) {
    const auto [home, away] = GetParam();
    const UserParamBlock source = test::patternBlock(home);
    const UserParamBlock result =
        test::converted(test::converted(source, home, away, serverOwner()), away, home, serverOwner());
    const std::size_t first = layoutOfVersion(std::min(home, away));
    const std::size_t last = layoutOfVersion(std::max(home, away));
    for (const BlockField& field : blockFields()) {
        bool heldAllTheWay = field.carry == test::Carry::AsIs;
        for (std::size_t layout = first; layout <= last; ++layout)
            heldAllTheWay = heldAllTheWay && field.offsets[layout] != test::kAbsent;
        if (!heldAllTheWay)
            continue;
        const auto offset = static_cast<std::size_t>(field.offsets[layoutOfVersion(home)]);
        EXPECT_TRUE(std::equal(source.begin() + offset, source.begin() + offset + field.width,
                               result.begin() + offset))
            << field.name << " at " << offset;
    }
}

std::vector<std::pair<int, int>> allPairs() {
    std::vector<std::pair<int, int>> pairs;
    for (int home = 0; home < kVersionCount; ++home)
        for (int away = 0; away < kVersionCount; ++away)
            if (home != away)
                pairs.emplace_back(home, away);
    return pairs;
}

INSTANTIATE_TEST_SUITE_P(AllVersions, RoundTripTest, ::testing::ValuesIn(allPairs()), stepName);

TEST(ChainTest, SameLengthPartnerOnlyChangesTheVersionCharacters) {
    const UserParamBlock source = test::patternBlock(13);
    UserParamBlock expected = source;
    test::writeVersionCharacters(expected, 14);
    EXPECT_EQ(differences(test::converted(source, 13, 14, serverOwner()), expected, 14), "");
}

TEST(ChainTest, LongChainsWalkEverySingleStep) {
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
}

// --- The walk ---

TEST(SetBlockVersionTest, UnknownTargetLeavesBlockAndIndexAlone) {
    for (std::string_view target : {"6.22", "6.2", "", "6.200", "4.1O", "0.00"}) {
        test::TraceCapture trace;
        const UserParamBlock source = test::patternBlock(13);
        UserParamBlock block = source;
        int index = 13;
        EXPECT_FALSE(setBlockVersion(block, index, target, serverOwner(), false)) << target;
        EXPECT_EQ(block, source);
        EXPECT_EQ(index, 13);
        EXPECT_TRUE(trace.contains("setUserParamVersion() NewVersion " + std::string(target) +
                                   " ist eine unbekannte Version\n"));
    }
}

TEST(SetBlockVersionTest, OwnVersionIsKept) {
    test::TraceCapture trace;
    const UserParamBlock source = test::patternBlock(9);
    UserParamBlock block = source;
    int index = 9;
    EXPECT_TRUE(setBlockVersion(block, index, "6.02", serverOwner(), false));
    EXPECT_EQ(block, source);
    EXPECT_EQ(trace.text(), "setUserParamVersion() startet mit AktVersion 6.02 und NewVersion 6.02\n"
                            "setUserParamVersion(): Version bleibt gleich\n");
}

TEST(SetBlockVersionTest, TracesDirectionAndSuccess) {
    test::TraceCapture trace;
    UserParamBlock block = test::patternBlock(4);
    int index = 4;
    EXPECT_TRUE(setBlockVersion(block, index, "6.21", serverOwner(), true));
    EXPECT_EQ(index, 14);
    EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(block.data()), 4), "6.21");
    EXPECT_TRUE(trace.contains("setUserParamVersion() startet mit AktVersion 5.91 und NewVersion 6.21\n"
                               "setUserParamVersion() Konvertierung auf neuere Version (Index: 14)\n"));
    EXPECT_TRUE(trace.contains("setUserParamVersion(): Ok, Version wunschgemäß konvertiert\n"));
    trace.clear();
    EXPECT_TRUE(setBlockVersion(block, index, "4.10", serverOwner(), true));
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(trace.contains("setUserParamVersion() Konvertierung auf ältere Version (Index: 0)\n"));
}

TEST(SetBlockVersionTest, BlockNotOfItsIndexVersionIsNotConverted) {
    struct Case {
        UserParamBlock block;
        int index;
    };
    UserParamBlock garbled = test::patternBlock(13);
    garbled[3] = '9';
    for (const Case& test : {Case{UserParamBlock{}, 0}, Case{test::patternBlock(13), 3}, Case{garbled, 13}}) {
        test::TraceCapture trace;
        UserParamBlock block = test.block;
        int index = test.index;
        EXPECT_FALSE(setBlockVersion(block, index, "5.10", serverOwner(), false));
        EXPECT_EQ(block, test.block);
        EXPECT_EQ(index, test.index);
        EXPECT_TRUE(
            trace.contains("setUserParamVersion(): user_params hat eine unbekannte Version, die nicht "
                           "konvertiert werden konnte.\n"));
    }
}

// Arbitrary blocks of every version and arbitrary terminals: every conversion
// succeeds and writes nothing beyond the target version's length.
TEST(SetBlockVersionTest, ArbitraryBlocksStayWithinTheTargetLength) {
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
                if (to == from)
                    continue;
                const UserParamBlock result = test::converted(source, from, to, owner, doSwap);
                EXPECT_TRUE(std::all_of(result.begin() + static_cast<std::ptrdiff_t>(versionLength(to)),
                                        result.end(), [](std::uint8_t value) { return value == 0; }))
                    << versionText(from) << " -> " << versionText(to);
            }
        }
    }
}

} // namespace
} // namespace kestrix

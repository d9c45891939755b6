// The rules of single conversion steps beyond moving bytes: defaults and
// forced bytes that depend on the terminal, the TCL application area, the
// summer-time times and texts, the host address and the internal reader.
#include "config/block_layouts.h"
#include "config/version_conversion.h"
#include "platform/ip_address.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace kestrix {
namespace {

using test::converted;
using test::emptyBlock;
using test::serverOwner;
using test::tclOwner;

// Rows of the version table.
constexpr int v410 = 0, v500 = 1, v510 = 2, v550 = 3, v593 = 6, v600 = 7, v601 = 8, v602 = 9, v603 = 10,
              v610 = 11, v620 = 13, v621 = 14;

std::string bytesAt(const UserParamBlock& block, std::size_t offset, std::size_t length) {
    return std::string(block.begin() + static_cast<std::ptrdiff_t>(offset),
                       block.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

void put(UserParamBlock& block, std::size_t offset, std::string_view bytes) {
    std::ranges::copy(bytes, block.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::string zeros(std::size_t length) {
    return std::string(length, '\0');
}

// --- "4.10" <-> "5.00": MUX setup and TCL group sizes ---

TEST(Conversion410Test, OlderVersionWarnsOfAMuxSetupOtherThanTheDefault) {
    const std::string defaultSetup("\1\2\3\4\5\6\7\10\1\2\3\4\5\6\7\10");
    struct Case {
        std::size_t changedEntry; // 16: none
        bool warns;
    };
    for (const Case& test : {Case{16, false}, Case{0, true}, Case{15, true}}) {
        test::TraceCapture trace;
        UserParamBlock block = emptyBlock(v500);
        block[368] = 0x55; // the byte before the entries does not count
        put(block, 369, defaultSetup);
        if (test.changedEntry < 16)
            block[369 + test.changedEntry] = 9;
        converted(block, v500, v410, serverOwner());
        EXPECT_EQ(
            trace.contains("conv_410_from_500(): Umwandlungsfehler auf Version 4.10: kein DCU MUX Setup "
                           "vorhanden.\n"),
            test.warns)
            << test.changedEntry;
    }
}

TEST(Conversion410Test, TclAreaHoldsTheGroupSizesAsSingleBytes) {
    UserParamBlock old = emptyBlock(v410);
    put(old, 368, "\022\064ABCDEF");
    put(old, 376, std::string(72, 'z')); // beyond the TCL area of "4.10"
    const UserParamBlock tcl = converted(old, v410, v500, tclOwner());
    EXPECT_EQ(bytesAt(tcl, 398, 80), std::string("\022\0\064\0ABCDEF", 10) + zeros(70));
    EXPECT_EQ(bytesAt(converted(tcl, v500, v410, tclOwner()), 368, 80), bytesAt(old, 368, 8) + zeros(72));
    EXPECT_EQ(bytesAt(converted(old, v410, v500, serverOwner()), 398, 80), bytesAt(old, 368, 80));
}

TEST(Conversion410Test, GroupSizesOfTwoBytesAreCutToTheLowByteWithAWarning) {
    struct Case {
        std::string_view sizes; // np_gr, tf_gr as stored in "5.00"
        bool warns;
    };
    for (const Case& test :
         {Case{std::string_view("\xff\0\x10\0", 4), false}, Case{std::string_view("\x01\x01\x10\0", 4), true},
          Case{std::string_view("\x01\0\x10\x80", 4), true}}) {
        test::TraceCapture trace;
        UserParamBlock block = emptyBlock(v500);
        put(block, 398, test.sizes);
        const UserParamBlock old = converted(block, v500, v410, tclOwner());
        EXPECT_EQ(bytesAt(old, 368, 2), (std::string{test.sizes[0], test.sizes[2]}));
        EXPECT_EQ(trace.contains(
                      "conv_410_from_500(): Umwandlungsfehler auf Version 4.10: NP/TF Groesse zu gross\n"),
                  test.warns);
    }
}

// --- "5.10" <-> "5.50": the flag and the LBus byte ---

TEST(Conversion550Test, FlagIsOneOrSixAndComesBackAsOneOrZero) {
    struct Case {
        std::uint8_t value;
        std::uint8_t expected;
    };
    for (const Case& up : {Case{0, 0}, Case{1, 6}, Case{2, 2}, Case{6, 6}, Case{0x41, 0x41}}) {
        UserParamBlock block = emptyBlock(v510);
        block[385] = up.value;
        EXPECT_EQ(converted(block, v510, v550, serverOwner())[409], up.expected) << int(up.value);
    }
    for (const Case& down :
         {Case{0, 0}, Case{1, 0}, Case{2, 1}, Case{4, 1}, Case{6, 1}, Case{8, 0}, Case{0xff, 1}}) {
        UserParamBlock block = emptyBlock(v550);
        block[409] = down.value;
        EXPECT_EQ(converted(block, v550, v510, serverOwner())[385], down.expected) << int(down.value);
    }
}

TEST(Conversion550Test, DcuFourLbusByteForDcu4Dcu4IIAndDcu40) {
    for (int product : {1, 3, 4, 5, 6, 7, 14, 15}) {
        BlockOwner owner = serverOwner();
        owner.productType = product;
        const bool dcu4Lbus = product == 4 || product == 7 || product == 14;
        EXPECT_EQ(converted(emptyBlock(v510), v510, v550, owner)[476], dcu4Lbus ? 6 : 0) << product;
    }
}

// --- "5.93" <-> "6.00" ---

TEST(Conversion600Test, LinkSpeedAndIpStackFollowThePlatformGroup) {
    for (int group : {-1, 1, 2, 3, 4, 5, 6, 7}) {
        BlockOwner owner = serverOwner();
        owner.platformGroup = group;
        const UserParamBlock block = converted(emptyBlock(v593), v593, v600, owner);
        const bool autoNegotiation = group == 3 || group == 5 || group == 6 || group == 7;
        EXPECT_EQ(block[57], 1) << group;
        EXPECT_EQ(block[58], autoNegotiation ? 1 : 2) << group;
    }
}

TEST(Conversion600Test, DhcpHostNameFromFirmware516On) {
    struct Case {
        std::string_view versionKey;
        std::string_view serialNumber;
        std::string_view name;
    };
    for (const Case& test : {Case{"5_16~", "987654", "talmo-987654"}, Case{"6_12a", "1", "talmo-1"},
                             Case{"5_16a", "987654", ""}, Case{"5_15~", "987654", ""}, Case{"", "987654", ""},
                             Case{"6_20~", "1234567890123456789", "talmo-1234567890123"}}) {
        BlockOwner owner = serverOwner();
        owner.versionKey = std::string(test.versionKey);
        owner.serialNumber = std::string(test.serialNumber);
        const UserParamBlock block = converted(emptyBlock(v593), v593, v600, owner);
        EXPECT_EQ(bytesAt(block, 64, 20), std::string(test.name) + zeros(20 - test.name.size()))
            << test.versionKey;
    }
}

TEST(Conversion600Test, ModeByteSixBecomesTwoInTheOlderLayout) {
    for (const auto& [value, expected] :
         {std::pair{6, 2}, std::pair{2, 2}, std::pair{7, 7}, std::pair{0, 0}}) {
        UserParamBlock block = emptyBlock(v600);
        block[792] = static_cast<std::uint8_t>(value);
        EXPECT_EQ(converted(block, v600, v593, serverOwner())[512], expected) << value;
    }
}

// The TCL parameters of the application area, relative to its start: where
// "5.00" to "5.93" and "6.00" on hold them.
struct TclParameter {
    std::string_view name;
    std::size_t width;
    std::size_t offset593;
    std::size_t offset600;
};

constexpr TclParameter kTclParameters[] = {
    {"options with np_gr and tf_gr", 11, 0, 0},
    {"login formatting text", 8, 11, 12},
    {"record-number character", 1, 19, 11},
    {"password for simple access", 8, 20, 20},
    {"password for administrative access", 8, 28, 28},
    {"host encryption flag", 1, 36, 52},
    {"TCL data key", 16, 37, 36},
};

TEST(Conversion600Test, TclAreaIsRebuiltForATclTerminalOnly) {
    UserParamBlock old = emptyBlock(v593);
    for (std::size_t offset = 744; offset < 824; ++offset)
        old[offset] = static_cast<std::uint8_t>(offset - 700);
    const UserParamBlock tcl = converted(old, v593, v600, tclOwner());
    for (const TclParameter& parameter : kTclParameters)
        EXPECT_EQ(bytesAt(tcl, 1018 + parameter.offset600, parameter.width),
                  bytesAt(old, 744 + parameter.offset593, parameter.width))
            << parameter.name;
    EXPECT_EQ(bytesAt(tcl, 1018 + 53, 27), zeros(27));

    const UserParamBlock back = converted(tcl, v600, v593, tclOwner());
    EXPECT_EQ(bytesAt(back, 744, 53), bytesAt(old, 744, 53));
    EXPECT_EQ(bytesAt(back, 797, 27), "0" + zeros(26));

    const UserParamBlock server = converted(old, v593, v600, serverOwner());
    EXPECT_EQ(bytesAt(server, 1018, 80), bytesAt(old, 744, 80));
    EXPECT_EQ(bytesAt(converted(server, v600, v593, serverOwner()), 744, 80), bytesAt(old, 744, 80));
}

TEST(Conversion600Test, TclParametersSurviveTheWholeTableAndBack) {
    UserParamBlock old = emptyBlock(v410);
    put(old, 368, "\041\102abcdef");
    EXPECT_EQ(bytesAt(converted(converted(old, v410, v621, tclOwner()), v621, v410, tclOwner()), 368, 8),
              bytesAt(old, 368, 8));
}

// --- "6.01" <-> "6.02": summer time ---

void putTime(UserParamBlock& block, std::size_t offset, std::uint32_t seconds, bool bigEndian) {
    for (std::size_t index = 0; index < 4; ++index)
        block[offset + (bigEndian ? 3 - index : index)] = static_cast<std::uint8_t>(seconds >> (8 * index));
}

std::uint32_t timeAt(const UserParamBlock& block, std::size_t offset, bool bigEndian) {
    std::uint32_t seconds = 0;
    for (std::size_t index = 0; index < 4; ++index)
        seconds |= std::uint32_t{block[offset + (bigEndian ? 3 - index : index)]} << (8 * index);
    return seconds;
}

struct TimeAndText {
    std::uint32_t seconds;
    std::string_view text;
};

// Month, day, weekday (0 = Sunday), year, hour.
constexpr TimeAndText kTimesAndTexts[] = {
    {7200, "01012198002"},       // 1980-01-01 was a Tuesday
    {39146400, "03290198102"},   // 1981-03-29, a Sunday
    {636253200, "02292200001"},  // 2000-02-29
    {1396317600, "03310202402"}, // 2024-03-31
    {1414465200, "10270202403"}, // 2024-10-27
    {3786908400, "12314209923"}, // 2099-12-31
    {0, "00000000000"},          // no time
    {3786912000, "00000000000"}, // 2100 has no date in the terminals' calendar
};

TEST(SummerTimeTest, TimesBecomeElevenDigitTexts) {
    for (bool bigEndian : {false, true})
        for (const TimeAndText& test : kTimesAndTexts) {
            UserParamBlock block = emptyBlock(v601);
            putTime(block, 828, test.seconds, bigEndian);
            putTime(block, 832, 39146400, bigEndian);
            const UserParamBlock texts = converted(block, v601, v602, serverOwner(), bigEndian);
            EXPECT_EQ(bytesAt(texts, 828, 12), std::string(test.text) + '\0') << test.seconds;
            EXPECT_EQ(bytesAt(texts, 840, 12), std::string("03290198102") + '\0');
        }
}

TEST(SummerTimeTest, TextsBecomeTimesUnderAutomaticChangeOver) {
    struct Case {
        std::string_view text;
        std::uint32_t seconds;
    };
    const Case cases[] = {
        {"03290198102", 39146400},   {"03295198102", 39146400},   // the weekday is not read
        {"03290008102", 39146400},   {"10270202403", 1414465200}, // year 81 is 1981
        {"01011208002", 3155767200}, {"01012198002", 3155767200}, // years 80 and 1980 are 2080
        {"01015199902", 599623200},  {"00000000000", 0},          {"", 0}, {"abc", 0},
        {"13290198102", 0},          {"02300198102", 0}, // no such date
        {"03290198124", 0},
    };
    for (bool bigEndian : {false, true})
        for (const Case& test : cases) {
            test::TraceCapture trace;
            UserParamBlock block = emptyBlock(v602);
            block[824] = 2;
            put(block, 828, test.text);
            put(block, 840, "10270202403");
            const UserParamBlock times = converted(block, v602, v601, serverOwner(), bigEndian);
            EXPECT_EQ(timeAt(times, 828, bigEndian), test.seconds) << test.text;
            EXPECT_EQ(timeAt(times, 832, bigEndian), 1414465200u);
            EXPECT_EQ(times[824], 2);
            EXPECT_TRUE(trace.contains("conv_601_from_602(): autom. SoWi\n"
                                       "conv_601_from_602(): start conv_summer_time\n"));
        }
}

TEST(SummerTimeTest, TimesComeBackOnlyUnderAutomaticChangeOver) {
    for (const auto& [mode, kept] : {std::pair{2, true}, std::pair{0, false}, std::pair{1, false}}) {
        test::TraceCapture trace;
        UserParamBlock block = emptyBlock(v601);
        block[824] = static_cast<std::uint8_t>(mode);
        putTime(block, 828, 1396317600, false);
        putTime(block, 832, 1414465200, false);
        const UserParamBlock back =
            converted(converted(block, v601, v602, serverOwner()), v602, v601, serverOwner());
        EXPECT_EQ(bytesAt(back, 828, 8), kept ? bytesAt(block, 828, 8) : zeros(8)) << mode;
        EXPECT_EQ(trace.contains("autom. SoWi"), kept);
    }
}

TEST(SummerTimeTest, PosixRuleEndsAutomaticChangeOverOnTheWayTo601) {
    for (const auto& [start, end] :
         {std::pair{"M3.5.0/2", "10270202403"}, std::pair{"03310202402", "M10.5.0"}}) {
        test::TraceCapture trace;
        UserParamBlock block = emptyBlock(v620);
        block[824] = 2;
        block[826] = 0xc4; // GMT deviation -60
        block[827] = 0xff;
        put(block, 828, start);
        put(block, 840, end);
        const UserParamBlock old = converted(block, v620, v601, serverOwner());
        EXPECT_EQ(bytesAt(old, 824, 12), std::string("\0\0\xc4\xff", 4) + zeros(8)) << start;
        EXPECT_TRUE(
            trace.contains("conv_601_from_602(): Umwandlungsfehler auf Version 6.01: keine automatische "
                           "SoWi-Zeitumschaltung möglich.\n"));
        EXPECT_FALSE(trace.contains("start conv_summer_time"));
        EXPECT_TRUE(trace.contains("setUserParamVersion(): Ok, Version wunschgemäß konvertiert\n"));
    }
}

// --- "6.03" <-> "6.10": IP stack, link speed, host address, internal reader ---

TEST(Conversion610Test, IpStackAndLinkSpeedFollowThePlatformGroup) {
    struct Case {
        int group;
        std::uint8_t ipStack;
        std::uint8_t linkSpeed;
    };
    for (const Case& test : {Case{1, 0, 2}, Case{2, 0, 2}, Case{4, 0, 2}, Case{-1, 0, 2}, Case{3, 0, 0x33},
                             Case{5, 0, 0x33}, Case{6, 1, 0x33}, Case{7, 1, 0x33}}) {
        BlockOwner owner = serverOwner();
        owner.platformGroup = test.group;
        UserParamBlock block = emptyBlock(v603);
        block[57] = 0x22;
        block[58] = 0x33;
        const UserParamBlock upper = converted(block, v603, v610, owner);
        EXPECT_EQ(upper[57], test.ipStack) << test.group;
        EXPECT_EQ(upper[58], test.linkSpeed) << test.group;
        EXPECT_EQ(converted(upper, v610, v603, owner)[57], 1);
    }
}

Ip6Address addressAt(const UserParamBlock& block, std::size_t offset) {
    Ip6Address address;
    std::copy_n(block.begin() + static_cast<std::ptrdiff_t>(offset), 16, address.bytes.begin());
    return address;
}

TEST(Conversion610Test, HostAddressBecomesIPv4Mapped) {
    UserParamBlock block = emptyBlock(v603);
    put(block, 84, "\x28\x1e\x14\x0a"); // 10.20.30.40, least significant byte first
    put(block, 88, std::string(16, '\x55'));
    const UserParamBlock upper = converted(block, v603, v610, serverOwner());
    EXPECT_EQ(addressToText(addressAt(upper, 88)), "::ffff:10.20.30.40");
    EXPECT_EQ(bytesAt(upper, 84, 4), "\x28\x1e\x14\x0a");
}

TEST(Conversion610Test, HostAddressComesBackWhenItIsIPv4) {
    struct Case {
        std::string_view address;
        std::string_view ipv4;
    };
    for (const Case& test :
         {Case{"::ffff:10.20.30.40", "\x28\x1e\x14\x0a"}, Case{"::ffff:1.2.3.4", "\4\3\2\1"},
          Case{"2001:db8::1", std::string_view("\0\0\0\0", 4)}, Case{"::1", std::string_view("\0\0\0\0", 4)},
          Case{"1::ffff:1.2.3.4", std::string_view("\0\0\0\0", 4)}}) {
        UserParamBlock block = emptyBlock(v610);
        put(block, 84, "\x99\x99\x99\x99");
        const std::optional<Ip6Address> address = addressFromText(test.address);
        ASSERT_TRUE(address) << test.address;
        std::ranges::copy(address->bytes, block.begin() + 88);
        const UserParamBlock lower = converted(block, v610, v603, serverOwner());
        EXPECT_EQ(bytesAt(lower, 84, 4), test.ipv4) << test.address;
        EXPECT_EQ(bytesAt(lower, 88, 16), bytesAt(block, 88, 16));
    }
}

TEST(Conversion610Test, HostAddressSurvivesTheWholeTable) {
    UserParamBlock old = emptyBlock(v410);
    put(old, 16, "\x28\x1e\x14\x0a");
    const UserParamBlock newest = converted(old, v410, v621, serverOwner());
    EXPECT_EQ(addressToText(addressAt(newest, 88)), "::ffff:10.20.30.40");
    EXPECT_EQ(bytesAt(converted(newest, v621, v410, serverOwner()), 16, 4), bytesAt(old, 16, 4));
}

struct ReaderCase {
    std::uint8_t code;
    std::uint8_t type;
    std::uint8_t mode;
};

// Old codes with a pair of their own.
constexpr ReaderCase kReaderPairs[] = {
    {0, 0, 0},   {2, 0, 2},    {3, 0, 3},    {4, 0, 4},    {5, 1, 5},    {7, 2, 7},  {8, 128, 0},
    {9, 128, 1}, {10, 128, 2}, {11, 128, 3}, {12, 128, 4}, {13, 129, 5}, {16, 1, 6},
};

TEST(Conversion610Test, InternalReaderCodeBecomesTypeAndMode) {
    for (int code = 0; code < 256; ++code) {
        ReaderCase expected{static_cast<std::uint8_t>(code), 0, 1};
        for (const ReaderCase& pair : kReaderPairs)
            if (pair.code == code)
                expected = pair;
        UserParamBlock block = emptyBlock(v603);
        block[974] = static_cast<std::uint8_t>(code);
        block[975] = 0x77;
        const UserParamBlock upper = converted(block, v603, v610, serverOwner());
        EXPECT_EQ(upper[974], expected.type) << code;
        EXPECT_EQ(upper[975], expected.mode) << code;
    }
}

TEST(Conversion610Test, TypeAndModeBecomeTheOldCode) {
    const ReaderCase cases[] = {
        {0, 0, 0},    {2, 0, 2},    {4, 0, 4},   {1, 0, 1}, {1, 0, 5},    {1, 0, 12},
        {8, 128, 0},  {12, 128, 4}, {9, 128, 7}, {5, 1, 5}, {13, 129, 5}, {16, 1, 6},
        {16, 129, 6}, {1, 1, 7},    {1, 129, 0}, {1, 2, 7}, {1, 130, 12}, {1, 0x0f, 0},
    };
    for (const ReaderCase& test : cases) {
        UserParamBlock block = emptyBlock(v610);
        block[974] = test.type;
        block[975] = test.mode;
        const UserParamBlock lower = converted(block, v610, v603, serverOwner());
        EXPECT_EQ(lower[974], test.code) << int(test.type) << "/" << int(test.mode);
        EXPECT_EQ(lower[975], 0);
    }
}

TEST(Conversion610Test, HitagCodeSevenComesBackAsOne) {
    for (const ReaderCase& pair : kReaderPairs) {
        UserParamBlock block = emptyBlock(v603);
        block[974] = pair.code;
        const UserParamBlock back =
            converted(converted(block, v603, v610, serverOwner()), v610, v603, serverOwner());
        EXPECT_EQ(back[974], pair.code == 7 ? 1 : pair.code);
    }
}

} // namespace
} // namespace kestrix

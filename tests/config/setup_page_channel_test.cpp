#include "config/setup_page_channel.h"
#include "setup_pages_bed.h"

#include <functional>

// The channel pages: the bytes each control writes in its record, the rules
// by which stored values read, the lists by platform group and the tabs.

namespace kestrix {
namespace {

using test::Bytes;

// A channel record: receive 1024, transmit 1280, flags 0x2481 (ignore EOL,
// suppress characters, bits 0 and 10 besides), processing 0x8001, 9600 baud
// 8E1 with bits 14-15 set, EOF 26, delay 500, group 3, device 31, PAD 2,
// poll 10, data timeout 2000, transmit delay 7, quit 120. Channel A's host
// is ::ffff:192.168.1.2 port 3001.
std::vector<Bytes> recordAt(std::size_t record) {
    return {{record + 1, {8, 10}},
            {record + 4, {0x81, 0x24, 0x01, 0x80, 0x3D, 0xC1}},
            {record + 16, {26, 5}},
            {record + 28, {3, 31, 2, 10, 20, 7, 12}},
            {88, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 192, 168, 1, 2}},
            {146, {0xB9, 0x0B}}};
}

constexpr std::size_t kChannelB = 392, kChannelA = 312;

struct ChannelRow {
    const char* name;
    int platformGroup;
    int channel;
    std::vector<Bytes> stored; // besides the record
    std::function<void(SetupPageChannel&)> edit;
    std::vector<Bytes> written;
};

TEST(SetupPageChannel, PutWritesEachControlsBytesAndNothingElse) {
    constexpr std::size_t b = kChannelB;
    // clang-format off
    const ChannelRow rows[] = {
        {"untouched", 1, 1, {}, [](SetupPageChannel&) {}, {}},
        {"buffers up to 50 units", 1, 1, {},
         [](SetupPageChannel& p) { p.values.transmitBuffer = 12800; p.values.receiveBuffer = 130; }, {{b + 1, {1, 50}}}},
        {"buffers of 0 and 51 read as the defaults", 1, 1, {{b + 1, {0, 51}}}, [](SetupPageChannel&) {}, {{b + 1, {4, 2}}}},
        {"a buffer of 50 stays", 1, 1, {{b + 1, {50, 0}}}, [](SetupPageChannel&) {}, {{b + 2, {2}}}},
        {"38400 baud 7O2 keep the other bits", 1, 1, {},
         [](SetupPageChannel& p) { p.values.baudRate = 15; p.values.dataFormat = 10; }, {{b + 8, {0x6F, 0xC3}}}},
        {"odd without parity reads as no parity", 1, 1, {{b + 8, {0x2D, 0xC2}}}, [](SetupPageChannel&) {}, {{b + 8, {0x2D, 0xC0}}}},
        {"group 2: no 38400, no two stop bits", 2, 1, {},
         [](SetupPageChannel& p) { p.values.baudRate = 15; p.values.dataFormat = 7; }, {}},
        {"group 5: a stored 38400 stays, 8E2 becomes the first format", 5, 1, {{b + 8, {0x7F, 0xC1}}},
         [](SetupPageChannel&) {}, {{b + 8, {0x2F, 0xC0}}}},
        {"flags keep their other bits", 1, 1, {},
         [](SetupPageChannel& p) { p.values.ignoreEndOfLine = p.values.suppressCharacters = p.values.processing = false; },
         {{b + 4, {0x01, 0x04, 0x00, 0x80}}}},
        {"times, counters and ids at and beyond their ranges", 1, 1, {},
         [](SetupPageChannel& p) {
             p.values.eofCounter = 300; p.values.delayTime = 25599; p.values.pollTimeout = 0;
             p.values.dataTimeout = 99; p.values.transmitDelay = 255; p.values.quitTimeout = 2550;
             p.values.groupId = 31; p.values.deviceId = 0; p.values.padNumber = 10;
         },
         {{b + 16, {255, 255}}, {b + 28, {31, 0, 9, 1, 1, 255, 255}}}},
        {"ids above 31 read as 0, a PAD number above 9 as 1", 1, 1, {{b + 28, {32}}, {b + 30, {10}}},
         [](SetupPageChannel&) {}, {{b + 28, {0}}, {b + 30, {1}}}},
        {"a poll and data timeout of 0 stay", 1, 1, {{b + 31, {0, 0}}}, [](SetupPageChannel&) {}, {}},
        {"channel A also writes the host port", 1, 0, {},
         [](SetupPageChannel& p) { p.values.deviceId = 1; p.hostChannel()->values.port = "4000"; },
         {{kChannelA + 29, {1}}, {146, {0xA0, 0x0F}}}},
    };
    // clang-format on
    for (const ChannelRow& row : rows) {
        SCOPED_TRACE(row.name);
        test::PageBed bed(3, "6.20", row.platformGroup);
        const std::size_t record = kChannelA + 80 * static_cast<std::size_t>(row.channel);
        UserParamBlock original = test::patternBlock(recordAt(record));
        test::put(original, row.stored);
        SetupPageChannel page(bed.context, row.channel);
        test::expectPutChanges(page, original, row.edit, row.written);
        EXPECT_TRUE(bed.boxes.shown.empty());
    }
}

TEST(SetupPageChannel, DataFormatSelection) {
    struct Row {
        std::uint16_t word;
        bool twoStopBits;
        int index;
    };
    const Row rows[] = {{0x0020, true, 0},  {0xC03D, true, 1},  {0x0230, true, 1},  {0x0330, true, 5},
                        {0x0370, true, 11}, {0x0070, true, 7},  {0x0070, false, 0}, {0x0330, false, 5},
                        {0x00A0, true, 0},  {0x0130, false, 3}, {0x0260, true, 6}};
    for (const Row& row : rows)
        EXPECT_EQ(SetupPageChannel::dataFormatIndex(row.word, row.twoStopBits), row.index)
            << std::hex << row.word;
}

} // namespace
} // namespace kestrix

#include "config/setup_page_channel.h"
#include "config/setup_page_lbus.h"
#include "config/setup_page_reader.h"
#include "setup_pages_bed.h"

#include <functional>

// The internal reader page and the LBus pages: the bytes each control
// writes, the mode numbering across the reader types, which terminals get
// the pages, and the check of readers without a reader type.

namespace kestrix {
namespace {

using test::Bytes;

// Serial standard with the further option in Standard/Chipcard mode,
// chipcard parameters 0x1234 and 0x5678.
const std::vector<Bytes> kReader = {{974, {0x81, 5}}, {978, {0x34, 0x12, 0x78, 0x56}}};

struct ReaderRow {
    const char* name;
    WiegandInterface wiegand;
    std::vector<Bytes> stored; // besides kReader
    std::function<void(SetupPageReader&)> edit;
    std::vector<Bytes> written;
};

TEST(SetupPageReader, PutWritesTypeModeAndChipcardParameters) {
    constexpr auto present = WiegandInterface::Present, absent = WiegandInterface::Absent;
    // clang-format off
    const ReaderRow rows[] = {
        {"untouched", absent, {}, [](SetupPageReader&) {}, {}},
        {"chipcard parameters", absent, {},
         [](SetupPageReader& p) { p.values.chipcard1 = 1; p.values.chipcard2 = 70000; }, {{978, {1, 0, 0xFF, 0xFF}}}},
        {"DNCIN leaves the chipcard parameters", absent, {},
         [](SetupPageReader& p) { p.values.mode = 1; p.values.chipcard1 = 7; }, {{975, {6}}}},
        {"Hitag SN+CS without the option", absent, {},
         [](SetupPageReader& p) { p.selectType(2); p.values.mode = 5; p.values.furtherOption = false; }, {{974, {2, 12}}}},
        {"barcode is 4 without Wiegand", absent, {}, [](SetupPageReader& p) { p.selectType(0); p.values.mode = 3; },
         {{974, {0x80, 4}}}},
        {"Wiegand is 3 where present", present, {}, [](SetupPageReader& p) { p.selectType(0); p.values.mode = 3; },
         {{974, {0x80, 3}}}},
        {"a stored Wiegand stays offered", absent, {{974, {0, 3}}}, [](SetupPageReader&) {}, {}},
        {"an unknown type keeps both bytes", absent, {{974, {0x05, 1}}},
         [](SetupPageReader& p) { p.values.furtherOption = false; }, {}},
        {"a mode beyond the type keeps both bytes", absent, {{974, {2, 13}}},
         [](SetupPageReader& p) { p.values.furtherOption = true; }, {}},
        {"the type byte is type and option only", absent, {{974, {0x71}}}, [](SetupPageReader&) {}, {{974, {0x01}}}},
    };
    // clang-format on
    for (const ReaderRow& row : rows) {
        SCOPED_TRACE(row.name);
        test::PageBed bed;
        UserParamBlock original = test::patternBlock(kReader);
        test::put(original, row.stored);
        SetupPageReader page(bed.context, row.wiegand);
        test::expectPutChanges(page, original, row.edit, row.written);
    }
}

TEST(SetupPageReader, ModeNumbering) {
    struct Row {
        WiegandInterface wiegand;
        int type, index, number;
    };
    constexpr auto present = WiegandInterface::Present, absent = WiegandInterface::Absent;
    const Row rows[] = {{absent, 0, 3, 4},   {absent, 0, 4, -1}, {present, 0, 3, 3},
                        {present, 0, 5, -1}, {absent, 1, 2, -1}, {absent, 2, 5, 12}};
    test::PageBed bed;
    for (const Row& row : rows) {
        const SetupPageReader page(bed.context, row.wiegand);
        EXPECT_EQ(page.modeNumber(row.type, row.index), row.number) << row.type << " " << row.index;
    }
    SetupPageReader page(bed.context, absent);
    page.selectType(0);
    EXPECT_EQ(page.modeNames(),
              (std::vector<std::string>{"Mag. Track1", "Mag. Track2", "Mag. Track3", "Barcode"}));
}

// The LBus settings: LBus1 card readers 1 and 3, LBus2 keypads at reader 16.
const std::vector<Bytes> kLbus = {{970, {1, 0x05, 5, 0x80}}};

struct Terminal {
    int product, kind, grade;
};
constexpr Terminal kPze3{product::Talmo7000, tcl_kind::Pze, 3}, kPze2{product::Talmo7000, tcl_kind::Pze, 2};

struct LbusBed : test::PageBed {
    explicit LbusBed(Terminal lbusTerminal) : PageBed(lbusTerminal.grade) {
        terminal.ProductType = lbusTerminal.product;
        terminal.TclKind = lbusTerminal.kind;
    }
};

struct LbusRow {
    const char* name;
    Terminal terminal;
    int bus;
    std::vector<Bytes> stored; // besides kLbus
    std::function<void(LbusPageValues&)> edit;
    std::vector<Bytes> written;
};

TEST(SetupPageLbus, PutWritesTypeReadersAndKey) {
    const std::vector<std::uint8_t> key2(16, 0x66);
    const auto readers18 = [](LbusPageValues& v) {
        v.readers = {true, false, false, false, false, false, false, true};
    };
    // clang-format off
    const LbusRow rows[] = {
        {"untouched", kPze2, 1, {}, [](LbusPageValues&) {}, {}},
        {"LBus1 readers 1 and 8 with keypads", kPze2, 1, {}, [&](LbusPageValues& v) { readers18(v); v.readerType = 4; },
         {{970, {4, 0x81}}}},
        {"an unknown type stays", kPze2, 2, {{972, {9}}}, readers18, {{973, {0x81}}}},
        {"grade 3 takes the bus's pending key", kPze3, 2, {}, [](LbusPageValues&) {}, {{936, key2}}},
        {"access-control manager: no LBus1", {product::Talmo7000, tcl_kind::Acm, 3}, 1, {}, readers18, {}},
        {"access-control manager: LBus2", {product::Talmo7000, tcl_kind::Acm, 3}, 2, {}, readers18, {{973, {0x81}}, {936, key2}}},
        {"DCU4: no LBus2", {product::Dcu4, tcl_kind::Pze, 3}, 2, {}, readers18, {}},
        {"DCU40: LBus1", {product::Dcu40, tcl_kind::Pze, 2}, 1, {}, readers18, {{971, {0x81}}}},
    };
    // clang-format on
    SetupPendingKeys keys;
    keys.lbus[0].emplace().fill(0x55);
    keys.lbus[1].emplace().fill(0x66);
    for (const LbusRow& row : rows) {
        SCOPED_TRACE(row.name);
        LbusBed bed(row.terminal);
        UserParamBlock original = test::patternBlock(kLbus);
        test::put(original, row.stored);
        SetupPageLbus page(bed.context, row.bus, keys);
        test::expectPutChanges(
            page, original, [&](SetupPageLbus& p) { row.edit(p.values); }, row.written);
    }
}

TEST(SetupPageLbus, ReadersWithoutTypeStopOk) {
    struct Row {
        Terminal terminal;
        int bus, readerType;
        bool anyReader, passes;
    };
    const Row rows[] = {
        {kPze2, 1, 0, true, false},
        {kPze3, 2, 0, false, true},
        {kPze3, 1, 6, true, true},
        {kPze3, 1, -1, true, true}, // a type the list lacks is still a type
        {{product::Talmo7000, tcl_kind::Pze, 1}, 1, 0, true, true},
        {{product::Dcu4II, tcl_kind::Pze, 3}, 2, 0, true, true},
    };
    const SetupPendingKeys keys;
    for (const Row& row : rows) {
        LbusBed bed(row.terminal);
        SetupPageLbus page(bed.context, row.bus, keys);
        page.values.readerType = row.readerType;
        page.values.readers[5] = row.anyReader;
        EXPECT_EQ(page.CheckReaders(), row.passes) << row.terminal.grade << " bus " << row.bus;
        EXPECT_EQ(bed.boxes.texts(),
                  row.passes ? std::vector<std::string>{}
                             : std::vector<std::string>{"There are readers, but no reader type selected."});
    }
}

// Which tabs a terminal gets, and the texts of an LBus it cannot use.
TEST(SetupPages, TabsByGradeProductAndKind) {
    struct Row {
        Terminal terminal;
        bool channelsBToD, reader, lbus;
        const char* lbus1Text;
        const char* lbus2Text;
    };
    const char* noLbus1 = "Access control manager has no LBus1.";
    const char* noLbus2 = "LBus2 is not usable with this configuration.";
    const Row rows[] = {
        {{product::Talmo7000, tcl_kind::Pze, 1}, false, true, false, "", ""},
        {kPze2, true, true, true, "", ""},
        {{product::Talmo7450, tcl_kind::ServerMonitor, 3}, false, true, false, "", ""},
        {{product::Talmo7000, tcl_kind::Acm, 2}, true, true, true, noLbus1, ""},
        {{product::Talmo9300, tcl_kind::Et, 3}, true, true, true, "", ""},
        {{product::Dcu4, tcl_kind::Pze, 3}, true, false, true, "", noLbus2},
        {{product::Dcu40, tcl_kind::Pze, 3}, true, false, true, "", noLbus2},
        {{product::Dcu8, tcl_kind::Pze, 3}, true, false, true, "", ""},
    };
    const SetupPendingKeys keys;
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "product " << row.terminal.product << " kind " << row.terminal.kind
                                        << " grade " << row.terminal.grade);
        LbusBed bed(row.terminal);
        EXPECT_TRUE(SetupPageChannel::channelShown(bed.context, 0));
        for (const int channel : {1, 3})
            EXPECT_EQ(SetupPageChannel::channelShown(bed.context, channel), row.channelsBToD);
        EXPECT_FALSE(SetupPageChannel::channelShown(bed.context, 4));
        EXPECT_EQ(SetupPageReader::shown(bed.context), row.reader);
        EXPECT_EQ(SetupPageLbus::shown(bed.context), row.lbus);
        EXPECT_EQ(SetupPageLbus(bed.context, 1, keys).unusableText(), row.lbus1Text);
        EXPECT_EQ(SetupPageLbus(bed.context, 2, keys).unusableText(), row.lbus2Text);
    }
}

} // namespace
} // namespace kestrix

#include "config/setup_page_misc.h"
#include "setup_pages_bed.h"
#include "support/trace_capture.h"

#include <functional>
#include <tuple>

// The "Sonstiges" page with time zone and summer time: the bytes each control
// writes, the passwords written only when changed, the maintenance group
// refusal, the POSIX rules and the two forms of a change-over point.

namespace kestrix {
namespace {

using namespace std::chrono;
using test::Bytes;
using test::text;

constexpr year_month_day kToday{year{2024}, month{6}, day{15}};

// A terminal's block: character set 2, group 0x1234, the three passwords,
// the backlight dims, clicks byte 0xE4 (other options in bits 2, 5-7), LED 9,
// no DCU4 button, no summer time, 90 minutes east, a calendar start and a
// POSIX end.
const std::vector<Bytes> kMiscFields = {
    {60, {0x34, 0x12}},           {792, {2}},
    {794, text("111111")},        {800, text("22222222")},
    {808, text("33333333")},      {817, {0, 0x5A, 0xE4, 9, 0}},
    {824, {0, 0x5A, 0xA6, 0xFF}}, {828, text("03301202502", 1)},
    {840, text("M10.5.0/3", 3)},
};

SetupPageMisc makePage(test::PageBed& bed) {
    return SetupPageMisc(bed.context, {"111111", "22222222", "33333333"}, [] { return kToday; });
}

struct MiscRow {
    const char* name;
    int grade;
    std::function<void(SetupPageMisc&)> edit;
    std::vector<Bytes> written; // besides the deviation, which comes back as -60; nothing when refused
    const char* message;        // the one message shown, or ""
};

constexpr const char* kGroupMessage = "Maintenance group must be a number between 0 and 65535.";

TEST(SetupPageMisc, PutWritesEachControlsBytesAndNothingElse) {
    // clang-format off
    const MiscRow rows[] = {
        {"untouched: 90 minutes east come back as one hour", 3, [](SetupPageMisc&) {}, {}, ""},
        {"group 65535", 3, [](SetupPageMisc& p) { p.values.maintenanceGroup = "65535"; }, {{60, {0xFF, 0xFF}}}, ""},
        {"character set, backlight, LED, DCU4 button", 3,
         [](SetupPageMisc& p) {
             p.values.characterSet = 5; p.values.backlightDims = false;
             p.values.blueLed = 3; p.values.dcu4ButtonIsFunctionKey = true;
         },
         {{792, {5}}, {817, {1}}, {820, {3, 1}}}, ""},
        {"clicks and buzzer keep the other bits", 3,
         [](SetupPageMisc& p) { p.values.functionKeyClicks = p.values.otherKeyClicks = p.values.noBuzzer = true; },
         {{819, {0xF7}}}, ""},
        {"a changed password is written, a loaded one kept", 3,
         [](SetupPageMisc& p) { EXPECT_TRUE(p.passwordChange(2).OnOK("22222222", "87654321", "87654321")); },
         {{800, text("87654321")}}, "New password correct."},
        {"below grade 3 the group is not read", 2, [](SetupPageMisc& p) { p.values.maintenanceGroup = "x"; }, {}, ""},
        // A group that is no number stops OK before anything is written.
        {"group 65536", 3, [](SetupPageMisc& p) { p.values.maintenanceGroup = "65536"; p.values.characterSet = 4; }, {}, kGroupMessage},
        {"group 12a", 3, [](SetupPageMisc& p) { p.values.maintenanceGroup = "12a"; }, {}, kGroupMessage},
    };
    // clang-format on
    for (const MiscRow& row : rows) {
        SCOPED_TRACE(row.name);
        test::PageBed bed(row.grade);
        SetupPageMisc page = makePage(bed);
        // The block was loaded from a file whose password 1 differs from the fetched one.
        SetupBlock block(test::patternBlock(kMiscFields));
        block.bytes()[794] = '9';
        page.Get(block);
        row.edit(page);
        const bool refused = row.message == kGroupMessage;
        UserParamBlock expected = block.bytes();
        if (!refused)
            test::put(expected, {{826, {0xC4, 0xFF}}});
        test::put(expected, row.written);
        EXPECT_EQ(page.Put(block), !refused);
        test::expectBlock(block.bytes(), expected);
        EXPECT_EQ(bed.boxes.texts(),
                  *row.message ? std::vector<std::string>{row.message} : std::vector<std::string>{});
    }
}

TEST(SetupPageMisc, GradesAndTheBacklightQuestion) {
    test::PageBed bed(2);
    SetupPageMisc page = makePage(bed);
    EXPECT_TRUE(page.passwordChangeEnabled(1));
    EXPECT_TRUE(page.passwordChangeEnabled(2));
    EXPECT_FALSE(page.passwordChangeEnabled(3));
    EXPECT_FALSE(page.maintenanceGroupEnabled());

    bed.boxes.answers = {MessageAnswer::Cancel, MessageAnswer::Ok};
    EXPECT_FALSE(page.OnUncheckBacklight());
    EXPECT_TRUE(page.values.backlightDims);
    EXPECT_TRUE(page.OnUncheckBacklight());
    EXPECT_FALSE(page.values.backlightDims);
    EXPECT_EQ(bed.boxes.texts(), std::vector<std::string>(2, "This will reduce lifetime of backlight!"));
}

struct PosixRow {
    const char* rule;
    bool passes;
    const char* trace; // empty: not checked
};

TEST(SummerTime, PosixRules) {
    // clang-format off
    const PosixRow rows[] = {
        {"M3.5.0", true, "Chk_POSIX_TZ(): OK 'M3.5.0%: m: 3, w: 5, d: 0, h: 2\n"},
        {"M10.5.0/3", true, "Chk_POSIX_TZ(): OK 'M10.5.0/3%: m: 10, w: 5, d: 0, h: 3\n"},
        {"M10.5.0", true, ""}, {"M3.5.0/2", true, ""},
        {"M13.1.0/2", false, ""}, {"M3.6.0/2", false, ""}, {"M3.5.7/2", false, ""}, {"M3.5.0/24", false, ""},
        {"M3.5", false, "Chk_POSIX_TZ(): Error 'M3.5%: i: 2,  m: 3, w: 5, d: 0, h: 0\n"},
        {"M3.5.0/", false, "Chk_POSIX_TZ(): Error 'M3.5.0/%: i: 3,  m: 3, w: 5, d: 0\n"}, // 7 characters: no hour
        {"", false, "Chk_POSIX_TZ(): Error '%: i: -1,  m: 0, w: 0, d: 0, h: 0\n"},
        {"M3.5.0/2x", false, ""}, {"M 3.5.0/2", false, ""}, // nothing skipped, nothing after the rule
    };
    // clang-format on
    for (const PosixRow& row : rows) {
        SCOPED_TRACE(row.rule);
        test::TraceCapture trace;
        EXPECT_EQ(Chk_POSIX_TZ(row.rule), row.passes);
        if (*row.trace) {
            EXPECT_EQ(trace.text(), row.trace);
        }
    }
}

TEST(SummerTime, GetShowsBothFormsAndTodayForAPointWithoutDate) {
    test::PageBed bed;
    SetupPageMisc page = makePage(bed);
    SetupBlock block(test::patternBlock(kMiscFields));
    page.Get(block);
    const SummerTimeValues& v = page.summerTime.values;
    EXPECT_EQ(std::tuple(v.deviationHours, v.sign), std::tuple(1, DeviationSign::East));
    EXPECT_EQ(std::tuple(v.start.form, v.start.date, v.start.hour),
              std::tuple(SummerTimeForm::Calendar, year_month_day{year{2025}, month{3}, day{30}}, 2));
    EXPECT_EQ(std::tuple(v.end.form, v.end.posixRule), std::tuple(SummerTimeForm::Posix, "M10.5.0/3"));

    block.bytes()[828] = 0;
    test::TraceCapture trace;
    page.Get(block);
    EXPECT_EQ(std::tuple(v.start.date, v.start.hour), std::tuple(kToday, 0));
    EXPECT_EQ(trace.text(), "CTerminalSetup::get_summer_time(): Umwandlungsfehler in sscanf(), ret: -1:\n"
                            "\tkeine automatische SoWi-Zeitumschaltung jährlich über Datum eingetragen.\n");
}

struct SummerRow {
    const char* name;
    std::function<void(SummerTimeValues&)> edit;
    std::vector<Bytes> written;
    bool message; // the POSIX error message
};

TEST(SummerTime, PutWritesDeviationModeAndPoints) {
    const Bytes east{826, {0xC4, 0xFF}}, calendarStart{828, text("03300202502", 1)};
    // clang-format off
    const SummerRow rows[] = {
        {"two hours west, off", [](SummerTimeValues& v) { v = {2, DeviationSign::West, false, v.start, v.end}; },
         {{826, {120, 0}}}, false},
        {"automatic: the calendar weekday follows the date", [](SummerTimeValues& v) { v.automatic = true; },
         {{824, {2}}, east, calendarStart, {840, text("M10.5.0/3", 3)}}, false},
        {"a bad rule switches the change-over off, the start is still written",
         [](SummerTimeValues& v) { v.automatic = true; v.end.posixRule = "M13.1.0/2"; },
         {{824, {0}}, east, calendarStart}, true},
    };
    // clang-format on
    const std::string posixError =
        "POSIX-TZ time formatting error (Mm.w.d/t), therefore automatically switch-over is reset.";
    for (const SummerRow& row : rows) {
        SCOPED_TRACE(row.name);
        test::PageBed bed;
        SetupPageMisc page = makePage(bed);
        SetupBlock block(test::patternBlock(kMiscFields));
        page.Get(block);
        row.edit(page.summerTime.values);
        UserParamBlock expected = block.bytes();
        test::put(expected, row.written);
        page.summerTime.Put(block);
        test::expectBlock(block.bytes(), expected);
        EXPECT_EQ(bed.boxes.texts(),
                  row.message ? std::vector<std::string>{posixError} : std::vector<std::string>{});
    }
}

} // namespace
} // namespace kestrix

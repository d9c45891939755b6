#include "config/setup_page_tcl.h"
#include "setup_pages_bed.h"
#include "support/trace_capture.h"

#include <functional>

// The TCL page: which bytes of the application area each control writes, and
// when the terminal must cold-boot.

namespace kestrix {
namespace {

using test::Bytes;
using test::text;

// The TCL area as a terminal holds it: sizes 30 and 60, acknowledgement time
// 10, 1024 labels (low nibble 5 is another option), address 7, login with
// the transmission record structure, both host passwords, encryption off.
const std::vector<Bytes> kTclArea = {
    {1036, {10, 0, 20, 0, 1, 5, 0, 0x25, 7, 1, 1, 'R'}},
    {1048, text("LOGFMT", 2)},
    {1056, text("simple1", 1)},
    {1064, text("admin123")},
    {1072, std::vector<std::uint8_t>(16, 0x11)},
    {1088, {0, 0xFF}},
    {1090, std::vector<std::uint8_t>(32, 0x22)},
    {816, {1}},
};

// The terminal, the login grade and the block's version a row runs with.
struct Setting {
    int platformGroup;
    int grade;
    const char* version;
    bool pendingKeys; // a host key of 0x33 and a PIN-code key of 0x44 are waiting
};
constexpr Setting kGrade3{1, 3, "6.20", false}, kGrade2{1, 2, "6.20", false}, kLinux{6, 3, "6.20", false};

struct TclRow {
    const char* name;
    Setting setting;
    std::function<void(TclPageValues&)> edit;
    std::vector<Bytes> written;
    bool coldBoot;
};

TEST(SetupPageTcl, PutWritesEachControlsBytesAndNothingElse) {
    const std::vector<std::uint8_t> hostKey(16, 0x33), pinKey(32, 0x44);
    // clang-format off
    const TclRow rows[] = {
        {"untouched", kGrade3, [](TclPageValues&) {}, {}, false},
        {"table field", kGrade3, [](TclPageValues& v) { v.tableField = 90; }, {{1038, {30, 0}}}, true},
        {"save buffer", kGrade3, [](TclPageValues& v) { v.saveBuffer = 33; }, {{1036, {11, 0}}}, true},
        {"labels keep the low nibble", kGrade3, [](TclPageValues& v) { v.totalLabels = 4352; }, {{1043, {0xF5}}}, true},
        {"acknowledgement above its range, address", kGrade3,
         [](TclPageValues& v) { v.acknowledgeTime = 231; v.terminalAddress = 99; }, {{1041, {115}}, {1044, {99}}}, false},
        {"table field above the small platforms' maximum", {2, 3, "6.20", false},
         [](TclPageValues& v) { v.tableField = 800; }, {{1038, {255, 0}}}, true},
        {"the same on Linux", kLinux, [](TclPageValues& v) { v.tableField = 800; }, {{1038, {0x0A, 1}}}, true},
        {"check boxes", kGrade3,
         [](TclPageValues& v) { v.logicalRecordNumber = false; v.bmiField88 = true; v.applicationFlag9 = false; },
         {{1040, {0}}, {1042, {1}}, {1045, {0}}}, false},
        {"login off clears both passwords", kGrade2, [](TclPageValues& v) { v.hostLogin = false; },
         {{1046, {0}}, {1056, std::vector<std::uint8_t>(16, 0)}}, false},
        {"routing bytes, a short password, a long format", kGrade2,
         [](TclPageValues& v) {
             v.loginFormat = HostLoginFormat::RoutingBytes; v.simpleAccessPassword = "abc";
             v.loginFormatText = "NEWFORMATX"; v.recordCharacter = "";
         },
         {{1046, {2, 0}}, {1048, text("NEWFORMA")}, {1056, text("abc", 5)}}, false},
        {"a long password keeps its first 8", kGrade2, [](TclPageValues& v) { v.administrativePassword = "123456789"; },
         {{1064, text("12345678")}}, false},
        {"grade 3 encryption takes the pending keys", {1, 3, "6.20", true}, [](TclPageValues& v) { v.hostEncryption = true; },
         {{1072, hostKey}, {1088, {1, 0}}, {1090, pinKey}}, false},
        {"grade 2 touches neither key", {1, 2, "6.20", true}, [](TclPageValues& v) { v.hostEncryption = true; }, {}, false},
        {"no PIN-code key before 6.20", {1, 3, "6.11", true}, [](TclPageValues& v) { v.hostEncryption = true; },
         {{1072, hostKey}, {1088, {1}}}, false},
        {"before 5.50 neither login nor MAC", {1, 3, "5.10", true},
         [](TclPageValues& v) { v.hostLogin = false; v.hostEncryption = true; v.destinationMac = DestinationMac::FromIncomingPacket; },
         {}, false},
        {"destination MAC from 5.91", {1, 3, "5.91", false},
         [](TclPageValues& v) { v.destinationMac = DestinationMac::FromIncomingPacket; }, {{816, {0}}}, false},
        {"no destination MAC choice on Linux", kLinux,
         [](TclPageValues& v) { v.destinationMac = DestinationMac::FromIncomingPacket; }, {}, false},
    };
    // clang-format on
    for (const TclRow& row : rows) {
        SCOPED_TRACE(row.name);
        test::PageBed bed(row.setting.grade, row.setting.version, row.setting.platformGroup);
        const SetupBlock fetched(test::patternBlock(kTclArea));
        SetupPendingKeys keys;
        if (row.setting.pendingKeys) {
            keys.host.emplace().fill(0x33);
            keys.pinCode.emplace().fill(0x44);
        }
        SetupPageTcl page(bed.context, fetched, keys);
        SetupBlock block = fetched;
        page.Get(block);
        row.edit(page.values);
        EXPECT_EQ(page.Put_TCL(block), row.coldBoot);
        UserParamBlock expected = fetched.bytes();
        test::put(expected, row.written);
        test::expectBlock(block.bytes(), expected);
        EXPECT_TRUE(bed.boxes.shown.empty());
    }
}

TEST(SetupPageTcl, UncheckingTheLoginWarns) {
    test::PageBed bed;
    const SetupBlock block;
    const SetupPendingKeys keys;
    SetupPageTcl page(bed.context, block, keys);
    page.OnUncheckHostLogin();
    EXPECT_EQ(
        bed.boxes.texts(),
        std::vector<std::string>{"This will reset the passwords of the host interface in the terminal too."});
}

// The cold boot is judged against the terminal's block: a working copy that
// already holds other sizes (a loaded file, or an OK whose cold boot was
// declined) still asks, and the trace names the terminal's value.
TEST(SetupPageTcl, ColdBootComparesWithTheTerminalsBlock) {
    test::PageBed bed;
    const SetupBlock fetched(test::patternBlock(kTclArea));
    SetupBlock loaded = fetched;
    loaded.bytes()[1038] = 40;
    const SetupPendingKeys keys;
    SetupPageTcl page(bed.context, fetched, keys);
    page.Get(loaded);
    test::TraceCapture trace;
    EXPECT_TRUE(page.Put_TCL(loaded));
    EXPECT_TRUE(page.Put_TCL(loaded)); // asked again
    EXPECT_EQ(trace.text(),
              "Put_TCL(): bNeedKaltstart, (* (struct tcl_par_t *) &user_params.appl_par [0]).tf_gr "
              "'20' newvalue '40'\n"
              "Put_TCL(): bNeedKaltstart, (* (struct tcl_par_t *) &user_params.appl_par [0]).tf_gr "
              "'20' newvalue '40'\n");
}

} // namespace
} // namespace kestrix

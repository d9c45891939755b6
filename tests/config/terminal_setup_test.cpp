// The setup editor with a recording owner and a terminal on loopback whose
// TFTP server is the simulator's: which pages it opens, where OK stops and
// what it writes (in the terminal's version and byte order, with the time
// stamp), load and save file, the defaults and Cancel. Nobody answers the
// reset, so a complete OK ends with "Reset not executed.". The TFTP server
// and the engine bind their ports, so this runs in a network namespace.
#include "address_reset/recording_action_owner.h"
#include "config/blocks.h"
#include "config/setup_defaults.h"
#include "config/setup_page_firewall.h"
#include "config/setup_page_misc.h"
#include "config/setup_page_network.h"
#include "config/setup_page_tcl.h"
#include "config/terminal_setup.h"
#include "lan/lan_interfaces.h"
#include "protocol/t7000ip.h"
#include "sim/tftp/tftp_server.h"
#include "support/data_file.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <atomic>

namespace kestrix {
namespace {

using test::RecordingActionOwner;
using Texts = std::vector<std::string>;

struct RecordingEditorView : SetupEditorView {
    void showPages(const std::vector<SetupTabEntry>& shown) override {
        tabs.clear();
        for (const SetupTabEntry& entry : shown)
            tabs.push_back(entry.label);
    }
    void selectTab(SetupTab tab) override { selected.push_back(tab); }
    void refreshPages() override { ++refreshed; }
    void setProgressLine(const std::string& text) override { progress.push_back(text); }
    Texts tabs;
    std::vector<SetupTab> selected;
    int refreshed = 0;
    Texts progress;
};

// A block file of a version: zeros but for the items, with its CRC.
std::vector<std::uint8_t> blockFile(std::string_view version, const std::string& items = "") {
    const int index = test::versionIndex(version);
    UserParamBlock block = test::emptyBlock(index);
    if (!items.empty())
        test::putItems(block, items);
    return test::firstBytes(test::withCrc(block, index), test::versionLength(index));
}

std::string hexOf(std::span<const std::uint8_t> bytes) {
    return test::toHex(bytes);
}

template <typename Page> Page& pageOf(CTerminalSetup& editor, SetupTab tab) {
    auto* shown = dynamic_cast<Page*>(editor.page(tab));
    if (!shown)
        throw std::logic_error("page not shown");
    return *shown;
}

class SetupEditor : public ::testing::Test {
protected:
    SetupEditor() {
        engine_.setT7000ipMaintGroup(4711);
        sim::TftpServerOptions options;
        options.directory = terminalFiles_.path();
        options.serialNumber = "100101";
        options.bindAddress = Ip6Address::fromIPv4Bytes(127, 0, 0, 1);
        options.onWriteAccepted = [this](const sim::AcceptedWrite&) { ++writes_; };
        server_ = std::make_unique<sim::TftpServer>(std::move(options));
        server_->start();
    }
    ~SetupEditor() override {
        editor_.reset();
        owner_.terminals.clear();
        T7000ip::releaseT7000ip();
    }

    // Lists the terminal and opens its editor on the block file as fetched.
    CTerminalSetup& open(const std::vector<std::uint8_t>& file, int grade = 3, int kind = tcl_kind::Acm,
                         int productType = product::Talmo7450) {
        TerminalFields fields;
        fields.SerialNumber = "100101";
        fields.ProductType = productType;
        fields.PlatformGroup = productPlatformGroup(productType);
        fields.ProductName = "TALMO 7450";
        fields.TclKind = kind;
        fields.FirmwareVersion = "6.12";
        fields.AddrInUse = Ip6Address::fromIPv4Bytes(127, 0, 0, 1);
        fields.IPAddrInUse = "127.0.0.1";
        owner_.terminals.push_back(std::make_unique<Terminal>(engine_, fields));
        terminalFiles_.write("talmo.cfg", file);
        UserParam block;
        EXPECT_TRUE(block.getFileUserParam(terminalFiles_.file("talmo.cfg"), fields));
        const std::string actualVersion(kConfigVersions[static_cast<std::size_t>(block.actualVersionIndex())].text);
        EXPECT_TRUE(block.setUserParamVersion(block.getNewestVersion(), fields));
        editor_ = std::make_unique<CTerminalSetup>(owner_, 0, block, actualVersion, grade, lan_,
                                                   [] { return std::int64_t{0x1011223344}; });
        editor_->attachView(view_);
        return *editor_;
    }
    template <typename Page> Page& page(SetupTab tab) { return pageOf<Page>(*editor_, tab); }
    std::vector<std::uint8_t> terminalBlock() const { return terminalFiles_.bytes("talmo.cfg"); }

    const CToolBoxLang language_{kLocaleIdEnglishUnitedStates};
    T7000ip& engine_ = T7000ip::getT7000ip(&language_);
    RecordingActionOwner owner_{engine_, language_};
    RecordingEditorView view_;
    LanInterfaces lan_;
    test::ScratchDirectory terminalFiles_, localFiles_;
    std::atomic<int> writes_ = 0;
    std::unique_ptr<sim::TftpServer> server_;
    std::unique_ptr<CTerminalSetup> editor_;
};

TEST_F(SetupEditor, OpensThePagesOfGradeKindAndVersion) {
    struct Row {
        const char* version;
        int grade;
        int kind;
        Texts tabs;
    };
    const Row rows[] = {
        {"6.20", 1, tcl_kind::Acm, {"Channel A (Host comm.)", "TCP/IP parameter", "Internal reader", "Everything else"}},
        {"6.10", 2, tcl_kind::Server,
         {"Channel A (Host comm.)", "TCP/IP parameter", "Firewall", "Internal reader", "Everything else"}},
        {"6.20", 3, tcl_kind::Acm,
         {"Channel A (Host comm.)", "Channel B", "Channel C", "Channel D", "TCP/IP parameter", "Firewall",
          "Internal reader", "LBus1", "LBus2", "TCL parameter", "Everything else"}},
        {"5.10", 3, tcl_kind::Et,
         {"Channel A (Host comm.)", "Channel B", "Channel C", "Channel D", "TCP/IP parameter", "Internal reader",
          "LBus1", "LBus2", "TCL parameter", "Everything else"}},
    };
    for (const Row& row : rows) {
        CTerminalSetup& editor = open(blockFile(row.version), row.grade, row.kind);
        EXPECT_EQ(view_.tabs, row.tabs) << row.version << " grade " << row.grade;
        EXPECT_EQ(editor.actualVersion(), row.version);
        EXPECT_EQ(editor.title(), "setup 100101");
        EXPECT_EQ(editor.loadButtonText(), "Load file");
        owner_.terminals.clear();
    }
}

// Each row makes one stage of OK refuse; the group typed on the last page
// shows whether the pages after the refusing one were put.
TEST_F(SetupEditor, OkStopsWhereItIsRefusedAndWritesNothing) {
    using Answers = std::deque<MessageAnswer>;
    struct Row {
        const char* name;
        std::function<void(CTerminalSetup&)> edit;
        Answers answers;
        Texts messages;
        std::vector<SetupTab> selected;
        int refreshed;
        const char* group; // bytes 60-61 of the working copy afterwards
    };
    const Row rows[] = {
        {"declined cold boot", [](CTerminalSetup& t) { pageOf<SetupPageTcl>(t, SetupTab::Tcl).values.tableField = 30; },
         {MessageAnswer::Cancel},
         {"If this configuration is taken over into the terminal,\nit will cause a cold boot."}, {}, 0, "0000"},
        {"host name", [](CTerminalSetup& t) { pageOf<NetworkPage>(t, SetupTab::Network).values.dhcpHostName = "a_b"; },
         {},
         {"DHCP host name must consist of alphanumerical characters and the minus sign."},
         {SetupTab::Network}, 0, "0000"},
        {"firewall locks the PC out",
         [](CTerminalSetup& t) {
             FirewallPage& firewall = pageOf<FirewallPage>(t, SetupTab::Firewall);
             firewall.values.inUse = true;
             firewall.values.ipv4Rules[0] = {"10.9.9.0", "255.255.255.0", {false, false, true}};
         },
         {MessageAnswer::Cancel},
         {"With these firewall settings you will not reach the terminal anymore."},
         {SetupTab::Firewall}, 1, "0000"},
        {"maintenance group",
         [](CTerminalSetup& t) { pageOf<SetupPageMisc>(t, SetupTab::Misc).values.maintenanceGroup = "65536"; },
         {},
         {"Maintenance group must be a number between 0 and 65535."},
         {SetupTab::Misc}, 0, "0000"},
    };
    for (const Row& row : rows) {
        CTerminalSetup& editor = open(blockFile("6.20"));
        page<SetupPageMisc>(SetupTab::Misc).values.maintenanceGroup = "4712";
        row.edit(editor);
        owner_.boxes.shown.clear();
        owner_.boxes.answers = row.answers;
        view_.selected.clear();
        view_.refreshed = 0;
        EXPECT_EQ(editor.OnButtonOk(), SetupOkOutcome::Stayed) << row.name;
        Texts messages = owner_.boxes.texts();
        messages.resize(std::min<std::size_t>(messages.size(), 1)); // the firewall question may follow a warning
        EXPECT_EQ(messages, row.messages) << row.name;
        EXPECT_EQ(view_.selected, row.selected) << row.name;
        EXPECT_EQ(view_.refreshed, row.refreshed) << row.name;
        EXPECT_EQ(hexOf(editor.workingCopy().span(60, 2)), row.group) << row.name;
        EXPECT_EQ(writes_, 0) << row.name;
        EXPECT_EQ(terminalBlock(), blockFile("6.20")) << row.name;
        EXPECT_FALSE(editor.ended()) << row.name;
        EXPECT_EQ(owner_.idleMessages, 0) << row.name;
        owner_.terminals.clear();
    }
}

// OK writes the block in the version and byte order the terminal had: its
// own values or those of a loaded file of the other byte order, the group
// typed, and from "6.20" on the time stamp (low 32 bits of the clock).
TEST_F(SetupEditor, OkWritesTheTerminalsVersionAndByteOrder) {
    struct Row {
        const char* terminal;
        const char* loaded; // a file of these items of "6.21" (big-endian) first, or ""
        std::size_t length;
        std::vector<std::pair<std::size_t, const char*>> written; // offset, hexadecimal bytes
    };
    const Row rows[] = {
        {"6.21", "", 1242, {{0, "362e3231"}, {60, "1268"}, {146, "0000"}, {1236, "11223344"}}},
        {"6.20", "", 1242, {{0, "362e3230"}, {60, "6812"}, {1236, "44332211"}}},
        {"6.10", "146=0bb9 826=ffc4", 1122, {{0, "362e3130"}, {60, "6812"}, {146, "b90b"}, {826, "c4ff"}}},
        {"6.20", "146=0bb9 826=ffc4", 1242, {{0, "362e3230"}, {60, "6812"}, {146, "b90b"}, {826, "c4ff"}}},
    };
    for (const Row& row : rows) {
        CTerminalSetup& editor = open(blockFile(row.terminal));
        if (*row.loaded != '\0') {
            localFiles_.write("loaded.cfg", blockFile("6.21", row.loaded));
            ASSERT_TRUE(editor.OnButtonRdfile(localFiles_.file("loaded.cfg"))) << row.terminal;
            EXPECT_EQ(view_.refreshed, 1);
            view_.refreshed = 0;
        }
        page<SetupPageMisc>(SetupTab::Misc).values.maintenanceGroup = "4712";
        owner_.boxes.shown.clear();
        EXPECT_EQ(editor.OnButtonOk(), SetupOkOutcome::ResetNotSent) << row.terminal;
        EXPECT_EQ(owner_.boxes.texts().back(), "Reset not executed.\nConfiguration file sent.");
        EXPECT_EQ(view_.progress.front(), "Sending configuration file to terminal...");
        EXPECT_EQ(owner_.idleMessages, 1);
        EXPECT_FALSE(owner_.waitCursor);
        const std::vector<std::uint8_t> written = terminalBlock();
        ASSERT_EQ(written.size(), row.length) << row.terminal;
        for (const auto& [offset, hex] : row.written)
            EXPECT_EQ(hexOf(std::span(written).subspan(offset, std::string(hex).size() / 2)), hex)
                << row.terminal << " offset " << offset;
        UserParamBlock block{};
        std::copy(written.begin(), written.end(), block.begin());
        const int index = test::versionIndex(row.terminal);
        EXPECT_EQ(written, test::firstBytes(test::withCrc(block, index), row.length)) << "its CRC in its order";
        owner_.terminals.clear();
        owner_.idleMessages = 0;
        view_.progress.clear();
    }
}

TEST_F(SetupEditor, SaveWritesTheNewestVersionOfTheTerminalsByteOrder) {
    const struct {
        const char* terminal;
        const char* saved;
    } rows[] = {{"6.10", "362e3230"}, {"5.93", "362e3231"}};
    for (const auto& row : rows) {
        CTerminalSetup& editor = open(blockFile(row.terminal));
        page<SetupPageMisc>(SetupTab::Misc).values.maintenanceGroup = "4712";
        owner_.boxes.shown.clear();
        ASSERT_TRUE(editor.OnButtonWrfile(localFiles_.file("saved.cfg")));
        EXPECT_EQ(owner_.boxes.texts(), Texts{"Configuration file saved."});
        const std::vector<std::uint8_t> saved = localFiles_.bytes("saved.cfg");
        ASSERT_EQ(saved.size(), 1242u);
        EXPECT_EQ(hexOf(std::span(saved).first(4)), row.saved);
        EXPECT_EQ(writes_, 0);
        owner_.terminals.clear();
    }
    CTerminalSetup& editor = open(blockFile("6.20"));
    owner_.boxes.shown.clear();
    EXPECT_FALSE(editor.OnButtonWrfile(localFiles_.file("no/such/folder.cfg")));
    EXPECT_FALSE(editor.OnButtonRdfile(localFiles_.file("missing.cfg")));
    EXPECT_EQ(owner_.boxes.texts(),
              (Texts{"Cannot save configuration file in local file.",
                     "Cannot fetch configuration file from terminal. Make sure TFTP is not blocked."}));
}

TEST_F(SetupEditor, CancelAndQueryTerminateAsk) {
    CTerminalSetup& editor = open(blockFile("6.20"));
    owner_.boxes.answers = {MessageAnswer::No, MessageAnswer::No, MessageAnswer::Yes};
    EXPECT_FALSE(editor.OnCancel());
    EXPECT_FALSE(editor.QueryTerminate());
    test::TraceCapture trace;
    EXPECT_TRUE(editor.OnClose());
    EXPECT_TRUE(trace.contains("CTerminalSetup::OnClose entered\n"));
    EXPECT_EQ(owner_.boxes.texts(), Texts(3, "Do you want to cancel the running setup?"));
    EXPECT_EQ(owner_.idleMessages, 1);
    EXPECT_EQ(editor.OnButtonOk(), SetupOkOutcome::NotRun) << "an ended editor does nothing";
    EXPECT_TRUE(editor.QueryTerminate());
}

// The defaults on a block of 0x5a bytes: every byte they set, as literals,
// and bytes they leave.
TEST(SetupDefaults, SetTheTerminalsDefaultsAndLeaveTheRest) {
    struct Row {
        const char* name;
        int productType;
        int kind;
        const char* addressInUse;
        std::vector<std::pair<std::size_t, const char*>> bytes;
    };
    const std::vector<std::pair<std::size_t, const char*>> common{
        {0, "5a5a5a5a"},
        {4, "3030303030303030"},
        {16, "00000000" "00ffffff"},
        {60, "00000000"},
        {64, "74616c6d6f2d31303031303100000000000000000000"}, // "talmo-100101", zeros to 85
        {88, "00000000000000000000000000000000"},
        {144, "0000b90b"}, // 146: 3001 in this machine's order
        {148, "0000"},
        {152, "000000000000000000000000"},
        {311, "00"},
        // channel A: receive 4, transmit 2, 9600 8N1, PAD 1, poll 10, data 10, transmit delay 0, quit 10
        {312, "00040200" "00000000" "3d000000" "00000000" "00000000" "00000000" "00000000" "0000010a0a000a00"},
        {392, "000402"}, // channel B begins alike
        {792, "0202" "323436383133" "3339313734303235" "3532383033363137" "0100400009" "5a5a5a"},
        {824, "00000000000000000000000000000000000000000000000000000000"},
        {869, "5a"},
        {1036, "5a5a"},
    };
    const Row rows[] = {
        {"DCU4 manager reached at 10.1.2.3", product::Dcu4, tcl_kind::Acm, "10.1.2.3",
         {{12, "0302010a"}, {57, "0002"}, {852, "00" "01020102010201020102010201020102"}}},
        {"7460 reached by IPv6", product::Talmo7460, tcl_kind::Acm, "fd00::5",
         {{12, "7f2aa8c0"}, {57, "0101"}, {852, "00" "01020304050607080102030405060708"}}},
    };
    for (const Row& row : rows) {
        TerminalFields terminal;
        terminal.SerialNumber = "100101";
        terminal.ProductType = row.productType;
        terminal.PlatformGroup = productPlatformGroup(row.productType);
        terminal.TclKind = row.kind;
        terminal.AddrInUse = *addressFromText(row.addressInUse);
        SetupBlock block;
        block.bytes().fill(0x5a);
        applySetupDefaults(block, terminal);
        auto expected = common;
        expected.insert(expected.end(), row.bytes.begin(), row.bytes.end());
        for (const auto& [offset, hex] : expected)
            EXPECT_EQ(hexOf(block.span(offset, std::string(hex).size() / 2)), hex) << row.name << " offset " << offset;
    }
}

} // namespace
} // namespace kestrix

// The main window's logic without terminals: start-up and its failures,
// shutdown, the buttons, the list files and the terminal list's order. Runs in
// a network namespace of its own (tests/support/in-netns, as root): it makes
// LAN interfaces there (bridges that no terminal answers on) and binds the
// maintenance ports.
#include "mainwindow/main_dialog.h"
#include "mainwindow/recording_view.h"
#include "mainwindow/terminal_list.h"
#include "mainwindow/trace_file.h"
#include "protocol/t7000ip.h"
#include "support/sockets.h"
#include "support/table_reader.h"
#include "support/trace_capture.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace kestrix {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

void bridge(const std::string& name, const std::string& address, bool up) {
    const std::string command = "ip link add " + name + " type bridge && ip addr add " + address + " dev " +
                                name + (up ? " && ip link set " + name + " up" : "");
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

std::string contents(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// Each test runs in an empty start directory of its own, in English.
class DialogStart : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ =
            fs::temp_directory_path() / ("kestrix-dialog-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(directory_);
        fs::current_path(directory_);
        ::setenv("LC_ALL", "en_US.UTF-8", 1);
    }
    void TearDown() override {
        std::system("ip link del kxs0 2>/dev/null; ip link del kxs1 2>/dev/null");
        fs::current_path("/");
        fs::remove_all(directory_);
    }
    // A dialog started as "-e" starts it; the boxes of the start are forgotten.
    std::unique_ptr<CToolBoxDlg> start() {
        auto dialog = std::make_unique<CToolBoxDlg>(
            view_, boxes_, CommandLineSwitches{StartWarning::Suppressed, AddingMode::Normal});
        EXPECT_TRUE(dialog->OnInitDialog());
        boxes_.shown.clear();
        return dialog;
    }
    // Lists a record of known values (a 7400 with firmware 6.12); it sends nothing.
    static void add(CToolBoxDlg& dialog, const std::string& serialNumber, const std::string& address,
                    void (*adjust)(TerminalFields&) = nullptr) {
        TerminalFields fields;
        fields.SerialNumber = serialNumber;
        fields.ProductType = product::Talmo7400;
        fields.TclKind = tcl_kind::Pze;
        fields.FirmwareVersion = "6.12";
        fields.AuthOK = true;
        fields.AddrInUse = *addressFromText("::ffff:" + address);
        fields.IPAddrInUse = "::ffff:" + address;
        fields.IPv4Addr = address;
        if (adjust != nullptr)
            adjust(fields);
        ASSERT_TRUE(dialog.terminalList()
                        .insert(std::make_unique<Terminal>(dialog.engine(), fields), SortOrder::SerialNumber)
                        .index);
    }

    fs::path directory_;
    test::RecordingView view_;
    test::RecordingMessageBoxes boxes_;
};

// On the LAN interface kxs0 (10.77.60.1/24), where no terminal answers.
class OnALan : public DialogStart {
protected:
    void SetUp() override {
        DialogStart::SetUp();
        bridge("kxs0", "10.77.60.1/24", true);
    }
};

TEST_F(DialogStart, WithoutALanInterfaceItEndsBeforeTheSettingsFileIsRead) {
    std::ofstream("Kestrix.ini") << "[TFTP]\n[TFTP]\n";
    EXPECT_FALSE(CToolBoxDlg(view_, boxes_, {}).OnInitDialog()); // loopback is no LAN interface
    EXPECT_EQ(boxes_.texts(), Texts{"No information on network connections found."});
    EXPECT_EQ(boxes_.shown.at(0).icon, MessageIcon::Error);
    EXPECT_EQ(boxes_.shown.at(0).caption, "Kestrix IPv4+IPv6");
    // With a LAN interface the same file is read, and refused.
    bridge("kxs0", "10.77.60.1/24", true);
    EXPECT_FALSE(CToolBoxDlg(view_, boxes_, {}).OnInitDialog());
    EXPECT_EQ(boxes_.texts().back(), "double definition for section TFTP in file Kestrix.ini");
    EXPECT_EQ(view_.mainWindowShown, 0);
    EXPECT_EQ(view_.closed, 2);
}

TEST_F(OnALan, BothMaintenancePortsTakenEndTheStartWithTheEnginesMessage) {
    const int requestPort = test::bindDualStackUdp(0xdead), fallbackPort = test::bindDualStackUdp(0xbeef);
    ASSERT_TRUE(requestPort >= 0 && fallbackPort >= 0);
    EXPECT_FALSE(CToolBoxDlg(view_, boxes_, {}).OnInitDialog());
    EXPECT_EQ(boxes_.texts(),
              Texts{"TALMO configuration port(s) already in use. Please close the other application first."});
    EXPECT_EQ(view_.closed, 1);
    ::close(fallbackPort); // one free port is enough
    CToolBoxDlg dialog(view_, boxes_, {});
    EXPECT_TRUE(dialog.OnInitDialog());
    EXPECT_EQ(dialog.engine().boundPort(), 0xbeef);
    ::close(requestPort);
}

TEST_F(OnALan, StartsWithWarningSelectorSettingsAndTraceFile) {
    bridge("kxs1", "10.77.61.1/24", false);
    std::ofstream("Kestrix.ini") << "[Terminallist]\nOrder=SERIALNO\nShowHostname=SHORT\nShowIPAddr=IPV6\n";
    for (const char* name : {"b.rch", "a.RCH", "notes.txt"})
        std::ofstream{name};
    fs::create_directory("folder.rch");
    std::ofstream("KestrixTrace.txt") << "the last run\n";
    CToolBoxDlg dialog(view_, boxes_, {});
    ASSERT_TRUE(dialog.OnInitDialog());
    closeTraceFile();
    EXPECT_TRUE(contents("KestrixTrace.txt").starts_with("Kestrix IPv4+IPv6 V4.00.00\n"));
    EXPECT_TRUE(boxes_.shown.empty());
    ASSERT_EQ(view_.warnings.size(), 1u);
    EXPECT_EQ(view_.warnings[0].attention, "ATTENTION!");
    EXPECT_EQ(view_.mainWindowShown, 1);
    EXPECT_EQ(view_.selectorEntries, (Texts{"all LAN connections", "kxs0 (10.77.60.1)",
                                            "kxs1 (10.77.61.1) inaktiv!", "a.RCH", "b.rch"}));
    EXPECT_EQ(dialog.listFileIndex(), 3);
    EXPECT_EQ(view_.presentation, (ListPresentation{SortOrder::SerialNumber, GroupFilter::AllGroups,
                                                    HostNameDisplay::Short, AddressForm::IPv6}));
    EXPECT_EQ(dialog.detailContents(), DetailContents::IdlePicture);
}

// An unwritable trace file and large fonts are warnings only (exclamation boxes).
TEST_F(OnALan, AnUnwritableTraceFileAndLargeFontsAreWarningsOnly) {
    fs::create_directory("KestrixTrace.txt");
    const std::string traceWarning =
        "Trace file " + (directory_ / "KestrixTrace.txt").string() + " can not be written.";
    const std::pair<DialogFontSize, Texts> cases[] = {
        {{16, 20, 7}, {traceWarning}},
        {{16, 9, 8}, {traceWarning, "Kestrix IPv4+IPv6 is layouted with small fonts."}},
        {{17, 7, 6}, {traceWarning, "Kestrix IPv4+IPv6 is layouted with small fonts."}}};
    for (const auto& [size, texts] : cases) {
        test::RecordingView view;
        test::RecordingMessageBoxes boxes;
        view.fontSize = size;
        EXPECT_TRUE(CToolBoxDlg(view, boxes, {StartWarning::Suppressed, AddingMode::Normal}).OnInitDialog());
        EXPECT_EQ(boxes.texts(), texts) << size.height;
        EXPECT_EQ(boxes.shown.back().icon, MessageIcon::Exclamation);
    }
}

TEST_F(OnALan, ShutdownAsksWhetherToSaveTheListWhileItHoldsItsEntries) {
    for (const MessageAnswer answer : {MessageAnswer::Cancel, MessageAnswer::No, MessageAnswer::Yes}) {
        view_ = test::RecordingView{};
        auto dialog = start();
        add(*dialog, "4711", "10.77.60.20");
        boxes_.answers = {answer};
        const bool ends = answer != MessageAnswer::Cancel;
        EXPECT_EQ(dialog->OnCancel(), ends);
        ASSERT_EQ(boxes_.shown.size(), 1u);
        EXPECT_EQ(boxes_.shown[0].caption, "Kestrix IPv4+IPv6 ends");
        EXPECT_EQ(boxes_.shown[0].text, "Do you want to save the terminal list? This may take some minutes.");
        EXPECT_EQ(boxes_.shown[0].buttons, MessageButtons::YesNoCancel);
        EXPECT_EQ(dialog->terminalList().size(), ends ? 0u : 1u);
        EXPECT_EQ(view_.listFileDirectory.empty(), answer != MessageAnswer::Yes);
        EXPECT_EQ(view_.closed, ends ? 1 : 0);
    }
}

TEST_F(OnALan, HelpAboutAndStatusPages) {
    const std::tuple<const char*, const char*, const char*> languages[] = {
        {"de_DE.UTF-8", "Kestrix_D.htm", "Der Browser kann nicht gestartet werden."},
        {"fr_FR", "Kestrix_E.htm", "The browser cannot be started."}};
    for (const auto& [locale, page, noBrowser] : languages) {
        ::setenv("LC_ALL", locale, 1);
        view_ = test::RecordingView{};
        auto dialog = start();
        dialog->OnButtonHelp();
        EXPECT_EQ(view_.pages, Texts{"file://" + directory_.string() + "/" + page});
        EXPECT_EQ(dialog->detailContents(), DetailContents::Page);
        view_.pageShown = false; // a page that cannot be shown leaves the idle picture and says so
        dialog->OnButtonHelp();
        EXPECT_EQ(view_.detail, "idle");
        EXPECT_EQ(boxes_.texts(), Texts{noBrowser});
    }
    ::setenv("LC_ALL", "en_US.UTF-8", 1);
    auto dialog = start();
    dialog->OnAbout();
    ASSERT_TRUE(view_.about.has_value());
    EXPECT_EQ(view_.about->productLine, "Kestrix IPv4+IPv6 V4.00.00");
    EXPECT_EQ(view_.about->licenceUrl, "file://" + directory_.string() + "/License.htm");

    dialog->OnButtonHTML();
    add(*dialog, "1001", "10.77.60.20");
    add(*dialog, "1002", "0.0.0.0", [](TerminalFields& fields) { // by its link-local address
        fields.AddrInUse = *addressFromText("fe80::5");
        fields.IPAddrInUse = "fe80::5";
        fields.IPv4Addr.clear();
        fields.IPv6Addresses = {{"2001:db8::5", "64", false, true, ""}};
    });
    add(*dialog, "1003", "10.77.60.30", [](TerminalFields& fields) { fields.TclKind = tcl_kind::Monitor; });
    dialog->OnSelectionChange({1, 0}); // the first one is used and stays the only one selected
    dialog->OnButtonHTML();
    EXPECT_EQ(view_.selected, std::vector<std::size_t>{0});
    dialog->OnSelectionChange({1});
    dialog->OnButtonHTML();
    dialog->OnSelectionChange({2});
    dialog->OnButtonHTML();
    view_.browserOpens = false;
    dialog->OnSelectionChange({0});
    dialog->OnButtonHTML();
    EXPECT_EQ(view_.browserAddresses, (Texts{"10.77.60.20", "[fe80::5]", "10.77.60.20"}));
    EXPECT_EQ(boxes_.texts(),
              (Texts{"Select a terminal first!", "Only the first selected terminal will be used.",
                     "The terminal is in monitor mode.\nIt cannot execute this function.",
                     "The browser cannot be started."}));
    EXPECT_EQ(boxes_.shown.back().icon, MessageIcon::Error);
}

TEST_F(OnALan, SelectionShowsDetailsGatesTheActionButtonsAndIsRemoved) {
    auto dialog = start();
    for (const char* serialNumber : {"1001", "1002", "1003", "1004"})
        add(*dialog, serialNumber, "10.77.60.20");
    add(*dialog, "1005", "10.77.60.21",
        [](TerminalFields& fields) { fields.AuthOK = false; }); // another group
    dialog->OnSelectionChange({0});
    EXPECT_EQ(view_.detail, "terminal");
    EXPECT_TRUE(view_.details.headline.starts_with("1001 "));
    EXPECT_TRUE(view_.actionButtonsEnabled);
    dialog->OnSelectionChange({7}); // an index the list does not have is no selection
    EXPECT_TRUE(dialog->selection().empty());
    EXPECT_EQ(view_.detail, "idle");
    dialog->OnSelectionChange({3, 1, 4});
    EXPECT_FALSE(view_.actionButtonsEnabled);
    dialog->OnRemoveSelected();
    ASSERT_EQ(dialog->terminalList().size(), 2u);
    EXPECT_EQ(dialog->terminalList().at(1).SerialNumber, "1003");
    EXPECT_EQ(view_.rows.size(), 2u);
    EXPECT_TRUE(view_.selected.empty() && view_.actionButtonsEnabled);
    dialog->OnSelectionChange({1}); // the details of a removed entry go with it
    dialog->OnRemoveSelected();
    EXPECT_EQ(view_.detail, "idle");

    // The maintenance group dialog rebuilds the list only when accepted; nothing answers here.
    dialog->OnButtonSetKeyAndShow();
    EXPECT_EQ(view_.maintenanceGroupDialogs, 1);
    EXPECT_FALSE(view_.controlsEnabledInGroupDialog);
    EXPECT_EQ(dialog->terminalList().size(), 1u);
    view_.maintenanceGroupAccepted = true;
    dialog->OnButtonSetKeyAndShow();
    EXPECT_EQ(view_.waitTitle, "Kestrix IPv4+IPv6 is looking for TALMO terminals in the local area network.");
    EXPECT_TRUE(dialog->terminalList().empty() && view_.rows.empty());
    EXPECT_TRUE(view_.controlsEnabled);
    EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(DialogStart, AStartDirectoryThatIsGoneEndsWithATextFromTheTable) {
    fs::remove_all(directory_);
    CToolBoxDlg dialog(view_, boxes_, {StartWarning::Suppressed, AddingMode::Normal});
    EXPECT_FALSE(dialog.OnInitDialog());
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"unknown error: No such file or directory"});
    EXPECT_EQ(view_.closed, 1);
}

TEST_F(OnALan, KeyboardButtonRefusesMonitorAcmAndServerAndAsksWithoutAMatrixKeyboard) {
    auto dialog = start();
    const int kinds[] = {tcl_kind::Monitor, tcl_kind::Acm, tcl_kind::Server, tcl_kind::Pze};
    for (std::size_t index = 0; index < std::size(kinds); ++index) {
        add(*dialog, "100" + std::to_string(index + 1), "10.77.60.20");
        dialog->terminalAt(index).TclKind = kinds[index];
    }
    // The EEPROM is known already: keyboard type blank, no matrix keyboard.
    dialog->terminalAt(3).Eeprom = EepromState::Read;
    dialog->terminalAt(3).EepromContents.fill(' ');
    boxes_.answers = {MessageAnswer::Ok, MessageAnswer::Ok, MessageAnswer::Ok, MessageAnswer::No};
    for (std::size_t index = 0; index < std::size(kinds); ++index) {
        dialog->OnSelectionChange({index});
        dialog->OnButtonKeyb();
    }
    EXPECT_NE(view_.detail, "keyboard");
    dialog->OnButtonKeyb(); // answered Yes
    EXPECT_EQ(view_.detail, "keyboard");
    const std::string noMatrix =
        "The terminal has no matrix touch keyboard that can be changed.\nDo you want to continue anyway?";
    EXPECT_EQ(boxes_.texts(),
              (Texts{"The terminal is in monitor mode.\nIt cannot execute this function.",
                     "The keyboard of an access control manager cannot be changed.",
                     "The keyboard of the TALMO server cannot be changed.", noMatrix, noMatrix}));
}

TEST_F(OnALan, CancelAndCloseTraceTheirOwnName) {
    auto dialog = start();
    for (const CloseRequest way : {CloseRequest::Cancel, CloseRequest::Close}) {
        test::TraceCapture trace;
        boxes_.answers = {MessageAnswer::Cancel};
        EXPECT_FALSE(way == CloseRequest::Close ? dialog->OnClose() : dialog->OnCancel());
        EXPECT_EQ(trace.contains("CToolBoxDlg::OnClose()\n"), way == CloseRequest::Close);
        EXPECT_EQ(trace.contains("CToolBoxDlg::OnCancel()\n"), way == CloseRequest::Cancel);
    }
}

// Saving: a target that cannot be replaced (here a folder) is left and the
// user told; how the file is replaced is the file replacement's own test.
// Reading skips empty, malformed and overlong lines.
TEST_F(OnALan, ListFilesAreSavedWithCrLfAndMalformedLinesSkipped) {
    auto dialog = start();
    dialog->WriteFile();
    EXPECT_EQ(view_.listFileDirectory, "") << "no file dialog for an empty list";
    add(*dialog, "4711", "10.77.60.20");
    fs::create_directories("folder.rch");
    for (const char* target : {"folder.rch", "list.rch"}) {
        view_.listFileAnswer = (directory_ / target).string();
        dialog->WriteFile();
    }
    EXPECT_EQ(boxes_.texts(),
              Texts{(directory_ / "folder.rch").string() + " " + dialog->language().GetText(22)});
    EXPECT_EQ(contents("list.rch"), "4711;10.77.60.20;;;;;;\r\n");

    const std::string longest(260, 'y'), tooLong(261, 'x');
    std::ofstream("mixed.rch") << "\r\n100102;10.77.0.12\r\n" + tooLong + "\r\n" + longest + "\r\n\na;b;c;d;";
    test::TraceCapture trace;
    EXPECT_TRUE(dialog->ReadFile("mixed.rch"));
    EXPECT_TRUE(trace.contains("'100102;10.77.0.12' nicht zu finden, error: Zeile hat falsches Format\n"));
    EXPECT_TRUE(trace.contains("'" + longest + "' nicht zu finden")) << "260 characters are a line";
    EXPECT_TRUE(trace.contains("'a;b;c;d;' nicht zu finden")) << "the last line needs no line end";
    EXPECT_FALSE(trace.contains("'" + tooLong.substr(0, 70))) << "a longer line is neither shown nor used";
    EXPECT_FALSE(trace.contains("'' nicht zu finden"));
}

// Export: CSV or JSON by the extension, read back by python's csv and json
// modules; another extension and a target that cannot be replaced are refused.
TEST_F(OnALan, ExportWritesCsvOrJsonByTheExtension) {
    auto dialog = start();
    dialog->OnExport();
    EXPECT_EQ(view_.listFileDirectory, "") << "no file dialog for an empty list";
    add(*dialog, "4711", "10.77.60.20");
    add(*dialog, "4712", "10.77.60.21", [](TerminalFields& fields) {
        fields.ProductName = "TALMO 7400, \"B\"";
        fields.TclKind = tcl_kind::Monitor;
        fields.MonitorVersion = "3.10";
        fields.FirmwareVersion.clear();
        fields.IDBasedAuth = true;
        fields.AuthOK = false;
    });
    fs::create_directories("folder.csv");
    for (const char* target : {"list.csv", "List.JSON", "list.txt", "folder.csv"}) {
        view_.exportAnswer = (directory_ / target).string();
        dialog->OnExport();
    }
    EXPECT_EQ(boxes_.texts(),
              (Texts{(directory_ / "list.txt").string() + ": the name must end in .csv or .json",
                     (directory_ / "folder.csv").string() + " " + dialog->language().GetText(22)}));
    const std::vector<std::string> names = {
        "serial_number",   "ipv4_address",   "interface_address", "ipv4_dns_name", "ipv6_address",
        "ipv6_link_local", "ipv6_dns_name",  "product_name",      "kind",          "firmware_version",
        "monitor_version", "authentication", "accepted"};
    using Row = std::vector<std::string>;
    const std::vector<Row> csv = {
        names,
        {"4711", "10.77.60.20", "", "", "", "", "", "", "TCL", "6.12", "", "IP-based", "yes"},
        {"4712", "10.77.60.21", "", "", "", "", "", "TALMO 7400, \"B\"", "MON", "", "3.10", "ID-based",
         "no"}};
    EXPECT_EQ(test::tableReadByPython(directory_ / "list.csv"), csv);
    std::vector<Row> json = csv;
    json[1].back() = "true";
    json[2].back() = "false";
    EXPECT_EQ(test::tableReadByPython(directory_ / "List.JSON"), json);
}

// The terminal list's keys and order, with records of known values.
int sign(int value) {
    return (value > 0) - (value < 0);
}

TEST(ListKeys, CaseFoldedFirstThenByBytes) {
    struct Case {
        const char* left;
        const char* right;
        int expected;
    };
    const Case cases[] = {
        {"a", "B", -1},     // letters by their lower-case form, not by byte value
        {"_", "A", -1},     // "_" lies between "Z" and "a": it compares with "a"
        {"ABC", "abc", -1}, // equal but for case: the bytes decide
        {"abc", "abd", -1}, //
        {"ab", "abc", -1},  // a beginning before the longer text
        {"TCL 6_12~", "tcl 6_12a", 1},
        {"\xc3\xa4", "z", 1}, // bytes above 127 count unsigned
        {"x", "x", 0},        //
        {"", "", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(compareListKeys(c.left, c.right)), c.expected) << c.left << " : " << c.right;
        EXPECT_EQ(sign(compareListKeys(c.right, c.left)), -c.expected) << c.right << " : " << c.left;
    }
}

// The key by product and kind: the 7000's depends on the kind, the 7450's and
// 7460's on server or not; the DCU keys sort by family.
TEST(ListKeys, ProductKeys) {
    using namespace product;
    using namespace tcl_kind;
    const std::tuple<int, int, const char*> cases[] = {
        {Talmo7000, Pze, "TALMO7300"},
        {Talmo7000, Acm, "TALMODCU"},
        {Talmo7000, Server, "ServerTALMO7000"},
        {Talmo7000, ServerMonitor, "TALMO7300"},
        {Talmo7450, ServerMonitor, "ServerTALMO7450"},
        {Talmo7460, Server, "ServerTALMO7460"},
        {Talmo7460, Monitor, "TALMO7460"},
        {Talmo7660, Server, "TALMO7660"},
        {Dcu4II, Acm, "TALMODCU42"},
        {Dcu4, Acm, "TALMODCU41"},
        {Dcu40, Acm, "TALMODCU43"},
        {Dcu8, Acm, "TALMODCU81"},
        {Dcu8eW, Acm, "TALMODCU82W"},
        {Dcu8iR, Acm, "TALMODCU83R"},
        {Talmo7105, Pze, "TALMO7105"},
        {None, Pze, "?"},
        {19, Pze, "?"},
    };
    for (const auto& [code, kind, key] : cases) {
        TerminalFields fields;
        fields.ProductType = code;
        fields.TclKind = kind;
        EXPECT_EQ(productKey(fields), key) << "product " << code << ", kind " << kind;
    }
}

TerminalFields sample() {
    TerminalFields fields;
    fields.SerialNumber = "100101";
    fields.ProductType = product::Talmo7450;
    fields.TclKind = tcl_kind::Acm;
    fields.ProductName = "TALMO 7450";
    fields.FirmwareVersion = "6.12";
    fields.MonitorVersion = "2.05";
    fields.AddrInUse = *addressFromText("::ffff:10.77.0.11");
    fields.IPAddrInUse = "::ffff:10.77.0.11";
    fields.DNSNameInUse = "t11.bed.test";
    fields.IPv4Addr = "10.77.0.11";
    fields.IPv4Mask = "255.255.255.0";
    return fields;
}

TEST(ListKeys, TheFiveOrders) {
    TerminalFields fields = sample();
    EXPECT_EQ(sortKey(fields, SortOrder::Product), "TALMO7450");
    EXPECT_EQ(sortKey(fields, SortOrder::SerialNumber), "100101");
    EXPECT_EQ(sortKey(fields, SortOrder::IPAddress), "0000:0000:0000:0000:0000:ffff:0a4d:000b");
    EXPECT_EQ(sortKey(fields, SortOrder::DNSName), "t11.bed.test");
    EXPECT_EQ(sortKey(fields, SortOrder::Firmware), "TCL 6_12~");

    // The first global address counts before the address in use.
    fields.IPv6Addresses = {{"2001:db8:77::11", "64", false, true, ""},
                            {"2001:db8:77::12", "64", false, false, ""}};
    EXPECT_EQ(sortKey(fields, SortOrder::IPAddress), "2001:0db8:0077:0000:0000:0000:0000:0011");

    fields.TclKind = tcl_kind::Monitor;
    fields.FirmwareVersion.clear();
    EXPECT_EQ(sortKey(fields, SortOrder::Firmware), "MON 2_05~");
    fields.TclKind = tcl_kind::Server;
    fields.FirmwareVersion = "5a52";
    EXPECT_EQ(sortKey(fields, SortOrder::Firmware), "SRV 5_52a");
}

class ListWithEngine : public ::testing::Test {
protected:
    static void SetUpTestSuite() { engine_ = &T7000ip::getT7000ip(&language_); }
    static void TearDownTestSuite() { T7000ip::releaseT7000ip(); }

    static std::unique_ptr<Terminal> record(const std::string& serialNumber, const std::string& dnsName) {
        TerminalFields fields = sample();
        fields.SerialNumber = serialNumber;
        fields.DNSNameInUse = dnsName;
        return std::make_unique<Terminal>(*engine_, std::move(fields));
    }
    static std::vector<std::string> serialNumbers(const TerminalList& list) {
        std::vector<std::string> result;
        for (std::size_t index = 0; index < list.size(); ++index)
            result.push_back(list.at(index).SerialNumber);
        return result;
    }

    static inline const CToolBoxLang language_{kLocaleIdEnglishUnitedStates};
    static inline T7000ip* engine_ = nullptr;
};

TEST_F(ListWithEngine, SortedPlaceAfterEqualKeysAndNoSerialNumberTwice) {
    TerminalList list;
    for (auto [serialNumber, name] : std::vector<std::pair<const char*, const char*>>{
             {"1", "x.test"}, {"2", "X.test"}, {"3", "x.test"}, {"4", "a.test"}, {"5", "Y.test"}})
        ASSERT_TRUE(list.insert(record(serialNumber, name), SortOrder::DNSName).index);
    EXPECT_EQ(serialNumbers(list), (std::vector<std::string>{"4", "2", "1", "3", "5"}));

    Terminal* again = record("3", "b.test").release();
    TerminalList::InsertResult refused = list.insert(std::unique_ptr<Terminal>(again), SortOrder::DNSName);
    EXPECT_FALSE(refused.index);
    EXPECT_EQ(refused.refused.get(), again) << "the refused record goes back to the caller";
    EXPECT_EQ(list.findSerialNumber("3"), 3u);
    EXPECT_FALSE(list.findSerialNumber("6"));

    // Another order sorts only the records inserted from now on.
    EXPECT_EQ(list.insert(record("0", "z.test"), SortOrder::SerialNumber).index, 0u);
    EXPECT_EQ(list.insert(record("7", "m.test"), SortOrder::SerialNumber).index, 1u);
    EXPECT_EQ(serialNumbers(list), (std::vector<std::string>{"0", "7", "4", "2", "1", "3", "5"}));
    EXPECT_EQ(list.keyAt(2), "a.test");

    // Replacing keeps place and key.
    std::unique_ptr<Terminal> old = list.replace(4, record("1", "elsewhere.test"));
    EXPECT_EQ(old->DNSNameInUse, "x.test");
    EXPECT_EQ(list.at(4).DNSNameInUse, "elsewhere.test");
    EXPECT_EQ(list.keyAt(4), "x.test");

    list.remove({6, 0, 6, 2, 99});
    EXPECT_EQ(serialNumbers(list), (std::vector<std::string>{"7", "2", "1", "3"}));
    list.clear();
    EXPECT_TRUE(list.empty());
}

} // namespace
} // namespace kestrix

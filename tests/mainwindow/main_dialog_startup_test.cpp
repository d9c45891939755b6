// The main window's logic without terminals: start-up and its failures,
// shutdown, and the buttons. Runs in a network namespace of its own
// (tests/support/in-netns, as root): it makes LAN interfaces there (bridges
// that no terminal answers on) and binds the maintenance ports.
#include "mainwindow/main_dialog.h"
#include "mainwindow/recording_view.h"
#include "mainwindow/trace_file.h"
#include "platform/ip_address.h"
#include "support/sockets.h"
#include "support/trace_capture.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrix {
namespace {

namespace fs = std::filesystem;

// A LAN interface of the namespace: a bridge without ports (up and running
// when set up) with one IPv4 address. Removed again at the end.
class Bridge {
public:
    Bridge(std::string name, const std::string& address, bool up) : name_(std::move(name)) {
        const std::string command = "ip link add " + name_ + " type bridge && ip addr add " + address +
                                    " dev " + name_ + (up ? " && ip link set " + name_ + " up" : "");
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
    }
    ~Bridge() {
        [[maybe_unused]] const int result = std::system(("ip link del " + name_ + " 2>/dev/null").c_str());
    }
    Bridge(const Bridge&) = delete;
    Bridge& operator=(const Bridge&) = delete;

private:
    std::string name_;
};

// Each test runs in an empty directory of its own as the current directory
// (the start directory), in English unless it sets LC_ALL itself.
class DialogStart : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        directory_ =
            fs::temp_directory_path() / ("kestrix-dialog-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(directory_);
        fs::create_directories(directory_);
        fs::current_path(directory_);
        ::setenv("LC_ALL", "en_US.UTF-8", 1);
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(directory_);
        ::unsetenv("LC_ALL");
    }
    // A dialog started as "-e" starts it; the boxes of the start are forgotten.
    std::unique_ptr<CToolBoxDlg> start() {
        auto dialog = std::make_unique<CToolBoxDlg>(
            view_, boxes_, CommandLineSwitches{StartWarning::Suppressed, AddingMode::Normal});
        EXPECT_TRUE(dialog->OnInitDialog());
        boxes_.shown.clear();
        return dialog;
    }
    // Lists a record of known values; it sends nothing.
    static void add(CToolBoxDlg& dialog, TerminalFields fields) {
        auto terminal = std::make_unique<Terminal>(dialog.engine(), std::move(fields));
        ASSERT_TRUE(dialog.terminalList().insert(std::move(terminal), SortOrder::SerialNumber).index);
    }

    fs::path previous_;
    fs::path directory_;
    test::RecordingView view_;
    test::RecordingMessageBoxes boxes_;
};

TerminalFields ipv4Terminal(const std::string& serialNumber, const std::string& address) {
    TerminalFields fields;
    fields.SerialNumber = serialNumber;
    fields.ProductType = product::Talmo7400;
    fields.TclKind = tcl_kind::Pze;
    fields.FirmwareVersion = "6.12";
    fields.AuthOK = true;
    fields.AddrInUse = *addressFromText("::ffff:" + address);
    fields.IPAddrInUse = "::ffff:" + address;
    fields.IPv4Addr = address;
    return fields;
}

// On a LAN interface that no terminal answers on.
class OnALan : public DialogStart {
protected:
    Bridge lan_{"kxs0", "10.77.60.1/24", true};
};

TEST_F(DialogStart, WithoutALanInterfaceItEndsBeforeTheSettingsFileIsRead) {
    // Loopback is all the namespace has; it is no LAN interface.
    std::ofstream("Kestrix.ini") << "[TFTP]\n[TFTP]\n";
    {
        CToolBoxDlg dialog(view_, boxes_, {});
        EXPECT_FALSE(dialog.OnInitDialog());
    }
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"No information on network connections found."});
    EXPECT_EQ(boxes_.shown.at(0).icon, MessageIcon::Error);
    EXPECT_EQ(boxes_.shown.at(0).caption, "Kestrix IPv4+IPv6");
    EXPECT_EQ(view_.mainWindowShown, 0);
    EXPECT_EQ(view_.closed, 1);

    // With a LAN interface the same file is read, and refused.
    Bridge lan("kxs0", "10.77.60.1/24", true);
    boxes_.shown.clear();
    CToolBoxDlg dialog(view_, boxes_, {});
    EXPECT_FALSE(dialog.OnInitDialog());
    EXPECT_EQ(boxes_.texts(),
              std::vector<std::string>{"double definition for section TFTP in file Kestrix.ini"});
    EXPECT_EQ(view_.mainWindowShown, 0);
    EXPECT_EQ(view_.closed, 2);
}

TEST_F(OnALan, BothMaintenancePortsTakenEndTheStartWithTheEnginesMessage) {
    const int requestPort = test::bindDualStackUdp(0xdead);
    const int fallbackPort = test::bindDualStackUdp(0xbeef);
    ASSERT_GE(requestPort, 0);
    ASSERT_GE(fallbackPort, 0);
    {
        CToolBoxDlg dialog(view_, boxes_, {});
        EXPECT_FALSE(dialog.OnInitDialog());
    }
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"TALMO configuration port(s) already in use. Please "
                                                       "close the other application first."});
    EXPECT_EQ(view_.mainWindowShown, 0);
    EXPECT_EQ(view_.closed, 1);

    // One free port is enough.
    ::close(fallbackPort);
    CToolBoxDlg dialog(view_, boxes_, {});
    EXPECT_TRUE(dialog.OnInitDialog());
    EXPECT_EQ(dialog.engine().boundPort(), 0xbeef);
    ::close(requestPort);
}

TEST_F(OnALan, StartsWithWarningSelectorSettingsAndTraceFile) {
    Bridge down("kxs1", "10.77.61.1/24", false);
    std::ofstream("Kestrix.ini") << "[Terminallist]\nOrder=SERIALNO\nShowHostname=SHORT\nShowIPAddr=IPV6\n";
    for (const char* name : {"b.rch", "a.RCH", "notes.txt"})
        std::ofstream{name};
    fs::create_directory("folder.rch");
    std::ofstream("KestrixTrace.txt") << "the last run\n";

    CToolBoxDlg dialog(view_, boxes_, {});
    ASSERT_TRUE(dialog.OnInitDialog());
    std::ostringstream traced;
    traced << std::ifstream(directory_ / "KestrixTrace.txt").rdbuf();
    closeTraceFile();
    EXPECT_EQ(traced.str().substr(0, traced.str().find('\n') + 1), "Kestrix IPv4+IPv6 V4.00.00\n");

    EXPECT_TRUE(boxes_.shown.empty());
    ASSERT_EQ(view_.warnings.size(), 1u);
    EXPECT_EQ(view_.warnings[0].attention, "ATTENTION!");
    EXPECT_EQ(view_.mainWindowShown, 1);
    EXPECT_EQ(view_.selectorEntries,
              (std::vector<std::string>{"all LAN connections", "kxs0 (10.77.60.1)",
                                        "kxs1 (10.77.61.1) inaktiv!", "a.RCH", "b.rch"}));
    EXPECT_EQ(dialog.listFileIndex(), 3);
    EXPECT_EQ(view_.presentation, (ListPresentation{SortOrder::SerialNumber, GroupFilter::AllGroups,
                                                    HostNameDisplay::Short, AddressForm::IPv6}));
    EXPECT_EQ(dialog.detailContents(), DetailContents::IdlePicture);
    EXPECT_EQ(view_.closed, 0);
}

TEST_F(OnALan, AnUnwritableTraceFileAndLargeFontsAreWarningsOnly) {
    fs::create_directory("KestrixTrace.txt"); // exists, but cannot be rewritten
    const std::string traceWarning =
        "Trace file " + (directory_ / "KestrixTrace.txt").string() + " can not be written.";
    const std::string smallFonts = "Kestrix IPv4+IPv6 is layouted with small fonts.";
    struct FontCase {
        DialogFontSize size;
        std::vector<std::string> texts;
    };
    const FontCase cases[] = {{{16, 20, 7}, {traceWarning}},
                              {{16, 9, 8}, {traceWarning, smallFonts}},
                              {{17, 7, 6}, {traceWarning, smallFonts}}};
    for (const FontCase& entry : cases) {
        SCOPED_TRACE(entry.size.height * 100 + entry.size.averageCharWidth);
        test::RecordingView view;
        test::RecordingMessageBoxes boxes;
        view.fontSize = entry.size;
        CToolBoxDlg dialog(view, boxes, {StartWarning::Suppressed, AddingMode::Normal});
        EXPECT_TRUE(dialog.OnInitDialog());
        EXPECT_TRUE(view.warnings.empty());
        EXPECT_EQ(boxes.texts(), entry.texts);
        for (const MessageBoxRequest& box : boxes.shown)
            EXPECT_EQ(box.icon, MessageIcon::Exclamation);
    }
}

TEST_F(OnALan, ShutdownAsksWhetherToSaveTheList) {
    struct ShutdownCase {
        MessageAnswer answer;
        bool ends;
    };
    for (const ShutdownCase entry :
         {ShutdownCase{MessageAnswer::Cancel, false}, ShutdownCase{MessageAnswer::No, true},
          ShutdownCase{MessageAnswer::Yes, true}}) {
        SCOPED_TRACE(static_cast<int>(entry.answer));
        view_ = test::RecordingView{};
        auto dialog = start();
        add(*dialog, ipv4Terminal("4711", "10.77.60.20"));

        boxes_.answers = {entry.answer};
        EXPECT_EQ(dialog->OnCancel(), entry.ends);
        ASSERT_EQ(boxes_.shown.size(), 1u);
        EXPECT_EQ(boxes_.shown[0].caption, "Kestrix IPv4+IPv6 ends");
        EXPECT_EQ(boxes_.shown[0].text, "Do you want to save the terminal list? This may take some minutes.");
        EXPECT_EQ(boxes_.shown[0].buttons, MessageButtons::YesNoCancel);
        EXPECT_EQ(dialog->terminalList().size(), entry.ends ? 0u : 1u);
        // The list is saved while it still holds its entries.
        EXPECT_EQ(view_.listFileDirectory.empty(), entry.answer != MessageAnswer::Yes);
        EXPECT_EQ(view_.closed, entry.ends ? 1 : 0);
    }
}

TEST_F(OnALan, HelpAndLicencePagesAreFilesOfTheStartDirectory) {
    struct LanguageCase {
        const char* locale;
        const char* page;
        const char* noBrowser;
    };
    const LanguageCase cases[] = {
        {"de_DE.UTF-8", "Kestrix_D.htm", "Der Browser kann nicht gestartet werden."},
        {"fr_FR", "Kestrix_E.htm", "The browser cannot be started."},
    };
    for (const LanguageCase& entry : cases) {
        SCOPED_TRACE(entry.locale);
        ::setenv("LC_ALL", entry.locale, 1);
        view_ = test::RecordingView{};
        auto dialog = start();
        dialog->OnButtonHelp();
        EXPECT_EQ(view_.pages, std::vector<std::string>{"file://" + directory_.string() + "/" + entry.page});
        EXPECT_EQ(dialog->detailContents(), DetailContents::Page);
        EXPECT_TRUE(boxes_.shown.empty());

        // A page that cannot be shown leaves the idle picture and says so.
        view_.pageShown = false;
        dialog->OnButtonHelp();
        EXPECT_EQ(boxes_.texts(), std::vector<std::string>{entry.noBrowser});
        EXPECT_EQ(dialog->detailContents(), DetailContents::IdlePicture);
        EXPECT_EQ(view_.detail, "idle");
    }

    ::setenv("LC_ALL", "en_US.UTF-8", 1);
    auto dialog = start();
    dialog->OnAbout();
    ASSERT_TRUE(view_.about.has_value());
    EXPECT_EQ(view_.about->productLine, "Kestrix IPv4+IPv6 V4.00.00");
    EXPECT_EQ(view_.about->licenceUrl, "file://" + directory_.string() + "/License.htm");
}

TEST_F(OnALan, StatusPageOpensTheTerminalsAddress) {
    auto dialog = start();
    dialog->OnButtonHTML();
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"Select a terminal first!"});
    EXPECT_TRUE(view_.browserAddresses.empty());

    add(*dialog, ipv4Terminal("1001", "10.77.60.20"));
    // Reached by its link-local address, with a global address besides.
    TerminalFields ipv6 = ipv4Terminal("1002", "0.0.0.0");
    ipv6.AddrInUse = *addressFromText("fe80::5");
    ipv6.IPAddrInUse = "fe80::5";
    ipv6.IPv4Addr.clear();
    ipv6.IPv6Addresses = {{"2001:db8::5", "64", false, true, ""}};
    add(*dialog, ipv6);
    TerminalFields monitor = ipv4Terminal("1003", "10.77.60.30");
    monitor.TclKind = tcl_kind::Monitor;
    add(*dialog, monitor);

    // Two selected: the first one is used and stays the only one selected.
    boxes_.shown.clear();
    dialog->OnSelectionChange({1, 0});
    dialog->OnButtonHTML();
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"Only the first selected terminal will be used."});
    EXPECT_EQ(view_.selected, std::vector<std::size_t>{0});
    EXPECT_EQ(view_.browserAddresses, std::vector<std::string>{"10.77.60.20"});

    // Reached by IPv6: the address in use, in square brackets.
    boxes_.shown.clear();
    dialog->OnSelectionChange({1});
    dialog->OnButtonHTML();
    EXPECT_TRUE(boxes_.shown.empty());
    EXPECT_EQ(view_.browserAddresses.back(), "[fe80::5]");

    dialog->OnSelectionChange({2});
    dialog->OnButtonHTML();
    EXPECT_EQ(boxes_.texts(),
              std::vector<std::string>{"The terminal is in monitor mode.\nIt cannot execute this function."});
    EXPECT_EQ(view_.browserAddresses.size(), 2u);

    boxes_.shown.clear();
    view_.browserOpens = false;
    dialog->OnSelectionChange({0});
    dialog->OnButtonHTML();
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"The browser cannot be started."});
    EXPECT_EQ(boxes_.shown[0].icon, MessageIcon::Error);
}

TEST_F(OnALan, SelectionShowsDetailsGatesTheActionButtonsAndIsRemoved) {
    auto dialog = start();
    for (const char* serialNumber : {"1001", "1002", "1003", "1004"})
        add(*dialog, ipv4Terminal(serialNumber, "10.77.60.20"));
    TerminalFields otherGroup = ipv4Terminal("1005", "10.77.60.21");
    otherGroup.AuthOK = false; // knows authentication (6.12) but refuses this station
    add(*dialog, otherGroup);

    dialog->OnSelectionChange({0});
    EXPECT_EQ(view_.detail, "terminal");
    EXPECT_EQ(view_.details.headline.substr(0, 5), "1001 ");
    EXPECT_TRUE(view_.actionButtonsEnabled);

    // Indexes the list does not have are no selection.
    dialog->OnSelectionChange({7});
    EXPECT_TRUE(dialog->selection().empty());
    EXPECT_EQ(view_.detail, "idle");

    dialog->OnSelectionChange({3, 1, 4});
    EXPECT_EQ(view_.detail, "idle");
    EXPECT_FALSE(view_.actionButtonsEnabled);
    dialog->OnRemoveSelected();
    ASSERT_EQ(dialog->terminalList().size(), 2u);
    EXPECT_EQ(dialog->terminalList().at(0).SerialNumber, "1001");
    EXPECT_EQ(dialog->terminalList().at(1).SerialNumber, "1003");
    EXPECT_EQ(view_.rows.size(), 2u);
    EXPECT_TRUE(view_.selected.empty());
    EXPECT_TRUE(view_.actionButtonsEnabled);

    // The details of a removed entry go with it.
    dialog->OnSelectionChange({1});
    dialog->OnRemoveSelected();
    EXPECT_EQ(dialog->terminalList().size(), 1u);
    EXPECT_EQ(view_.detail, "idle");
    EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(OnALan, MaintenanceGroupDialogRebuildsTheListOnlyWhenAccepted) {
    auto dialog = start();
    add(*dialog, ipv4Terminal("1001", "10.77.60.20"));
    dialog->OnSelectionChange({0});

    dialog->OnButtonSetKeyAndShow();
    EXPECT_EQ(view_.maintenanceGroupDialogs, 1);
    EXPECT_FALSE(view_.controlsEnabledInGroupDialog);
    EXPECT_TRUE(view_.controlsEnabled);
    EXPECT_TRUE(view_.selected.empty());
    EXPECT_EQ(dialog->terminalList().size(), 1u);

    // Accepted: the list is searched anew, and nothing answers on this bridge.
    view_.maintenanceGroupAccepted = true;
    dialog->OnButtonSetKeyAndShow();
    EXPECT_EQ(view_.waitTitle, "Kestrix IPv4+IPv6 is looking for TALMO terminals in the local area network.");
    EXPECT_TRUE(dialog->terminalList().empty());
    EXPECT_TRUE(view_.rows.empty());
    EXPECT_TRUE(view_.controlsEnabled);
    EXPECT_EQ(view_.detail, "idle");
    EXPECT_TRUE(boxes_.shown.empty());
}

// Saving goes to a new file beside the target that replaces it only when it
// is complete (an existing file keeps its mode); a failed write (here: past
// the process's file size limit) or a folder in the way leave what was there
// and say so. Reading skips empty, malformed and overlong lines.
TEST_F(OnALan, ListFilesAreReplacedWhenCompleteAndMalformedLinesSkipped) {
    auto dialog = start();
    dialog->WriteFile();
    EXPECT_EQ(view_.listFileDirectory, "") << "no file dialog for an empty list";
    add(*dialog, ipv4Terminal("4711", "10.77.60.20"));
    for (const char* name : {"old.rch", "list.rch"})
        std::ofstream(name) << "old line\r\n";
    ASSERT_EQ(::chmod("list.rch", 0640), 0);
    fs::create_directories("folder.rch");
    for (const char* target : {"old.rch", "folder.rch", "list.rch"}) {
        SCOPED_TRACE(target);
        boxes_.shown.clear();
        view_.listFileAnswer = (directory_ / target).string();
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limit = saved;
        limit.rlim_cur = std::string(target) == "old.rch" ? 10 : saved.rlim_cur;
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        dialog->WriteFile();
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        EXPECT_EQ(std::distance(fs::directory_iterator(directory_), fs::directory_iterator()), 3)
            << "no file is left beside the target";
        std::ostringstream text;
        text << std::ifstream(target, std::ios::binary).rdbuf();
        if (std::string(target) != "list.rch") {
            EXPECT_EQ(boxes_.texts(),
                      std::vector<std::string>{*view_.listFileAnswer + " " + dialog->language().GetText(22)});
            continue;
        }
        EXPECT_TRUE(boxes_.shown.empty());
        EXPECT_EQ(text.str(), "4711;10.77.60.20;;;;;;\r\n");
        struct stat status {};
        ASSERT_EQ(::stat(target, &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0640u);
    }
    std::ostringstream old;
    old << std::ifstream("old.rch").rdbuf();
    EXPECT_EQ(old.str(), "old line\r\n") << "the old list survives a failed save";

    const std::string longest(260, 'y'), tooLong(261, 'x');
    std::ofstream("mixed.rch") << "\r\n100102;10.77.0.12\r\n" + tooLong + "\r\n" + longest + "\r\n\na;b;c;d;";
    test::TraceCapture trace;
    EXPECT_TRUE(dialog->ReadFile("mixed.rch"));
    EXPECT_TRUE(trace.contains("'100102;10.77.0.12' nicht zu finden, error: Zeile hat falsches Format\n"));
    EXPECT_TRUE(trace.contains("'" + longest + "' nicht zu finden")) << "260 characters are a line";
    EXPECT_TRUE(trace.contains("'a;b;c;d;' nicht zu finden"));
    EXPECT_FALSE(trace.contains("'" + tooLong.substr(0, 70))) << "a longer line is neither shown nor used";
    EXPECT_FALSE(trace.contains("'' nicht zu finden"));
}

} // namespace
} // namespace kestrix

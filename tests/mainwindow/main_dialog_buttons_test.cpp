// Runs in a network namespace of its own (tests/support/in-netns, as root):
// the dialog starts on a bridge that no terminal answers on.
#include "mainwindow/dialog_start_fixture.h"
#include "mainwindow/main_dialog.h"
#include "platform/ip_address.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace kestrix {
namespace {

using test::Bridge;
using test::TraceCapture;

const std::string kSelectFirst = "Select a terminal first!";
const std::string kOnlyFirst = "Only the first selected terminal will be used.";
const std::string kMonitorMode = "The terminal is in monitor mode.\nIt cannot execute this function.";
const std::string kNoBrowser = "The browser cannot be started.";

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

// Reached by its link-local address, with a global address besides.
TerminalFields ipv6Terminal(const std::string& serialNumber) {
    TerminalFields fields = ipv4Terminal(serialNumber, "0.0.0.0");
    fields.AddrInUse = *addressFromText("fe80::5");
    fields.IPAddrInUse = "fe80::5";
    fields.IPv4Addr.clear();
    fields.IPv6Addresses = {{"2001:db8::5", "64", false, true, ""}};
    return fields;
}

class DialogButtons : public test::StartDirectoryTest {
protected:
    void SetUp() override {
        StartDirectoryTest::SetUp();
        lan_ = std::make_unique<Bridge>("kxb0", "10.77.70.1/24", true);
    }
    void TearDown() override {
        lan_.reset();
        StartDirectoryTest::TearDown();
    }

    std::unique_ptr<CToolBoxDlg> start() {
        auto dialog = std::make_unique<CToolBoxDlg>(
            view_, boxes_, CommandLineSwitches{StartWarning::Suppressed, AddingMode::Normal});
        EXPECT_TRUE(dialog->OnInitDialog());
        boxes_.shown.clear();
        return dialog;
    }

    static void add(CToolBoxDlg& dialog, const TerminalFields& fields) {
        ASSERT_TRUE(dialog.terminalList()
                        .insert(test::knownTerminal(dialog.engine(), fields), SortOrder::SerialNumber)
                        .index.has_value());
    }

    std::unique_ptr<Bridge> lan_;
};

TEST_F(DialogButtons, HelpPageFollowsTheLanguage) {
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
        ASSERT_EQ(view_.pages.size(), 1u);
        EXPECT_EQ(view_.pages[0], "file://" + directory_.string() + "/" + entry.page);
        EXPECT_EQ(dialog->detailContents(), DetailContents::Page);
        EXPECT_TRUE(boxes_.shown.empty());

        // A page that cannot be shown leaves the idle picture and says so.
        view_.pageShown = false;
        dialog->OnButtonHelp();
        EXPECT_EQ(boxes_.texts(), std::vector<std::string>{entry.noBrowser});
        EXPECT_EQ(boxes_.shown[0].icon, MessageIcon::Error);
        EXPECT_EQ(dialog->detailContents(), DetailContents::IdlePicture);
        EXPECT_EQ(view_.detail, "idle");
    }
}

TEST_F(DialogButtons, AboutBoxNamesProductVersionAndLicencePage) {
    auto dialog = start();
    dialog->OnAbout();
    ASSERT_TRUE(view_.about.has_value());
    EXPECT_EQ(view_.about->caption, "Kestrix IPv4+IPv6");
    EXPECT_EQ(view_.about->productLine, "Kestrix IPv4+IPv6 V4.00.00");
    EXPECT_NE(view_.about->notice.find("Kestrix"), std::string::npos);
    EXPECT_EQ(view_.about->licenceUrl, "file://" + directory_.string() + "/License.htm");
}

TEST_F(DialogButtons, StatusPageOpensTheTerminalsAddress) {
    auto dialog = start();
    TraceCapture trace;
    dialog->OnButtonHTML();
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{kSelectFirst});
    EXPECT_EQ(boxes_.shown[0].icon, MessageIcon::Information);
    EXPECT_TRUE(view_.browserAddresses.empty());

    add(*dialog, ipv4Terminal("1001", "10.77.70.20"));
    add(*dialog, ipv6Terminal("1002"));
    TerminalFields monitor = ipv4Terminal("1003", "10.77.70.30");
    monitor.TclKind = tcl_kind::Monitor;
    add(*dialog, monitor);

    // Two selected: the first one is used and stays the only one selected.
    boxes_.shown.clear();
    dialog->OnSelectionChange({1, 0});
    dialog->OnButtonHTML();
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{kOnlyFirst});
    EXPECT_EQ(dialog->selection(), std::vector<std::size_t>{0});
    EXPECT_EQ(view_.selected, std::vector<std::size_t>{0});
    EXPECT_EQ(view_.browserAddresses, std::vector<std::string>{"10.77.70.20"});
    EXPECT_TRUE(trace.contains("OnButtonHTML() startet\n"));
    EXPECT_TRUE(trace.contains("CToolBoxDlg::OnButtonHTML(): url: '10.77.70.20'\n"));

    // Reached by IPv6: the address in use, in square brackets.
    boxes_.shown.clear();
    dialog->OnSelectionChange({1});
    dialog->OnButtonHTML();
    EXPECT_TRUE(boxes_.shown.empty());
    EXPECT_EQ(view_.browserAddresses.back(), "[fe80::5]");

    dialog->OnSelectionChange({2});
    dialog->OnButtonHTML();
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{kMonitorMode});
    EXPECT_EQ(view_.browserAddresses.size(), 2u);

    boxes_.shown.clear();
    view_.browserOpens = false;
    dialog->OnSelectionChange({0});
    dialog->OnButtonHTML();
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{kNoBrowser});
    EXPECT_EQ(boxes_.shown[0].icon, MessageIcon::Error);
}

TEST_F(DialogButtons, SelectionShowsDetailsAndGatesTheActionButtons) {
    auto dialog = start();
    add(*dialog, ipv4Terminal("1001", "10.77.70.20"));
    TerminalFields otherGroup = ipv4Terminal("1002", "10.77.70.21");
    otherGroup.AuthOK = false; // knows authentication (6.12) but refuses this station
    add(*dialog, otherGroup);

    dialog->OnSelectionChange({0});
    EXPECT_EQ(dialog->detailContents(), DetailContents::TerminalDetails);
    EXPECT_EQ(view_.details.headline.substr(0, 5), "1001 ");
    EXPECT_TRUE(view_.actionButtonsEnabled);

    dialog->OnSelectionChange({0, 1});
    EXPECT_EQ(dialog->detailContents(), DetailContents::IdlePicture);
    EXPECT_FALSE(view_.actionButtonsEnabled);

    // Indexes the list does not have are no selection.
    dialog->OnSelectionChange({7});
    EXPECT_TRUE(dialog->selection().empty());
    EXPECT_TRUE(view_.actionButtonsEnabled);
    EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(DialogButtons, RemovingTheSelectedEntriesLeavesNoDetailsOfThem) {
    auto dialog = start();
    for (const char* serialNumber : {"1001", "1002", "1003", "1004"})
        add(*dialog, ipv4Terminal(serialNumber, "10.77.70.20"));
    TerminalFields otherGroup = ipv4Terminal("1005", "10.77.70.21");
    otherGroup.AuthOK = false;
    add(*dialog, otherGroup);

    dialog->OnSelectionChange({3, 1, 4});
    EXPECT_FALSE(view_.actionButtonsEnabled);
    dialog->OnRemoveSelected();
    ASSERT_EQ(dialog->terminalList().size(), 2u);
    EXPECT_EQ(dialog->terminalList().at(0).SerialNumber, "1001");
    EXPECT_EQ(dialog->terminalList().at(1).SerialNumber, "1003");
    EXPECT_EQ(view_.rows.size(), 2u);
    EXPECT_TRUE(view_.selected.empty());
    EXPECT_TRUE(view_.actionButtonsEnabled);

    dialog->OnSelectionChange({1});
    EXPECT_EQ(view_.detail, "terminal");
    dialog->OnRemoveSelected();
    EXPECT_EQ(dialog->terminalList().size(), 1u);
    EXPECT_EQ(view_.detail, "idle");
    EXPECT_EQ(dialog->detailContents(), DetailContents::IdlePicture);
}

TEST_F(DialogButtons, MaintenanceGroupDialogRebuildsTheListOnlyWhenAccepted) {
    auto dialog = start();
    add(*dialog, ipv4Terminal("1001", "10.77.70.20"));
    dialog->OnSelectionChange({0});
    TraceCapture trace;

    dialog->OnButtonSetKeyAndShow();
    EXPECT_EQ(view_.maintenanceGroupDialogs, 1);
    EXPECT_FALSE(view_.controlsEnabledInGroupDialog);
    EXPECT_TRUE(view_.controlsEnabled);
    EXPECT_TRUE(dialog->selection().empty());
    EXPECT_TRUE(view_.selected.empty());
    EXPECT_EQ(dialog->terminalList().size(), 1u);
    EXPECT_TRUE(trace.contains("CT7000ipKey not ok\n"));

    // Accepted: the list is searched anew, and nothing answers on this bridge.
    view_.maintenanceGroupAccepted = true;
    dialog->OnButtonSetKeyAndShow();
    EXPECT_TRUE(trace.contains("CT7000ipKey is ok, Terminalliste neu aufbauen\n"));
    EXPECT_EQ(view_.waitTitle, "Kestrix IPv4+IPv6 is looking for TALMO terminals in the local area network.");
    EXPECT_TRUE(dialog->terminalList().empty());
    EXPECT_TRUE(view_.rows.empty());
    EXPECT_TRUE(view_.controlsEnabled);
    EXPECT_EQ(view_.detail, "idle");
    EXPECT_TRUE(boxes_.shown.empty());
}

} // namespace
} // namespace kestrix

// Runs in a network namespace of its own (tests/support/in-netns, as root): it
// makes LAN interfaces there and binds the maintenance ports.
#include "mainwindow/dialog_start_fixture.h"
#include "mainwindow/main_dialog.h"
#include "mainwindow/trace_file.h"
#include "support/sockets.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace kestrix {
namespace {

namespace fs = std::filesystem;
using test::Bridge;
using test::TraceCapture;

const std::string kNoNetworkConnections = "No information on network connections found.";
const std::string kPortsInUse =
    "TALMO configuration port(s) already in use. Please close the other application first.";
const std::string kSmallFonts = "Kestrix IPv4+IPv6 is layouted with small fonts.";

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

class DialogStart : public test::StartDirectoryTest {};

TEST_F(DialogStart, WithoutALanInterfaceItEndsBeforeTheSettingsFileIsRead) {
    // Loopback is all the namespace has; it is no LAN interface.
    std::ofstream("Kestrix.ini") << "[TFTP]\n[TFTP]\n";
    {
        CToolBoxDlg dialog(view_, boxes_, {});
        EXPECT_FALSE(dialog.OnInitDialog());
    }
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].text, kNoNetworkConnections);
    EXPECT_EQ(boxes_.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(boxes_.shown[0].caption, "Kestrix IPv4+IPv6");
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
}

TEST_F(DialogStart, BothMaintenancePortsTakenEndTheStartWithTheEnginesMessage) {
    Bridge lan("kxs0", "10.77.60.1/24", true);
    const int requestPort = test::bindDualStackUdp(0xdead);
    const int fallbackPort = test::bindDualStackUdp(0xbeef);
    ASSERT_GE(requestPort, 0);
    ASSERT_GE(fallbackPort, 0);
    {
        CToolBoxDlg dialog(view_, boxes_, {});
        EXPECT_FALSE(dialog.OnInitDialog());
    }
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].text, kPortsInUse);
    EXPECT_EQ(boxes_.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(view_.mainWindowShown, 0);
    EXPECT_EQ(view_.closed, 1);

    // One free port is enough.
    ::close(fallbackPort);
    CToolBoxDlg dialog(view_, boxes_, {});
    EXPECT_TRUE(dialog.OnInitDialog());
    EXPECT_EQ(dialog.engine().boundPort(), 0xbeef);
    ::close(requestPort);
}

TEST_F(DialogStart, StartsWithWarningSelectorSettingsAndTraceFile) {
    Bridge up("kxs0", "10.77.60.1/24", true);
    Bridge down("kxs1", "10.77.61.1/24", false);
    std::ofstream("Kestrix.ini") << "[Terminallist]\nOrder=SERIALNO\nShowHostname=SHORT\nShowIPAddr=IPV6\n";
    std::ofstream("b.rch") << "";
    std::ofstream("a.RCH") << "";
    std::ofstream("notes.txt") << "";
    fs::create_directory("folder.rch");
    std::ofstream("KestrixTrace.txt") << "the last run\n";

    CToolBoxDlg dialog(view_, boxes_, {});
    ASSERT_TRUE(dialog.OnInitDialog());
    const std::string traced = readFile(directory_ / "KestrixTrace.txt");
    closeTraceFile();

    EXPECT_EQ(traced.substr(0, traced.find('\n') + 1), "Kestrix IPv4+IPv6 V4.00.00\n");
    EXPECT_EQ(traced.find("the last run"), std::string::npos);
    EXPECT_TRUE(boxes_.shown.empty());
    ASSERT_EQ(view_.warnings.size(), 1u);
    EXPECT_EQ(view_.warnings[0].attention, "ATTENTION!");
    EXPECT_EQ(view_.warnings[0].ownRisk, "Changes are done on your own risk.");
    EXPECT_EQ(view_.mainWindowShown, 1);

    const std::vector<std::string> entries = {"all LAN connections", "kxs0 (10.77.60.1)",
                                              "kxs1 (10.77.61.1) inaktiv!", "a.RCH", "b.rch"};
    EXPECT_EQ(view_.selectorEntries, entries);
    EXPECT_EQ(dialog.selectorEntries(), entries);
    EXPECT_EQ(view_.selectorCurrent, 0);
    EXPECT_EQ(dialog.listFileIndex(), 3);

    const ListPresentation expected{SortOrder::SerialNumber, GroupFilter::AllGroups, HostNameDisplay::Short,
                                    AddressForm::IPv6};
    EXPECT_EQ(view_.presentation, expected);
    EXPECT_EQ(dialog.presentation(), expected);
    EXPECT_EQ(view_.detail, "idle");
    EXPECT_EQ(dialog.detailContents(), DetailContents::IdlePicture);
    EXPECT_TRUE(view_.controlsEnabled);
    EXPECT_EQ(view_.closed, 0);
}

TEST_F(DialogStart, WarningsOnTheWayDoNotStopTheStart) {
    Bridge lan("kxs0", "10.77.60.1/24", true);
    fs::create_directory("KestrixTrace.txt"); // exists, but cannot be rewritten
    const std::string traceWarning =
        "Trace file " + (directory_ / "KestrixTrace.txt").string() + " can not be written.";
    struct FontCase {
        DialogFontSize size;
        std::vector<std::string> texts;
    };
    const FontCase cases[] = {{{16, 20, 7}, {traceWarning}},
                              {{16, 9, 8}, {traceWarning, kSmallFonts}},
                              {{17, 7, 6}, {traceWarning, kSmallFonts}}};
    for (const FontCase& entry : cases) {
        SCOPED_TRACE(entry.size.height * 100 + entry.size.averageCharWidth);
        test::RecordingView view;
        test::RecordingMessageBoxes boxes;
        view.fontSize = entry.size;
        TraceCapture trace;
        CToolBoxDlg dialog(view, boxes, {StartWarning::Suppressed, AddingMode::Normal});
        EXPECT_TRUE(dialog.OnInitDialog());
        EXPECT_TRUE(view.warnings.empty());
        EXPECT_EQ(boxes.texts(), entry.texts);
        for (const MessageBoxRequest& box : boxes.shown)
            EXPECT_EQ(box.icon, MessageIcon::Exclamation);
        EXPECT_EQ(trace.contains("Height: 17, Max Char Width: 7 Ave Char Width: 6\n"),
                  entry.size.height == 17);
    }
}

struct ShutdownCase {
    MessageAnswer answer;
    bool ends;
    std::size_t entriesAfter;
    bool listSaved;
};

TEST_F(DialogStart, ShutdownAsksWhetherToSaveTheList) {
    Bridge lan("kxs0", "10.77.60.1/24", true);
    const ShutdownCase cases[] = {
        {MessageAnswer::Cancel, false, 1, false},
        {MessageAnswer::No, true, 0, false},
        {MessageAnswer::Yes, true, 0, true},
    };
    for (const ShutdownCase& entry : cases) {
        SCOPED_TRACE(static_cast<int>(entry.answer));
        test::RecordingView view;
        test::RecordingMessageBoxes boxes;
        CToolBoxDlg dialog(view, boxes, {StartWarning::Suppressed, AddingMode::Normal});
        ASSERT_TRUE(dialog.OnInitDialog());
        TerminalFields fields;
        fields.SerialNumber = "4711";
        dialog.terminalList().insert(test::knownTerminal(dialog.engine(), fields), SortOrder::Product);

        TraceCapture trace;
        boxes.answers = {entry.answer};
        EXPECT_EQ(dialog.OnCancel(), entry.ends);
        EXPECT_TRUE(trace.contains("CToolBoxDlg::OnCancel()\nCToolBoxDlg::OnClose()\n"));
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].caption, "Kestrix IPv4+IPv6 ends");
        EXPECT_EQ(boxes.shown[0].text, "Do you want to save the terminal list? This may take some minutes.");
        EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Question);
        EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::YesNoCancel);
        EXPECT_EQ(boxes.shown[0].defaultButton, 1);
        EXPECT_EQ(dialog.terminalList().size(), entry.entriesAfter);
        // The list is saved while it still holds its entries.
        EXPECT_EQ(!view.listFileDirectory.empty(), entry.listSaved);
        EXPECT_EQ(view.closed, entry.ends ? 1 : 0);
    }
}

TEST_F(DialogStart, SavingAnEmptyListOnlyTracesIt) {
    Bridge lan("kxs0", "10.77.60.1/24", true);
    CToolBoxDlg dialog(view_, boxes_, {StartWarning::Suppressed, AddingMode::Normal});
    ASSERT_TRUE(dialog.OnInitDialog());
    TraceCapture trace;
    EXPECT_TRUE(dialog.OnCancel());
    EXPECT_TRUE(trace.contains("CToolBoxDlg::WriteFile(): Terminalliste leer\n"));
    EXPECT_TRUE(view_.listFileDirectory.empty());
}

} // namespace
} // namespace kestrix

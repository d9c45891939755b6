#include "mainwindow/main_dialog.h"
#include "mainwindow/product.h"
#include "mainwindow/recording_view.h"
#include "netbed/bed_availability.h"
#include "netbed/network_bed.h"
#include "protocol/t7000ip.h"
#include "support/capabilities.h"
#include "support/trace_capture.h"
#include "terminal/route_table.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <ostream>
#include <unistd.h>

// The main window's search and add field against talmo-sim terminals on the
// test bed: the PC's bridge br0 is 10.77.0.1/24 (fe80::1). The dialog runs in
// the PC's namespace (runOnPc), started as the program starts it.

namespace kestrix {

// Rows as their texts in the test's messages.
void PrintTo(const TerminalRow& row, std::ostream* out) {
    *out << "{" << row.iconIndex << ", \"" << row.productColumn << "\", \"" << row.versionColumn << "\", \""
         << row.serialColumn << "\", \"" << row.addressLine << "\", \"" << row.dnsLine << "\"}";
}

namespace {

using test::BedLayout;
using test::NetworkBed;
using test::RecordingMessageBoxes;
using test::RecordingView;
using test::TerminalSetup;
using test::TraceCapture;

constexpr std::uint16_t kGroup = 4711;

TerminalSetup simulated(const std::string& serialNumber, const std::string& ipv4,
                        const std::string& linkLocal, std::map<std::string, std::string> extra = {}) {
    TerminalSetup terminal;
    terminal.ipv4 = ipv4;
    terminal.ipv6LinkLocal = linkLocal;
    terminal.terminalSection = {{"serial_number", serialNumber},
                                {"security_id", "A1B2C3D4"},
                                {"maintenance_group", std::to_string(kGroup)}};
    for (auto& [key, value] : extra)
        terminal.terminalSection.insert_or_assign(key, value);
    return terminal;
}

struct Program {
    RecordingView view;
    RecordingMessageBoxes boxes;
    CToolBoxDlg dialog;
    explicit Program(AddingMode adding) : dialog(view, boxes, {StartWarning::Suppressed, adding}) {}

    std::vector<std::string> serialNumbers() const {
        std::vector<std::string> result;
        for (std::size_t index = 0; index < dialog.terminalList().size(); ++index)
            result.push_back(dialog.terminalList().at(index).SerialNumber);
        return result;
    }
    const std::string& text(int id) const { return dialog.language().GetText(id); }
};

// The program side: in a start directory of its own, started as "-e" starts
// it, with the terminals' maintenance group.
void asTheProgram(const NetworkBed& bed, AddingMode adding, const std::function<void(Program&)>& body) {
    const std::filesystem::path directory = bed.runDirectory() / "start";
    EXPECT_TRUE(bed.runOnPc([&] {
        std::filesystem::create_directories(directory);
        ASSERT_EQ(::chdir(directory.c_str()), 0);
        ::setenv("LC_ALL", "en_US.UTF-8", 1);
        Program program(adding);
        ASSERT_TRUE(program.dialog.OnInitDialog());
        program.dialog.engine().setT7000ipMaintGroup(kGroup);
        body(program);
    }));
}

// Whether the PC's routing table holds a route to the dotted address.
bool routeTo(const std::string& dotted) {
    std::vector<RouteRow> rows;
    int error = 0;
    EXPECT_TRUE(route_table::read(rows, error));
    for (const RouteRow& row : rows)
        if (addressToText(Ip6Address::fromIPv4(row.destination), MappedForm::DottedOnly) == dotted)
            return true;
    return false;
}

class SearchOnTheBed : public test::NetworkBedTest {};

TEST_F(SearchOnTheBed, EveryTerminalOnceWithItsRowByFindAndByEcho) {
    BedLayout layout;
    TerminalSetup dualStack = simulated("100101", "10.77.0.11/24", "fe80::11");
    dualStack.ipv6Global = "2001:db8:77::11";
    TerminalSetup ipv4Only =
        simulated("100102", "10.77.0.12/24", "",
                  {{"product", "TALMO 7200"}, {"kind", "ET"}, {"firmware_version", "5a52"}});
    // An older firmware that knows no "find", in its monitor: only the echo broadcast finds it.
    TerminalSetup echoOnly = simulated("100103", "10.77.0.13/24", "",
                                       {{"product", "TALMO DCU4"},
                                        {"authentication", "ip"},
                                        {"answers_find", "0"},
                                        {"start_mode", "monitor"}});
    layout.terminals = {dualStack, ipv4Only, echoOnly};
    layout.pcHostsLines = {"2001:db8:77::11 t11.bed.test", "10.77.0.12 t12.bed.test"};
    NetworkBed bed(layout);

    asTheProgram(bed, AddingMode::Normal, [](Program& program) {
        TraceCapture trace;
        const auto start = std::chrono::steady_clock::now();
        program.dialog.OnNewTerminalList();
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        std::printf("[ measured ] a search with 3 terminals took %lld ms\n",
                    static_cast<long long>(took.count()));

        // By product: TALMO7200, TALMO7450, TALMODCU41.
        const std::vector<TerminalRow> expected = {
            {2, " TALMO 7200", "TCL 5a52", "SN: 100102", "10.77.0.12", "t12.bed.test"},
            {5, " TALMO 7450-ACM", "TCL 6.12", "SN: 100101", "2001:db8:77::11", "t11.bed.test"},
            {9, " TALMO DCU4", "MON 2.05", "SN: 100103", "10.77.0.13", "   "},
        };
        EXPECT_EQ(program.view.rows, expected);
        EXPECT_TRUE(program.boxes.shown.empty()) << program.boxes.shown.front().text;
        ASSERT_EQ(program.serialNumbers().size(), 3u);
        EXPECT_TRUE(program.dialog.terminalList().at(2).AuthOK)
            << "IP-based through the interface that found it";
        EXPECT_TRUE(
            trace.contains("CToolBoxDlg::DoFindBroadcast(): 100101 in der Terminalliste vorhanden\n"));
        EXPECT_TRUE(
            trace.contains("CToolBoxDlg::DoEchoBroadcast(): 100102 in der Terminalliste vorhanden\n"));

        // What the user saw meanwhile, and the window as it is afterwards.
        EXPECT_EQ(program.view.waitTitle, std::string(kProductCaption) + " " + program.text(53));
        EXPECT_EQ(program.view.waitPleaseWait, program.text(54));
        const std::vector<std::string>& lines = program.view.progressLines;
        EXPECT_NE(
            std::find(lines.begin(), lines.end(), "Broadcast 'find' " + program.text(70) + " [ff02::1]"),
            lines.end());
        EXPECT_NE(
            std::find(lines.begin(), lines.end(), "Broadcast 'find' " + program.text(70) + " [10.77.0.255]"),
            lines.end());
        EXPECT_NE(
            std::find(lines.begin(), lines.end(), "Broadcast 'echo' " + program.text(70) + " 10.77.0.1"),
            lines.end());
        EXPECT_NE(std::find(lines.begin(), lines.end(),
                            program.text(71) + " [::ffff:10.77.0.13];100103 " + program.text(72)),
                  lines.end());
        EXPECT_TRUE(program.view.controlsEnabled);
        EXPECT_FALSE(program.view.waitCursor);
        EXPECT_EQ(program.view.detail, "idle");
    });
}

TEST_F(SearchOnTheBed, TwoTerminalsOnOneAddressAndTheGroupFilter) {
    BedLayout layout;
    TerminalSetup otherGroup = simulated("100203", "10.77.0.23/24", "fe80::23");
    otherGroup.terminalSection.insert_or_assign("maintenance_group", "4712");
    layout.terminals = {simulated("100201", "10.77.0.20/24", "fe80::21"),
                        simulated("100202", "10.77.0.20/24", "fe80::22"), otherGroup};
    NetworkBed bed(layout);
    asTheProgram(bed, AddingMode::Normal, [](Program& program) {
        program.dialog.OnNewTerminalList();
        EXPECT_EQ(program.serialNumbers(), (std::vector<std::string>{"100201", "100202", "100203"}));
        const std::string duplicate = program.text(46) + " ::ffff:10.77.0.20 " + program.text(47) +
                                      " 100201 " + program.text(48) + " 100202" + program.text(49);
        // Once for the find broadcast and once for the echo broadcast.
        ASSERT_EQ(program.boxes.shown.size(), 2u);
        for (const MessageBoxRequest& box : program.boxes.shown) {
            EXPECT_EQ(box.text, duplicate);
            EXPECT_EQ(box.icon, MessageIcon::Error);
        }

        TraceCapture trace;
        program.dialog.OnGroupFilter(GroupFilter::CurrentGroupOnly);
        program.dialog.OnNewTerminalList();
        EXPECT_EQ(program.serialNumbers(), (std::vector<std::string>{"100201", "100202"}));
        EXPECT_TRUE(trace.contains("CToolBoxDlg::DoFindBroadcast(): 100203 nicht in der Wartungsgruppe\n"));
        EXPECT_TRUE(trace.contains("CToolBoxDlg::DoEchoBroadcast(): 100203 nicht in der Wartungsgruppe\n"));
    });
}

TEST_F(SearchOnTheBed, TheAlternativeModeTakesTheIPBasedRecordOfATerminalThatRefusesIDs) {
    BedLayout layout;
    layout.terminals = {simulated("100401", "10.77.0.41/24", "fe80::41", {{"authentication", "ip"}})};
    NetworkBed bed(layout);
    for (AddingMode adding : {AddingMode::Normal, AddingMode::Alternative}) {
        SCOPED_TRACE(adding == AddingMode::Alternative ? "alternative" : "normal");
        const bool alternative = adding == AddingMode::Alternative;
        asTheProgram(bed, adding, [alternative](Program& program) {
            program.dialog.OnNewTerminalList();
            ASSERT_EQ(program.serialNumbers(), std::vector<std::string>{"100401"});
            const Terminal& searched = program.dialog.terminalList().at(0);
            EXPECT_EQ(searched.AuthOK, alternative);
            EXPECT_EQ(searched.IDBasedAuth, !alternative);
            if (alternative) {
                EXPECT_EQ(searched.HostIfAddr, "10.77.0.1");
            }

            program.dialog.OnClearList();
            program.dialog.OnAddIPAddr("10.77.0.41");
            ASSERT_EQ(program.serialNumbers(), std::vector<std::string>{"100401"});
            const Terminal& added = program.dialog.terminalList().at(0);
            EXPECT_EQ(added.AuthOK, alternative);
            EXPECT_EQ(added.IDBasedAuth, !alternative);
            EXPECT_TRUE(program.boxes.shown.empty());
        });
    }
}

TEST_F(SearchOnTheBed, TheRecordThatReplacesAnotherKeepsTheHostRouteItWasFoundThrough) {
    BedLayout layout;
    // In a foreign subnet: the find broadcast's record adds a host route, and
    // the IP-based record of the echo broadcast reaches the terminal through it.
    layout.terminals = {simulated("100402", "192.168.99.42/24", "", {{"authentication", "ip"}})};
    NetworkBed bed(layout);
    asTheProgram(bed, AddingMode::Alternative, [](Program& program) {
        TraceCapture trace;
        program.dialog.OnNewTerminalList();
        ASSERT_EQ(program.serialNumbers(), std::vector<std::string>{"100402"});
        ASSERT_TRUE(trace.contains("CToolBoxDlg::DoEchoBroadcast(): Einstellung 'alternativ' suchen"));
        Terminal& listed = program.dialog.terminalList().at(0);
        EXPECT_TRUE(listed.AuthOK);
        EXPECT_FALSE(listed.IDBasedAuth);
        EXPECT_TRUE(routeTo("192.168.99.42")) << "the replaced record took the route along";
        EXPECT_NO_THROW(
            listed.T7000ipLocateByEcho("::ffff:192.168.99.42", "", "100402", RouteUse::NotAllowed));
        EXPECT_TRUE(program.boxes.shown.empty());

        program.dialog.OnClearList();
        EXPECT_FALSE(routeTo("192.168.99.42")) << "the route ends with the record that holds it";
    });
}

TEST_F(SearchOnTheBed, AddingByAddressNameAndLineAndTheMessagesWhenThatFails) {
    BedLayout layout;
    layout.terminals = {simulated("100501", "10.77.0.51/24", ""),
                        simulated("100502", "10.77.0.52/24", "fe80::52")};
    layout.pcHostsLines = {"10.77.0.51 t51.bed.test"};
    NetworkBed bed(layout);
    asTheProgram(bed, AddingMode::Normal, [](Program& program) {
        struct Case {
            const char* field;
            const char* serialNumber; // listed afterwards, or empty
            int message;              // the box shown, or -1
        };
        const Case cases[] = {
            {"10.77.0.51", "100501", -1},
            {"t51.bed.test", "100501", -1},
            {"100502;10.1.2.3;elsewhere.bed.test", "100502", -1}, // located by its serial number alone
            {"nosuch.bed.test", "", 11},
            {"100502;10.77.0.52", "", 13},
            {"10.77.0.99", "", 12},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.field);
            program.dialog.OnClearList();
            program.boxes.shown.clear();
            program.dialog.OnAddIPAddr(c.field);
            EXPECT_EQ(program.serialNumbers(), *c.serialNumber ? std::vector<std::string>{c.serialNumber}
                                                               : std::vector<std::string>{});
            if (c.message < 0) {
                EXPECT_TRUE(program.boxes.shown.empty());
                continue;
            }
            ASSERT_EQ(program.boxes.shown.size(), 1u);
            EXPECT_EQ(program.boxes.shown[0].text, program.text(c.message));
            EXPECT_EQ(program.boxes.shown[0].icon, MessageIcon::Error);
        }
        EXPECT_FALSE(program.view.waitCursor);

        // An entry added while another is selected keeps that one selected.
        program.dialog.OnClearList();
        program.dialog.OnSortOrder(SortOrder::SerialNumber);
        program.dialog.OnAddIPAddr("10.77.0.52");
        program.dialog.OnSelectionChange({0});
        program.dialog.OnAddIPAddr("10.77.0.51");
        EXPECT_EQ(program.serialNumbers(), (std::vector<std::string>{"100501", "100502"}));
        EXPECT_EQ(program.dialog.selection(), std::vector<std::size_t>{1});
        EXPECT_EQ(program.view.selected, std::vector<std::size_t>{1});
    });
}

TEST_F(SearchOnTheBed, WithoutTheRightToAddRoutesTheSearchReportsItOnce) {
    BedLayout layout;
    layout.terminals = {simulated("100601", "192.168.99.6/24", "")}; // a foreign subnet
    NetworkBed bed(layout);
    const std::filesystem::path directory = bed.runDirectory() / "start";
    EXPECT_TRUE(bed.runOnPc([&] {
        ASSERT_TRUE(test::dropNetworkAdministration());
        std::filesystem::create_directories(directory);
        ASSERT_EQ(::chdir(directory.c_str()), 0);
        Program program(AddingMode::Normal);
        ASSERT_TRUE(program.dialog.OnInitDialog());
        TraceCapture trace;
        program.dialog.OnNewTerminalList();
        EXPECT_TRUE(program.serialNumbers().empty());
        EXPECT_EQ(program.boxes.texts(), std::vector<std::string>{program.text(20)});
        EXPECT_TRUE(trace.contains("CToolBoxDlg::DoFindBroadcast(): ::ffff:192.168.99.6 kein Routing "
                                   "möglich. Administratorrechte?\n"));

        // Added by its address, the echo's route fails as well.
        program.boxes.shown.clear();
        program.dialog.OnAddIPAddr("192.168.99.6");
        EXPECT_EQ(program.boxes.texts(), std::vector<std::string>{program.text(21)});
    }));
}

} // namespace
} // namespace kestrix

#include "mainwindow/main_dialog.h"
#include "mainwindow/recording_view.h"
#include "netbed/network_bed.h"
#include "protocol/t7000ip.h"
#include "support/capabilities.h"
#include "terminal/route_table.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

// The main window's search, add field and list files against talmo-sim
// terminals on the test bed (br0 10.77.0.1/24, fe80::1), in the PC's namespace,
// started as "-e" starts it in a start directory of the test's own.

namespace kestrix {

// Rows as their texts in the test's messages.
void PrintTo(const TerminalRow& row, std::ostream* out) {
    *out << "{" << row.iconIndex << ", \"" << row.productColumn << "\", \"" << row.versionColumn << "\", \""
         << row.serialColumn << "\", \"" << row.addressLine << "\", \"" << row.dnsLine << "\"}";
}

namespace {

namespace fs = std::filesystem;
using test::BedLayout;
using test::NetworkBed;
using test::TerminalSetup;

constexpr std::uint16_t kGroup = 4711;

TerminalSetup simulated(const std::string& serialNumber, const std::string& ipv4,
                        const std::string& linkLocal, const std::map<std::string, std::string>& extra = {}) {
    TerminalSetup terminal;
    terminal.ipv4 = ipv4;
    terminal.ipv6LinkLocal = linkLocal;
    terminal.terminalSection = {{"serial_number", serialNumber},
                                {"security_id", "A1B2C3D4"},
                                {"maintenance_group", std::to_string(kGroup)}};
    for (const auto& [key, value] : extra)
        terminal.terminalSection.insert_or_assign(key, value);
    return terminal;
}

struct Program {
    test::RecordingView view;
    test::RecordingMessageBoxes boxes;
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

// Whether the program may change routes (a user with or without administrator rights).
enum class RouteRights { Granted, Dropped };

// The start directory of the running test.
fs::path startDirectory(const NetworkBed& bed) {
    return bed.runDirectory() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

// Runs body as the program on the PC, with the terminals' maintenance group.
void asTheProgram(const NetworkBed& bed, AddingMode adding, const std::function<void(Program&)>& body,
                  RouteRights rights = RouteRights::Granted) {
    const fs::path directory = startDirectory(bed);
    EXPECT_TRUE(bed.runOnPc([&] {
        if (rights == RouteRights::Dropped) {
            ASSERT_TRUE(test::dropNetworkAdministration());
        }
        fs::create_directories(directory);
        ASSERT_EQ(::chdir(directory.c_str()), 0);
        ::setenv("LC_ALL", "en_US.UTF-8", 1);
        auto program = std::make_unique<Program>(adding);
        ASSERT_TRUE(program->dialog.OnInitDialog());
        program->dialog.engine().setT7000ipMaintGroup(kGroup);
        body(*program);
    }));
}

std::string contents(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// One bed for the search, the add field and the list files: terminals of
// every way to be found, two on one IPv4 address and one of another group.
class OnTheSearchBed : public test::SharedNetworkBedTest {
protected:
    static void SetUpTestSuite() {
        TerminalSetup dualStack = simulated("100101", "10.77.0.11/24", "fe80::11");
        dualStack.ipv6Global = "2001:db8:77::11";
        BedLayout layout;
        layout.bridges[0].ipv6Global = "2001:db8:77::1"; // the global addresses are reached directly
        layout.terminals = {
            dualStack,
            simulated("100102", "10.77.0.12/24", "",
                      {{"product", "TALMO 7200"}, {"kind", "ET"}, {"firmware_version", "5a52"}}),
            // An older firmware that knows no "find", in its monitor: only the echo broadcast finds it.
            simulated("100103", "10.77.0.13/24", "",
                      {{"product", "TALMO DCU4"},
                       {"authentication", "ip"},
                       {"answers_find", "0"},
                       {"start_mode", "monitor"}}),
            simulated("100201", "10.77.0.20/24", "fe80::21"),
            simulated("100202", "10.77.0.20/24", "fe80::22"),
            simulated("100203", "10.77.0.23/24", "fe80::23", {{"maintenance_group", "4712"}}),
            // Without IPv4: its echo reports 0.0.0.0, only the IPv6 find finds it.
            simulated("100301", "", "fe80::31"),
        };
        layout.pcHostsLines = {"10.77.0.11 t11.bed.test", "2001:db8:77::11 g11.bed.test",
                               "10.77.0.12 t12.bed.test"};
        buildSharedBed(layout);
    }
};

TEST_F(OnTheSearchBed, EveryTerminalOnceWithItsRowTwoOnOneAddressAndTheGroupFilter) {
    asTheProgram(*bed_, AddingMode::Normal, [](Program& program) {
        program.dialog.OnNewTerminalList();
        // By product, equal keys in the order found.
        const std::vector<TerminalRow> expected = {
            {2, " TALMO 7200", "TCL 5a52", "SN: 100102", "10.77.0.12", "t12.bed.test"},
            {5, " TALMO 7450-ACM", "TCL 6.12", "SN: 100101", "2001:db8:77::11", "g11.bed.test"},
            {5, " TALMO 7450-ACM", "TCL 6.12", "SN: 100201", "fe80::21", "   "},
            {5, " TALMO 7450-ACM", "TCL 6.12", "SN: 100202", "fe80::22", "   "},
            {5, " TALMO 7450-ACM", "TCL 6.12", "SN: 100203", "fe80::23", "   "},
            {5, " TALMO 7450-ACM", "TCL 6.12", "SN: 100301", "fe80::31", "   "},
            {9, " TALMO DCU4", "MON 2.05", "SN: 100103", "10.77.0.13", "   "},
        };
        EXPECT_EQ(program.view.rows, expected);
        EXPECT_TRUE(program.dialog.terminalList().at(6).AuthOK)
            << "IP-based through the interface that found it";

        // Two on one address: once for the find broadcast and once for the echo broadcast.
        const std::string duplicate = program.text(46) + " ::ffff:10.77.0.20 " + program.text(47) +
                                      " 100201 " + program.text(48) + " 100202" + program.text(49);
        EXPECT_EQ(program.boxes.texts(), (std::vector<std::string>{duplicate, duplicate}));
        EXPECT_EQ(program.boxes.shown.front().icon, MessageIcon::Error);
        EXPECT_EQ(program.boxes.shown.front().stacking, MessageStacking::AboveAllWindows);

        // IPv6 addresses and short names show at once.
        program.dialog.OnShowIPv6(true);
        EXPECT_EQ(program.view.rows.at(0).addressLine, "::ffff:10.77.0.12");
        program.dialog.OnHostNameDisplay(HostNameDisplay::Short);
        EXPECT_EQ(program.view.rows.at(1).dnsLine, "g11");
        // The details look the IPv4 name up only for a terminal reached by IPv6.
        program.dialog.OnSelectionChange({1});
        EXPECT_EQ(program.view.details.ipv4Text, "10.77.0.11 / 255.255.255.0\tt11.bed.test");
        EXPECT_EQ(program.view.details.ipv6Text,
                  "fe80::11 / 64\n\n2001:db8:77::11 / 64 (RADV)\tg11.bed.test\n");
        program.dialog.OnSelectionChange({0});
        EXPECT_EQ(program.view.details.ipv4Text, "10.77.0.12 / 255.255.255.0");

        // The other group is left out, whether found by find or by echo.
        program.dialog.OnGroupFilter(GroupFilter::CurrentGroupOnly);
        program.dialog.OnNewTerminalList();
        EXPECT_EQ(program.serialNumbers(),
                  (std::vector<std::string>{"100102", "100101", "100201", "100202", "100301", "100103"}));
    });
}

TEST_F(OnTheSearchBed, AddingByAddressNameAndLineAndTheMessagesWhenThatFails) {
    asTheProgram(*bed_, AddingMode::Normal, [](Program& program) {
        struct Case {
            const char* field;
            const char* serialNumber; // listed afterwards, or empty
            int message;              // the box shown, or -1
        };
        const Case cases[] = {
            {"10.77.0.12", "100102", -1},
            {"t12.bed.test", "100102", -1},
            {"100101;10.1.2.3;elsewhere.bed.test", "100101", -1}, // located by its serial number alone
            {"nosuch.bed.test", "", 11},
            {"100102;10.77.0.12", "", 13},
            {"10.77.0.99", "", 12},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.field);
            program.dialog.OnClearList();
            program.boxes.shown.clear();
            program.dialog.OnAddIPAddr(c.field);
            EXPECT_EQ(program.serialNumbers(), *c.serialNumber ? std::vector<std::string>{c.serialNumber}
                                                               : std::vector<std::string>{});
            EXPECT_EQ(program.boxes.texts(), c.message < 0
                                                 ? std::vector<std::string>{}
                                                 : std::vector<std::string>{program.text(c.message)});
        }
        EXPECT_FALSE(program.view.waitCursor);

        // An entry added in front of the selected one keeps that one selected.
        program.dialog.OnClearList();
        program.dialog.OnSortOrder(SortOrder::SerialNumber);
        program.dialog.OnAddIPAddr("10.77.0.12");
        program.dialog.OnSelectionChange({0});
        program.dialog.OnAddIPAddr("10.77.0.11");
        EXPECT_EQ(program.serialNumbers(), (std::vector<std::string>{"100101", "100102"}));
        EXPECT_EQ(program.view.selected, std::vector<std::size_t>{1});
    });
}

TEST_F(OnTheSearchBed, ListFilesAreReadBackAsSaved) {
    const fs::path directory = startDirectory(*bed_);
    asTheProgram(*bed_, AddingMode::Normal, [&](Program& program) {
        program.dialog.OnNewTerminalList();
        ASSERT_EQ(program.serialNumbers().size(), 7u);
        // The two on one address cannot be told apart by it: they go first.
        program.dialog.OnSelectionChange({2, 3});
        program.dialog.OnRemoveSelected();
        program.view.listFileAnswer = (directory / "bed.rch").string();
        program.dialog.WriteFile();
        EXPECT_EQ(program.view.listFileDirectory, directory.string());
    });

    // One CR LF line per terminal, in list order, no header.
    const std::string saved = contents(directory / "bed.rch");
    EXPECT_EQ(saved, "100102;10.77.0.12;;t12.bed.test;;;;\r\n"
                     "100101;10.77.0.11;;t11.bed.test;2001:db8:77::11;fe80::11;g11.bed.test;\r\n"
                     "100203;10.77.0.23;;;;fe80::23;;\r\n"
                     "100301;;;;;fe80::31;;\r\n" // the echo's 0.0.0.0 is no IPv4 address
                     "100103;10.77.0.13;10.77.0.1;;;;;\r\n");

    // A later start offers the file in its selector; the search there reads it.
    asTheProgram(*bed_, AddingMode::Normal, [&](Program& program) {
        const std::vector<std::string>& entries = program.dialog.selectorEntries();
        const auto listed =
            std::find(entries.begin() + program.dialog.listFileIndex(), entries.end(), "bed.rch");
        ASSERT_NE(listed, entries.end());
        program.dialog.OnSelectorChange(static_cast<int>(listed - entries.begin()));
        program.dialog.OnNewTerminalList();
        EXPECT_EQ(program.serialNumbers(),
                  (std::vector<std::string>{"100102", "100101", "100203", "100301", "100103"}));
        EXPECT_TRUE(program.boxes.shown.empty());
        program.view.listFileAnswer = (directory / "again.rch").string();
        program.dialog.WriteFile();
    });
    EXPECT_EQ(contents(directory / "again.rch"), saved) << "the terminals read back are saved as before";
}

// Whether the PC's routing table holds a route to the dotted address.
bool routeTo(const std::string& dotted) {
    std::vector<RouteRow> rows;
    int error = 0;
    EXPECT_TRUE(route_table::read(rows, error));
    return std::any_of(rows.begin(), rows.end(), [&](const RouteRow& row) {
        return addressToText(Ip6Address::fromIPv4(row.destination), MappedForm::DottedOnly) == dotted;
    });
}

class OnTheRouteBed : public test::NetworkBedTest {};

TEST_F(OnTheRouteBed, TheAlternativeModeTakesTheIPBasedRecordWithItsHostRouteAndRoutesNeedTheRight) {
    // Both refuse ID-based authentication; the second is in a foreign subnet,
    // reached through the host route its find record adds.
    BedLayout layout;
    layout.terminals = {simulated("100401", "10.77.0.41/24", "fe80::41", {{"authentication", "ip"}}),
                        simulated("100402", "192.168.99.42/24", "", {{"authentication", "ip"}})};
    NetworkBed bed(layout);
    asTheProgram(bed, AddingMode::Alternative, [](Program& program) {
        program.dialog.OnNewTerminalList();
        ASSERT_EQ(program.serialNumbers(), (std::vector<std::string>{"100401", "100402"}));
        TerminalList& list = program.dialog.terminalList();
        for (std::size_t index = 0; index < list.size(); ++index) {
            EXPECT_TRUE(list.at(index).AuthOK) << index;
            EXPECT_FALSE(list.at(index).IDBasedAuth) << index;
        }
        EXPECT_EQ(list.at(0).HostIfAddr, "10.77.0.1");
        // The replacing record reaches the terminal through the route it took over.
        EXPECT_TRUE(routeTo("192.168.99.42"));
        EXPECT_NO_THROW(
            list.at(1).T7000ipLocateByEcho("::ffff:192.168.99.42", "", "100402", RouteUse::NotAllowed));
        program.dialog.OnClearList();
        EXPECT_FALSE(routeTo("192.168.99.42")) << "the route ends with the record that holds it";

        program.dialog.OnAddIPAddr("10.77.0.41");
        ASSERT_EQ(program.serialNumbers(), std::vector<std::string>{"100401"});
        EXPECT_TRUE(list.at(0).AuthOK);
        EXPECT_FALSE(list.at(0).IDBasedAuth);
        EXPECT_TRUE(program.boxes.shown.empty());
    });

    // The normal mode keeps the ID-based records; without the right to add
    // routes the search says so once, and so does the add field.
    asTheProgram(
        bed, AddingMode::Normal,
        [](Program& program) {
            program.dialog.OnNewTerminalList();
            ASSERT_EQ(program.serialNumbers(), std::vector<std::string>{"100401"});
            EXPECT_FALSE(program.dialog.terminalList().at(0).AuthOK);
            EXPECT_TRUE(program.dialog.terminalList().at(0).IDBasedAuth);
            EXPECT_EQ(program.boxes.texts(), std::vector<std::string>{program.text(20)});

            program.dialog.OnClearList();
            program.boxes.shown.clear();
            program.dialog.OnAddIPAddr("10.77.0.41");
            ASSERT_EQ(program.serialNumbers(), std::vector<std::string>{"100401"});
            EXPECT_FALSE(program.dialog.terminalList().at(0).AuthOK);
            program.dialog.OnAddIPAddr("192.168.99.42");
            EXPECT_EQ(program.boxes.texts(), std::vector<std::string>{program.text(21)});
        },
        RouteRights::Dropped);
}

} // namespace
} // namespace kestrix

#include "address_reset/reset_exe.h"
#include "config/blocks.h"
#include "mainwindow/main_dialog.h"
#include "mainwindow/recording_view.h"
#include "netbed/bed_availability.h"
#include "netbed/network_bed.h"
#include "protocol/t7000ip.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

// The action buttons of the main window against talmo-sim terminals on one
// test bed: the configuration block and the setup login before the reset
// dialog, the detail pane with one action dialog, and kestrix-cli reset and
// setip (which drive the window's logic with a console view).

namespace kestrix {
namespace {

namespace fs = std::filesystem;
using test::BedLayout;
using test::TerminalSetup;

constexpr std::uint16_t kGroup = 4711;

class ActionFrameOnBed : public test::SharedNetworkBedTest {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/kestrix-frame-XXXXXX";
        files_ = ::mkdtemp(pattern);
        BedLayout layout;
        const std::pair<const char*, std::vector<std::uint8_t>> terminals[] = {
            {"100121", test::fileWithPasswords("6.20", {"pw1abc", "grade2pw", "grade3pw"})},
            {"100122", test::fileWithPasswords("5.10", {})},
            {"100123", {}}, // no talmo.cfg
            {"100124", {}}, // stuck: its replies go to a gateway that is not there
        };
        for (const auto& [serialNumber, block] : terminals) {
            const std::size_t index = layout.terminals.size();
            TerminalSetup terminal;
            terminal.ipv4 = "10.77.0." + std::to_string(21 + index) + "/24";
            terminal.terminalSection = {{"serial_number", serialNumber},
                                        {"security_id", "A1B2C3D4"},
                                        {"maintenance_group", std::to_string(kGroup)},
                                        {"reboot_ms", "2000"}};
            const fs::path directory = files_ / ("t" + std::to_string(index));
            fs::create_directories(directory);
            if (!block.empty())
                std::ofstream(directory / "talmo.cfg", std::ios::binary)
                    .write(reinterpret_cast<const char*>(block.data()),
                           static_cast<std::streamsize>(block.size()));
            terminal.tftpSection = {{"directory", directory.string()}};
            layout.terminals.push_back(terminal);
        }
        TerminalSetup& stuck = layout.terminals.back();
        stuck.ipv4 = "192.168.42.127/24";
        stuck.terminalSection.insert_or_assign("authentication", "ip");
        buildSharedBed(layout);
        if (bed_)
            bed_->shellOnTerminal(3, "ip route replace default via 192.168.42.1 dev eth0 onlink");
    }
    static void TearDownTestSuite() {
        SharedNetworkBedTest::TearDownTestSuite();
        fs::remove_all(files_);
    }

    struct Program {
        test::RecordingView view;
        test::RecordingMessageBoxes boxes;
        CToolBoxDlg dialog{view, boxes, {StartWarning::Suppressed, AddingMode::Normal}};
        std::vector<std::string> boxTexts() const { return boxes.texts(); }
    };

    // Runs body as the program on the PC with the three terminals listed.
    static void withProgram(const std::function<void(Program&)>& body) {
        EXPECT_TRUE(bed_->runOnPc([&] {
            const fs::path directory = files_ / "start";
            fs::create_directories(directory);
            ASSERT_EQ(::chdir(directory.c_str()), 0);
            ::setenv("LC_ALL", "en_US.UTF-8", 1);
            ::setenv("KESTRIX_TIME_SCALE", "0.05", 1);
            auto program = std::make_unique<Program>();
            ASSERT_TRUE(program->dialog.OnInitDialog());
            program->dialog.engine().setT7000ipMaintGroup(kGroup);
            for (const char* address : {"10.77.0.21", "10.77.0.22", "10.77.0.23"})
                program->dialog.OnAddIPAddr(address);
            ASSERT_EQ(program->dialog.terminalList().size(), 3u);
            program->boxes.shown.clear();
            body(*program);
        }));
    }

    static inline fs::path files_;
};

TEST_F(ActionFrameOnBed, ChecksBeforeTheResetDialog) {
    withProgram([](Program& program) {
        CToolBoxDlg& dialog = program.dialog;
        // The login cancelled: no dialog.
        dialog.OnSelectionChange({0});
        dialog.OnButtonReset();
        EXPECT_EQ(program.view.setupLogins, 1);
        EXPECT_EQ(dialog.detailDialog(), nullptr);

        // A wrong password: the login says so and no dialog opens.
        program.view.loginEntry = "grade2pw"; // grade 1 is preselected
        dialog.OnButtonReset();
        EXPECT_EQ(program.boxTexts(), std::vector<std::string>{"Login incorrect"});
        EXPECT_EQ(dialog.detailDialog(), nullptr);

        // No block to fetch: 372, no login.
        program.boxes.shown.clear();
        dialog.OnSelectionChange({2});
        dialog.OnButtonReset();
        ASSERT_EQ(program.boxes.shown.size(), 1u);
        EXPECT_EQ(program.boxes.shown[0].text, dialog.language().GetText(372));
        EXPECT_EQ(program.boxes.shown[0].icon, MessageIcon::Error);
        EXPECT_EQ(program.view.setupLogins, 2);
        EXPECT_TRUE(program.view.controlsEnabled);
    });
}

TEST_F(ActionFrameOnBed, ABlockOlderThan550OpensTheDialogWithoutLogin) {
    withProgram([](Program& program) {
        CToolBoxDlg& dialog = program.dialog;
        dialog.OnSelectionChange({1});
        dialog.OnButtonReset();
        EXPECT_EQ(program.view.setupLogins, 0);
        ASSERT_NE(program.view.resetDialog, nullptr);
        EXPECT_EQ(dialog.detailContents(), DetailContents::Reset);
        EXPECT_FALSE(program.view.controlsEnabled);
        // Grade 3 on an authenticating 6.12: all but restart (hidden from 6.00 on).
        EXPECT_TRUE(program.view.resetDialog->offers(ResetMode::IceCold));
        EXPECT_FALSE(program.view.resetDialog->offers(ResetMode::Restart));

        // Another action replaces it: IPv4 Setup needs no selection.
        dialog.OnButtonSetipa();
        EXPECT_EQ(program.view.actionDialogsClosed, 1);
        EXPECT_NE(program.view.setIPAddressDialog, nullptr);
        EXPECT_EQ(dialog.detailContents(), DetailContents::SetIPAddress);

        // Its Cancel posts the idle message; the window's answer ends it.
        program.view.setIPAddressDialog->OnCancel();
        EXPECT_EQ(program.view.idleMessages, 1);
        dialog.ShowIdleWindow();
        EXPECT_EQ(dialog.detailDialog(), nullptr);
        EXPECT_EQ(program.view.actionDialogsClosed, 2);
        EXPECT_TRUE(program.view.controlsEnabled);
        EXPECT_EQ(program.view.detail, "terminal");
    });
}

TEST_F(ActionFrameOnBed, ChecksBeforeTheLBusSecurityDialog) {
    withProgram([](Program& program) {
        CToolBoxDlg& dialog = program.dialog;
        // A block older than 5.50: no security functions, no login.
        dialog.OnSelectionChange({1});
        dialog.OnButtonLbuskey();
        EXPECT_EQ(program.boxTexts(), std::vector<std::string>{dialog.language().GetText(68)});
        EXPECT_EQ(program.view.setupLogins, 0);
        // Grade 1 may use none of them: a note and no dialog.
        program.boxes.shown.clear();
        dialog.OnSelectionChange({0});
        program.view.loginEntry = "pw1abc";
        dialog.OnButtonLbuskey();
        EXPECT_EQ(program.boxTexts(), std::vector<std::string>{"Access grade 2 or 3"});
        EXPECT_EQ(program.view.setupLogins, 1);
        EXPECT_EQ(dialog.detailDialog(), nullptr);
    });
}

// IPv4 Setup finds a terminal at its new address: a listed record of it,
// which holds the old address, is replaced in its place.
TEST_F(ActionFrameOnBed, ATerminalFoundByAnActionReplacesItsListedRecord) {
    withProgram([](Program& program) {
        TerminalFields moved = program.dialog.terminalList().at(1);
        moved.IPAddrInUse = "10.77.0.99";
        ASSERT_TRUE(program.dialog.addTerminal(std::make_unique<Terminal>(program.dialog.engine(), moved)));
        ASSERT_EQ(program.dialog.terminalList().size(), 3u);
        EXPECT_EQ(program.dialog.terminalList().at(1).IPAddrInUse, "10.77.0.99");
        EXPECT_EQ(program.view.rows[1].serialColumn, "SN: " + moved.SerialNumber);
    });
}

// kestrix-cli as run in the PC's namespace: exit code and a line it writes.
TEST_F(ActionFrameOnBed, KestrixCliResetAndSetip) {
    const std::string lan = " --mask 255.255.255.0 --gateway 10.77.0.1";
    const std::tuple<std::string, int, const char*> cases[] = {
        {"reset 10.77.0.22 --mode cold", 0, "kestrix-cli: 10.77.0.22: Reset executed."},
        {"reset 10.77.0.21 --mode cold --password pw1abc", 1,
         "kestrix-cli: --mode cold is not offered for this terminal and grade; offered: warm"},
        {"reset 10.77.0.21 --sysboot --password grade3pw", 1, "--sysboot is not offered"},
        {"setip 1001-24 --addr 10.77.0.60" + lan, 2, "Enter serial number without minus sign."},
        {"setip 100124 --addr 10.77.0" + lan, 2, "Incorrect IP address of the terminal."},
        {"setip 100121 --addr 10.77.0.61" + lan, 1, "Terminal is reachable with its current IPv4 address."},
        {"setip 100124 --addr 10.77.0.60" + lan, 0, "100124         10.77.0.60\n"},
    };
    EXPECT_TRUE(bed_->runOnPc([&] {
        ::setenv("LC_ALL", "en_US.UTF-8", 1);
        ::setenv("KESTRIX_TIME_SCALE", "0.05", 1);
        const test::ScratchDirectory directory;
        for (const auto& [words, exitCode, says] : cases) {
            std::vector<std::string> argv = {"--group", std::to_string(kGroup)};
            std::istringstream split(words);
            for (std::string word; split >> word;)
                argv.push_back(word);
            const test::CliRun run = test::runCli(directory, argv);
            SCOPED_TRACE(words + ": " + run.output);
            EXPECT_EQ(run.exitCode, exitCode);
            EXPECT_NE(run.output.find(says), std::string::npos);
        }
    }));
}

} // namespace
} // namespace kestrix

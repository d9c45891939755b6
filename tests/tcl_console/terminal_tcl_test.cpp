#include "address_reset/recording_action_owner.h"
#include "config/login_for_tcl.h"
#include "protocol/t7000ip.h"
#include "support/scratch_directory.h"
#include "support/tcp_peer.h"
#include "tcl_console/recording_tcl_view.h"
#include "tcl_console/terminal_tcl.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

// The TCL console's logic against a loopback TCP peer standing in for the
// terminal's TCL port, with a recording view and owner: what goes out
// (statements, history, ESC, downloads, the clock), how the output area is
// kept, the end of a connection, and the TCL login's checks that need no
// terminal. The engine binds the maintenance ports, so this runs in a network
// namespace of its own.

namespace kestrix {
namespace {

using test::RecordingActionOwner;
using test::RecordingTclView;
using test::ScratchDirectory;
using test::TcpPeer;

const std::string kFirstStatement = "ISR,'Connection OK':\r";

class ConsoleLogic : public ::testing::Test {
protected:
    ConsoleLogic() {
        TerminalFields fields;
        fields.SerialNumber = "100200";
        fields.ProductName = "TALMO 7460";
        fields.TclKind = tcl_kind::Acm;
        fields.FirmwareVersion = "5.00"; // knows no host information request: a refusal names nobody
        fields.AddrInUse = *addressFromText("::ffff:127.0.0.1");
        fields.IPAddrInUse = "::ffff:127.0.0.1";
        fields.TclPort = peer_.port();
        fields.PassiveConnect = true;
        owner_.terminals.push_back(std::make_unique<Terminal>(engine_, fields));
        owner_.directory = scratch_.path().string();
    }
    ~ConsoleLogic() override { T7000ip::releaseT7000ip(); }

    // Opens the console; the peer takes the connection and reads the first statement.
    std::unique_ptr<CTerminalTCL> open() {
        auto console = std::make_unique<CTerminalTCL>(owner_, 0, std::nullopt);
        console->attachView(view_);
        EXPECT_TRUE(console->OnInitDialog());
        EXPECT_TRUE(peer_.accept());
        EXPECT_EQ(peer_.receive(kFirstStatement.size()), kFirstStatement);
        return console;
    }
    // What the peer received after the first statement.
    std::string sent(std::size_t count) {
        return peer_.receive(kFirstStatement.size() + count).substr(kFirstStatement.size());
    }

    const CToolBoxLang language_{kLocaleIdEnglishUnitedStates};
    T7000ip& engine_ = T7000ip::getT7000ip(&language_);
    RecordingActionOwner owner_{engine_, language_};
    RecordingTclView view_;
    TcpPeer peer_;
    ScratchDirectory scratch_;
};

TEST_F(ConsoleLogic, ConnectsShowsTheTerminalsLinesAndKeepsAHistoryOfTen) {
    auto console = open();
    EXPECT_EQ(view_.header, "Connected to 100200 with IP address ::ffff:127.0.0.1 and port number " +
                                std::to_string(peer_.port()) + " :");
    EXPECT_TRUE(view_.connectedControlsEnabled);
    EXPECT_TRUE(view_.timerRunning);

    // A line feed after a carriage return begins the next line.
    peer_.send("Connection OK\r\nB");
    EXPECT_EQ(view_.waitForLines(2), (std::vector<std::string>{"Connection OK", "\nB"}));
    EXPECT_EQ(console->output(), "\r\nConnection OK\r\n\nB\r\n");

    // The same statement twice is one entry; an eleventh one drops the oldest.
    std::string expected;
    for (const char* statement : {"S0", "S0", "S1", "S2", "S3", "S4", "S5", "S6", "S7", "S8", "S9", "S10"}) {
        console->OnButtonSend(statement);
        expected += std::string(statement) + "\r";
        if (expected.size() == 6) {
            EXPECT_EQ(view_.history, std::vector<std::string>{"S0"});
        }
    }
    EXPECT_EQ(sent(expected.size()), expected);
    ASSERT_EQ(view_.history.size(), 10u);
    EXPECT_EQ(view_.history.front(), "S10");
    EXPECT_EQ(view_.history.back(), "S1");

    // ESC goes into the box; the send button sends statement, ESC and CR.
    console->OnButtonEsc("PR,1");
    EXPECT_EQ(view_.statementText, "PR,1\x1b");
    console->OnButtonSend(view_.statementText);
    EXPECT_EQ(sent(expected.size() + 6).substr(expected.size()), "PR,1\x1b\r");
}

TEST_F(ConsoleLogic, DownloadsTheLinesToSendAndSetsTheClockMonthFirst) {
    // Five lines, one empty, one comment: three are sent. CR LF line ends are read as lines.
    std::filesystem::create_directory(scratch_.path() / "TCLTests");
    scratch_.write("TCLTests/b.tcl", "ISR,'one':\r\n\r\n* a comment\nISR,'two':\nISR,'three':\n");
    scratch_.write("TCLTests/a.tcl", "\n* first\nISR,'a':\n");
    auto console = open();
    EXPECT_EQ(view_.fileNames, (std::vector<std::string>{"a.tcl", "b.tcl"}));
    EXPECT_EQ(view_.preview, "* first\nISR,'a':\n");

    console->OnSelectFile(1);
    EXPECT_EQ(console->selectedFile(), scratch_.file("TCLTests/b.tcl"));
    console->OnButtonDownload();
    const std::string lines = "ISR,'one':\rISR,'two':\rISR,'three':\r";
    EXPECT_EQ(sent(lines.size()), lines);
    EXPECT_EQ(owner_.boxes.texts().back(), scratch_.file("TCLTests/b.tcl") + " sent (3  lines).");

    // 5 December 2026 was a Saturday (day 6): the date goes out as 12 05 6 2026.
    std::tm saturday{};
    saturday.tm_year = 126, saturday.tm_mon = 11, saturday.tm_mday = 5, saturday.tm_wday = 6;
    saturday.tm_hour = 14, saturday.tm_min = 3, saturday.tm_sec = 7;
    owner_.boxes.answers = {MessageAnswer::Yes};
    console->sendDateTime(saturday);
    const std::string clock = "IK,'120562026',KT:K,'14:03:07',UR:\r"
                              "ISR,KT+2,2&'.'&KT,2&'.'&KT+5,4:SR,UR,2&':'&UR+3,2&':'&UR+6,2:\r";
    EXPECT_EQ(sent(lines.size() + clock.size()).substr(lines.size()), clock);
    EXPECT_EQ(owner_.boxes.texts().back(), "100200 is now set to 05.12.2026, 14:03:07!\n"
                                           "Do you want to read date and time with TCL commands?");
}

TEST_F(ConsoleLogic, AChosenFileGoesOnTopAndAMissingFolderListsNothing) {
    scratch_.write("mine.tcl", "ISR,'mine':\n");
    view_.fileAnswer = scratch_.file("mine.tcl");
    auto console = open();
    EXPECT_EQ(view_.fileNames, (std::vector<std::string>{"---"}));
    console->OnButtonDownload();
    EXPECT_EQ(owner_.boxes.texts().back(), "Select a file first!");

    console->OnButtonFile();
    EXPECT_EQ(view_.fileDialogFilter, "TCL files (*.tcl)");
    EXPECT_EQ(view_.fileNames, (std::vector<std::string>{scratch_.file("mine.tcl")}));
    EXPECT_EQ(view_.selectedFile, 0);
    EXPECT_EQ(view_.preview, "ISR,'mine':\n");
}

TEST_F(ConsoleLogic, TheEndOfTheConnectionIsSeenAtTheNextPollAndOnlyForThatConnection) {
    auto console = open();
    peer_.closeConnection();
    // The worker sets the process-wide event; the console sees it at its next tick.
    for (int tick = 0; tick < 50 && console->connected(); ++tick) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        console->OnTimer(CTerminalTCL::kPollTimerId);
    }
    EXPECT_FALSE(console->connected());
    EXPECT_FALSE(view_.connectedControlsEnabled);
    EXPECT_FALSE(view_.timerRunning);
    EXPECT_EQ(view_.header, "Terminal not connected.");
    EXPECT_EQ(owner_.boxes.texts().back(), "Connection to terminal is closed.");

    // Reconnecting sends the first statement again. A connection the
    // terminal ended and the user closed before the next tick leaves no
    // notice behind for the next connection.
    for (int round = 0; round < 2; ++round) {
        console->OnButtonConn();
        ASSERT_TRUE(peer_.accept());
        EXPECT_EQ(peer_.receive(kFirstStatement.size()), kFirstStatement);
        if (round == 0) {
            peer_.closeConnection();
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            console->OnButtonConn();
            EXPECT_FALSE(console->connected());
        }
    }
    console->OnTimer(CTerminalTCL::kPollTimerId);
    EXPECT_TRUE(console->connected());

    // The main window may always close the console: it disconnects first.
    EXPECT_TRUE(console->QueryTerminate());
    EXPECT_FALSE(console->connected());
    console->detachView();
    console->OnClose();
    EXPECT_EQ(owner_.idleMessages, 1);
}

TEST_F(ConsoleLogic, ARefusedConnectDisablesTheButtons) {
    peer_.closeListener();
    CTerminalTCL console(owner_, 0, std::nullopt);
    console.attachView(view_);
    EXPECT_FALSE(console.OnInitDialog());
    EXPECT_FALSE(view_.connectedControlsEnabled);
    EXPECT_FALSE(view_.timerRunning);
    EXPECT_EQ(view_.header, "Terminal not connected.");
    EXPECT_EQ(owner_.boxes.texts(), (std::vector<std::string>{"Connecting the terminal failed."}));
}

TEST_F(ConsoleLogic, TheOutputLosesItsOldestTenthEachTimeItReachesItsLimit) {
    CTerminalTCL console(owner_, 0, std::nullopt);
    console.attachView(view_);
    const std::string line(98, 'x'); // each line adds 100 characters to the output
    const std::size_t linesToLimit = CTerminalTCL::kOutputLimit / 100 + 1;
    for (std::size_t index = 0; index < linesToLimit; ++index)
        console.addOutputLine(line);
    EXPECT_EQ(view_.replacements(), 1);
    const std::string output = console.output();
    EXPECT_EQ(output.rfind("\r\n(Output truncated!)\r\n", 0), 0u);
    EXPECT_LE(output.size(), CTerminalTCL::kOutputLimit);
    EXPECT_EQ(output.substr(output.size() - 102), "\r\n" + line + "\r\n");
}

TEST_F(ConsoleLogic, TheTclLoginTakesTheTextsDigestAndRefusesAShortPasswordWithoutAsking) {
    Terminal& terminal = *owner_.terminals.front();
    CLoginForTCL login(owner_, terminal);
    EXPECT_EQ(login.heading(), "100200 uses encryption. Fill the key with one of the following methods in:");
    EXPECT_FALSE(login.OnOK("", ""));
    EXPECT_FALSE(login.OnOK("", "1234567"));
    EXPECT_EQ(owner_.boxes.texts(),
              (std::vector<std::string>{"Please insert text or password.", "Wrong setup password"}));
    EXPECT_EQ(owner_.waitCursorShown, 0); // the terminal was not asked
    ASSERT_TRUE(login.OnOK("a", "ignored"));
    const AesKey md5OfA{0x0c, 0xc1, 0x75, 0xb9, 0xc0, 0xf1, 0xb6, 0xa8, 0x31, 0xc3, 0x99, 0xe2, 0x69, 0x77, 0x26, 0x61};
    EXPECT_EQ(login.key(), md5OfA);
}

} // namespace
} // namespace kestrix

#include "mainwindow/main_dialog.h"
#include "mainwindow/recording_view.h"
#include "netbed/network_bed.h"
#include "support/scratch_directory.h"
#include "tcl_console/terminal_tcl.h"
#include "terminal/terminal.h"
#include "tools/cli_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <thread>
#include <unistd.h>

// The TCL console against talmo-sim terminals on one test bed, through the
// main window's TCL button and through kestrix-cli tcl: plain and encrypted
// connections, the refusals, a statement, a test program, the clock, and the
// terminal ending the connection.

namespace kestrix {

namespace test {
// From config/blocks.h, whose CliRun is another than tools/cli_runner.h's.
std::vector<std::uint8_t> fileWithPasswords(std::string_view version, const std::array<std::string, 3>& passwords);
} // namespace test

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

// The terminals, 10.77.0.31 up.
constexpr std::size_t kPlain = 0, kEncrypted = 1, kHostOnline = 2, kActive = 3;
constexpr const char* kKeyText = "bed key";
constexpr const char* kGrade2Password = "grade2pw";

class TclConsoleOnBed : public test::SharedNetworkBedTest {
protected:
    static void SetUpTestSuite() {
        files_ = std::make_unique<test::ScratchDirectory>();
        fs::create_directories(files_->path() / "start");
        fs::copy(KESTRIX_TCL_TESTS, files_->path() / "start" / "TCLTests", fs::copy_options::recursive);
        const std::vector<std::uint8_t> block = test::fileWithPasswords("6.20", {"pw1abc", kGrade2Password, "pw3abc"});
        fs::create_directories(files_->path() / "encrypted");
        files_->write("encrypted/talmo.cfg", block);
        const std::vector<std::map<std::string, std::string>> settings = {
            {{"tcl_connect", "passive"}, {"tcl_close_on", "BYE:"}},
            {{"tcl_connect", "passive"}, {"tcl_encrypt", "1"}, {"tcl_key_text", kKeyText}},
            {{"tcl_connect", "passive"}, {"tcl_host", "10.77.0.1:4711"}},
            {{"tcl_connect", "active"}},
        };
        test::BedLayout layout;
        for (std::size_t index = 0; index < settings.size(); ++index) {
            test::TerminalSetup terminal;
            terminal.ipv4 = address(index) + "/24";
            terminal.terminalSection = {{"serial_number", "1001" + std::to_string(31 + index)}};
            terminal.terminalSection.insert(settings[index].begin(), settings[index].end());
            if (index == kEncrypted)
                terminal.tftpSection = {{"directory", files_->file("encrypted")}};
            layout.terminals.push_back(terminal);
        }
        buildSharedBed(layout);
    }
    static void TearDownTestSuite() {
        SharedNetworkBedTest::TearDownTestSuite();
        files_.reset();
    }

    static std::string address(std::size_t terminal) { return "10.77.0." + std::to_string(31 + terminal); }
    static fs::path startDirectory() { return files_->path() / "start"; }

    struct Program {
        test::RecordingView view;
        test::RecordingMessageBoxes boxes;
        CToolBoxDlg dialog{view, boxes, {StartWarning::Suppressed, AddingMode::Normal}};

        // Presses TCL for the terminal; the console, or null when it was refused.
        CTerminalTCL* open(std::size_t terminal) {
            boxes.shown.clear();
            dialog.OnSelectionChange({terminal});
            dialog.OnButtonTcl();
            return view.tclConsole;
        }
        // Closes the console and waits until the terminal no longer names a host online.
        void close(std::size_t terminal) {
            dialog.ShowIdleWindow();
            for (int attempt = 0; attempt < 50 && !dialog.terminalList().at(terminal).T7000ipGetHostInfo().empty();
                 ++attempt)
                std::this_thread::sleep_for(20ms);
        }
    };

    // Runs body as the program on the PC in the language, every terminal listed.
    static void withProgram(const char* locale, const std::function<void(Program&)>& body) {
        EXPECT_TRUE(bed_->runOnPc([&] {
            ASSERT_EQ(::chdir(startDirectory().c_str()), 0);
            ::setenv("LC_ALL", locale, 1);
            ::setenv("KESTRIX_TIME_SCALE", "0.05", 1);
            auto program = std::make_unique<Program>();
            ASSERT_TRUE(program->dialog.OnInitDialog());
            for (std::size_t terminal = 0; terminal <= kActive; ++terminal)
                program->dialog.OnAddIPAddr(address(terminal));
            ASSERT_EQ(program->dialog.terminalList().size(), kActive + 1);
            body(*program);
        }));
    }

    static inline std::unique_ptr<test::ScratchDirectory> files_;
};

// The terminal's lines the console has shown from output piece `from` on, each
// without the line feed of the CR LF before it (a piece that is only that line
// feed is left out); waits up to 10 s until there are count of them.
Lines shownLines(test::RecordingTclView& view, std::size_t from, std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    Lines lines;
    for (std::size_t pieces = from + 1;; ++pieces) {
        const Lines all = view.waitForLines(
            pieces, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()));
        lines.clear();
        for (std::size_t index = from; index < all.size(); ++index) {
            std::string line = all[index];
            std::erase(line, '\n');
            if (!line.empty())
                lines.push_back(line);
        }
        if (lines.size() >= count || all.size() < pieces)
            return lines;
        pieces = std::max(pieces, all.size());
    }
}

TEST_F(TclConsoleOnBed, PlainConsoleStatementTestProgramAndClock) {
    const struct {
        const char* locale;
        const char* firstLine;
    } languages[] = {{"de_DE.UTF-8", "Verbindung OK"}, {"en_US.UTF-8", "Connection OK"}};
    for (const auto& language : languages) {
        SCOPED_TRACE(language.locale);
        withProgram(language.locale, [&](Program& program) {
            CTerminalTCL* console = program.open(kPlain);
            ASSERT_NE(console, nullptr);
            EXPECT_TRUE(program.view.tclView.connectedControlsEnabled);
            test::RecordingTclView& view = program.view.tclView;
            EXPECT_EQ(shownLines(view, 0, 1), Lines{language.firstLine});
            if (std::string(language.locale) != "en_US.UTF-8")
                return;

            // The round trip of one statement, for the report; no assertion.
            std::vector<double> milliseconds;
            for (int round = 0; round < 5; ++round) {
                const std::size_t from = view.lines().size();
                const auto sent = std::chrono::steady_clock::now();
                console->OnButtonSend("ISR,'ping':");
                ASSERT_EQ(shownLines(view, from, 1), Lines{"ping"});
                milliseconds.push_back(
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent).count());
            }
            std::sort(milliseconds.begin(), milliseconds.end());
            std::printf("[ bed      ] TCL statement round trip: median %.2f ms of 5\n", milliseconds[2]);

            // The test programs of the start directory; version.tcl sends two lines.
            const std::vector<std::string>& names = view.fileNames;
            const auto version = std::find(names.begin(), names.end(), "version.tcl");
            ASSERT_NE(version, names.end());
            console->OnSelectFile(static_cast<int>(version - names.begin()));
            std::size_t from = view.lines().size();
            program.boxes.shown.clear();
            console->OnButtonDownload();
            ASSERT_EQ(program.boxes.shown.size(), 1u);
            EXPECT_EQ(program.boxes.shown[0].text.find(console->selectedFile() + " sent (2 "), 0u)
                << program.boxes.shown[0].text;
            EXPECT_EQ(shownLines(view, from, 2), (Lines{"Serial number: 100131", "Firmware version: 6.12"}));

            // Saturday, 5 December 2026, 14:03:07, read back (the box is answered Yes).
            from = view.lines().size();
            program.boxes.shown.clear();
            std::tm saturday{};
            saturday.tm_year = 2026 - 1900;
            saturday.tm_mon = 11;
            saturday.tm_mday = 5;
            saturday.tm_wday = 6;
            saturday.tm_hour = 14;
            saturday.tm_min = 3;
            saturday.tm_sec = 7;
            console->sendDateTime(saturday);
            EXPECT_EQ(program.boxes.texts(),
                      Lines{"100131 is now set to 05.12.2026, 14:03:07!\n"
                            "Do you want to read date and time with TCL commands?"});
            EXPECT_EQ(shownLines(view, from, 2), (Lines{"05.12.2026", "14:03:07"}));
        });
    }
}

TEST_F(TclConsoleOnBed, EncryptedConsoleWithTheKeyFromTextOrFromTheBlock) {
    withProgram("en_US.UTF-8", [](Program& program) {
        const struct {
            std::optional<std::string> text, password;
        } logins[] = {{kKeyText, std::nullopt}, {std::nullopt, kGrade2Password}};
        for (const auto& login : logins) {
            SCOPED_TRACE(login.text.value_or(login.password.value_or("")));
            program.view.tclLoginText = login.text;
            program.view.tclLoginPassword = login.password;
            const std::size_t from = program.view.tclView.lines().size();
            CTerminalTCL* console = program.open(kEncrypted);
            ASSERT_NE(console, nullptr);
            console->OnButtonSend("ISR,SN:");
            EXPECT_EQ(shownLines(program.view.tclView, from, 2), (Lines{"Connection OK", "100132"}));
            EXPECT_EQ(program.boxes.texts(), Lines{});
            program.close(kEncrypted);
        }
    });
}

TEST_F(TclConsoleOnBed, RefusedTerminalsAndTheTerminalEndingTheConnection) {
    withProgram("en_US.UTF-8", [](Program& program) {
        const CToolBoxLang& language = program.dialog.language();
        // Active, and another host online: refused before any connect.
        const std::pair<std::size_t, std::string> refusals[] = {
            {kActive, language.GetText(66)},
            {kHostOnline, "10.77.0.1:4711 is online as host."},
        };
        for (const auto& [terminal, text] : refusals) {
            EXPECT_EQ(program.open(terminal), nullptr);
            EXPECT_EQ(program.boxes.texts(), Lines{text});
        }

        // While a console is open the terminal takes no second one: it
        // refuses the connect and names the console's host.
        CTerminalTCL* console = program.open(kPlain);
        ASSERT_NE(console, nullptr);
        ASSERT_EQ(shownLines(program.view.tclView, 0, 1), Lines{"Connection OK"});
        test::RecordingTclView secondView;
        CTerminalTCL second(program.dialog, kPlain, std::nullopt);
        second.attachView(secondView);
        EXPECT_FALSE(second.OnInitDialog());
        second.detachView();
        ASSERT_EQ(program.boxes.shown.size(), 1u);
        EXPECT_TRUE(std::regex_match(program.boxes.shown[0].text, std::regex("10\\.77\\.0\\.1:[0-9]+ is online as host\\.")))
            << program.boxes.shown[0].text;
        EXPECT_EQ(second.header(), "Terminal not connected.");

        // The close statement: the end shows at the next poll.
        program.boxes.shown.clear();
        console->OnButtonSend("BYE:");
        for (int tick = 0; tick < 50 && console->connected(); ++tick) {
            std::this_thread::sleep_for(100ms);
            console->OnTimer(CTerminalTCL::kPollTimerId);
        }
        EXPECT_FALSE(console->connected());
        EXPECT_FALSE(program.view.tclView.connectedControlsEnabled);
        EXPECT_EQ(program.view.tclView.header, "Terminal not connected.");
        EXPECT_EQ(program.boxes.texts(), Lines{"Connection to terminal is closed."});
    });
}

// kestrix-cli tcl in the PC's namespace: exit code, standard output, and a
// part of standard error.
TEST_F(TclConsoleOnBed, KestrixCliTcl) {
    const std::string plain = "tcl " + address(kPlain) + " --quiet-ms 300 ";
    const std::string encrypted = "tcl " + address(kEncrypted) + " --quiet-ms 300 ";
    const std::string date = "[0-9]{2}\\.[0-9]{2}\\.[0-9]{4}\n[0-9]{2}:[0-9]{2}:[0-9]{2}\n";
    const struct {
        std::string words;
        int exitCode;
        std::string output; // a regular expression for all of standard output
        std::string errors; // a part of standard error
    } cases[] = {
        {plain + "\"ISR,'Hello':\" 'x\\e'", 0, "Connection OK\nHello\nESC\n", ""},
        {plain + "--file TCLTests/version.tcl --set-time", 0,
         "Connection OK\nSerial number: 100131\nFirmware version: 6\\.12\n" + date, "version.tcl sent (2 "},
        {plain + "< statements.txt", 0, "Connection OK\nA\n\nB\n", ""},
        {plain + "--key-text x ISR,SN:", 0, "Connection OK\n100131\n", "not encrypted: --key-text ignored"},
        {encrypted + "--key-text '" + kKeyText + "' ISR,SN:", 0, "Connection OK\n100132\n", ""},
        {encrypted + "--password " + kGrade2Password + " ISR,SN:", 0, "Connection OK\n100132\n", ""},
        {encrypted + "ISR,SN:", 1, "", "give --key-text T"},
        {"tcl " + address(kActive) + " ISR,SN:", 1, "", "A TCL download is not possible."},
        {"tcl " + address(kPlain) + " --quiet-ms 5000 BYE:", 0, "Connection OK\n",
         "Connection to terminal is closed."},
    };
    EXPECT_TRUE(bed_->runOnPc([&] {
        ::setenv("LC_ALL", "en_US.UTF-8", 1);
        files_->write("start/statements.txt", std::string("ISR,'A':\r\nISR,'':\nISR,'B':"));
        for (const auto& c : cases) {
            const test::CliRun run = test::runCli(startDirectory(), c.words);
            SCOPED_TRACE(c.words + "\n" + run.output + run.errors);
            EXPECT_EQ(run.exitCode, c.exitCode);
            EXPECT_TRUE(std::regex_match(run.output, std::regex(c.output)));
            EXPECT_NE(run.errors.find(c.errors), std::string::npos);
        }
    }));
}

} // namespace
} // namespace kestrix

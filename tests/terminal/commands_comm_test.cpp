#include "messages/toolbox_lang.h"
#include "protocol/t7000ip.h"
#include "sim/tftp/tftp_server.h"
#include "support/scripted_peer.h"
#include "support/trace_capture.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <unistd.h>

// The command set against a scripted terminal on loopback (in a network
// namespace of its own): the exact requests that go out, the answers that are
// taken or refused, and the trace lines that tell them apart. The
// authentication suffixes were worked out outside the program for maintenance
// group 0 (the engine's own until set), interface address 127.0.0.1 and
// security id 0A1B2C3D: "auth=" with a bit-by-bit CRC-16/ARC, "sid=" with the
// openssl command line's AES-CMAC.

namespace kestrix {
namespace {

using test::PeerRequest;
using test::ScriptedPeer;
using test::TraceCapture;
using Kind = T7000ip::RequestKind;
using Texts = std::vector<std::string>;

const std::string kHead = "TALMO 7460 1 100200 ";
const std::string kEchoSid = "echo 100200 sid=06181B88";
const std::string kEereadSid = "eeread 100200 sid=B22B487C";

TerminalFields knownTerminal() {
    TerminalFields fields;
    fields.SerialNumber = "100200";
    fields.ProductType = product::Talmo7460;
    fields.PlatformGroup = 6;
    fields.TclKind = tcl_kind::Pze;
    fields.FirmwareVersion = "6.20";
    fields.AddrInUse = *addressFromText("::ffff:127.0.0.2");
    fields.IPAddrInUse = "::ffff:127.0.0.2";
    fields.HostIfAddr = "127.0.0.1";
    fields.AuthOK = true;
    return fields;
}

TerminalFields idBasedTerminal() {
    TerminalFields fields = knownTerminal();
    fields.IDBasedAuth = true;
    fields.AuthOK = false;
    return fields;
}

// A scripted terminal at 127.0.0.2 that answers by the command word of the
// request (the reply after the head); a command given in answer's second
// argument is left unanswered that many times first.
class Commands : public ::testing::Test {
protected:
    Commands() {
        peer_ = std::make_unique<ScriptedPeer>(
            "127.0.0.2", 0xdead, [this](const PeerRequest& request, ScriptedPeer& peer) {
                const std::string text = request.text();
                const std::string command = text.substr(0, text.find(' '));
                std::lock_guard lock(mutex_);
                const auto found = answers_.find(command);
                if (found != answers_.end() && silent_[command]-- <= 0)
                    peer.reply(request, ScriptedPeer::datagram(kHead + found->second));
            });
        // Bound after the peer: the engine binds the unspecified address.
        engine_ = &T7000ip::getT7000ip(&language_);
    }
    ~Commands() override { T7000ip::releaseT7000ip(); }
    void answer(std::map<std::string, std::string> answers, std::map<std::string, int> silent = {}) {
        std::lock_guard lock(mutex_);
        answers_ = std::move(answers);
        silent_ = std::move(silent);
    }
    Texts sent() const {
        Texts texts;
        for (const PeerRequest& request : peer_->requests())
            texts.push_back(request.text());
        return texts;
    }

    CToolBoxLang language_{kLocaleIdEnglishUnitedStates};
    std::unique_ptr<ScriptedPeer> peer_;
    T7000ip* engine_ = nullptr;
    std::mutex mutex_;
    std::map<std::string, std::string> answers_;
    std::map<std::string, int> silent_;
};

TEST_F(Commands, ASecuredCommandGoesOutPlainOnlyToATerminalWithoutAuthentication) {
    answer({{"reset", "reset."}});
    TerminalFields fields = knownTerminal();
    fields.AuthOK = false; // 6.20 knows authentication, but has not accepted this station
    EXPECT_TRUE(Terminal(*engine_, fields)
                    .T7000ipComm(RequestSecurity::Secured, "reset 100200", Kind::Directed, 1)
                    .empty());
    EXPECT_TRUE(sent().empty());

    fields.FirmwareVersion = "5.49";
    fields.MonitorVersion = "1.99";
    TraceCapture trace;
    EXPECT_TRUE(Terminal(*engine_, fields).T7000ipReset(ResetBoot::Application, ""));
    EXPECT_EQ(sent(), Texts{"reset 100200"});
    EXPECT_TRUE(trace.contains("Terminal::T7000ipComm(100200): TCL kennt noch keine Authentifizierung.\n"));
}

TEST_F(Commands, AnUnansweredIPBasedRequestIsTriedThreeTimes) {
    TraceCapture trace;
    EXPECT_TRUE(Terminal(*engine_, knownTerminal())
                    .T7000ipComm(RequestSecurity::Secured, "eeread 100200", Kind::Directed, 1)
                    .empty());
    EXPECT_EQ(sent(), Texts(3, "eeread 100200 auth=1827"));
    EXPECT_TRUE(trace.contains("Terminal::T7000ipComm(100200): 3 Versuche, KEINE Antwort erhalten\n"));
}

// Two unanswered attempts: the security id may have changed, so one more
// handshake round and two more attempts follow.
TEST_F(Commands, AnIDBasedCommandHandshakesFirstAndOnceMoreAfterTwoFailedAttempts) {
    answer({{"find", "PZE 6.20 ID=0A1B2C3D"}, {"echo", "PZE 6.20 auth=OK"}, {"eeread", "EEPROM contents. x"}},
           {{"eeread", 2}});
    Terminal terminal(*engine_, idBasedTerminal());
    const Texts replies = terminal.T7000ipComm(RequestSecurity::Secured, "eeread 100200", Kind::Directed, 1);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_TRUE(replies[0].starts_with(kHead + "EEPROM"));
    EXPECT_EQ(sent(),
              (Texts{"find 100200", kEchoSid, kEereadSid, kEereadSid, "find 100200", kEchoSid, kEereadSid}));
    terminal.TerminalId = 0; // no security id: no suffix
    EXPECT_EQ(terminal.addIDBasedAuth("echo 123"), "echo 123");
}

TEST_F(Commands, AnIDBasedTerminalThatNeverSaysAuthOKGetsNoRequest) {
    answer({{"find", "PZE 6.20 ID=0A1B2C3D"},
            {"echo", "PZE 6.20 auth=FAILED"},
            {"eeread", "EEPROM contents. x"}});
    TraceCapture trace;
    EXPECT_TRUE(Terminal(*engine_, idBasedTerminal())
                    .T7000ipComm(RequestSecurity::Secured, "eeread 100200", Kind::Directed, 1)
                    .empty());
    EXPECT_EQ(sent(), (Texts{"find 100200", kEchoSid, "find 100200", kEchoSid, "find 100200", kEchoSid}));
    EXPECT_TRUE(trace.contains("Terminal::T7000ipComm(100200): 3 Versuche, kein AuthOK erreicht\n"));
}

TEST_F(Commands, ResetWantsItsAcknowledgementAndForgetsTheEeprom) {
    Terminal terminal(*engine_, knownTerminal());
    answer({{"reset", "cold reset."}});
    terminal.Eeprom = EepromState::Failed;
    EXPECT_TRUE(terminal.T7000ipReset(ResetBoot::System, "cold"));
    EXPECT_EQ(terminal.Eeprom, EepromState::Unknown);
    answer({{"reset", "reset."}}); // acknowledges a mode too
    EXPECT_TRUE(terminal.T7000ipReset(ResetBoot::Application, "ice"));
    answer({{"reset", "unknown mode"}});
    TraceCapture trace;
    EXPECT_FALSE(terminal.T7000ipReset(ResetBoot::Application, ""));
    EXPECT_TRUE(trace.contains("T7000ipReset(100200): gescheitert\n"));
    EXPECT_EQ(sent(), (Texts{"reset 100200 sysboot mode=cold auth=20269", "reset 100200 mode=ice auth=13095",
                             "reset 100200 auth=58914"}));
}

// The record of a fresh terminal that answers the command so, and the trace.
TEST_F(Commands, HostInformation) {
    answer({{"data",
             "host information. port=4711 connect=passive host=offline online=10.1.1.1:80 encrypt=YES"}});
    Terminal offline(*engine_, knownTerminal());
    EXPECT_EQ(offline.T7000ipGetHostInfo(), "");
    EXPECT_EQ(offline.TclPort, 4711);
    EXPECT_TRUE(offline.PassiveConnect && offline.Encrypt && offline.HostOffline);

    answer({{"data", "host information. host=online online=somewhere"}});
    TraceCapture trace;
    EXPECT_EQ(Terminal(*engine_, knownTerminal()).T7000ipGetHostInfo(), "somewhere");
    EXPECT_TRUE(trace.contains("T7000ipGetHostInfo(100200): no ':' ??\n"));
    // Longer than an IPv6 address, ":" and a port.
    answer({{"data", "host information. host=online online=" + std::string(49, '1') + ":123"}});
    Terminal tooLong(*engine_, knownTerminal());
    EXPECT_EQ(tooLong.T7000ipGetHostInfo(), "");
    EXPECT_EQ(tooLong.HostOnlineInfo, "");
    // Only "port" is a name beginning; the others are whole names.
    answer({{"data", "host information. port2=4711 hostname=offline connection=passive onlinex=10.1.1.1:80 "
                     "encryption=YES"}});
    Terminal lookAlikes(*engine_, knownTerminal());
    EXPECT_EQ(lookAlikes.T7000ipGetHostInfo(), "");
    EXPECT_EQ(lookAlikes.TclPort, 4711);
    EXPECT_FALSE(lookAlikes.HostOffline || lookAlikes.PassiveConnect || lookAlikes.Encrypt);
    EXPECT_EQ(lookAlikes.HostOnlineInfo, "");
    answer({{"data", "system information."}});
    EXPECT_EQ(Terminal(*engine_, knownTerminal()).T7000ipGetHostInfo(), "");
    EXPECT_TRUE(trace.contains("T7000ipGetHostInfo(100200): gescheitert\n"));
}

TEST_F(Commands, SystemInformation) {
    answer({{"info", "system information. SRAM=2048 WIEGAND=YES OS='Linux 4.19' ;'7' FLASH='x'"}});
    Terminal answered(*engine_, knownTerminal());
    EXPECT_EQ(answered.getSramParameter(), 2048u);
    EXPECT_TRUE(answered.hasWiegandInterface());
    EXPECT_EQ(answered.RootFileSystemVersion, 7);
    EXPECT_EQ(sent(), Texts{"info 100200"}); // asked once, unsecured

    // Words that do not match: no version, 1 on a Linux terminal, 0 elsewhere.
    // Only a version 0 made 1 is traced.
    TraceCapture trace;
    answer({{"info", "system information. OS='Linux' 7 SRAM=1"}});
    Terminal group6(*engine_, knownTerminal());
    EXPECT_TRUE(group6.T7000ipGetSysInfo());
    EXPECT_EQ(group6.RootFileSystemVersion, 1);
    EXPECT_EQ(group6.SramParameter, 1u);
    EXPECT_TRUE(trace.contains("T7000ipGetSysInfo(100200): Syntaxerror beim OS-Parameter\n"));
    EXPECT_TRUE(trace.contains("Version des Root-Filesytems = 1 "));
    EXPECT_FALSE(trace.contains("Version des Root-Filesytems = 7"));
    answer({{"info", "system information. OS='DOS' ;x SRAM"}});
    Terminal group1(*engine_, knownTerminal());
    group1.PlatformGroup = 1;
    EXPECT_TRUE(group1.T7000ipGetSysInfo());
    EXPECT_EQ(group1.RootFileSystemVersion, 0);
    EXPECT_TRUE(trace.contains("T7000ipGetSysInfo(100200): Syntaxerror beim SRAM-Parameter\n"));

    answer({{"info", "host information."}});
    Terminal refused(*engine_, knownTerminal());
    EXPECT_FALSE(refused.T7000ipGetSysInfo());
    EXPECT_FALSE(refused.SysInfoKnown);
}

TEST_F(Commands, EepromKeyboardAndDisplayType) {
    const std::string contents = std::string(86, 'a') + "8b8" + std::string(39, 'c');
    answer({{"eeread", "EEPROM contents. " + contents}});
    Terminal full(*engine_, knownTerminal());
    EXPECT_TRUE(full.getKeyboardType());
    EXPECT_EQ(full.getDisplayType(), 2);
    EXPECT_EQ(std::string(full.EepromContents.begin(), full.EepromContents.end()), contents);

    answer({{"eeread", "EEPROM contents. 12345"}}); // the missing bytes are blanks
    Terminal shortAnswer(*engine_, knownTerminal());
    EXPECT_FALSE(shortAnswer.getKeyboardType());
    EXPECT_EQ(shortAnswer.getDisplayType(), 0);
    EXPECT_EQ(std::string(shortAnswer.EepromContents.begin(), shortAnswer.EepromContents.end()),
              "12345" + std::string(123, ' '));

    // A refusal is remembered until the terminal is reset.
    answer({{"eeread", "EEPROM contentsX"}, {"reset", "reset."}});
    Terminal refused(*engine_, knownTerminal());
    const std::size_t before = sent().size();
    EXPECT_FALSE(refused.T7000ipGetEeprom());
    EXPECT_FALSE(refused.getKeyboardType());
    EXPECT_EQ(refused.getDisplayType(), 0);
    EXPECT_EQ(sent().size(), before + 1);
    ASSERT_TRUE(refused.T7000ipReset(ResetBoot::Application, ""));
    EXPECT_FALSE(refused.T7000ipGetEeprom());
    EXPECT_EQ(sent().back(), "eeread 100200 auth=1827");
}

TEST_F(Commands, ReaderOperations) {
    answer({{"rfwdlstatus", "rfwdlstatus 1=done 2=busy"},
            {"rkeytrans", "rparadlstatus 1"},
            {"rcardcfg", "rcardcfg OK"}});
    Terminal terminal(*engine_, knownTerminal());
    TraceCapture trace;
    EXPECT_EQ(terminal.T7000ipRfwdlStatus(6), " 1=done 2=busy");
    EXPECT_EQ(terminal.T7000ipRKeyTransfer(1), ""); // the answer of another operation
    EXPECT_TRUE(trace.contains("T7000ipRKeyTransfer(100200): gescheitert\n"));
    EXPECT_EQ(terminal.T7000ipRCardCfgTransfer(3, 1), " OK");
    terminal.FirmwareVersion = "6a04";
    const std::size_t before = sent().size();
    EXPECT_EQ(terminal.T7000ipRCardCfgTransfer(3, 1), "");
    EXPECT_EQ(sent().size(), before);
    EXPECT_TRUE(trace.contains("T7000ipRCardCfgTransfer(100200): Terminal kennt noch kein rcardcfg-Paket\n"));
}

// The monitor request is secured, info is not; what is known is not asked again.
TEST_F(Commands, MonitorVersionAndFlashComeFromTheMonitor) {
    answer({{"monitor", "reset."},
            {"echo", "BSM MONITOR 2.05 auth=OK"},
            {"info", "system information. SRAM=1 FLASH='Fujitsu MBM29F002TC'"}});
    Terminal terminal(*engine_, knownTerminal());
    TraceCapture trace;
    EXPECT_EQ(terminal.getSortMonitorVersion(MonitorVersionCache::Keep), "2_05~");
    EXPECT_TRUE(terminal.T7000ipGetExchgDefPrgr());
    EXPECT_TRUE(terminal.T7000ipGetExchgDefPrgr());
    EXPECT_EQ(sent(), (Texts{"monitor 100200 auth=37596", "echo 100200 auth=49531",
                             "monitor 100200 auth=37596", "info 100200"}));

    answer({{"monitor", "remains"}}); // the echo goes unanswered
    EXPECT_EQ(terminal.getSortMonitorVersion(MonitorVersionCache::Forget), "");
    EXPECT_TRUE(trace.contains("getSortMonitorVersion(100200): MonitorVersion nicht bekannt\n"));
    answer({{"monitor", "busy"}});
    Terminal refused(*engine_, knownTerminal());
    EXPECT_EQ(refused.T7000ipGetMonitorVersion(), "");
    EXPECT_FALSE(refused.T7000ipGetExchgDefPrgr());
    EXPECT_TRUE(trace.contains("T7000ipGetExchgDefPrgr(100200): monitor Paket gescheitert\n"));
}

// The extra round's find goes unanswered: the two attempts follow all the same.
TEST_F(Commands, AFailedExtraHandshakeRoundStillRepeatsTheTwoAttempts) {
    answer({{"eeread", "EEPROM contents. x"}}, {{"eeread", 2}});
    TerminalFields accepted = idBasedTerminal();
    accepted.AuthOK = true;
    accepted.TerminalId = 0x0A1B2C3D;
    TraceCapture trace;
    EXPECT_EQ(Terminal(*engine_, accepted).T7000ipComm(RequestSecurity::Secured, "eeread 100200", Kind::Directed, 1)
                  .size(),
              1u);
    EXPECT_EQ(sent(), (Texts{kEereadSid, kEereadSid, "find 100200", kEereadSid}));
    EXPECT_FALSE(trace.contains("kein AuthOK erreicht"));
}

// getAutoexec against the simulated terminal's TFTP server on loopback port 69.
namespace fs = std::filesystem;

TEST(Autoexec, EntriesOfTheStartUpFileAndFailedReads) {
    const fs::path directory = fs::temp_directory_path() / ("kestrix-autoexec-" + std::to_string(getpid()));
    fs::create_directories(directory);
    sim::TftpServerOptions options;
    options.directory = directory;
    options.serialNumber = "100200";
    sim::TftpServer server(options);
    server.start();
    const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
    T7000ip& engine = T7000ip::getT7000ip(&language);
    const auto record = [&](int platformGroup) {
        TerminalFields fields;
        fields.SerialNumber = "100200";
        fields.PlatformGroup = platformGroup;
        fields.AddrInUse = Ip6Address::fromIPv4Bytes(127, 0, 0, 1);
        return std::make_unique<Terminal>(engine, fields);
    };
    const auto write = [&](const std::string& text) {
        std::ofstream(directory / "autoexec.bat", std::ios::binary) << text;
    };
    struct Case {
        std::string text;
        const char* found; // keyboard file, net driver, reader driver
    } cases[] = {
        // The DCU8's LED program is skipped; the keyboard driver is taken with its line.
        {"@ECHO OFF\r\nC:\\T7000\\LEDDCU8.EXE\r\nC:\\T7000\\KBD102.COM /X\r\n", "KBD102.COM /X||"},
        {"C:\\T7000\\WAVELAN\\WVLAN.EXE\r\n", "|wavelan|"},
        {"C:\\T7000\\LSP\\LSPDRV.EXE\r\nREM\r\n", "|lsp|lspdrv.exe"},
        // Only the first entry that is not the LED program is evaluated.
        {"C:\\T7000\\KBD1.COM\r\nC:\\T7000\\WAVELAN\\X.EXE\r\n", "KBD1.COM||"},
        {"C:\\T7000\\WAVELAN\\X.EXE\r\nC:\\T7000\\KBD1.COM\r\n", "|wavelan|"},
        {"nothing of ours\r\n", "||"},
        // Longer than the 1024-byte buffer: a read error.
        {"C:\\T7000\\KBD102.COM\r\n" + std::string(1100, 'x'), ""},
    };
    for (const Case& c : cases) {
        write(c.text);
        auto terminal = record(1);
        EXPECT_EQ(terminal->getAutoexec(), *c.found != '\0') << c.text;
        EXPECT_EQ(terminal->KeyboardFile + "|" + terminal->NetDriver + "|" + terminal->ReaderDriver,
                  *c.found ? c.found : "||")
            << c.text;
    }

    // Other platforms have none; a failed read, too, is not tried again.
    write("C:\\T7000\\KBD102.COM\r\n");
    auto other = record(6);
    other->KeyboardFile = "stale";
    EXPECT_FALSE(other->getAutoexec());
    EXPECT_EQ(other->KeyboardFile, "");
    EXPECT_TRUE(other->getAutoexec());
    fs::remove(directory / "autoexec.bat");
    auto missing = record(1);
    test::TraceCapture trace;
    EXPECT_FALSE(missing->getAutoexec());
    EXPECT_TRUE(trace.contains("getAutoexec(): TFTP Read Error: ID="));
    EXPECT_TRUE(missing->getAutoexec());

    other.reset();
    missing.reset();
    T7000ip::releaseT7000ip();
    fs::remove_all(directory);
}

} // namespace
} // namespace kestrix

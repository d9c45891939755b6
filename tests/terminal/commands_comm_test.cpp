#include "messages/toolbox_lang.h"
#include "protocol/t7000ip.h"
#include "support/scripted_peer.h"
#include "support/trace_capture.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>

// The command set against a scripted terminal on loopback (in a network
// namespace of its own): the exact requests that go out, the answers that are
// taken or refused, and the trace lines.

namespace kestrix {
namespace {

using test::PeerRequest;
using test::ScriptedPeer;
using test::TraceCapture;
using Kind = T7000ip::RequestKind;

const std::string kHead = "TALMO 7460 1 100200 ";

// Answers by the command word of the request; a command listed in `silentFor`
// is left unanswered that many times first.
struct Script {
    std::map<std::string, std::string> answers; // command word -> reply after the head
    std::map<std::string, int> silentFor;
};

ScriptedPeer::Responder scripted(std::shared_ptr<Script> script) {
    auto counts = std::make_shared<std::map<std::string, int>>();
    return [script, counts](const PeerRequest& request, ScriptedPeer& peer) {
        std::string text = request.text();
        std::string command = text.substr(0, text.find(' '));
        auto answer = script->answers.find(command);
        if (answer == script->answers.end())
            return;
        if ((*counts)[command]++ < script->silentFor[command])
            return;
        peer.reply(request, ScriptedPeer::datagram(kHead + answer->second));
    };
}

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

std::vector<std::string> texts(ScriptedPeer& peer) {
    std::vector<std::string> result;
    for (const auto& request : peer.requests())
        result.push_back(request.text());
    return result;
}

class Commands : public ::testing::Test {
protected:
    // Started after the scripted peer has bound its port (the engine binds the
    // unspecified address).
    T7000ip& engine() {
        if (engine_ == nullptr)
            engine_ = &T7000ip::getT7000ip(&language_);
        return *engine_;
    }
    void TearDown() override {
        if (engine_ != nullptr)
            T7000ip::releaseT7000ip();
    }
    CToolBoxLang language_{kLocaleIdEnglishUnitedStates};
    T7000ip* engine_ = nullptr;
};

TEST_F(Commands, ASecuredCommandWithoutAuthOKGoesOutAsItIsOnlyToATerminalWithoutAuthentication) {
    ScriptedPeer peer("127.0.0.2", 0xdead,
                      scripted(std::make_shared<Script>(Script{{{"reset", "reset."}}, {}})));
    TerminalFields fields = knownTerminal();
    fields.AuthOK = false; // 6.20 knows authentication, but has not accepted this station
    EXPECT_TRUE(Terminal(engine(), fields)
                    .T7000ipComm(RequestSecurity::Secured, "reset 100200", Kind::Directed, 1)
                    .empty());
    EXPECT_TRUE(texts(peer).empty());

    fields.FirmwareVersion = "5.49";
    fields.MonitorVersion = "1.99";
    Terminal terminal(engine(), fields);
    TraceCapture trace;
    EXPECT_TRUE(terminal.T7000ipReset(ResetBoot::Application, ""));
    EXPECT_EQ(texts(peer), std::vector<std::string>{"reset 100200"});
    EXPECT_EQ(trace.text(),
              "Terminal::T7000ipComm(100200): secured: 1, IDBasedAuth: 0, reqdata 'reset 100200' startet\n"
              "Terminal::T7000ipComm(100200): TCL kennt noch keine Authentifizierung.\n"
              "Terminal::T7000ipComm(100200): Antworten erhalten\n"
              "T7000ipReset(100200): Quittung ok\n");
}

TEST_F(Commands, IPBasedAndUnansweredRequestsAreTriedThreeTimes) {
    ScriptedPeer peer("127.0.0.2", 0xdead);
    Terminal terminal(engine(), knownTerminal());
    TraceCapture trace;
    EXPECT_TRUE(terminal.T7000ipComm(RequestSecurity::Secured, "eeread 100200", Kind::Directed, 1).empty());
    const std::string authenticated = engine().addIPBasedAuth("eeread 100200", "127.0.0.1");
    EXPECT_EQ(texts(peer), std::vector<std::string>(3, authenticated));
    EXPECT_TRUE(trace.contains("Terminal::T7000ipComm(100200): 3 Versuche, KEINE Antwort erhalten\n"));
}

TEST_F(Commands, AnIDBasedCommandWhoseTwoAttemptsFailRunsOneMoreHandshakeRound) {
    auto script = std::make_shared<Script>(Script{
        {{"find", "PZE 6.20 ID=0A1B2C3D"}, {"echo", "PZE 6.20 auth=OK"}, {"eeread", "EEPROM contents. x"}},
        {{"eeread", 2}}});
    ScriptedPeer peer("127.0.0.2", 0xdead, scripted(script));
    TerminalFields fields = knownTerminal();
    fields.IDBasedAuth = true;
    fields.AuthOK = false;
    Terminal terminal(engine(), fields);
    TraceCapture trace;
    auto replies = terminal.T7000ipComm(RequestSecurity::Secured, "eeread 100200", Kind::Directed, 1);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].rfind(kHead + "EEPROM", 0), 0u);
    const std::string echo = terminal.addIDBasedAuth("echo 100200");
    const std::string eeread = terminal.addIDBasedAuth("eeread 100200");
    EXPECT_EQ(texts(peer),
              (std::vector<std::string>{"find 100200", echo, eeread, eeread, "find 100200", echo, eeread}));
    EXPECT_TRUE(trace.contains("Terminal::T7000ipComm(100200):sendet 'find 100200'\n"));
    EXPECT_TRUE(
        trace.contains("Terminal::T7000ipComm(100200):sendet nach Antwort auf find '" + echo + "'\n"));
    EXPECT_TRUE(
        trace.contains("Terminal::T7000ipComm(100200): \n\tAntwort: " + kHead + "PZE 6.20 auth=OK\n"));
    EXPECT_TRUE(trace.contains("Terminal::T7000ipComm(100200): 2 Versuche, KEINE Antwort erhalten\n"));
}

TEST_F(Commands, AnIDBasedTerminalThatNeverSaysAuthOKGetsNoRequest) {
    auto script = std::make_shared<Script>(Script{{{"find", "PZE 6.20 ID=0A1B2C3D"},
                                                   {"echo", "PZE 6.20 auth=FAILED"},
                                                   {"eeread", "EEPROM contents. x"}},
                                                  {}});
    ScriptedPeer peer("127.0.0.2", 0xdead, scripted(script));
    TerminalFields fields = knownTerminal();
    fields.IDBasedAuth = true;
    fields.AuthOK = false;
    Terminal terminal(engine(), fields);
    TraceCapture trace;
    EXPECT_TRUE(terminal.T7000ipComm(RequestSecurity::Secured, "eeread 100200", Kind::Directed, 1).empty());
    for (const auto& text : texts(peer))
        EXPECT_NE(text.rfind("eeread", 0), 0u) << text;
    EXPECT_TRUE(trace.contains("Terminal::T7000ipComm(100200): 3 Versuche, kein AuthOK erreicht\n"));
}

// One command, one scripted answer: what the command makes of it.
struct AnswerCase {
    const char* name;
    std::string command;
    std::string answer;
    std::function<void(Terminal&)> check;
};

void PrintTo(const AnswerCase& answerCase, std::ostream* out) {
    *out << answerCase.name;
}

class CommandAnswers : public Commands, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(CommandAnswers, AreTakenOrRefused) {
    const AnswerCase& parameters = GetParam();
    ScriptedPeer peer(
        "127.0.0.2", 0xdead,
        scripted(std::make_shared<Script>(Script{{{parameters.command, parameters.answer}}, {}})));
    Terminal terminal(engine(), knownTerminal());
    parameters.check(terminal);
}

const std::string kEeprom = std::string(86, 'a') + "8b8" + std::string(39, 'c');

INSTANTIATE_TEST_SUITE_P(
    Each, CommandAnswers,
    ::testing::Values(
        AnswerCase{"ResetWithMode", "reset", "cold reset.",
                   [](Terminal& record) {
                       record.Eeprom = EepromState::Read;
                       EXPECT_TRUE(record.T7000ipReset(ResetBoot::System, "cold"));
                       EXPECT_EQ(record.Eeprom, EepromState::Unknown);
                   }},
        AnswerCase{"ResetAloneAcknowledgesAModeToo", "reset", "reset.",
                   [](Terminal& record) { EXPECT_TRUE(record.T7000ipReset(ResetBoot::Application, "ice")); }},
        AnswerCase{"ResetRefused", "reset", "unknown mode",
                   [](Terminal& record) {
                       TraceCapture trace;
                       EXPECT_FALSE(record.T7000ipReset(ResetBoot::Application, "warm"));
                       EXPECT_TRUE(trace.contains("T7000ipReset(100200): gescheitert\n"));
                   }},
        AnswerCase{"HostOfflineGivesEmptyTextEvenWithOnline", "data",
                   "host information. port=4711 connect=passive host=offline online=10.1.1.1:80 encrypt=YES",
                   [](Terminal& record) {
                       EXPECT_EQ(record.T7000ipGetHostInfo(), "");
                       EXPECT_EQ(record.TclPort, 4711);
                       EXPECT_TRUE(record.PassiveConnect);
                       EXPECT_TRUE(record.Encrypt);
                       EXPECT_TRUE(record.HostOffline);
                   }},
        AnswerCase{"HostOnlineWithoutColon", "data", "host information. host=online online=somewhere",
                   [](Terminal& record) {
                       TraceCapture trace;
                       EXPECT_EQ(record.T7000ipGetHostInfo(), "somewhere");
                       EXPECT_TRUE(trace.contains("T7000ipGetHostInfo(100200): HostOnlineInfo = 'somewhere'\n"
                                                  "T7000ipGetHostInfo(100200): no ':' ??\n"));
                   }},
        AnswerCase{"HostOnlineValueTooLongIsRefused", "data",
                   "host information. host=online online=" + std::string(49, '1') + ":123",
                   [](Terminal& record) {
                       EXPECT_EQ(record.T7000ipGetHostInfo(), "");
                       EXPECT_EQ(record.HostOnlineInfo, "");
                   }},
        AnswerCase{"HostInfoNamesOtherThanPortAreWholeWords", "data",
                   "host information. port2=4711 hostname=offline connection=passive onlinex=10.1.1.1:80 "
                   "encryption=YES",
                   [](Terminal& record) {
                       EXPECT_EQ(record.T7000ipGetHostInfo(), "");
                       EXPECT_EQ(record.TclPort, 4711);
                       EXPECT_FALSE(record.HostOffline);
                       EXPECT_FALSE(record.PassiveConnect);
                       EXPECT_EQ(record.HostOnlineInfo, "");
                       EXPECT_FALSE(record.Encrypt);
                   }},
        AnswerCase{"HostInfoOfAnotherKind", "data", "system information.",
                   [](Terminal& record) {
                       TraceCapture trace;
                       EXPECT_EQ(record.T7000ipGetHostInfo(), "");
                       EXPECT_TRUE(trace.contains("T7000ipGetHostInfo(100200): gescheitert\n"));
                   }},
        AnswerCase{"SysInfo", "info",
                   "system information. SRAM=2048 WIEGAND=YES OS='Linux 4.19' ;'7' FLASH='x'",
                   [](Terminal& record) {
                       TraceCapture trace;
                       EXPECT_EQ(record.getSramParameter(), 2048u);
                       EXPECT_FALSE(trace.contains("Root-Filesytems")); // only a version 0 made 1 is traced
                       EXPECT_TRUE(record.hasWiegandInterface());
                       EXPECT_EQ(record.RootFileSystemVersion, 7);
                       EXPECT_TRUE(record.SysInfoKnown);
                   }},
        AnswerCase{"OSWordsThatDoNotMatchGive1OnGroup6", "info", "system information. OS='Linux' 7 SRAM=1",
                   [](Terminal& record) {
                       TraceCapture trace;
                       EXPECT_TRUE(record.T7000ipGetSysInfo());
                       EXPECT_EQ(record.RootFileSystemVersion, 1);
                       EXPECT_EQ(record.SramParameter, 1u);
                       EXPECT_EQ(
                           trace.text().substr(trace.text().find("T7000ipGetSysInfo(100200)")),
                           "T7000ipGetSysInfo(100200): Syntaxerror beim OS-Parameter\n"
                           "T7000ipGetSysInfo(): Version des Root-Filesytems = 1 (nur für Linux-Terminals "
                           "relevant)\n");
                   }},
        AnswerCase{"OSWordsThatDoNotMatchGive0OnGroup1", "info", "system information. OS='DOS' ;x SRAM",
                   [](Terminal& record) {
                       record.PlatformGroup = 1;
                       TraceCapture trace;
                       EXPECT_TRUE(record.T7000ipGetSysInfo());
                       EXPECT_EQ(record.RootFileSystemVersion, 0);
                       EXPECT_TRUE(
                           trace.contains("T7000ipGetSysInfo(100200): Syntaxerror beim SRAM-Parameter\n"));
                   }},
        AnswerCase{"SysInfoRefused", "info", "host information.",
                   [](Terminal& record) {
                       EXPECT_FALSE(record.T7000ipGetSysInfo());
                       EXPECT_FALSE(record.SysInfoKnown);
                   }},
        AnswerCase{"EepromWithKeyboardAndDisplayType", "eeread", "EEPROM contents. " + kEeprom,
                   [](Terminal& record) {
                       EXPECT_TRUE(record.getKeyboardType());
                       EXPECT_EQ(record.getDisplayType(), 2);
                       EXPECT_EQ(std::string(record.EepromContents.begin(), record.EepromContents.end()),
                                 kEeprom);
                   }},
        AnswerCase{"ShortEepromAnswerIsFilledWithBlanks", "eeread", "EEPROM contents. 12345",
                   [](Terminal& record) {
                       EXPECT_TRUE(record.T7000ipGetEeprom());
                       EXPECT_EQ(std::string(record.EepromContents.begin(), record.EepromContents.end()),
                                 "12345" + std::string(123, ' '));
                       EXPECT_FALSE(record.getKeyboardType());
                       EXPECT_EQ(record.getDisplayType(), 0);
                   }},
        AnswerCase{"EepromRefusedIsRememberedUntilReset", "eeread", "EEPROM contentsX",
                   [](Terminal& record) {
                       EXPECT_FALSE(record.T7000ipGetEeprom());
                       EXPECT_EQ(record.Eeprom, EepromState::Failed);
                       EXPECT_EQ(record.getDisplayType(), 0); // no second request
                   }},
        AnswerCase{"ReaderOperation", "rfwdlstatus", "rfwdlstatus 1=done 2=busy",
                   [](Terminal& record) {
                       TraceCapture trace;
                       EXPECT_EQ(record.T7000ipRfwdlStatus(6), " 1=done 2=busy");
                       EXPECT_EQ(trace.text().substr(0, trace.text().find('\n') + 1),
                                 "T7000ipRfwdlStatus(100200 == rfwdlstatus 100200 mask=6): startet\n");
                       EXPECT_TRUE(trace.contains("T7000ipRfwdlStatus(100200): Aufbau der Antwort ok\n"));
                   }},
        AnswerCase{"ReaderOperationRefused", "rkeytrans", "rparadlstatus 1",
                   [](Terminal& record) {
                       TraceCapture trace;
                       EXPECT_EQ(record.T7000ipRKeyTransfer(1), "");
                       EXPECT_TRUE(trace.contains("T7000ipRKeyTransfer(100200): gescheitert\n"));
                   }},
        AnswerCase{"CardConfigurationNeeds604", "rcardcfg", "rcardcfg OK",
                   [](Terminal& record) {
                       EXPECT_EQ(record.T7000ipRCardCfgTransfer(3, 1), " OK");
                       record.FirmwareVersion = "6a04";
                       TraceCapture trace;
                       EXPECT_EQ(record.T7000ipRCardCfgTransfer(3, 1), "");
                       EXPECT_EQ(
                           trace.text(),
                           "T7000ipRCardCfgTransfer(100200): Terminal kennt noch kein rcardcfg-Paket\n");
                   }},
        AnswerCase{"MonitorVersionSortsWithATilde", "monitor", "remains",
                   [](Terminal& record) {
                       // The echo goes unanswered; a known version is not asked for.
                       record.MonitorVersion = "2.05";
                       EXPECT_EQ(record.getSortMonitorVersion(MonitorVersionCache::Keep), "2_05~");
                       TraceCapture trace;
                       EXPECT_EQ(record.getSortMonitorVersion(MonitorVersionCache::Forget), "");
                       EXPECT_TRUE(
                           trace.contains("T7000ipGetMonitorVersion(100200): echo Paket gescheitert\n"
                                          "getSortMonitorVersion(100200): MonitorVersion nicht bekannt\n"));
                   }},
        AnswerCase{
            "MonitorRefused", "monitor", "busy",
            [](Terminal& record) {
                TraceCapture trace;
                EXPECT_EQ(record.T7000ipGetMonitorVersion(), "");
                EXPECT_FALSE(record.T7000ipGetExchgDefPrgr());
                EXPECT_TRUE(trace.contains("T7000ipGetMonitorVersion(100200): monitor Paket gescheitert\n"));
                EXPECT_TRUE(trace.contains("T7000ipGetExchgDefPrgr(100200): monitor Paket gescheitert\n"));
            }}),
    [](const ::testing::TestParamInfo<AnswerCase>& param) { return std::string(param.param.name); });

// monitor and echo, or monitor and info: two commands in one script.
TEST_F(Commands, MonitorVersionAndFlashComeFromTheMonitor) {
    auto script =
        std::make_shared<Script>(Script{{{"monitor", "reset."},
                                         {"echo", "BSM MONITOR 2.05 auth=OK"},
                                         {"info", "system information. SRAM=1 FLASH='Fujitsu MBM29F002TC'"}},
                                        {}});
    ScriptedPeer peer("127.0.0.2", 0xdead, scripted(script));
    Terminal terminal(engine(), knownTerminal());
    TraceCapture trace;
    EXPECT_EQ(terminal.getSortMonitorVersion(MonitorVersionCache::Keep), "2_05~");
    EXPECT_TRUE(trace.contains("T7000ipGetMonitorVersion(100200): MonitorVersion: 2.05\n"));
    EXPECT_TRUE(terminal.T7000ipGetExchgDefPrgr());
    EXPECT_TRUE(trace.contains("T7000ipGetExchgDefPrgr(100200): FLASH = Fujitsu MBM29F002TC\n"
                               "T7000ipGetExchgDefPrgr(100200): Defaultprogramm tauschen\n"));
    const std::size_t sent = texts(peer).size();
    EXPECT_TRUE(terminal.T7000ipGetExchgDefPrgr()); // known: nothing more is sent
    EXPECT_EQ(texts(peer).size(), sent);
    // The echo and the monitor request were secured, info was not.
    auto requests = texts(peer);
    EXPECT_EQ(requests.back(), "info 100200");
    EXPECT_EQ(requests.front(), engine().addIPBasedAuth("monitor 100200", "127.0.0.1"));
}

TEST_F(Commands, AFailedExtraHandshakeRoundStillRepeatsTheTwoAttempts) {
    // Known and accepted: no handshake first. The extra round's find goes unanswered.
    auto script =
        std::make_shared<Script>(Script{{{"eeread", "EEPROM contents. x"}}, {{"eeread", 2}}});
    ScriptedPeer peer("127.0.0.2", 0xdead, scripted(script));
    TerminalFields fields = knownTerminal();
    fields.IDBasedAuth = true;
    fields.TerminalId = 0x0A1B2C3D;
    Terminal terminal(engine(), fields);
    TraceCapture trace;
    EXPECT_EQ(terminal.T7000ipComm(RequestSecurity::Secured, "eeread 100200", Kind::Directed, 1).size(), 1u);
    const std::string eeread = terminal.addIDBasedAuth("eeread 100200");
    EXPECT_EQ(texts(peer), (std::vector<std::string>{eeread, eeread, "find 100200", eeread}));
    EXPECT_FALSE(trace.contains("kein AuthOK erreicht"));
}

} // namespace
} // namespace kestrix

#include "protocol/t7000ip.h"
#include "reader_security/recording_target.h"
#include "reader_security/t7000ip_lbus_comm.h"
#include "support/scripted_peer.h"
#include "support/trace_capture.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <thread>

// The reader operation worker against a scripted terminal on loopback (in a
// network namespace of its own): it answers each reader command with the
// next of its scripted answers (the last one again and again). The polls'
// pause is shortened by KESTRIX_TIME_SCALE, except in the cancel test, which
// runs with the full 10 seconds so that only a cancel within the sleep lets
// it end in time.

namespace kestrix {
namespace {

using test::PeerRequest;
using test::RecordingTarget;
using test::ScriptedPeer;

const std::string kHead = "TALMO 7460 1 100200 ";

TerminalFields scriptedTerminal() {
    TerminalFields fields;
    fields.SerialNumber = "100200";
    fields.ProductType = product::Talmo7460;
    fields.PlatformGroup = 6;
    fields.FirmwareVersion = "6.20";
    fields.AddrInUse = *addressFromText("::ffff:127.0.0.2");
    fields.IPAddrInUse = "::ffff:127.0.0.2";
    fields.HostIfAddr = "127.0.0.1";
    fields.AuthOK = true;
    return fields;
}

class ReaderWorker : public ::testing::Test {
protected:
    ReaderWorker() {
        peer_ = std::make_unique<ScriptedPeer>(
            "127.0.0.2", 0xdead, [this](const PeerRequest& request, ScriptedPeer& peer) {
                const std::string text = request.text();
                const std::string command = text.substr(0, text.find(' '));
                std::lock_guard lock(mutex_);
                ++asked_[command];
                auto& answers = script_[command];
                if (answers.empty())
                    return;
                const std::string answer = answers.front();
                if (answers.size() > 1)
                    answers.erase(answers.begin());
                peer.reply(request, ScriptedPeer::datagram(kHead + answer));
            });
        engine_ = &T7000ip::getT7000ip(&target_.language());
        terminal_ = std::make_unique<Terminal>(*engine_, scriptedTerminal());
    }
    ~ReaderWorker() override {
        worker_.reset();
        terminal_.reset();
        T7000ip::releaseT7000ip();
    }
    void script(std::map<std::string, std::vector<std::string>> answers) {
        std::lock_guard lock(mutex_);
        script_ = std::move(answers);
    }
    int asked(const std::string& command) {
        std::lock_guard lock(mutex_);
        return asked_[command];
    }
    void start(LBusFunction function, unsigned mask) {
        worker_ = std::make_unique<T7000ipLBusComm>(function, mask, *terminal_, target_, slot_);
    }
    // The end code and the thread's exit code.
    std::pair<int, int> finish() {
        const int endCode = target_.waitForEnd();
        return {endCode, waitonthreadend(slot_, "CLoadLBusKey::waitonthreadend()")};
    }

    test::TraceCapture trace_;
    RecordingTarget target_;
    std::unique_ptr<ScriptedPeer> peer_;
    T7000ip* engine_ = nullptr;
    std::unique_ptr<Terminal> terminal_;
    ThreadSlot slot_;
    std::unique_ptr<T7000ipLBusComm> worker_;
    std::mutex mutex_;
    std::map<std::string, std::vector<std::string>> script_;
    std::map<std::string, int> asked_;
};

TEST_F(ReaderWorker, OneReaderBusyAnotherDoneIsHalfDoneAndPollingGoesOn) {
    script({{"rfwdlexecute", {"rfwdlexecute 2"}},
            {"rfwdlstatus", {"rfwdlstatus 1=10 2=100 17=10", "rfwdlstatus 1=100 2=100"}}});
    start(LBusFunction::FirmwareUpdate, 0b110);
    EXPECT_EQ(finish(), std::make_pair(12, 0));
    EXPECT_EQ(target_.range(), std::make_pair(0, 2));
    EXPECT_EQ(target_.positions(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(target_.statusLines(), (std::map<int, std::string>{{1, "update done"}, {2, "update done"}}));
    EXPECT_TRUE(target_.messages().empty());
    EXPECT_EQ(asked("rfwdlstatus"), 2);
    EXPECT_TRUE(trace_.contains(
        "T7000ipLBusComm::DoReaderUpdate(4): Anzahl Updates aus rfwdlstatus-/rparadlstatus-Antwort: 1\n"));
    EXPECT_TRUE(trace_.contains("T7000ipLBusComm::DoReaderUpdate(4): Lesermaske: 0x000006, 6\n"));
}

TEST_F(ReaderWorker, AStatusRequestWithoutAnswerEndsAsCompleted) {
    // A reply that is not the status command's counts as none.
    script({{"rparadlexecute", {"rparadlexecute 1"}}, {"rparadlstatus", {"rfwdlstatus 1=100"}}});
    start(LBusFunction::ParameterUpdate, 0b10);
    EXPECT_EQ(finish(), std::make_pair(12, 0));
    EXPECT_EQ(target_.messages(), std::vector<std::string>{target_.text(563)});
    EXPECT_TRUE(trace_.contains("T7000ipLBusComm::run() Ende Timestamp: '"));
}

TEST_F(ReaderWorker, AnUpdateThatDoesNotStartEndsWith13) {
    const struct {
        const char* answer;
        int message;
    } cases[] = {
        {"rfwdlexecute 0", 531}, {"rfwdlexecute -70", 538}, {"rfwdlexecute started", 540}, {"other 2", 563}};
    for (const auto& test : cases) {
        RecordingTarget target;
        script({{"rfwdlexecute", {test.answer}}});
        worker_ =
            std::make_unique<T7000ipLBusComm>(LBusFunction::FirmwareUpdate, 2u, *terminal_, target, slot_);
        EXPECT_EQ(target.waitForEnd(), 13) << test.answer;
        EXPECT_EQ(waitonthreadend(slot_, "CLoadLBusKey::waitonthreadend()"), -1) << test.answer;
        EXPECT_EQ(target.messages(), std::vector<std::string>{target.text(test.message)}) << test.answer;
        worker_.reset();
    }
    EXPECT_EQ(asked("rfwdlstatus"), 0);
    EXPECT_TRUE(trace_.contains("T7000ipLBusComm::run(): DoReaderUpdate(4) failed\n"));
}

TEST_F(ReaderWorker, KeyTransferAndCardAnswersGoToTheReadersLines) {
    script({{"rkeytrans", {"rkeytrans rkt1=OK rkt2=ERROR absent rkt20=OK"}},
            {"rcardcfg", {"rcardcfg rccfg1=unlocked rccfg2=unlocked"}}});
    start(LBusFunction::LoadKeys, 0b110);
    EXPECT_EQ(finish(), std::make_pair(12, 0));
    EXPECT_EQ(target_.statusLines(), (std::map<int, std::string>{{1, "OK"}, {2, "ERROR absent"}}));
    worker_.reset();
    start(LBusFunction::ReleaseCard, 0b110);
    EXPECT_EQ(finish(), std::make_pair(12, 0));
    EXPECT_EQ(target_.statusLines(), (std::map<int, std::string>{{1, "unlocked"}, {2, "unlocked"}}));
    const std::vector<PeerRequest> requests = peer_->requests();
    EXPECT_EQ(requests.back().text().rfind("rcardcfg 100200 mask=6 unlock=6 ", 0), 0u)
        << requests.back().text();
}

TEST_F(ReaderWorker, CancelDuringPollingEndsWithinTheSleep) {
    script({{"rfwdlexecute", {"rfwdlexecute 1"}}, {"rfwdlstatus", {"rfwdlstatus 1=10"}}});
    start(LBusFunction::FirmwareUpdate, 0b10);
    // The second poll without cancel (after the start's, at the head of the
    // loop) comes just before the sleep.
    const std::string noCancel =
        "T7000ipLBusComm::gotcancelevent() WaitForSingleObject() returned: WAIT_TIMEOUT";
    const auto polls = [&] {
        const std::string text = trace_.text();
        const std::size_t first = text.find(noCancel);
        return first == std::string::npos ? 0 : text.find(noCancel, first + 1) == std::string::npos ? 1 : 2;
    };
    while (polls() < 2)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(worker_->CancelLBusComm(), 0);
    EXPECT_EQ(finish(), std::make_pair(13, -1));
    EXPECT_EQ(asked("rfwdlstatus"), 0);
    EXPECT_TRUE(trace_.contains("T7000ipLBusComm::cancelrun(): Ende des Threads (meldet er mit 'MyEndMsg') "
                                "bedeutet kein Ende des Leser-Updates!\n"));
    EXPECT_TRUE(
        trace_.contains("T7000ipLBusComm::gotcancelevent(): WaitForSingleObject() Abbruch Event erhalten\n"));
}

} // namespace
} // namespace kestrix

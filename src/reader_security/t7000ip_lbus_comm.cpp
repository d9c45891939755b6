#include "reader_security/t7000ip_lbus_comm.h"

#include "messages/toolbox_lang.h"
#include "platform/local_time_text.h"
#include "platform/trace.h"
#include "terminal/terminal.h"

#include <algorithm>
#include <ctime>

namespace kestrix {

namespace {

constexpr int kNoResponseText = 563;
constexpr int kWrongStatusAnswerText = 558;

} // namespace

T7000ipLBusComm::T7000ipLBusComm(LBusFunction function, unsigned readerMask, Terminal& terminal,
                                 LBusCommTarget& target, ThreadSlot& slot)
    : WorkerThread("T7000ipLBusComm", &target, slot), function_(function), readerMask_(readerMask),
      terminal_(terminal), target_(target) {
    start();
}

T7000ipLBusComm::~T7000ipLBusComm() {
    destroy();
}

int T7000ipLBusComm::CancelLBusComm() {
    return cancelFromOwner("CancelLBusComm");
}

void T7000ipLBusComm::onCancelSignalled() {
    trace("T7000ipLBusComm::cancelrun(): Ende des Threads (meldet er mit 'MyEndMsg') bedeutet kein Ende des "
          "Leser-Updates!\n");
}

void T7000ipLBusComm::throwError(int code, const std::string& text) const {
    throw T7000ipLBusCommError{{code, text}};
}

void T7000ipLBusComm::run() {
    const int functionNumber = static_cast<int>(function_);
    trace("T7000ipLBusComm::run() mit Funktion %d\n", functionNumber);
    trace("T7000ipLBusComm::run() Start Timestamp: '%s'\n", dateTimeText(localTimeNow()).c_str());
    switch (function_) {
    case LBusFunction::LoadKeys:
        DoRKeyTransfer();
        break;
    case LBusFunction::ReleaseCard:
        DoRCardCfgTransfer(readerMask_);
        break;
    case LBusFunction::LockCard:
        DoRCardCfgTransfer(0);
        break;
    case LBusFunction::FirmwareUpdate:
    case LBusFunction::ParameterUpdate:
        if (!DoReaderUpdate()) {
            trace("T7000ipLBusComm::run(): DoReaderUpdate(%d) failed\n", functionNumber);
            endWith(kEndNotStarted);
            throwError(0, "DoReaderUpdate() error");
        }
        break;
    }
    trace("T7000ipLBusComm::run() Ende Timestamp: '%s'\n", dateTimeText(localTimeNow()).c_str());
    endWith(kEndCompleted);
}

void T7000ipLBusComm::endWith(int endCode) {
    endReported_ = true;
    reportEnd(endCode);
}

void T7000ipLBusComm::onRunFailed() {
    // A step that threw (the terminal's record or the system failed) still
    // ends the dialog's wait: without the end report its Start stays off and
    // the pane could never close.
    if (!endReported_)
        endWith(kEndNotStarted);
}

void T7000ipLBusComm::showError(int messageId) {
    target_.showWorkerMessage(target_.language().GetText(messageId), MessageIcon::Error);
}

void T7000ipLBusComm::DoRKeyTransfer() {
    trace("T7000ipLBusComm::DoRKeyTransfer(): Lesermaske: 0x%06x, %d\n", readerMask_,
          static_cast<int>(readerMask_));
    const std::string answer = terminal_.T7000ipRKeyTransfer(readerMask_);
    if (answer.empty()) {
        showError(kNoResponseText);
        return;
    }
    for (const ReaderAnswerEntry& entry : readReaderEntries(answer, "rkt"))
        target_.setReaderStatus(entry.reader, entry.text);
}

void T7000ipLBusComm::DoRCardCfgTransfer(unsigned unlock) {
    trace("T7000ipLBusComm::DoRCardCfgTransfer(): Lesermaske: 0x%06x, %d\n", readerMask_,
          static_cast<int>(readerMask_));
    const std::string answer = terminal_.T7000ipRCardCfgTransfer(readerMask_, static_cast<int>(unlock));
    if (answer.empty()) {
        showError(kNoResponseText);
        return;
    }
    for (const ReaderAnswerEntry& entry : readReaderEntries(answer, "rccfg"))
        target_.setReaderStatus(entry.reader, entry.text);
}

bool T7000ipLBusComm::DoReaderUpdate() {
    const int functionNumber = static_cast<int>(function_);
    const bool firmware = function_ == LBusFunction::FirmwareUpdate;
    trace("T7000ipLBusComm::DoReaderUpdate(%d): Lesermaske: 0x%06x, %d\n", functionNumber, readerMask_,
          static_cast<int>(readerMask_));
    int updatesStarted = 0;
    const std::string answer =
        firmware ? terminal_.T7000ipRfwdlExecute(readerMask_) : terminal_.T7000ipRparadlExecute(readerMask_);
    if (answer.empty()) {
        showError(kNoResponseText);
        return false;
    }
    const std::optional<int> startStatus = readStartStatus(answer);
    if (!startStatus || *startStatus <= 0) {
        showError(startStatusMessage(startStatus));
        return false;
    }
    updatesStarted = *startStatus;
    if (gotcancelevent())
        return false;
    pendingStatus_.fill(0);
    int remaining = updatesStarted;
    target_.setResultRange(0, updatesStarted);
    target_.setResultPosition(0);
    while (remaining != 0) {
        if (gotcancelevent() || pauseUnlessCancelled(kStatusPollMilliseconds) || gotcancelevent())
            return false;
        const std::string status = firmware ? terminal_.T7000ipRfwdlStatus(readerMask_)
                                            : terminal_.T7000ipRparadlStatus(readerMask_);
        if (status.empty()) {
            showError(kNoResponseText);
            return true;
        }
        remaining = readStatus(status);
        target_.setResultPosition(updatesStarted - remaining);
        trace("T7000ipLBusComm::DoReaderUpdate(%d): Anzahl Updates aus rfwdlstatus-/rparadlstatus-Antwort: "
              "%d\n",
              functionNumber, remaining);
    }
    return true;
}

int T7000ipLBusComm::readStatus(const std::string& answer) {
    const ReaderStatusAnswer status = readStatusAnswer(answer);
    for (int malformed = 0; malformed < status.malformed; ++malformed) {
        trace("scanf failed\n");
        showError(kWrongStatusAnswerText);
    }
    for (const ReaderStatusEntry& entry : status.entries) {
        target_.setReaderStatus(entry.reader, target_.language().GetText(readerStatusMessage(entry.code)));
        pendingStatus_[static_cast<std::size_t>(entry.reader)] =
            readerStillPending(entry.code) ? entry.code : 0;
    }
    return static_cast<int>(
        std::count_if(pendingStatus_.begin(), pendingStatus_.end(), [](int code) { return code != 0; }));
}

} // namespace kestrix

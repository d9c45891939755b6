#include "reader_security/load_lbus_key.h"

#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"
#include "platform/trace.h"
#include "terminal/action_owner.h"
#include "terminal/terminal.h"

#include <exception>

namespace kestrix {

namespace {

constexpr int kCancelText = 0;         // "Abbrechen"
constexpr int kUnknownError = 5;       // "unbekannter Fehler"
constexpr int kHeadingStart = 514;     // "Wählen Sie eine der folgenden Aktionen für die Leser am"
constexpr int kWithSerialNumber = 515; // "mit Seriennummer"
constexpr int kHeadingEnd = 516;       // "aus:"
constexpr int kReaderOnLbus = 517;     // "Leser am LBus"
constexpr int kNoReaderSelected = 518; // "Keine Leser ausgewählt!"
constexpr int kInternalReader = 519;   // "interner Leser"
constexpr int kFirstActionText = 520;  // 520-524: the five actions
constexpr int kStandAlone = 525;       // "Das Terminal führt die Aktion autonom aus. ..."
constexpr int kCancelIgnored = 526;    // "Der Abbruch wird ignoriert. Bitte warten."
constexpr int kSecondsAction = 559;    // "Diese Aktion benötigt mehrere Sekunden. ..."
constexpr int kSendingPackage = 560;   // "Update Paket ins Terminal laden ..."
constexpr int kNoUpdateStarted = 561;  // "Kein Update gestartet, oder Statusabfrage ... angehalten."
constexpr int kMinutesAction = 562;    // "Diese Aktion benötigt mehrere Minuten. ..."
constexpr int kActionExecuted = 564;   // "Aktion ausgeführt. Ergebnisse in den Statusmeldungen ..."

constexpr int kTimerPeriodMilliseconds = 2000;
constexpr int kActivityUpper = 5;

} // namespace

CLoadLBusKey::CLoadLBusKey(ActionOwner& owner, std::size_t terminalIndex, int grade,
                           const UserParamBlock& block)
    : owner_(owner), terminalIndex_(terminalIndex), grade_(grade), block_(block) {
    const CToolBoxLang& text = owner_.language();
    const Terminal& shown = owner_.terminalAt(terminalIndex_);
    texts_.heading = text.GetText(kHeadingStart) + " " + shown.ProductName + " " +
                     text.GetText(kWithSerialNumber) + " " + shown.SerialNumber + " " +
                     text.GetText(kHeadingEnd);
    for (std::size_t index = 0; index < texts_.actions.size(); ++index)
        texts_.actions[index] = text.GetText(kFirstActionText + static_cast<int>(index));
    texts_.busLabels = {text.GetText(kReaderOnLbus) + "1", text.GetText(kReaderOnLbus) + "2"};
    texts_.internalReader = text.GetText(kInternalReader);
    texts_.start = "Start";
    texts_.cancel = text.GetText(kCancelText);
}

CLoadLBusKey::~CLoadLBusKey() {
    if (!worker_)
        return;
    trace("~CLoadLBusKey(): pLBusComm != NULL\n");
    worker_->CancelLBusComm();
    waitonthreadend(workerThread_, "CLoadLBusKey::waitonthreadend()");
    worker_.reset();
}

void CLoadLBusKey::attachView(LoadLBusKeyView& view) {
    const std::lock_guard lock(viewMutex_);
    view_ = &view;
}

void CLoadLBusKey::detachView() {
    const std::lock_guard lock(viewMutex_);
    view_ = nullptr;
}

Terminal& CLoadLBusKey::terminal() {
    return owner_.terminalAt(terminalIndex_);
}

const CToolBoxLang& CLoadLBusKey::language() const {
    return owner_.language();
}

void CLoadLBusKey::message(int id, MessageIcon icon) {
    owner_.messageBoxes().show({kProductCaption, owner_.language().GetText(id), icon});
}

LBusRefusal CLoadLBusKey::refusal(LBusFunction action) const {
    return actionRefusal(action, grade_, owner_.terminalAt(terminalIndex_));
}

bool CLoadLBusKey::actionOffered(LBusFunction action) const {
    return refusal(action) == LBusRefusal::None;
}

void CLoadLBusKey::OnInitDialog() {
    // The block came with the dialog, fetched and converted by the main window.
    trace("CLoadLBusKey::MyUserParam->copyUserParamOut()\n");
    trace("CLoadLBusKey::Create_ReaderList()\n");
    action_ = preselectedAction(terminal());
    toView([&](LoadLBusKeyView& view) {
        for (int number = 1; number <= 5; ++number) {
            const auto action = static_cast<LBusFunction>(number);
            view.setActionEnabled(action, actionOffered(action));
        }
        // The parameter download has no radio to choose it (the command line offers it).
        view.setActionVisible(LBusFunction::ParameterUpdate, false);
        view.setActionChecked(action_);
        // Grade 2 below "6_04~" leaves no action: nothing to start.
        view.setStartEnabled(actionOffered(action_));
    });
    applyReaderRule();
}

void CLoadLBusKey::applyReaderRule() {
    trace("CLoadLBusKey::Disable_ReaderList()\n");
    offers_ = kestrix::readerOffers(block_, action_);
    toView([&](LoadLBusKeyView& view) {
        for (int reader = 0; reader < kReaderLines; ++reader) {
            const bool offered = offers_[static_cast<std::size_t>(reader)] == ReaderOffer::Checked;
            checked_[static_cast<std::size_t>(reader)] = offered;
            view.setReaderLine(reader, offered, offered);
            view.setReaderStatus(reader, {});
        }
    });
}

void CLoadLBusKey::OnSelectAction(LBusFunction action) {
    if (running_ || !actionOffered(action))
        return;
    action_ = action;
    toView([](LoadLBusKeyView& view) {
        view.setStatusText({});
        view.setActivityBar(0, kActivityUpper, 0);
        view.setResultPosition(0);
    });
    applyReaderRule();
}

void CLoadLBusKey::OnReaderCheck(int reader, bool checked) {
    if (running_ || reader < 0 || reader >= kReaderLines ||
        offers_[static_cast<std::size_t>(reader)] == ReaderOffer::Disabled)
        return;
    checked_[static_cast<std::size_t>(reader)] = checked;
}

void CLoadLBusKey::OnButtonstart() {
    if (running_ || !actionOffered(action_))
        return;
    resultUpper_ = 1;
    toView([](LoadLBusKeyView& view) {
        view.setStartEnabled(false);
        view.setStatusText({});
        for (int reader = 0; reader < kReaderLines; ++reader)
            view.setReaderStatus(reader, {});
        view.setActivityBar(0, kActivityUpper, 0);
        view.setResultRange(0, 1);
        view.setResultPosition(0);
    });
    const unsigned mask = readerMask(checked_, action_);
    trace("CLoadLBusKey::OnButtonstart(): Lesermaske: 0x%06x, %d\n", mask, mask);
    const auto statusText = [this](int id) {
        toView([&](LoadLBusKeyView& view) { view.setStatusText(owner_.language().GetText(id)); });
    };
    const auto giveUp = [this] {
        stopTimer();
        toView([](LoadLBusKeyView& view) { view.setStartEnabled(true); });
    };
    if (mask == 0) {
        message(kNoReaderSelected, MessageIcon::Error);
        toView([](LoadLBusKeyView& view) { view.setStartEnabled(true); });
        return;
    }
    if (isReaderUpdate(action_)) {
        startTimer();
        statusText(kSendingPackage);
        if (!RArchiveTFTP(action_)) {
            giveUp();
            statusText(kNoUpdateStarted);
            return;
        }
        statusText(kMinutesAction);
    } else {
        statusText(kSecondsAction);
        startTimer();
    }
    try {
        running_ = true;
        worker_ = std::make_unique<T7000ipLBusComm>(action_, mask, terminal(), *this, workerThread_);
    } catch (const T7000ipLBusComm::T7000ipLBusCommError& error) {
        running_ = false;
        owner_.messageBoxes().show({kProductCaption, error.text, MessageIcon::Error});
        giveUp();
    } catch (...) {
        running_ = false;
        message(kUnknownError, MessageIcon::Error);
        giveUp();
    }
}

void CLoadLBusKey::startTimer() {
    bool started = false;
    toView([&](LoadLBusKeyView& view) { started = view.startActivityTimer(kTimerPeriodMilliseconds); });
    trace(started ? "CLoadLBusKey::StartTimer(): SetTimer() ok\n"
                  : "CLoadLBusKey::StartTimer(): SetTimer() failed\n");
}

void CLoadLBusKey::stopTimer() {
    activityCounter_ = 0;
    toView([this](LoadLBusKeyView& view) {
        view.stopActivityTimer();
        view.setActivityBar(0, kActivityUpper, kActivityUpper);
        view.setResultPosition(resultUpper_);
    });
}

void CLoadLBusKey::OnTimer() {
    const int position = activityCounter_;
    activityCounter_ = position + 1 > kActivityUpper ? 0 : position + 1;
    toView([position](LoadLBusKeyView& view) { view.setActivityBar(0, kActivityUpper, position); });
}

void CLoadLBusKey::OnMsgT7000ipLBusCommEnd(int endCode) {
    trace("CLoadLBusKey::OnMsgT7000ipLBusCommEnd(): T7000ipLBusComm hat Ende signalisiert %ld\n",
          static_cast<long>(endCode));
    if (!worker_)
        return;
    std::unique_ptr<T7000ipLBusComm> worker = std::move(worker_);
    running_ = false;
    lastExitCode_ = waitonthreadend(workerThread_, "CLoadLBusKey::waitonthreadend()");
    worker.reset();
    stopTimer();
    toView([](LoadLBusKeyView& view) { view.setStartEnabled(true); });
    if (lastExitCode_ != 0)
        toView([this](LoadLBusKeyView& view) {
            view.setStatusText(owner_.language().GetText(kNoUpdateStarted));
        });
    else
        message(kActionExecuted, MessageIcon::Information);
}

bool CLoadLBusKey::QueryTerminate() {
    if (!worker_) {
        trace("CLoadLBusKey::QueryTerminate(): pLBusComm == NULL\n");
        return true;
    }
    // An update goes on in the terminal by itself: only its polling ends.
    // Key and card transfers end within seconds; they are waited for.
    if (isReaderUpdate(worker_->function())) {
        worker_->CancelLBusComm();
        message(kStandAlone, MessageIcon::Information);
    } else {
        message(kCancelIgnored, MessageIcon::Information);
    }
    return false;
}

void CLoadLBusKey::OnCancel() {
    trace("CLoadLBusKey::OnCancel()\n");
    if (QueryTerminate())
        owner_.postIdleMessage();
}

void CLoadLBusKey::setReaderStatus(int reader, const std::string& text) {
    toView([&](LoadLBusKeyView& view) { view.setReaderStatus(reader, text); });
}

void CLoadLBusKey::setResultRange(int lower, int upper) {
    resultUpper_ = upper;
    toView([&](LoadLBusKeyView& view) { view.setResultRange(lower, upper); });
}

void CLoadLBusKey::setResultPosition(int position) {
    toView([&](LoadLBusKeyView& view) { view.setResultPosition(position); });
}

void CLoadLBusKey::showWorkerMessage(const std::string& text, MessageIcon icon) {
    toView([&](LoadLBusKeyView& view) { view.showWorkerMessage(text, icon); });
}

void CLoadLBusKey::workerEnded(int endCode) {
    toView([endCode](LoadLBusKeyView& view) { view.postWorkerEnd(endCode); });
}

} // namespace kestrix

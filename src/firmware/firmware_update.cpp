#include "firmware/firmware_update.h"

#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"
#include "platform/trace.h"
#include "terminal/action_owner.h"
#include "terminal/terminal.h"

#include <algorithm>
#include <exception>

namespace kestrix {

namespace {

constexpr int kCancelText = 0;              // "Abbrechen"
constexpr int kUnknownError = 5;            // "unbekannter Fehler"
constexpr int kHeading = 95;                // "Firmware aktualisieren auf ..."
constexpr int kReplaceMonitor = 96;         // "BIOS und MONITOR immer ersetzen"
constexpr int kReplacePcmcia = 97;          // "PCMCIA Software immer ersetzen"
constexpr int kAllSelected = 98;            // "Alle ausgewählten Terminals:"
constexpr int kFileLabel = 116;             // "Datei:"
constexpr int kTerminalLabel = 117;         // "Terminal:"
constexpr int kNoTerminalSelected = 119;    // "Es sind keine Terminals ausgewählt."
constexpr int kCancelFailed = 120;          // "Abbruch der Terminalupdates ist fehlgeschlagen."
constexpr int kCancelWhenFinished = 121;    // "Wenn die laufenden Firmwareupdates beendet sind, ..."
constexpr int kStartUpdate = 141;           // "Update starten"
constexpr int kFirmwareLanguage = 142;      // "Sprache der Firmware:"

} // namespace

FirmwareUpdate::FirmwareUpdate(ActionOwner& owner, std::vector<std::size_t> selection)
    : owner_(owner), selection_(std::move(selection)) {
    trace("FirmwareUpdate() startet\n");
    const CToolBoxLang& language = owner_.language();
    texts_ = {language.GetText(kHeading),        language.GetText(kFirmwareLanguage),
              language.GetText(kReplaceMonitor), language.GetText(kReplacePcmcia),
              language.GetText(kStartUpdate),    language.GetText(kCancelText),
              language.GetText(kAllSelected),    language.GetText(kFileLabel),
              language.GetText(kTerminalLabel)};
}

FirmwareUpdate::~FirmwareUpdate() {
    trace("~FirmwareUpdate() startet\n");
    if (scheduler_) {
        trace("~FirmwareUpdate() pSched != NULL\n");
        // No terminal starts any more; the running ones finish before the
        // scheduler's destructor returns (its end message is lost).
        scheduler_->CancelSched();
        scheduler_.reset();
        owner_.holdTerminalActions(false);
    } else {
        trace("~FirmwareUpdate() pSched == NULL\n");
    }
}

template <typename Call> void FirmwareUpdate::SlotRelay::forward(Call call) {
    const std::lock_guard lock(mutex_);
    if (view_ != nullptr)
        call(*view_);
}

void FirmwareUpdate::SlotRelay::attach(FirmwareSlots* view) {
    const std::lock_guard lock(mutex_);
    view_ = view;
}

void FirmwareUpdate::SlotRelay::slotLabel(int slot, const std::string& text) {
    forward([&](FirmwareSlots& view) { view.slotLabel(slot, text); });
}

void FirmwareUpdate::SlotRelay::slotValue(int slot, ProgressValue kind, std::uint64_t kibibytes) {
    forward([&](FirmwareSlots& view) { view.slotValue(slot, kind, kibibytes); });
}

void FirmwareUpdate::SlotRelay::slotHeader(int slot, const std::string& text) {
    forward([&](FirmwareSlots& view) { view.slotHeader(slot, text); });
}

void FirmwareUpdate::SlotRelay::slotMessage(int slot, const std::string& text) {
    forward([&](FirmwareSlots& view) { view.slotMessage(slot, text); });
}

void FirmwareUpdate::SlotRelay::slotTerminal(int slot, const std::string& text) {
    forward([&](FirmwareSlots& view) { view.slotTerminal(slot, text); });
}

void FirmwareUpdate::SlotRelay::slotFileCount(int slot, FileCountValue kind, int files) {
    forward([&](FirmwareSlots& view) { view.slotFileCount(slot, kind, files); });
}

void FirmwareUpdate::SlotRelay::advanceOverall() {
    forward([](FirmwareSlots& view) { view.advanceOverall(); });
}

void FirmwareUpdate::attachView(FirmwareUpdateView& view) {
    view_ = &view;
    slots_.attach(&view);
}

void FirmwareUpdate::detachView() {
    slots_.attach(nullptr);
    view_ = nullptr;
}

void FirmwareUpdate::OnInitDialog() {
    const DepotPaths paths = settings_.depotRoot ? DepotPaths::withRoot(owner_.startDirectory(), *settings_.depotRoot)
                                                 : DepotPaths::below(owner_.startDirectory());
    depot_ = std::make_unique<FirmwareDepot>(paths, owner_.language(), owner_.messageBoxes(), slots_);
    std::vector<FirmwareDepotKind> depots;
    for (std::size_t index : selection_)
        depots.push_back(depotKindOf(owner_.terminalAt(index)));
    const DepotFill fill = depot_->fillVersionLists(depots);
    showAllChoices();
    view_.load()->setOverallRange(static_cast<int>(selection_.size()));
    view_.load()->setCancelEnabled(true);
    const bool usable = fill == DepotFill::Filled;
    // The lists stay: another version may be found.
    view_.load()->setListsEnabled(true);
    view_.load()->setOptionsEnabled(usable);
    view_.load()->setStartEnabled(usable);
}

void FirmwareUpdate::showAllChoices() {
    for (const FirmwareDepotKind depot : {FirmwareDepotKind::TCL, FirmwareDepotKind::Server}) {
        const bool tcl = depot == FirmwareDepotKind::TCL;
        const auto show = [&](FirmwareChoice list, const std::vector<std::string>& entries,
                              const std::string& selected) {
            std::size_t index = 0;
            while (index < entries.size() && entries[index] != selected)
                ++index;
            view_.load()->showChoices(list, entries, index < entries.size() ? index : 0);
        };
        show(tcl ? FirmwareChoice::TclVersion : FirmwareChoice::ServerVersion, depot_->versions(depot),
             depot_->selectedVersion(depot));
        show(tcl ? FirmwareChoice::TclLanguage : FirmwareChoice::ServerLanguage, depot_->languages(depot),
             depot_->selectedLanguage(depot));
    }
}

void FirmwareUpdate::OnSelectChoice(FirmwareChoice list, std::size_t index) {
    if (running())
        return;
    switch (list) {
    case FirmwareChoice::TclVersion:
        depot_->selectVersion(FirmwareDepotKind::TCL, index);
        break;
    case FirmwareChoice::ServerVersion:
        depot_->selectVersion(FirmwareDepotKind::Server, index);
        break;
    case FirmwareChoice::TclLanguage:
        depot_->selectLanguage(FirmwareDepotKind::TCL, index);
        break;
    case FirmwareChoice::ServerLanguage:
        depot_->selectLanguage(FirmwareDepotKind::Server, index);
        break;
    }
    // A new version brings its own language list (or "---" after a failure).
    showAllChoices();
}

void FirmwareUpdate::OnOptions(UpdateOptions options) {
    if (!running())
        depot_->setOptions(options);
}

void FirmwareUpdate::OnStart() {
    if (running())
        return;
    view_.load()->setListsEnabled(false);
    view_.load()->setOptionsEnabled(false);
    view_.load()->setStartEnabled(false);
    view_.load()->setCancelEnabled(true);
    MessageBoxes& boxes = owner_.messageBoxes();
    const CToolBoxLang& language = owner_.language();
    if (selection_.empty())
        boxes.show({kProductCaption, language.GetText(kNoTerminalSelected), MessageIcon::Error});
    try {
        scheduler_ =
            std::make_unique<SchedFirmUpd>(owner_, *this, selection_, *depot_, slots_, std::max(settings_.slotCount, 1));
        owner_.holdTerminalActions(true);
    } catch (const SchedFirmUpd::SchedFirmUpdError& error) {
        boxes.show({kProductCaption, error.text, MessageIcon::Error});
    } catch (...) {
        boxes.show({kProductCaption, language.GetText(kUnknownError), MessageIcon::Error});
    }
}

void FirmwareUpdate::cancelOrEnd() {
    if (scheduler_) {
        const bool failed = scheduler_->CancelSched() != 0;
        owner_.messageBoxes().show({kProductCaption,
                                    owner_.language().GetText(failed ? kCancelFailed : kCancelWhenFinished),
                                    failed ? MessageIcon::Error : MessageIcon::Information});
        return;
    }
    view_.load()->setListsEnabled(false);
    view_.load()->setOptionsEnabled(false);
    view_.load()->setStartEnabled(false);
    view_.load()->setCancelEnabled(false);
    owner_.postIdleMessage();
}

void FirmwareUpdate::OnCancel() {
    trace("FirmwareUpdate::OnCancel()\n");
    cancelOrEnd();
}

void FirmwareUpdate::OnClose() {
    trace("FirmwareUpdate::OnClose()\n");
    cancelOrEnd();
}

bool FirmwareUpdate::QueryTerminate() {
    if (!scheduler_)
        return true;
    cancelOrEnd();
    return false;
}

void FirmwareUpdate::workerEnded(int endCode) {
    trace("FirmwareUpdate::OnSchedFirmUpdEnd(): SchedFirmUpd hat Ende signalisiert %ld\n",
          static_cast<long>(endCode));
    // The view may have gone (the dialog is being destroyed and waits for
    // the scheduler): then nobody needs the message.
    if (FirmwareUpdateView* view = view_.load())
        view->postSchedulerEnd();
}

void FirmwareUpdate::OnSchedFirmUpdEnd() {
    if (!scheduler_)
        return;
    waitonthreadend(SchedFirmUpd::threadHandle(), "FirmwareUpdate::waitonthreadend()");
    outcomes_ = scheduler_->outcomes();
    allSucceeded_ = scheduler_->allSucceeded();
    scheduler_.reset();
    trace("FirmwareUpdate::OnSchedFirmUpdEnd(): SchedFirmUpd wieder NULL\n");
    owner_.holdTerminalActions(false);
    owner_.postIdleMessage();
}

} // namespace kestrix

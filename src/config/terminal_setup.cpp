// The setup editor: opening, its pages, the WEP settings, Cancel and Close.
#include "config/terminal_setup.h"

#include "config/setup_page_tcl.h"
#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/trace.h"
#include "terminal/action_owner.h"
#include "terminal/terminal.h"

#include <chrono>

namespace kestrix {

namespace {

constexpr int kTitle = 275;         // "Setup"
constexpr int kLoadFile = 276;      // "Datei einlesen"
constexpr int kSaveFile = 277;      // "Datei speichern"
constexpr int kDefaults = 278;      // "Alle Werte auf die Voreinstellungen zurücksetzen."
constexpr int kCancelQuestion = 279; // "Sie wollen den laufenden Setup abbrechen?"
constexpr int kPleaseWait = 54;     // "Bitte warten..."

} // namespace

std::int64_t systemSetupClock() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

CTerminalSetup::CTerminalSetup(ActionOwner& owner, std::size_t listIndex, UserParam block,
                               std::string actualVersion, int grade, const LanInterfaces& lanInterfaces, SetupClock clock, SetupSummerTime::Today today)
    : owner_(owner), listIndex_(listIndex), userParam_(std::move(block)),
      context_{owner.language(), owner.messageBoxes(), owner.terminalAt(listIndex), grade,
               std::move(actualVersion), lanInterfaces},
      clock_(std::move(clock)) {
    owner_.setWaitCursor(true);
    userParam_.copyUserParamOut(workingCopy_.bytes());
    asFetched_ = workingCopy_;
    const SetupPageParts parts{context_, asFetched_, keys_,
                               {userParam_.getPassword(1), userParam_.getPassword(2), userParam_.getPassword(3)},
                               std::move(today),
                               owner.terminalAt(listIndex).WiegandInterface ? WiegandInterface::Present
                                                                            : WiegandInterface::Absent};
    for (const SetupPageRow& row : setupPageRows()) {
        if (!row.shown(context_))
            continue;
        pages_.push_back({&row, row.make(parts)});
        tabs_.push_back({row.tab, text(row.label)});
    }
    getAllPages();
    owner_.setWaitCursor(false);
}

CTerminalSetup::~CTerminalSetup() = default;

void CTerminalSetup::attachView(SetupEditorView& view) {
    view_ = &view;
    view_->showPages(tabs_);
}

std::string CTerminalSetup::title() const {
    return text(kTitle) + " " + context_.terminal.SerialNumber;
}

std::string CTerminalSetup::loadButtonText() const {
    return text(kLoadFile);
}

std::string CTerminalSetup::saveButtonText() const {
    return text(kSaveFile);
}

std::string CTerminalSetup::defaultsButtonText() const {
    return text(kDefaults);
}

CTerminalSetup::ShownPage* CTerminalSetup::shown(SetupTab tab) {
    for (ShownPage& page : pages_)
        if (page.row->tab == tab)
            return &page;
    return nullptr;
}

SetupPage* CTerminalSetup::page(SetupTab tab) {
    ShownPage* page = shown(tab);
    return page ? page->page.get() : nullptr;
}

void CTerminalSetup::getAllPages() {
    for (ShownPage& page : pages_)
        page.page->Get(workingCopy_);
}

void CTerminalSetup::refreshPages() {
    getAllPages();
    if (view_)
        view_->refreshPages();
}

SetWepkey CTerminalSetup::wepDialog() const {
    return SetWepkey(context_.language, context_.messageBoxes, context_.terminal, wep_);
}

void CTerminalSetup::wepDialogEnded(const SetWepkey& dialog, bool taken) {
    if (!taken) {
        trace("SetWepkey not ok\n");
        return;
    }
    trace("SetWepkey is ok\n");
    wep_ = dialog.settings();
    packetIni_ = dialog.packetIni();
    wepChanged_ = true;
    trace("packet.ini:\n%s\n", packetIni_.c_str());
}

bool CTerminalSetup::askToEnd() {
    return message(text(kCancelQuestion), MessageIcon::Exclamation, MessageButtons::YesNo) == MessageAnswer::Yes;
}

bool CTerminalSetup::OnCancel() {
    if (running_ || ended_ || !askToEnd())
        return false;
    end();
    return true;
}

bool CTerminalSetup::OnClose() {
    trace("CTerminalSetup::OnClose entered\n");
    return OnCancel();
}

bool CTerminalSetup::QueryTerminate() {
    if (ended_)
        return true;
    if (running_) {
        // OK's write and wait run on a worker that uses the editor to its end.
        message(text(kPleaseWait), MessageIcon::Information);
        return false;
    }
    // The owner ends the editor itself: no idle message.
    ended_ = askToEnd();
    return ended_;
}

void CTerminalSetup::end() {
    ended_ = true;
    owner_.postIdleMessage();
}

MessageAnswer CTerminalSetup::message(const std::string& text, MessageIcon icon, MessageButtons buttons) {
    return context_.messageBoxes.show({kProductCaption, text, icon, buttons, 0});
}

std::string CTerminalSetup::text(int id) const {
    return context_.language.GetText(id);
}

} // namespace kestrix

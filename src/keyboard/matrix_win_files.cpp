// The keyboard editor's files: loading and saving local files, fetching the
// terminal's file and sending it back with the terminal's restart.
#include "keyboard/keyb_local_file.h"
#include "keyboard/keyboard_transfer.h"
#include "keyboard/matrix_win.h"
#include "messages/toolbox_lang.h"
#include "platform/file_replacement.h"
#include "platform/trace.h"
#include "terminal/action_owner.h"
#include "terminal/terminal.h"


namespace kestrix {

namespace {

constexpr int kXmlFilter = 162;     // "XML-Dateien (*.xml)"
constexpr int kWrongSize = 164;     // "Tastaturdatei hat die falsche Größe."
constexpr int kUnknownFormat = 165; // "Tastaturdatei hat ein unbekanntes Format."
constexpr int kNotSavedLocally = 166;
constexpr int kWaitingForStart = 173;

// The local file's group in SaveKeybFile.
constexpr int kLocalFile = -1;

} // namespace

void Matrix_Win::showLoaded(bool loaded, const std::string& source) {
    if (loaded) {
        titleFile_ = source;
    } else {
        message(owner_.language().GetText(kUnknownFormat), MessageIcon::Exclamation);
        setDefaultLayout();
    }
    changed_ = false;
    showLayout();
}

void Matrix_Win::OnButtonFileLoad() {
    trace("Matrix_Win::OnButtonFileLoad() start\n");
    if (!mayDiscardChanges())
        return;
    std::optional<std::string> path;
    if (MatrixWinView* view = view_.load())
        path = view->chooseFileToLoad(owner_.language().GetText(kXmlFilter));
    if (!path)
        return;
    const KeybFileRefusal refusal = loadLocalKeybFile(*path, *file_);
    if (refusal == KeybFileRefusal::CannotOpen || refusal == KeybFileRefusal::WrongSize) {
        message(owner_.language().GetText(keybRefusalMessageId(refusal)), MessageIcon::Exclamation);
        return;
    }
    trace("Matrix_Win::OnButtonFileLoad() read done, file len: %d\n",
          static_cast<int>(file_->contents().size()));
    titleSource_ = TitleSource::LocalFile;
    showLoaded(refusal == KeybFileRefusal::None, *path);
    trace("Matrix_Win::OnButtonFileLoad() end\n");
}

void Matrix_Win::OnButtonFileSave() {
    trace("Matrix_Win::OnButtonFileSave() start\n");
    std::optional<std::string> path;
    if (MatrixWinView* view = view_.load())
        path = view->chooseFileToSave(owner_.language().GetText(kXmlFilter));
    if (!path)
        return;
    const std::size_t length = file_->SaveKeybFile(kLocalFile);
    const std::span<const std::uint8_t> bytes = file_->contents().first(length);
    // The file is replaced as a whole (an existing one stays until the new
    // one is complete; a symbolic link or a special file is not written through).
    const std::string failure =
        length == 0 ? std::string("no file was built") : replaceFileContents(*path, bytes, FileSecrecy::FollowUmask);
    if (!failure.empty()) {
        trace("Matrix_Win::OnButtonFileSave() write failed: %s\n", failure.c_str());
        message(owner_.language().GetText(kNotSavedLocally), MessageIcon::Exclamation);
        return;
    }
    trace("Matrix_Win::OnButtonFileSave() write done\n");
    changed_ = false;
    // The file now shown is the one written, and a written file is never verified.
    file_->layout().verification = Verification::NotVerified;
    titleSource_ = TitleSource::LocalFile;
    titleFile_ = *path;
    showTitle();
}

void Matrix_Win::OnButtonTermLoad() {
    trace("Matrix_Win::OnButtonTermLoad() start\n");
    // The terminal's layout replaces the one shown as a local file's does.
    if (!mayDiscardChanges())
        return;
    Terminal& source = terminal();
    owner_.setWaitCursor(true);
    KeyboardFetch fetched = fetchKeyboardFile(source);
    owner_.setWaitCursor(false);
    if (fetched.result != KeyboardFetchResult::Fetched) {
        message(keyboardFetchMessage(owner_.language(), fetched.result), MessageIcon::Exclamation);
        showLayout();
        return;
    }
    if (!file_->setContents(fetched.bytes)) {
        message(owner_.language().GetText(kWrongSize), MessageIcon::Exclamation);
        showLayout();
        return;
    }
    titleSource_ = TitleSource::Terminal;
    showLoaded(file_->LoadKeybFile(fetched.bytes.size()), source.KeyboardFile);
    trace("Matrix_Win::OnButtonTermLoad() end\n");
}

void Matrix_Win::showSendStep(KeyboardSendStep step) {
    const std::string text = step == KeyboardSendStep::WaitingForStart
                                 ? owner_.language().GetText(kWaitingForStart)
                                 : std::string();
    toView([&](MatrixWinView& view) { view.showProgress(text); });
}

void Matrix_Win::OnButtonTermSave() {
    trace("Matrix_Win::OnButtonTermSave() start\n");
    Terminal& target = terminal();
    if (keybSaveFormOfGroup(target.PlatformGroup) == KeybSaveForm::None) {
        message(owner_.language().languageIndex() == CToolBoxLang::kGerman
                    ? "Für diese Terminalplattform gibt es kein Format der Tastaturdatei."
                    : "There is no keyboard file format for this terminal platform.",
                MessageIcon::Exclamation);
        return;
    }
    owner_.setWaitCursor(true);
    const std::size_t length = file_->SaveKeybFile(target.PlatformGroup);
    const std::vector<std::uint8_t> bytes(file_->contents().begin(),
                                          file_->contents().begin() + static_cast<std::ptrdiff_t>(length));
    const KeyboardRestart restart = KeyboardRestart::ResetAndWait;
    const KeyboardSendResult result =
        sendKeyboardFile(target, bytes, restart, [this](KeyboardSendStep step) { showSendStep(step); });
    toView([](MatrixWinView& view) { view.showProgress(std::string()); });
    owner_.setWaitCursor(false);
    // The layout is on the terminal now (whatever its restart did); a file
    // that did not get there leaves the layout unsaved.
    if (result != KeyboardSendResult::NotSent)
        changed_ = false;
    message(keyboardSendMessage(owner_.language(), result),
            result == KeyboardSendResult::Installed ? MessageIcon::Information : MessageIcon::Exclamation);
}

} // namespace kestrix

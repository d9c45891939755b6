// The keyboard layout button of the main window: its checks and the keyboard
// editor it opens in the detail pane.
#include "keyboard/matrix_win.h"
#include "mainwindow/main_dialog.h"
#include "platform/trace.h"
#include "terminal/product_table.h"
#include "terminal/terminal.h"

#include <exception>

namespace kestrix {

namespace {

constexpr int kAcmKeyboardFixed =
    57; // "Die Tastatur eines Zutrittskontrollmanagers kann nicht verändert werden."
constexpr int kServerKeyboardFixed = 58; // "Die Tastatur des TALMO Servers kann nicht verändert werden."
constexpr int kNoMatrixKeyboard =
    59; // "Das Terminal hat keine Matrix-Touch-Tastatur, die verändert werden kann."
constexpr int kContinueAnyway = 64; // "Wollen Sie trotzdem fortfahren?"

} // namespace

void CToolBoxDlg::OnButtonKeyb() {
    trace("OnButtonKeyb() startet\n");
    const std::optional<std::size_t> index = oneSelectedTerminal();
    if (!index)
        return;
    Terminal& terminal = list_.at(*index);
    if (refusedInMonitorMode(terminal))
        return;
    if (terminal.TclKind == tcl_kind::Acm) {
        message(language_->GetText(kAcmKeyboardFixed), MessageIcon::Error);
        return;
    }
    if (terminal.TclKind == tcl_kind::Server) {
        message(language_->GetText(kServerKeyboardFixed), MessageIcon::Error);
        return;
    }
    view_.setWaitCursor(true);
    const KeyboardKind kind = terminal.getKeyboardType() ? KeyboardKind::Matrix : KeyboardKind::Other;
    view_.setWaitCursor(false);
    if (kind == KeyboardKind::Other &&
        message(language_->GetText(kNoMatrixKeyboard) + "\n" + language_->GetText(kContinueAnyway),
                MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    if (!clearDetailPane())
        return;
    try {
        auto editor = std::make_unique<Matrix_Win>(*this, *index, kind);
        Matrix_Win& shown = *editor;
        view_.showKeyboardEditor(shown);
        openDetailDialog(std::move(editor), DetailContents::KeyboardEditor, index);
        shown.OnInitDialog();
    } catch (const std::exception&) {
        trace("Create Keyboard failed\n");
    }
}

} // namespace kestrix

#pragma once

#include "keyboard/keyb_file.h"
#include "keyboard/matrix_win_view.h"
#include "platform/message_box.h"
#include "platform/pane_dialog.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrix {

class ActionOwner;
class CToolBoxLang;
class Terminal;
enum class KeyboardSendStep;
enum class KeyboardSendResult;

// Whether the terminal has a matrix touch keyboard (EEPROM keyboard type "8").
enum class KeyboardKind { Matrix, Other };

// The labels of the editor's controls in the user's language.
struct MatrixWinTexts {
    std::string loadFile;     // "Datei laden"
    std::string fetch;        // "Aus Terminal lesen"
    std::string saveAs;       // "Datei speichern unter"
    std::string send;         // "In Terminal schreiben"
    std::string clear;        // "löschen"
    std::string character;    // "Zeichen"
    std::string idRevision;   // "<id>.<revision>:"
    std::string description;  // "Beschreibung:"
    std::string sideFields;   // "Tastaturfelder seitlich vom Display"
    std::string keySelection; // "Tastenauswahl", the palette's frame
    std::string keyboardArea; // "Tastaturfeld", the cells' frame
    std::string help;         // "Hilfe"
    std::string f17Notice;    // "Hinweis zu F17/F18"
    std::string ok;           // "OK"
    std::string cancel;       // "Abbrechen"
};

// The keyboard editor `Matrix_Win` in the detail pane: the layout of one
// terminal's matrix touch keyboard in 8 x 8 cells, a palette of the key
// table's keys, the display's place for orientation, and the layout's three
// texts. It loads and saves local files, fetches the terminal's file and
// sends it back (then restarts the terminal), asks before a changed layout is
// left, and shows its help and the F17 notice.
//
// Fetching and sending block for seconds (a send with its reset up to about a
// minute): the view runs OnButtonTermLoad and OnButtonTermSave on a worker;
// everything else runs on the view's thread. It draws nothing itself.
class Matrix_Win : public PaneDialog {
public:
    Matrix_Win(ActionOwner& owner, std::size_t terminalIndex, KeyboardKind kind);
    ~Matrix_Win() override;

    // The view attaches itself before OnInitDialog and detaches before it goes.
    void attachView(MatrixWinView& view);
    void detachView();
    const MatrixWinTexts& texts() const { return texts_; }
    // Every key the palette offers, in key table order.
    static std::vector<PaletteKey> paletteKeys();

    // The buffer, the EEPROM's keyboard and display types, and the layout:
    // fetched from a matrix keyboard's terminal, else the default one.
    void OnInitDialog();

    // A palette key by its control number; Clear selects no key.
    void OnPaletteKey(int controlNumber);
    void OnButtonClear();
    // Puts the selected key into the cell.
    void OnCell(int row, int column);
    void OnDisplayType(int index);
    void OnSideFields(bool checked);
    // The three text fields as the user typed them (UTF-8). A text that
    // ISO-8859-1 cannot hold is refused with a message and shown as it was.
    void OnInfoTexts(const std::string& id, const std::string& revision, const std::string& description);

    void OnButtonFileLoad();
    void OnButtonFileSave();
    // On a worker: the terminal's file.
    void OnButtonTermLoad();
    // On a worker: the file for the terminal's platform group, then its restart.
    void OnButtonTermSave();
    void OnButtonHelp();
    void OnButtonKeyF17();
    void OnOK();
    void OnCancel();
    bool QueryTerminate() override;

    // For the view's tests and the command line's checks.
    const KeyboardLayout& layout() const;
    KeyIndex selectedKey() const { return selected_; }
    bool changed() const { return changed_; }
    int displayType() const { return displayType_; }
    // The outline for a display type; side: the fields beside the display.
    static DisplayOutline displayOutline(int displayType, SideFields side);

private:
    Terminal& terminal();
    // Asks question 161 when the layout is changed; true to go on.
    bool mayDiscardChanges();
    MessageAnswer message(const std::string& text, MessageIcon icon,
                          MessageButtons buttons = MessageButtons::Ok);
    // After a file was loaded (or not: an unknown format gives the default
    // layout): the layout, the title with the source, no changed mark.
    void showLoaded(bool loaded, const std::string& source);
    void setDefaultLayout();
    // The cells, the texts and the title.
    void showLayout();
    void showCells();
    void showSelection();
    void showDisplay();
    void showTitle();
    void showSendStep(KeyboardSendStep step);
    void showSendResult(KeyboardSendResult result);
    // Calls the view if one is attached.
    template <typename Call> void toView(Call call) {
        if (MatrixWinView* view = view_.load())
            call(*view);
    }

    ActionOwner& owner_;
    const std::size_t terminalIndex_;
    const KeyboardKind kind_;
    MatrixWinTexts texts_;
    std::atomic<MatrixWinView*> view_ = nullptr;
    std::unique_ptr<KeybFile> file_;
    KeyIndex selected_ = kNoKey;
    bool changed_ = false;
    int displayType_ = 0;
    SideFields sideFields_ = SideFields::NotOffered;
    // What the title line names: the default layout, a local file or the
    // terminal's file.
    enum class TitleSource { Default, LocalFile, Terminal };
    TitleSource titleSource_ = TitleSource::Default;
    std::string titleFile_;
};

// The text of a key's description: the key table row's message-table entry.
std::string keyDescription(const CToolBoxLang& language, KeyIndex key);

} // namespace kestrix

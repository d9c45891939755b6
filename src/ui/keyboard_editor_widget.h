#pragma once

#include "keyboard/matrix_win.h"

#include <QWidget>

#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrix {

// The keyboard editor in the detail pane: the title line, the 8 x 8 cells
// (38 pixels each) with the display's outline over them, the display type
// list and the side-fields box, the selected key's two information fields,
// the layout's texts, the file and terminal buttons, help, the F17 notice,
// OK and Cancel, and below them the palette of keys with Clear.
//
// Fetching and sending run on the window's worker through runLong; the
// editor's calls from there are queued to this widget's thread with their
// values, so the worker never waits for the window. It decides nothing: the
// labels, the outline, the texts and every rule are the editor's. It attaches
// itself to the editor when made and detaches before it goes; the frame
// destroys it when the editor has ended.
class KeyboardEditorWidget : public QWidget, public MatrixWinView {
    Q_OBJECT
public:
    using LongOperationRunner = std::function<void(std::function<void()>)>;

    KeyboardEditorWidget(Matrix_Win& editor, LongOperationRunner runLong, QWidget* parent);
    ~KeyboardEditorWidget() override;

    // MatrixWinView: from any thread, queued.
    void showCells(const CellLabels& labels) override;
    void showSelectedKey(const std::string& character, const std::string& description) override;
    void showTitle(const std::string& title) override;
    void showInfoTexts(const std::string& id, const std::string& revision,
                       const std::string& description) override;
    void showDisplayTypes(const std::vector<std::string>& entries, int selected) override;
    void showSideFields(SideFields state) override;
    void showDisplayOutline(const DisplayOutline& outline) override;
    void showProgress(const std::string& text) override;
    // On the widget's thread.
    std::optional<std::string> chooseFileToLoad(const std::string& filter) override;
    std::optional<std::string> chooseFileToSave(const std::string& filter) override;

private:
    QWidget* buildSquare();
    QWidget* buildPalette();
    // Beside the cells: display type, the selected key, the buttons.
    QWidget* buildButtons();
    // Below them: the side-fields box and the layout's texts.
    QWidget* buildInfoFields();
    template <typename Call> void queue(Call call);
    void textsEdited();

    Matrix_Win& editor_;
    LongOperationRunner runLong_;
    QLabel* title_ = nullptr;
    std::array<std::array<QPushButton*, kMatrixColumns>, kMatrixRows> cells_{};
    QFrame* outline_ = nullptr;
    QComboBox* displayTypes_ = nullptr;
    QCheckBox* sideFields_ = nullptr;
    QLabel* character_ = nullptr;
    QLabel* keyDescription_ = nullptr;
    QLineEdit* id_ = nullptr;
    QLineEdit* revision_ = nullptr;
    QLineEdit* description_ = nullptr;
    QLabel* progress_ = nullptr;
};

} // namespace kestrix

#pragma once

#include "keyboard/keyb_file.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace kestrix {

// The labels of the 64 cells; row 0 is the bottom row, column 0 the leftmost.
using CellLabels = std::array<std::array<std::string, kMatrixColumns>, kMatrixRows>;

// The display's place over the keyboard area, in the units of the square
// (38 per cell, 304 across), from its top left corner. Width 0: no display.
struct DisplayOutline {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool operator==(const DisplayOutline&) const = default;
};

// The box "keyboard fields on the side of display": not offered (every product
// but one), or offered unchecked or checked.
enum class SideFields { NotOffered, Unchecked, Checked };

// One key of the palette: the number its control carries (the scan code's low
// byte, plus 100 for 0xE0xx codes and 200 for 0xE1xx codes) and its label.
struct PaletteKey {
    int controlNumber = 0;
    std::string label;
};

// What the keyboard editor shows. The editor's long operations (fetching and
// sending) run on a worker thread and call it from there; a view that draws
// with a toolkit forwards those calls to its user-interface thread. The two
// file choosers are called only from the thread the view runs on. Texts are
// UTF-8.
class MatrixWinView {
public:
    virtual ~MatrixWinView() = default;
    virtual void showCells(const CellLabels& labels) = 0;
    // The information fields: the selected key's label and its description.
    virtual void showSelectedKey(const std::string& character, const std::string& description) = 0;
    virtual void showTitle(const std::string& title) = 0;
    // Identifier, revision and description of the layout.
    virtual void showInfoTexts(const std::string& id, const std::string& revision,
                               const std::string& description) = 0;
    virtual void showDisplayTypes(const std::vector<std::string>& entries, int selected) = 0;
    virtual void showSideFields(SideFields state) = 0;
    virtual void showDisplayOutline(const DisplayOutline& outline) = 0;
    // The progress line of a send; empty when nothing runs.
    virtual void showProgress(const std::string& text) = 0;
    // The open and save dialogs with the filter text ("XML files (*.xml)");
    // nothing when the user cancels.
    virtual std::optional<std::string> chooseFileToLoad(const std::string& filter) = 0;
    virtual std::optional<std::string> chooseFileToSave(const std::string& filter) = 0;
};

} // namespace kestrix

// The default layout of the matrix keyboard and the platform groups' file
// forms: the parts of the keyboard files that the driver image generator
// shares with the program.
#include "keyboard/keyb_file.h"

namespace kestrix {

KeyboardLayout defaultKeyboardLayout() {
    KeyboardLayout layout;
    for (auto& row : layout.matrix)
        row.fill(kNoKey);
    // Row 0 is the bottom row: the digits to the left, F1-F5 to the right.
    layout.matrix[3] = {7, 8, 9, kNoKey, kNoKey, 58, 59, 60};
    layout.matrix[2] = {4, 5, 6, kNoKey, kNoKey, kNoKey, kNoKey, kNoKey};
    layout.matrix[1] = {1, 2, 3, kNoKey, kNoKey, 62, kNoKey, kNoKey};
    layout.matrix[0] = {13, 10, 27, kNoKey, kNoKey, 61, kNoKey, kNoKey};
    layout.id = "---";
    layout.revision = "-";
    layout.description = "---";
    return layout;
}

KeybSaveForm keybSaveFormOfGroup(int platformGroup) {
    switch (platformGroup) {
    case 1:
        return KeybSaveForm::Com;
    case 3:
        return KeybSaveForm::Map;
    case 6:
    case -1:
        return KeybSaveForm::Xml;
    default:
        return KeybSaveForm::None;
    }
}

std::size_t comTableOffset(int row, int column) {
    return kComTableOffset + 16 * static_cast<std::size_t>(7 - row) + static_cast<std::size_t>(7 - column);
}

} // namespace kestrix

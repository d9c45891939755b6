#pragma once

// A keyboard layout and its three file forms: the XML document
// ("terminal-ui"), the 128-byte MAP file and the 741-byte COM file (the
// keyboard driver image with the layout patched in). KeybFile owns the
// 8000-byte file buffer the editor and the command line load from and save
// into; it parses the buffer into a layout (LoadKeybFile) and builds a file
// from the layout (SaveKeybFile), with the validation of XML files.
//
// It reads and writes no files and talks to no terminal: callers put bytes
// into the buffer (setContents) and take them out (contents).
#include "keyboard/key_table.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrix {

inline constexpr int kMatrixRows = 8;
inline constexpr int kMatrixColumns = 8;
inline constexpr std::size_t kKeybBufferSize = 8000;
inline constexpr std::size_t kMapFileSize = 128;
inline constexpr std::size_t kComFileSize = 741;
inline constexpr std::size_t kKeybIdLength = 34;
inline constexpr std::size_t kKeybRevisionLength = 4;
inline constexpr std::size_t kKeybDescriptionLength = 79;
// The COM form's table: 8 rows of 16 bytes from this offset, top row first.
inline constexpr std::size_t kComTableOffset = 48;

// Row 0 is the bottom row, row 7 the top row; column 0 the leftmost.
using KeyMatrix = std::array<std::array<KeyIndex, kMatrixColumns>, kMatrixRows>;

// Whether an XML file's validate element matched.
enum class Verification { NotVerified, Verified };

// The form a loaded buffer had.
enum class KeybFileForm { None, Xml, Map, Com };

// The platform group's file form when sending to a terminal: 1 COM, 3 MAP,
// 6 (and -1, the local file) XML; every other group has none.
enum class KeybSaveForm { Com, Map, Xml, None };
KeybSaveForm keybSaveFormOfGroup(int platformGroup);

// The layout as the editor holds it. The texts are ISO-8859-1, at most
// 34, 4 and 79 characters.
struct KeyboardLayout {
    KeyMatrix matrix{};
    std::string id;
    std::string revision;
    std::string description;
    Verification verification = Verification::NotVerified;
};

// The default layout: digits, BACKSPACE, ENTER and F1-F5 in the lower left
// and right; identifier and description "---".
KeyboardLayout defaultKeyboardLayout();

class KeybFile {
public:
    KeybFile();

    // Puts bytes into the buffer; false (buffer unchanged) for more than
    // kKeybBufferSize bytes.
    bool setContents(std::span<const std::uint8_t> bytes);
    // The first `length` bytes of the buffer (the last file built or put).
    std::span<const std::uint8_t> contents() const;

    // Parses the first `length` bytes of the buffer into layout(). False for
    // an XML document that is not valid and for a non-XML buffer of neither
    // 128 nor 741 bytes (the layout is then unchanged).
    bool LoadKeybFile(std::size_t length);
    // Builds the file of a platform group (-1: the local XML file) from
    // layout() into the buffer; its length, 0 when the group has no form.
    std::size_t SaveKeybFile(int platformGroup);

    KeyboardLayout& layout() { return layout_; }
    const KeyboardLayout& layout() const { return layout_; }
    // The form of the last buffer loaded.
    KeybFileForm loadedForm() const { return loadedForm_; }

private:
    std::vector<std::uint8_t> buffer_;
    std::size_t length_ = 0;
    KeyboardLayout layout_;
    KeybFileForm loadedForm_ = KeybFileForm::None;
};

// The fixed 741-byte COM image the COM form is patched into (the table area
// at offset 48 holds the default layout, other table bytes are 0xBF).
std::span<const std::uint8_t, kComFileSize> keyboardDriverImage();
// The COM file offset of a cell's code: 48 + 16 * (7 - row) + (7 - column).
std::size_t comTableOffset(int row, int column);

} // namespace kestrix

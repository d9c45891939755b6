#pragma once

// The key table of the matrix touch keyboard: the 105 keys a cell can hold,
// each with its button label, its name in the XML form, its code in the COM
// form, its pair in the MAP form, the message-table entry that describes it
// and the PC scan code by which the editor's palette finds it. A key index is
// a row number; index 104 is "no key".
//
// Rows may share an XML name or a code; every look-up answers the first row
// that matches, so a layout written and read back may hold another row of the
// same name or code. The table is data only: it reads no files.
#include <cstdint>
#include <span>
#include <string_view>

namespace kestrix {

using KeyIndex = std::uint16_t;

inline constexpr std::size_t kKeyTableRows = 105;
inline constexpr KeyIndex kNoKey = 104;

struct KeyTableRow {
    std::string_view label;       // as on the button, up to three characters
    std::string_view xmlName;     // empty: the XML form cannot name the key
    std::uint8_t comCode;         // the byte in the COM form's table
    std::uint8_t mapCharacter;    // the MAP form's pair: character byte ...
    std::uint8_t mapCode;         // ... then code byte
    int descriptionId;            // message-table entry describing the key
    std::uint16_t scanCode;       // PC scan code set 1 (0xE0xx extended keys), 0: none
};

std::span<const KeyTableRow, kKeyTableRows> keyTable();

// The first row whose non-empty XML name equals the name exactly, else kNoKey.
KeyIndex keyByXmlName(std::string_view name);
// The first row whose MAP pair equals both bytes, else kNoKey.
KeyIndex keyByMapPair(std::uint8_t character, std::uint8_t code);
// The first row with this COM code, else kNoKey.
KeyIndex keyByComCode(std::uint8_t code);
// The first row with this scan code, else kNoKey (also for scan code 0).
KeyIndex keyByScanCode(std::uint16_t scanCode);

} // namespace kestrix

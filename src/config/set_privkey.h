#pragma once

#include "config/setup_pending_keys.h"

#include <cstddef>
#include <string>

namespace kestrix {

class CToolBoxLang;
class MessageBoxes;

// The form in which the PIN-code key is typed ("Eingabe in").
enum class PinKeyInput {
    Hexadecimal, // 64 hexadecimal digits
    Base64,      // 44 Base64 characters (standard alphabet, "=" padding)
};

// The key dialog `CSetPrivkey`: takes the 32-byte PIN-code verification key
// as hexadecimal or Base64 text. The length and the characters are checked on
// the text as typed; Base64 text is then decoded strictly and must give
// exactly 32 bytes (misplaced padding or leftover bits count as a wrong
// character, another byte count as a wrong length).
//
// It only takes the key: the editor keeps it until the block is written.
class CSetPrivkey {
public:
    static constexpr std::size_t kFieldLimit = 65;
    static constexpr std::size_t kHexadecimalLength = 64;
    static constexpr std::size_t kBase64Length = 44;

    CSetPrivkey(const CToolBoxLang& language, MessageBoxes& messageBoxes);

    std::string title() const;                     // "Schlüssel PIN-Code Verifikation"
    std::string prompt() const;                    // "Schlüssel für die PIN-Code Verifikation eingeben"
    std::string inputInLabel() const;              // "Eingabe in"
    std::string inputName(PinKeyInput form) const; // "hexadezimal", "Base64"

    // OK with the chosen form and the text: true (after "Schlüssel
    // eingegeben.") when the key was taken; otherwise the reason was shown
    // and the dialog stays open.
    bool OnOK(PinKeyInput form, const std::string& text);
    // The key after a successful OK.
    const PinCodeKey& key() const { return key_; }

private:
    // The message id of what is wrong with the text, or 0 when key_ holds it.
    int readHexadecimal(const std::string& text);
    int readBase64(const std::string& text);

    const CToolBoxLang& language_;
    MessageBoxes& messageBoxes_;
    PinCodeKey key_{};
};

} // namespace kestrix

#pragma once

#include "crypto/aes.h"

#include <string>

namespace kestrix {

class CToolBoxLang;
class MessageBoxes;

// The key dialog `CSetEncrypt` ("Schlüssel erzeugen"): makes a 16-byte key
// from a text the user types (the MD5 of its first 512 characters, the way
// the TCL login makes it), for the host interface or for LBus 1 or 2.
//
// It only makes the key: the editor keeps it in the purpose's slot until the
// block is written, and traces whether the dialog ended with a key.
class CSetEncrypt {
public:
    // The host key, or the key of LBus lbusNumber (1 or 2).
    static CSetEncrypt forHost(const CToolBoxLang& language, MessageBoxes& messageBoxes);
    static CSetEncrypt forLbus(const CToolBoxLang& language, MessageBoxes& messageBoxes, int lbusNumber);

    std::string title() const;   // "Kestrix IPv4+IPv6"
    std::string heading() const; // "Erzeuge einen Schlüssel für die Hostkommunikation", or "... LBus1"
    std::string prompt() const;  // "Bitte Text eingeben, der zur Erzeugung des Schlüssels verwendet wird:"

    // OK with the text: true (after "Es ist ein Schlüssel generiert.") when
    // the key is made and the dialog closes; an empty text is refused with
    // "Geben Sie beliebigen Text ein." and the dialog stays open.
    bool OnOK(const std::string& text);
    // Cancel: "Es wird kein Schlüssel generiert."
    void OnCancel();
    // The key after a successful OK.
    const AesKey& key() const { return key_; }

private:
    CSetEncrypt(const CToolBoxLang& language, MessageBoxes& messageBoxes, int lbusNumber);

    const CToolBoxLang& language_;
    MessageBoxes& messageBoxes_;
    int lbusNumber_; // 0 for the host key
    AesKey key_{};
};

} // namespace kestrix

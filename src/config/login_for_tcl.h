#pragma once

#include "crypto/aes.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrix {

class ActionOwner;
class Terminal;

// The TCL data key made from a text: the MD5 of its first 512 characters
// (bytes, no terminator). The setup editor's key dialog makes it the same way.
AesKey tclKeyFromText(std::string_view text);

// The TCL login `CLoginForTCL`: obtains the 16-byte TCL data key of a
// terminal whose TCL host interface is encrypted, either as the MD5 of the
// text the key was made from, or from the terminal's configuration block once
// a setup password of grade 2 or 3 has been proved against it. Its view shows
// the heading, the text field, "oder" and the password field.
//
// It fetches the block read-only and never writes it; it does not connect.
class CLoginForTCL {
public:
    // The text is read up to this many characters; a setup password has exactly kPasswordLength.
    static constexpr std::size_t kTextLimit = 512;
    static constexpr std::size_t kPasswordLength = 8;

    CLoginForTCL(ActionOwner& owner, Terminal& terminal);

    // "<serial number> verwendet eine Verschlüsselung. ..."
    std::string heading() const;
    std::string textLabel() const;     // "Text, der zur Erzeugung des Schlüssels verwendet wurde:"
    std::string orWord() const;        // "oder"
    std::string passwordLabel() const; // "Setup-Passwort Berechtigungsstufe 2 oder 3:"

    // OK with the two fields: true when the key is known (the dialog closes
    // with OK); otherwise the reason was shown and the dialog stays open.
    bool OnOK(const std::string& text, const std::string& password);
    void OnCancel();
    // The key after a successful OK.
    const AesKey& key() const { return key_; }

private:
    bool keyFromBlock(const std::string& password);

    ActionOwner& owner_;
    Terminal& terminal_;
    AesKey key_{};
};

} // namespace kestrix

#include "config/login_for_tcl.h"

#include "config/user_param.h"
#include "crypto/md5.h"
#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"
#include "platform/trace.h"
#include "terminal/action_owner.h"
#include "terminal/terminal.h"

namespace kestrix {

namespace {

// Message table entries of the login.
constexpr int kHeadingEnd = 405;        // "verwendet eine Verschlüsselung. ..."
constexpr int kTextLabel = 406;         // "Text, der zur Erzeugung des Schlüssels verwendet wurde:"
constexpr int kOr = 407;                // "oder"
constexpr int kPasswordLabel = 408;     // "Setup-Passwort Berechtigungsstufe 2 oder 3:"
constexpr int kWrongPassword = 409;     // "Setup-Passwort falsch eingegeben"
constexpr int kCannotVerify = 410;      // "Das Setup-Passwort konnte nicht verifiziert werden. ..."
constexpr int kNoEncryption = 411;      // "Es gibt keine Verschlüsselung in dieser TCL-Version."
constexpr int kTextOrPassword = 412;    // "Geben Sie bitte Text oder Passwort ein."

} // namespace

AesKey tclKeyFromText(std::string_view text) {
    return md5(text.substr(0, CLoginForTCL::kTextLimit));
}

CLoginForTCL::CLoginForTCL(ActionOwner& owner, Terminal& terminal) : owner_(owner), terminal_(terminal) {}

std::string CLoginForTCL::heading() const {
    return terminal_.SerialNumber + " " + owner_.language().GetText(kHeadingEnd);
}

std::string CLoginForTCL::textLabel() const {
    return owner_.language().GetText(kTextLabel);
}

std::string CLoginForTCL::orWord() const {
    return owner_.language().GetText(kOr);
}

std::string CLoginForTCL::passwordLabel() const {
    return owner_.language().GetText(kPasswordLabel);
}

bool CLoginForTCL::OnOK(const std::string& text, const std::string& password) {
    trace("CLoginForTCL::OnOK\n");
    const auto show = [this](int id, MessageIcon icon) {
        owner_.messageBoxes().show({kProductCaption, owner_.language().GetText(id), icon});
    };
    if (!text.empty()) {
        key_ = tclKeyFromText(text);
        return true;
    }
    if (!password.empty()) {
        // A setup password has eight characters: anything else is refused
        // before the terminal is asked.
        if (password.size() != kPasswordLength) {
            show(kWrongPassword, MessageIcon::Error);
            return false;
        }
        return keyFromBlock(password);
    }
    show(kTextOrPassword, MessageIcon::Information);
    return false;
}

bool CLoginForTCL::keyFromBlock(const std::string& password) {
    const auto show = [this](int id, MessageIcon icon) {
        owner_.messageBoxes().show({kProductCaption, owner_.language().GetText(id), icon});
    };
    UserParam block;
    owner_.setWaitCursor(true);
    const bool read = block.getTerminalUserParam(terminal_) &&
                      block.setUserParamVersion(block.getNewestVersion(), terminal_);
    owner_.setWaitCursor(false);
    if (!read) {
        show(kCannotVerify, MessageIcon::Error);
        return false;
    }
    if (password != block.getPassword(2) && password != block.getPassword(3)) {
        show(kWrongPassword, MessageIcon::Error);
        return false;
    }
    if (!block.getDataKey(key_)) {
        show(kNoEncryption, MessageIcon::Error);
        return false;
    }
    return true;
}

void CLoginForTCL::OnCancel() {
    trace("CLoginForTCL::OnCancel\n");
}

} // namespace kestrix

#include "config/set_encrypt.h"

#include "config/login_for_tcl.h"
#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"

#include <stdexcept>

namespace kestrix {

namespace {

constexpr int kHostHeading = 413; // "Erzeuge einen Schlüssel für die Hostkommunikation"
constexpr int kLbusHeading = 414; // "Erzeuge einen Schlüssel für die Kommunikation auf dem LBus"
constexpr int kPrompt = 415;
constexpr int kInsertText = 416;   // "Geben Sie beliebigen Text ein."
constexpr int kKeyGenerated = 417; // "Es ist ein Schlüssel generiert."
constexpr int kNoKey = 418;        // "Es wird kein Schlüssel generiert."

} // namespace

CSetEncrypt::CSetEncrypt(const CToolBoxLang& language, MessageBoxes& messageBoxes, int lbusNumber)
    : language_(language), messageBoxes_(messageBoxes), lbusNumber_(lbusNumber) {}

CSetEncrypt CSetEncrypt::forHost(const CToolBoxLang& language, MessageBoxes& messageBoxes) {
    return CSetEncrypt(language, messageBoxes, 0);
}

CSetEncrypt CSetEncrypt::forLbus(const CToolBoxLang& language, MessageBoxes& messageBoxes, int lbusNumber) {
    if (lbusNumber != 1 && lbusNumber != 2)
        throw std::out_of_range("no LBus " + std::to_string(lbusNumber));
    return CSetEncrypt(language, messageBoxes, lbusNumber);
}

std::string CSetEncrypt::title() const {
    return kProductCaption;
}

std::string CSetEncrypt::heading() const {
    if (lbusNumber_ == 0)
        return language_.GetText(kHostHeading);
    return language_.GetText(kLbusHeading) + std::to_string(lbusNumber_);
}

std::string CSetEncrypt::prompt() const {
    return language_.GetText(kPrompt);
}

bool CSetEncrypt::OnOK(const std::string& text) {
    if (text.empty()) {
        messageBoxes_.show({kProductCaption, language_.GetText(kInsertText), MessageIcon::Error});
        return false;
    }
    key_ = tclKeyFromText(text);
    messageBoxes_.show({kProductCaption, language_.GetText(kKeyGenerated), MessageIcon::Information});
    return true;
}

void CSetEncrypt::OnCancel() {
    messageBoxes_.show({kProductCaption, language_.GetText(kNoKey), MessageIcon::Information});
}

} // namespace kestrix

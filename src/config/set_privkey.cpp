#include "config/set_privkey.h"

#include "crypto/base64.h"
#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace kestrix {

namespace {

constexpr int kTitle = 419;          // "Schlüssel PIN-Code Verifikation"
constexpr int kPrompt = 420;         // "Schlüssel für die PIN-Code Verifikation eingeben"
constexpr int kInputIn = 421;        // "Eingabe in"
constexpr int kHexadecimal = 422;    // "hexadezimal"
constexpr int kBase64 = 423;         // "Base64"
constexpr int kNoKey = 424;          // "Kein Schlüssel eingegeben."
constexpr int kWrongLength = 425;    // "Länge des Schlüssels fehlerhaft"
constexpr int kWrongCharacter = 426; // "Fehlerhaftes Zeichen im Schlüssel"
constexpr int kKeyEntered = 427;     // "Schlüssel eingegeben."
constexpr int kTaken = 0;

bool isBase64Character(char character) {
    return (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z') ||
           (character >= '0' && character <= '9') || character == '+' || character == '/' || character == '=';
}

} // namespace

CSetPrivkey::CSetPrivkey(const CToolBoxLang& language, MessageBoxes& messageBoxes)
    : language_(language), messageBoxes_(messageBoxes) {}

std::string CSetPrivkey::title() const {
    return language_.GetText(kTitle);
}

std::string CSetPrivkey::prompt() const {
    return language_.GetText(kPrompt);
}

std::string CSetPrivkey::inputInLabel() const {
    return language_.GetText(kInputIn);
}

std::string CSetPrivkey::inputName(PinKeyInput form) const {
    return language_.GetText(form == PinKeyInput::Hexadecimal ? kHexadecimal : kBase64);
}

int CSetPrivkey::readHexadecimal(const std::string& text) {
    if (text.size() != kHexadecimalLength)
        return kWrongLength;
    if (!std::ranges::all_of(
            text, [](char character) { return std::isxdigit(static_cast<unsigned char>(character)); }))
        return kWrongCharacter;
    for (std::size_t index = 0; index < key_.size(); ++index) {
        const char* pair = text.data() + 2 * index;
        std::from_chars(pair, pair + 2, key_[index], 16);
    }
    return kTaken;
}

int CSetPrivkey::readBase64(const std::string& text) {
    if (text.size() != kBase64Length)
        return kWrongLength;
    if (!std::ranges::all_of(text, isBase64Character))
        return kWrongCharacter;
    const Base64Result decoded = decodeBase64(text);
    if (decoded.status != Base64Status::Decoded)
        return kWrongCharacter;
    if (decoded.bytes.size() != key_.size())
        return kWrongLength;
    std::ranges::copy(decoded.bytes, key_.begin());
    return kTaken;
}

bool CSetPrivkey::OnOK(PinKeyInput form, const std::string& text) {
    int problem = kNoKey;
    if (!text.empty())
        problem = form == PinKeyInput::Hexadecimal ? readHexadecimal(text) : readBase64(text);
    if (problem != kTaken) {
        messageBoxes_.show({kProductCaption, language_.GetText(problem), MessageIcon::Error});
        return false;
    }
    messageBoxes_.show({kProductCaption, language_.GetText(kKeyEntered), MessageIcon::Information});
    return true;
}

} // namespace kestrix

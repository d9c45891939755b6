#include "config/setup_wep.h"

#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"
#include "terminal/terminal_fields.h"

#include <algorithm>
#include <cctype>

namespace kestrix {

namespace {

constexpr int kTitle = 382;             // "WEP Einstellungen"
constexpr int kReplaceMask = 386;       // "Bitte '*****' ersetzen."
constexpr int kHexadecimalLength = 387; // "Die hexadezimale Zahl hat eine falsche Länge."
constexpr int kNotHexadecimal = 388;    // "Das ist keine Hexadezimalzahl."
constexpr int kKeyLength = 389;         // "Der Schlüssel hat eine falsche Länge."
constexpr int kSentAtExit = 390;        // "Die WEP Einstellungen werden erst beim Verlassen des Setup ..."
constexpr int kNotModified = 391;       // "Die WEP Einstellungen werden nicht geändert!"
constexpr int kOutOfRange = 401;        // "Der Wert liegt außerhalb des erlaubten Bereichs."
constexpr int kNoProblem = 0;

constexpr std::string_view kHexadecimalPrefix = "0x";
constexpr std::string_view kRuleLine =
    "; ------------------------------------------------------------------------\n";

bool hasControlCharacter(std::string_view text) {
    return std::ranges::any_of(text,
                               [](char character) { return static_cast<unsigned char>(character) < 0x20; });
}

} // namespace

std::string buildPacketIni(const WepSettings& settings, std::string_view stationName) {
    std::string text;
    text += kRuleLine;
    text += "; File: PACKET.INI\n";
    text += "; Configuration parameters file for the WaveLAN IEEE 802.11 Packet Driver.\n";
    text += "; The name of this driver is: WVLAN42.COM.\n";
    text += kRuleLine;
    text += "WaveLAN_Network_Name = ";
    text += settings.networkName.empty() ? std::string("ANY") : settings.networkName;
    text += "\n;Create_IBSS = N\n";
    text += "Station_Name = ";
    text += stationName;
    text += "\nAP_Distance = 1\n"
            "Microwave_Oven_Robustness = Y\n"
            ";Medium_Reservation = 2347\n"
            ";MAC_Address = 02000000cafe\n"
            ";Card_Power_Management = N\n"
            ";Maximum_Sleep_Duration = 100\n"
            ";Receive_All_Multicasts = Y\n";
    text += settings.encryption ? "Enable_Encryption = Y\n" : "Enable_Encryption = N\n";
    const std::string_view key =
        settings.encryption ? std::string_view(settings.key) : SetWepkey::kDefaultWepKey;
    for (char number = '1'; number <= '4'; ++number) {
        text += "Key";
        text += number;
        text += " = ";
        text += key;
        text += '\n';
    }
    text += "Transmit_Key_ID = 1\n"
            ";Driver_Class = 11\n"
            "Novell_Flag = No\n"
            ";Packet_Interrupt = 60\n";
    return text;
}

SetWepkey::SetWepkey(const CToolBoxLang& language, MessageBoxes& messageBoxes, const TerminalFields& terminal,
                     WepSettings current)
    : language_(language), messageBoxes_(messageBoxes), terminal_(terminal), settings_(std::move(current)) {
    values.encryption = settings_.encryption;
    values.networkName = settings_.networkName;
    values.key = settings_.key.empty() ? std::string() : std::string(kStoredKeyMask);
}

std::string SetWepkey::title() const {
    return language_.GetText(kTitle);
}

std::string SetWepkey::stationName() const {
    return terminal_.SerialNumber + " - " + terminal_.ProductName;
}

void SetWepkey::show(int textId, bool failure) const {
    messageBoxes_.show({kProductCaption, language_.GetText(textId),
                        failure ? MessageIcon::Error : MessageIcon::Information});
}

int SetWepkey::keyProblem() const {
    const std::string_view key = values.key;
    if (key == kStoredKeyMask)
        return kReplaceMask;
    if (key.starts_with(kHexadecimalPrefix)) {
        if (key.size() != kHexadecimalPrefix.size() + 10 && key.size() != kHexadecimalPrefix.size() + 26)
            return kHexadecimalLength;
        const std::string_view digits = key.substr(kHexadecimalPrefix.size());
        if (!std::ranges::all_of(digits,
                                 [](char digit) { return std::isxdigit(static_cast<unsigned char>(digit)); }))
            return kNotHexadecimal;
        return kNoProblem;
    }
    if (key.size() != 5 && key.size() != 13)
        return kKeyLength;
    return kNoProblem;
}

bool SetWepkey::OnOK() {
    if (values.networkName.size() > kNetworkNameLimit || hasControlCharacter(values.networkName) ||
        hasControlCharacter(values.key)) {
        show(kOutOfRange, true);
        return false;
    }
    if (values.encryption) {
        if (const int problem = keyProblem(); problem != kNoProblem) {
            show(problem, true);
            return false;
        }
    }
    WepSettings settings = settings_;
    settings.encryption = values.encryption;
    settings.networkName = values.networkName;
    if (values.encryption)
        settings.key = values.key;
    std::string packetIni = buildPacketIni(settings, stationName());
    if (packetIni.size() > kPacketIniLimit) {
        show(kOutOfRange, true);
        return false;
    }
    settings_ = std::move(settings);
    packetIni_ = std::move(packetIni);
    show(kSentAtExit, false);
    return true;
}

void SetWepkey::OnCancel() {
    show(kNotModified, false);
}

} // namespace kestrix

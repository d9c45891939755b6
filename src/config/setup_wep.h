#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrix {

class CToolBoxLang;
class MessageBoxes;
class TerminalFields;

// The WEP settings of a terminal with a wireless LAN card, as the setup
// editor keeps them until OK sends them as packet.ini.
struct WepSettings {
    bool encryption = false;
    std::string networkName; // empty: any network
    std::string key;         // empty: none given yet
};

// The controls of the WEP dialog: a stored key shows as "*****".
struct WepDialogValues {
    bool encryption = false;
    std::string networkName;
    std::string key;
};

// The packet.ini text of the wireless LAN card's driver for these settings
// and station name. Without encryption the four keys are the fixed
// kDefaultWepKey.
std::string buildPacketIni(const WepSettings& settings, std::string_view stationName);

// The WEP dialog `SetWepkey` ("WEP Einstellungen"): encryption on or off, an
// optional network name and one key, checked when encryption is on (a key
// beginning with "0x" has 10 or 26 hexadecimal digits after it, any other 5
// or 13 characters). On OK it builds packet.ini with the station name
// "<serial number> - <product name>"; the text and the 1-byte terminator must
// fit the 1024-byte buffer it is sent from.
//
// It does not send packet.ini: the editor does at OK, when the settings
// changed. Neither name nor key may hold control characters (they would
// break the file's lines).
class SetWepkey {
public:
    static constexpr std::size_t kNetworkNameLimit = 79;
    static constexpr std::size_t kKeyLimit = 29;
    static constexpr std::size_t kPacketIniLimit = 1023;
    static constexpr std::string_view kStoredKeyMask = "*****";
    static constexpr std::string_view kDefaultWepKey = "00000";

    SetWepkey(const CToolBoxLang& language, MessageBoxes& messageBoxes, const TerminalFields& terminal,
              WepSettings current);

    std::string title() const; // "WEP Einstellungen"

    // OK: true (after "Die WEP Einstellungen werden erst beim Verlassen des
    // Setup ins Terminal geladen.") when the settings and packet.ini are
    // taken; otherwise the reason was shown and the dialog stays open.
    bool OnOK();
    // Cancel: "Die WEP Einstellungen werden nicht geändert!"
    void OnCancel();

    // After a successful OK: the settings and the packet.ini text.
    const WepSettings& settings() const { return settings_; }
    const std::string& packetIni() const { return packetIni_; }
    // "<serial number> - <product name>".
    std::string stationName() const;

    WepDialogValues values;

private:
    // The message id of what is wrong with the typed key, or 0.
    int keyProblem() const;
    void show(int textId, bool failure) const;

    const CToolBoxLang& language_;
    MessageBoxes& messageBoxes_;
    const TerminalFields& terminal_;
    WepSettings settings_;
    std::string packetIni_;
};

} // namespace kestrix

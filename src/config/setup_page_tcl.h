#pragma once

#include "config/setup_page.h"
#include "config/setup_pending_keys.h"
#include "config/setup_spin_range.h"

#include <string>

namespace kestrix {

// How the terminal logs in on its host interface.
enum class HostLoginFormat {
    TransmissionRecord, // "Sendedatensatz-Format": the mode byte 1
    RoutingBytes,       // "Routingbytes und ...": the mode byte 2
};

// Where the terminal takes the destination MAC address of its replies.
enum class DestinationMac {
    FromIncomingPacket, // 0
    ByArpRequest,       // 1
};

// The controls of the TCL page as its view binds them. Sizes are shown as the
// user sees them (the block holds them divided by their step).
struct TclPageValues {
    int tableField = 3;      // "Tabellenfeld"
    int saveBuffer = 3;      // "Notpuffer"
    int acknowledgeTime = 2; // "Quittungszeit"
    int totalLabels = 512;   // "Label-Anzahl"
    int terminalAddress = 0; // "Term. Adr."
    bool logicalRecordNumber = false;
    bool bmiField88 = false;
    bool applicationFlag9 = false; // the third check box of the application options
    bool hostLogin = false;        // "Login auf der Hostschnittstelle"
    HostLoginFormat loginFormat = HostLoginFormat::TransmissionRecord;
    std::string loginFormatText;        // up to 8 characters
    std::string recordCharacter;        // one character or empty
    std::string simpleAccessPassword;   // as shown and typed, up to 8 characters
    std::string administrativePassword; // as shown and typed, up to 8 characters
    bool hostEncryption = false;        // "Verschlüsselung der Hostschnittstelle"
    DestinationMac destinationMac = DestinationMac::ByArpRequest;
};

// The "TCL-Parameter" page: the sizes, times and options of the TCL
// application area (`tcl_par_t` at `appl_par`), the host login with its two
// passwords, host encryption with a pending host key, a pending PIN-code key
// and the destination MAC address of replies. Put_TCL says whether the
// changed sizes make the terminal cold-boot; it compares with the block as the
// terminal holds it (the one the editor fetched), not with the working copy,
// so a declined cold boot is asked again at the next OK and a loaded file's
// other sizes ask as well.
//
// It does not ask the cold-boot question (the editor's OK does), does not make
// keys (CSetEncrypt and CSetPrivkey do) and is not shown for servers.
class SetupPageTcl : public SetupPage {
public:
    // The largest table field and save buffer of the platforms with the
    // least memory (groups 1, 2 and 4), and of the others.
    static constexpr int kSmallSizeMaximum = 765;
    static constexpr int kLargeSizeMaximum = 65535;
    static constexpr int kLoginFormatLength = 8;
    static constexpr int kHostPasswordLength = 8;

    // asFetched is the block as the terminal holds it, converted to the
    // newest layout; keys are the editor's pending keys.
    SetupPageTcl(const SetupContext& context, const SetupBlock& asFetched, const SetupPendingKeys& keys);
    // The page keeps a reference to the editor's keys.
    SetupPageTcl(const SetupContext& context, const SetupBlock& asFetched, SetupPendingKeys&& keys) = delete;

    void Get(const SetupBlock& block) override;
    // Writes the page; true when the terminal must cold-boot to take it.
    bool Put_TCL(SetupBlock& block);
    // Where the editor puts every page (saving to a file): Put_TCL, then
    // true, since the page never stops OK. The OK sequence calls Put_TCL
    // itself first and need not call Put again.
    bool Put(SetupBlock& block) override;

    // The view unchecked "Login auf der Hostschnittstelle": the warning that
    // the host passwords are reset too.
    void OnUncheckHostLogin();

    // The ranges of the spin controls (after Get: widened to the shown values).
    SpinRange tableFieldRange() const { return tableFieldRange_; }
    SpinRange saveBufferRange() const { return saveBufferRange_; }
    SpinRange acknowledgeTimeRange() const { return acknowledgeTimeRange_; }
    SpinRange totalLabelsRange() const { return totalLabelsRange_; }
    SpinRange terminalAddressRange() const { return terminalAddressRange_; }

    // The label of the third application option: the message table names
    // none, so it says where the box is stored.
    std::string applicationFlag9Label() const;

    // Which controls the view shows and enables.
    bool hostLoginShown() const;        // block "5.50" and later
    bool hostEncryptionEnabled() const; // grade 3, "5.50" and later
    bool pinCodeKeyEnabled() const;     // grade 3, "6.20" and later
    bool destinationMacShown() const;   // "5.91" and later on a terminal that supports it

    // The table field's and save buffer's largest value on a terminal of this
    // platform group.
    static int sizeMaximum(int platformGroup);
    // Whether a terminal of this platform group lets the block choose the
    // destination MAC address of its replies.
    static bool choosesDestinationMac(int platformGroup);

    TclPageValues values;

private:
    const SetupContext& context_;
    const SetupPendingKeys& keys_;
    // The sizes as the terminal holds them (block units).
    unsigned fetchedTableField_ = 0;
    unsigned fetchedSaveBuffer_ = 0;
    unsigned fetchedLabelClass_ = 0;
    // The host passwords as Get showed them.
    std::string shownSimpleAccessPassword_;
    std::string shownAdministrativePassword_;
    SpinRange tableFieldRange_;
    SpinRange saveBufferRange_;
    SpinRange acknowledgeTimeRange_{2, 230, 2};
    SpinRange totalLabelsRange_{512, 4352, 256};
    SpinRange terminalAddressRange_{0, 99, 1};
};

} // namespace kestrix

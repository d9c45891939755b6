#pragma once

#include "platform/ip_address.h"
#include "platform/message_box.h"
#include "platform/pane_dialog.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrix {

class ActionOwner;
class LanInterfaces;

// The four fields of an IP address control: each holds a number 0..255 or is empty.
using Ipv4Fields = std::array<std::optional<std::uint8_t>, 4>;

// What the user typed into the set-IPv4 dialog.
struct SetIPAddressInput {
    std::string serialNumber; // at most 19 characters typed
    Ipv4Fields address;
    Ipv4Fields mask;
    Ipv4Fields gateway;
    std::string group; // the maintenance group, at most 5 characters
};

// The texts of the set-IPv4 dialog in the user's language.
struct SetIPAddressTexts {
    std::string heading;      // 565
    std::string serialNumber; // 2
    std::string address;      // 4
    std::string mask;         // 6
    std::string gateway;      // 566
    std::string group;        // 14
    std::string cancel;       // 0
};

// How the procedure ended, for the command line's exit code and for tests.
enum class SetIPAddressOutcome {
    Added,     // found under the new address and added to the list
    Reachable, // the terminal answers at its current address (573)
    Refused,   // it refused the parameters (579)
    NotFound,  // not found under the new address (578)
};

// What the procedure shows while it runs: the dialog's status line. Called
// from the thread that runs OnOK.
class SetIPAddressView {
public:
    virtual ~SetIPAddressView() = default;
    virtual void setStatusLine(const std::string& text) = 0;
};

// The dialog `CSetIPAddress`: gives a terminal that cannot be reached at its
// current IPv4 address a new address, net mask and gateway. The terminal is
// addressed by broadcasts on the PC's LAN interfaces only and identified by
// the serial number the user types; after the change it is restarted,
// searched at its new address and added to the terminal list.
//
// The view calls checkInput on its own thread (a refused input keeps the
// dialog open), then OnOK on a worker thread (it takes up to minutes), or
// OnCancel. OnOK and OnCancel end with the owner's idle message. The LAN
// interface table is handed in, not read from the process, so tests can give
// their own; it must outlive the dialog.
class CSetIPAddress : public PaneDialog {
public:
    static constexpr std::size_t kSerialNumberLimit = 19;
    static constexpr std::size_t kGroupLimit = 5;

    // Remembers the maintenance group in force.
    CSetIPAddress(ActionOwner& owner, SetIPAddressView& view, const LanInterfaces& table);

    const SetIPAddressTexts& texts() const { return texts_; }
    // The group field's first text: the maintenance group in force.
    std::string groupText() const;

    // The input checks (messages 567-571 and 15); true when the input is
    // taken for OnOK.
    bool checkInput(const SetIPAddressInput& input);
    // The whole procedure with the input checkInput took.
    SetIPAddressOutcome OnOK();
    void OnCancel();
    // Refuses while OnOK runs (with a short box).
    bool QueryTerminate() override;
    bool running() const { return running_; }

    // Whether the words of a reply after the serial number accept the
    // parameters ("IP", "configuration", "OK").
    bool evalIPAnswer(const std::vector<std::string>& words);
    // Waits for the terminal's start-up, then locates it at the address and
    // adds it to the list; false when it was not found within 46 seconds.
    bool LookupAndAdd(const std::string& address);

private:
    // What became of one set-parameters request (authenticated or not).
    enum class IPAnswer { Accepted, NotAccepted, Unanswered };

    SetIPAddressOutcome procedure();
    std::vector<int> usableRows() const;
    bool reachable(const std::vector<int>& rows);
    // The requests over one row and the search; nothing when the next row is to be tried.
    std::optional<SetIPAddressOutcome> runRow(int row, bool lastRow);
    IPAnswer sendIP(const Ip6Address& broadcast, const std::string& text);
    bool sendReset(const Ip6Address& broadcast, const std::string& text);
    // One kind-2 request for the typed serial number to a broadcast address.
    std::vector<std::string> ask(const Ip6Address& broadcast, const std::string& text);
    // The reply check: sets the start-up wait from the reply's product, then
    // gives the words after the serial number, or nothing when the reply is
    // not from the typed serial number.
    std::optional<std::vector<std::string>> answerWords(const std::string& reply);
    void restoreGroup();
    void showStatus(int messageId);
    void showMessage(int messageId, MessageIcon icon);
    std::string newAddress() const;

    ActionOwner& owner_;
    SetIPAddressView& view_;
    const LanInterfaces& table_;
    SetIPAddressTexts texts_;
    std::uint16_t groupInForce_ = 0;
    SetIPAddressInput input_;
    std::uint16_t typedGroup_ = 0;
    unsigned startupWaitMilliseconds_ = 40000;
    std::atomic<bool> running_ = false;
};

} // namespace kestrix

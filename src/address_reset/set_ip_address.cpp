// The set-IPv4 dialog's logic: the input checks, the broadcasts by serial
// number over every LAN interface (reachability, set parameters, restart)
// and the search for the terminal at its new address.
#include "address_reset/set_ip_address.h"

#include "lan/lan_interfaces.h"
#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/pause.h"
#include "platform/trace.h"
#include "protocol/t7000ip.h"
#include "protocol/t7000ip_key.h"
#include "protocol/word_reader.h"
#include "terminal/action_owner.h"
#include "terminal/terminal.h"

#include <chrono>
#include <exception>

namespace kestrix {

namespace {

constexpr std::int64_t kRequestTimeoutSeconds = 2;
constexpr int kAttempts = 2;
constexpr int kLookupSeconds = 46;
constexpr int kPauseAfterUnansweredIPMilliseconds = 1000;
constexpr int kPauseBetweenRowsMilliseconds = 3000;

// The start-up wait of a restarting terminal, by the product its reply names.
unsigned startupWaitFor(const std::string& reply) {
    if (reply.starts_with("TALMO DCU8e"))
        return 40000;
    if (reply.starts_with("TALMO DCU40"))
        return 24000;
    return 4000;
}

bool complete(const Ipv4Fields& fields) {
    for (const auto& field : fields)
        if (!field)
            return false;
    return true;
}

// The dotted text of a complete address field.
std::string dotted(const Ipv4Fields& fields) {
    return addressToText(Ip6Address::fromIPv4Bytes(*fields[0], *fields[1], *fields[2], *fields[3]),
                         MappedForm::DottedOnly);
}

} // namespace

CSetIPAddress::CSetIPAddress(ActionOwner& owner, SetIPAddressView& view, const LanInterfaces& table)
    : owner_(owner), view_(view), table_(table), groupInForce_(owner.engine().getT7000ipMaintGroup()) {
    const CToolBoxLang& language = owner_.language();
    texts_ = {language.GetText(565), language.GetText(2),  language.GetText(4), language.GetText(6),
              language.GetText(566), language.GetText(14), language.GetText(0)};
}

std::string CSetIPAddress::groupText() const {
    return std::to_string(groupInForce_);
}

bool CSetIPAddress::checkInput(const SetIPAddressInput& input) {
    const std::string serialNumber = input.serialNumber.substr(0, kSerialNumberLimit);
    // The maintenance group dialog's rule: a decimal number from 0 to 65535.
    const std::optional<unsigned> group = CT7000ipKey::parseGroup(input.group);
    int failure = 0;
    if (serialNumber.empty())
        failure = 567;
    else if (serialNumber.find('-') != std::string::npos)
        failure = 568;
    else if (!complete(input.address))
        failure = 569;
    else if (!complete(input.mask))
        failure = 570;
    else if (!complete(input.gateway))
        failure = 571;
    else if (!group)
        failure = 15;
    if (failure != 0) {
        showMessage(failure, MessageIcon::Error);
        return false;
    }
    input_ = input;
    input_.serialNumber = serialNumber;
    typedGroup_ = static_cast<std::uint16_t>(*group);
    trace("CSetIPAddress::OnOK(): mit den Daten:\n"
          "\tSeriennr: %s, Key: %u, IP-Adr: %s, Maske: %s, Gateway: %s\n",
          serialNumber.c_str(), static_cast<unsigned>(typedGroup_), dotted(input.address).c_str(),
          dotted(input.mask).c_str(), dotted(input.gateway).c_str());
    return true;
}

SetIPAddressOutcome CSetIPAddress::OnOK() {
    running_ = true;
    owner_.setWaitCursor(true);
    const SetIPAddressOutcome outcome = procedure();
    // The typed group is in force only while one row's requests go out.
    restoreGroup();
    owner_.setWaitCursor(false);
    running_ = false;
    owner_.postIdleMessage();
    return outcome;
}

void CSetIPAddress::OnCancel() {
    owner_.postIdleMessage();
}

bool CSetIPAddress::QueryTerminate() {
    if (!running_)
        return true;
    showMessage(54, MessageIcon::Information);
    return false;
}

SetIPAddressOutcome CSetIPAddress::procedure() {
    const std::vector<int> rows = usableRows();
    showStatus(572);
    if (reachable(rows)) {
        showMessage(573, MessageIcon::Error);
        return SetIPAddressOutcome::Reachable;
    }
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const bool lastRow = index + 1 == rows.size();
        if (const auto outcome = runRow(rows[index], lastRow))
            return *outcome;
        if (lastRow)
            view_.setStatusLine(std::string());
    }
    showMessage(578, MessageIcon::Error);
    return SetIPAddressOutcome::NotFound;
}

// The rows a broadcast by IPv4 can go out on: up, with an IPv4 address.
std::vector<int> CSetIPAddress::usableRows() const {
    std::vector<int> rows;
    for (int row = 0; row < table_.count(); ++row) {
        const LanInterface& entry = table_.entries()[static_cast<std::size_t>(row)];
        if (entry.bUp && entry.UIPv4Addr != 0)
            rows.push_back(row);
    }
    return rows;
}

bool CSetIPAddress::reachable(const std::vector<int>& rows) {
    for (int row : rows) {
        const std::optional<Ip6Address> broadcast = owner_.engine().getLanIfUBroadcastAddr(table_, row);
        if (!broadcast)
            continue;
        for (const std::string& reply : ask(*broadcast, "echo " + input_.serialNumber))
            if (answerWords(reply))
                return true;
    }
    return false;
}

std::optional<SetIPAddressOutcome> CSetIPAddress::runRow(int row, bool lastRow) {
    T7000ip& engine = owner_.engine();
    const std::optional<Ip6Address> broadcast = engine.getLanIfUBroadcastAddr(table_, row);
    if (!broadcast)
        return std::nullopt;
    if (typedGroup_ != groupInForce_)
        engine.setT7000ipMaintGroup(typedGroup_);
    const std::string interfaceAddress = table_.entries()[static_cast<std::size_t>(row)].IPv4Addr.data();
    const std::string ip = "ip " + input_.serialNumber + " addr=" + newAddress() +
                           " mask=" + dotted(input_.mask) + " gateway=" + dotted(input_.gateway);
    const std::string reset = "reset " + input_.serialNumber;
    const std::string ipWithAuth = engine.addIPBasedAuth(ip, interfaceAddress);
    const std::string resetWithAuth = engine.addIPBasedAuth(reset, interfaceAddress);

    showStatus(574);
    IPAnswer answer = sendIP(*broadcast, ipWithAuth);
    if (answer == IPAnswer::Unanswered)
        trace("CSetIPAddress::OnOK(): IP mit Auth 2x keine Antwort auf Broadcast\n");
    if (answer != IPAnswer::Accepted) {
        answer = sendIP(*broadcast, ip);
        if (answer == IPAnswer::NotAccepted) {
            restoreGroup();
            view_.setStatusLine(std::string());
            showMessage(579, MessageIcon::Error);
            return SetIPAddressOutcome::Refused;
        }
        if (answer == IPAnswer::Unanswered) {
            // Terminals that do not answer this request may still take it.
            trace("CSetIPAddress::OnOK(): IP ohne Auth 2x keine Antwort auf Broadcast\n");
            pause(kPauseAfterUnansweredIPMilliseconds);
        }
    }
    if (answer == IPAnswer::Accepted)
        showStatus(575);

    showStatus(576);
    if (sendReset(*broadcast, resetWithAuth)) {
        trace("CSetIPAddress::OnOK(): Reset Quittung ok\n");
        restoreGroup();
        if (LookupAndAdd(newAddress()))
            return SetIPAddressOutcome::Added;
        showMessage(578, MessageIcon::Error);
        return SetIPAddressOutcome::NotFound;
    }
    trace("CSetIPAddress::OnOK(): 2x keine Antwort auf Reset mit Broadcast\n");
    restoreGroup();
    if (LookupAndAdd(newAddress()))
        return SetIPAddressOutcome::Added;
    if (!lastRow) {
        showStatus(578);
        pause(kPauseBetweenRowsMilliseconds);
    }
    return std::nullopt;
}

CSetIPAddress::IPAnswer CSetIPAddress::sendIP(const Ip6Address& broadcast, const std::string& text) {
    for (int attempt = 0; attempt < kAttempts; ++attempt)
        for (const std::string& reply : ask(broadcast, text))
            if (const auto words = answerWords(reply))
                return evalIPAnswer(*words) ? IPAnswer::Accepted : IPAnswer::NotAccepted;
    return IPAnswer::Unanswered;
}

bool CSetIPAddress::sendReset(const Ip6Address& broadcast, const std::string& text) {
    for (int attempt = 0; attempt < kAttempts; ++attempt)
        for (const std::string& reply : ask(broadcast, text))
            if (const auto words = answerWords(reply); words && !words->empty() && words->front() == "reset.")
                return true;
    return false;
}

std::vector<std::string> CSetIPAddress::ask(const Ip6Address& broadcast, const std::string& text) {
    return owner_.engine().request(broadcast, input_.serialNumber, T7000ip::RequestKind::SearchBySerialNumber,
                                   kRequestTimeoutSeconds, text);
}

std::optional<std::vector<std::string>> CSetIPAddress::answerWords(const std::string& reply) {
    startupWaitMilliseconds_ = startupWaitFor(reply);
    const std::string serialNumber = replySerialNumber(reply);
    if (serialNumber.empty() || serialNumber != input_.serialNumber)
        return std::nullopt;
    std::vector<std::string> words = splitWords(reply);
    words.erase(words.begin(), words.begin() + 4);
    return words;
}

bool CSetIPAddress::evalIPAnswer(const std::vector<std::string>& words) {
    for (std::size_t index = 0; index < words.size(); ++index) {
        if (!words[index].starts_with("IP"))
            continue;
        if (index + 1 >= words.size() || !words[index + 1].starts_with("configuration")) {
            trace("CSetIPAddress::evalIPAnswer(): IP failed\n");
            return false;
        }
        if (index + 2 < words.size() && words[index + 2].starts_with("OK")) {
            trace("CSetIPAddress::evalIPAnswer(): IP accepted\n");
            return true;
        }
        index += 2; // the word after "configuration" is read
    }
    trace("CSetIPAddress::evalIPAnswer(): IP nicht in Antwort enthalten\n");
    return false;
}

bool CSetIPAddress::LookupAndAdd(const std::string& address) {
    trace("CSetIPAddress::LookupAndAdd(%s) startet, warte zunächst %u ms.\n", address.c_str(),
          startupWaitMilliseconds_);
    showStatus(580);
    pause(static_cast<int>(startupWaitMilliseconds_));
    showStatus(581);
    // A deadline on the network's clock: locating takes its own time.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kLookupSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        try {
            owner_.addTerminal(std::make_unique<Terminal>(owner_.engine(), address));
            return true;
        } catch (const Terminal::TerminalError& error) {
            if (error.code == 4)
                showMessage(19, MessageIcon::Error);
            trace("CSetIPAddress::LookupAndAdd(%s): Terminal nicht zu finden, error: %s\n", address.c_str(),
                  error.text.c_str());
        } catch (...) {
            trace("CSetIPAddress::LookupAndAdd(%s): catch unbekannten Fehler\n", address.c_str());
            return false;
        }
    }
    return false;
}

void CSetIPAddress::restoreGroup() {
    T7000ip& engine = owner_.engine();
    if (engine.getT7000ipMaintGroup() != groupInForce_)
        engine.setT7000ipMaintGroup(groupInForce_);
}

void CSetIPAddress::showStatus(int messageId) {
    view_.setStatusLine(owner_.language().GetText(messageId));
}

void CSetIPAddress::showMessage(int messageId, MessageIcon icon) {
    MessageBoxRequest request;
    request.caption = kProductCaption;
    request.text = owner_.language().GetText(messageId);
    request.icon = icon;
    owner_.messageBoxes().show(request);
}

std::string CSetIPAddress::newAddress() const {
    return dotted(input_.address);
}

} // namespace kestrix

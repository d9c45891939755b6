#include "platform/trace.h"
#include "protocol/t7000ip.h"
#include "lan/lan_interfaces.h"
#include "terminal/terminal.h"

namespace kestrix {

namespace {

using Kind = T7000ip::RequestKind;

constexpr std::int64_t kDirectedTimeout = 1;
constexpr std::int64_t kBroadcastTimeout = 3;

// Which broadcast by serial number brought the replies.
enum class BroadcastFamily { IPv4, IPv6 };

const char* operationName(bool echo) {
    return echo ? "Terminal::T7000ipLocateByEcho" : "Terminal::T7000ipLocateByFind";
}

// The address text parsed into an address; a link-local address gets the
// scope of the LAN interface row it is reached through (this system cannot
// send to fe80:: without one).
std::optional<Ip6Address> addressThrough(const std::string& text, int row) {
    std::optional<Ip6Address> address = addressFromText(text);
    if (address && address->isLinkLocal() && address->scopeId == 0 && row >= 0 && row < lanInterfaces().count())
        address->scopeId = lanInterfaces().entries()[static_cast<std::size_t>(row)].IPv6IfIndex;
    return address;
}

} // namespace

void Terminal::T7000ipLocateByFind(const std::string& address, const std::string& name,
                                   const std::string& serialNumber, RouteUse route) {
    locate(LocateRequest::Find, address, name, serialNumber, route);
}

void Terminal::T7000ipLocateByEcho(const std::string& address, const std::string& name,
                                   const std::string& serialNumber, RouteUse route) {
    locate(LocateRequest::Echo, address, name, serialNumber, route);
}

std::string Terminal::requestText(LocateRequest request, const std::string& serialNumber) {
    std::string text = std::string(request == LocateRequest::Echo ? "echo " : "find ") +
                       (serialNumber.empty() ? std::string("*") : serialNumber);
    if (request == LocateRequest::Find)
        return text;
    if (IDBasedAuth)
        return addIDBasedAuth(text);
    if (HostIfAddr.empty())
        setLanIf(lanInterfaces().findLanIfForIPv4(AddrInUse));
    return Engine.addIPBasedAuth(text, HostIfAddr);
}

bool Terminal::acceptReplies(LocateRequest request, const std::vector<std::string>& replies,
                             const std::string& serialNumber, const std::string& tracePrefix) {
    for (const std::string& reply : replies) {
        trace("%s:\n\tAntwort: %s\n", tracePrefix.c_str(), reply.c_str());
        bool accepted = request == LocateRequest::Echo ? parseEchoReply(reply, serialNumber)
                                                       : parseFindReply(reply, serialNumber);
        if (accepted)
            return true;
    }
    return false;
}

bool Terminal::directedRequest(LocateRequest request, const std::string& serialNumber,
                               const std::string& tracePrefix, int interfaceRow, ReplyFilter filter) {
    // A link-local address is sent through the given row (-1: keep its scope).
    if (AddrInUse.isLinkLocal() && interfaceRow >= 0 && interfaceRow < lanInterfaces().count())
        AddrInUse.scopeId = lanInterfaces().entries()[static_cast<std::size_t>(interfaceRow)].IPv6IfIndex;
    const std::string engineSerialNumber = filter == ReplyFilter::BySerialNumber ? serialNumber : std::string();
    auto replies = Engine.request(AddrInUse, engineSerialNumber, Kind::Directed, kDirectedTimeout,
                                  requestText(request, serialNumber));
    return acceptReplies(request, replies, serialNumber, tracePrefix);
}

// What the stages of one T7000ipLocateByFind or T7000ipLocateByEcho share.
struct Terminal::LocateRun {
    LocateRequest request;
    std::string serialNumber;
    RouteUse route;
    const char* operation;
    std::vector<int> upRows; // the rows of the LAN interface table that are up, in table order
    bool echo() const { return request == LocateRequest::Echo; }
};

// The replies to the broadcast by serial number and where they came from.
struct Terminal::SerialNumberBroadcast {
    std::vector<std::string> replies;
    BroadcastFamily family = BroadcastFamily::IPv4;
    int row = -1; // the LAN interface row the replies came through
};

void Terminal::locate(LocateRequest request, const std::string& address, const std::string& name,
                      const std::string& serialNumber, RouteUse route) {
    LocateRun run{request, serialNumber, route, operationName(request == LocateRequest::Echo), {}};
    const LanInterfaces& table = lanInterfaces();
    for (int row = 0; row < table.count(); ++row)
        if (table.entries()[static_cast<std::size_t>(row)].bUp)
            run.upRows.push_back(row);
    trace("%s(IP = %s, DNS = %s, SN = %s) startet\n", run.operation, address.c_str(), name.c_str(),
          serialNumber.c_str());

    if (!address.empty() && locateByAddress(run, address, name))
        return;
    if (!name.empty() && locateByName(run, name))
        return;
    if (!serialNumber.empty() && locateBySerialNumber(run))
        return;
    trace("%s(IP = %s, DNS = %s, SN = %s) keine Antwort vom Netz\n", run.operation, address.c_str(), name.c_str(),
          serialNumber.c_str());
    throw TerminalError(TerminalError::Reason::NoReply);
}

// The directed requests to AddrInUse: find once per interface that is up,
// echo in a number of attempts. A link-local address whose interface is not
// known yet is tried through every interface that is up (this system cannot
// send to fe80:: without one).
bool Terminal::sendDirected(const LocateRun& run, const std::string& prefix, int echoAttempts,
                            ReplyFilter filter) {
    const bool scopeKnown = !AddrInUse.isLinkLocal() || AddrInUse.scopeId != 0;
    if (run.echo() && scopeKnown) {
        for (int attempt = 0; attempt < echoAttempts; ++attempt)
            if (directedRequest(run.request, run.serialNumber, prefix, -1, filter))
                return true;
        return false;
    }
    for (int row : run.upRows)
        if (directedRequest(run.request, run.serialNumber, prefix, scopeKnown ? -1 : row, filter))
            return true;
    return false;
}

// A host route after a directed request went unanswered, when no route was
// added yet and the run allows one: true when the terminal answers through it.
bool Terminal::routeWhenUnanswered(const LocateRun& run) {
    if (RouteAdded || run.route != RouteUse::Allowed)
        return false;
    const int routed = tryToRoute();
    if (routed < 0)
        throw TerminalError(TerminalError::Reason::NoRouting);
    if (routed == 0)
        return false;
    RouteAdded = true;
    return true;
}

bool Terminal::locateByAddress(const LocateRun& run, const std::string& address, const std::string& name) {
    const std::string prefix = std::string(run.operation) + "(IP = " + address + ")";
    trace("%s Versuche\n", prefix.c_str());
    std::optional<Ip6Address> parsed = addressFromText(address);
    if (!parsed)
        throw TerminalError(TerminalError::Reason::NoIPv6Address);
    // The same link-local address again (from IPAddrInUse, which holds no
    // scope): it keeps the interface it was reached through.
    if (parsed->isLinkLocal() && parsed->scopeId == 0 && parsed->sameBytes(AddrInUse))
        parsed->scopeId = AddrInUse.scopeId;
    AddrInUse = *parsed;
    IPAddrInUse = address;
    bool located = sendDirected(run, prefix, 2, ReplyFilter::ByAddress);
    if (!located) {
        trace("%s: keine erwartete/richtige Antwort\n", prefix.c_str());
        located = name.empty() && routeWhenUnanswered(run);
    }
    if (located && run.echo())
        setDNSNameInUse();
    return located;
}

bool Terminal::locateByName(const LocateRun& run, const std::string& name) {
    const std::string prefix = std::string(run.operation) + "(DNS = " + name + ")";
    trace("%s Versuche\n", prefix.c_str());
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::optional<ResolvedAddress> resolved = nameResolver().DNSNameResolution(name);
        if (!resolved) {
            trace("%s: keine Namensauflösung möglich\n", prefix.c_str());
            if (run.serialNumber.empty())
                throw TerminalError(TerminalError::Reason::NoNameResolution);
            continue;
        }
        IPAddrInUse = resolved->text;
        AddrInUse = resolved->address;
        trace("%s: verwendete IP Adresse: '%s'\n", prefix.c_str(), IPAddrInUse.c_str());
        if (sendDirected(run, prefix, 1, ReplyFilter::ByAddress)) {
            if (run.echo())
                setDNSNameInUse();
            return true;
        }
    }
    trace("%s keine Antwort\n", prefix.c_str());
    return false;
}

// A broadcast by serial number on each interface that is up until one brings
// replies: the IPv6 one (find only) where the interface has IPv6, the IPv4 one
// where that brought nothing and it has IPv4.
Terminal::SerialNumberBroadcast Terminal::broadcastBySerialNumber(const LocateRun& run) {
    const LanInterfaces& table = lanInterfaces();
    SerialNumberBroadcast result;
    for (int row : run.upRows) {
        const LanInterface& entry = table.entries()[static_cast<std::size_t>(row)];
        if (!run.echo() && entry.IPv6IfIndex != 0 && Engine.setOutgoingIf(row) == 0) {
            Ip6Address allNodes = *addressFromText("ff02::1");
            allNodes.scopeId = entry.IPv6IfIndex;
            result.replies = Engine.request(allNodes, run.serialNumber, Kind::SearchBySerialNumber,
                                            kBroadcastTimeout, requestText(run.request, run.serialNumber));
            if (!result.replies.empty())
                return {std::move(result.replies), BroadcastFamily::IPv6, row};
        }
        if (entry.UIPv4Addr != 0) {
            result.replies = Engine.request(entry.UIPv4BroadcastAddr_AsIPv6, run.serialNumber,
                                            Kind::SearchBySerialNumber, kBroadcastTimeout,
                                            requestText(run.request, run.serialNumber));
            if (!result.replies.empty())
                return {std::move(result.replies), BroadcastFamily::IPv4, row};
        }
    }
    return result;
}

bool Terminal::locateBySerialNumber(const LocateRun& run) {
    const std::string prefix = std::string(run.operation) + "(SN = " + run.serialNumber + ")";
    trace("%s Versuche\n", prefix.c_str());
    for (int attempt = 0; attempt < 2; ++attempt) {
        const SerialNumberBroadcast broadcast = broadcastBySerialNumber(run);
        for (const std::string& reply : broadcast.replies) {
            trace("%s:\n\tAntwort: %s\n", prefix.c_str(), reply.c_str());
            bool accepted =
                run.echo() ? parseEchoReply(reply, run.serialNumber) : parseFindReply(reply, run.serialNumber);
            if (accepted && answeredAfterBroadcast(run, prefix, broadcast))
                return true;
        }
    }
    trace("%s: keine erwartete/richtige Antwort\n", prefix.c_str());
    return false;
}

// An accepted broadcast reply: the address that answered becomes the address
// in use and gets a directed request, or a host route when that goes
// unanswered.
bool Terminal::answeredAfterBroadcast(const LocateRun& run, const std::string& prefix,
                                      const SerialNumberBroadcast& broadcast) {
    std::string answering = broadcast.family == BroadcastFamily::IPv6 ? IPv6LinkLocal : "::ffff:" + IPv4Addr;
    std::optional<Ip6Address> parsed = addressThrough(answering, broadcast.row);
    if (!parsed)
        throw TerminalError(TerminalError::Reason::NoIPv6Address);
    AddrInUse = *parsed;
    IPAddrInUse = answering;
    trace("%s nach Broadcast mit Seriennummer Antwort von IP Adresse: %s\n", prefix.c_str(), answering.c_str());
    if (run.echo()) {
        setDNSNameInUse();
        if (!IDBasedAuth && HostIfAddr.empty())
            setLanIf(lanInterfaces().findLanIfForIPv4(AddrInUse));
    }
    if (sendDirected(run, prefix, 1, ReplyFilter::BySerialNumber))
        return true;
    trace("%s(SN = %s, IP-Adr = %s): keine Antwort auf gezieltes Echopaket\n", run.operation,
          run.serialNumber.c_str(), answering.c_str());
    return routeWhenUnanswered(run);
}

std::string Terminal::displayAddress(AddressDisplay display) const {
    if (display == AddressDisplay::DottedIPv4 && AddrInUse.isIPv4Mapped())
        return addressToText(AddrInUse, MappedForm::DottedOnly);
    if (!IPv6Addresses.empty())
        return IPv6Addresses.front().Address;
    return IPAddrInUse;
}

void Terminal::setDNSNameInUse() {
    if (AddrInUse.isIPv4Mapped()) {
        trace("Terminal::setDNSNameInUse(): '%s' IPv4 Adresse\n", IPAddrInUse.c_str());
        if (IPAddrInUse.empty())
            return;
        std::string name = nameResolver().lookupConfirmedName(IPAddrInUse);
        if (!name.empty()) {
            DNSNameInUse = name;
            trace("Terminal::setDNSNameInUse(): '%s' hat DNS-Namen '%s'\n", IPAddrInUse.c_str(), name.c_str());
        }
        return;
    }
    if (IPAddrInUse.rfind("fe80", 0) == 0) {
        if (IPv6Addresses.empty()) {
            trace("Terminal::setDNSNameInUse(): '%s' hat keine globale IPv6 Adresse\n", IPAddrInUse.c_str());
            return;
        }
        IPv6AddrEntry& first = IPv6Addresses.front();
        first.Name = nameResolver().lookupConfirmedName(first.Address);
        trace("Terminal::setDNSNameInUse(): '%s' (globale IPv6 Adresse) hat DNS-Namen '%s'\n", first.Address.c_str(),
              first.Name.c_str());
        if (!first.Name.empty())
            DNSNameInUse = first.Name;
        return;
    }
    trace("Terminal::setDNSNameInUse(): '%s' ist eine globale IPv6 Adresse\n", IPAddrInUse.c_str());
    DNSNameInUse = nameResolver().lookupConfirmedName(IPAddrInUse);
}

bool Terminal::findIPBasedAuthentification() {
    trace("Terminal::findIPBasedAuthentification(): startet\n");
    const LanInterfaces& table = lanInterfaces();
    for (int row = 0; row < table.count(); ++row) {
        const LanInterface& entry = table.entries()[static_cast<std::size_t>(row)];
        // A row without IPv4 address has nothing to compute the check value from.
        if (!entry.bUp || entry.UIPv4Addr == 0)
            continue;
        setLanIf(row);
        try {
            T7000ipLocateByEcho(IPAddrInUse.empty() ? std::string() : IPAddrInUse, std::string(), SerialNumber,
                                RouteUse::NotAllowed);
            if (AuthOK) {
                trace("Terminal::findIPBasedAuthentification(): ok\n");
                return true;
            }
        } catch (const TerminalError&) {
            trace("Terminal::findIPBasedAuthentification(): T7000ipLocateByEcho(IP=%s,SN=%s) failed\n",
                  IPAddrInUse.c_str(), SerialNumber.c_str());
        }
        setLanIf(-1);
    }
    return false;
}

bool Terminal::findIDBasedAuthentification() {
    trace("Terminal::findIDBasedAuthentification(): startet\n");
    try {
        T7000ipLocateByEcho(IPAddrInUse, std::string(), SerialNumber, RouteUse::NotAllowed);
    } catch (const TerminalError&) {
        trace("Terminal::findIDBasedAuthentification(): T7000ipLocateByEcho(IP=%s,SN=%s) failed\n",
              IPAddrInUse.c_str(), SerialNumber.c_str());
        return false;
    }
    if (AuthOK)
        trace("Terminal::findIDBasedAuthentification(): ok\n");
    return AuthOK;
}

} // namespace kestrix

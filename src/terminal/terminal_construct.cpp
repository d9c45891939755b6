#include "lan/lan_interfaces.h"
#include "platform/trace.h"
#include "terminal/normalize_address.h"
#include "terminal/terminal.h"

#include <algorithm>
#include <cstring>

namespace kestrix {

namespace {

bool isNoReply(const Terminal::TerminalError& error) { return error.code == 1; }

} // namespace

Terminal::Terminal(T7000ip& engine, const std::string& line) : Engine(engine) {
    try {
        locateFromFileLine(line);
    } catch (...) {
        // No record comes into being: a route added on the way goes again.
        removeOwnRoute();
        throw;
    }
}

Terminal::Terminal(T7000ip& engine, AuthenticationMode mode, const std::string& address,
                   const std::string& serialNumber, int lanIfIndex)
    : Engine(engine) {
    if (address.empty() && serialNumber.empty())
        throw TerminalError(TerminalError::Reason::NoConstructorParameters);
    std::string normalized = normalizeAddress(address);
    try {
        if (mode == AuthenticationMode::IDBased) {
            IDBasedAuth = true;
            setLanIf(-1);
            if (!normalized.empty())
                T7000ipLocateByFind(normalized, std::string(), serialNumber, RouteUse::Allowed);
            else
                T7000ipLocateByFind(std::string(), address, serialNumber, RouteUse::Allowed);
            findIDBasedAuthentification();
        } else {
            IDBasedAuth = false;
            setLanIf(lanIfIndex);
            if (!normalized.empty())
                T7000ipLocateByEcho(normalized, std::string(), serialNumber, RouteUse::Allowed);
            else
                T7000ipLocateByEcho(std::string(), address, serialNumber, RouteUse::Allowed);
        }
    } catch (...) {
        removeOwnRoute();
        throw;
    }
}

void Terminal::locateThenSearch(LocateRequest request, const std::string& address, const std::string& name,
                                const std::string& serialNumber, RouteUse route) {
    if (request == LocateRequest::Find) {
        IDBasedAuth = true;
        T7000ipLocateByFind(address, name, serialNumber, route);
        findIDBasedAuthentification();
        return;
    }
    IDBasedAuth = false;
    T7000ipLocateByEcho(address, name, serialNumber, route);
    if (!knownToSupportAuthentication() || AuthOK || findIPBasedAuthentification())
        return;
    // An echo answer with a security ID comes from a terminal that accepts
    // ID-based requests only. Reached by echo (a directed find got no answer
    // without the host route that is in place now), it is asked the ID-based
    // way, else no command it must authenticate would ever be accepted.
    if (TerminalId != 0) {
        IDBasedAuth = true;
        if (!findIDBasedAuthentification())
            IDBasedAuth = false;
    }
}

void Terminal::runChain(const std::vector<std::pair<LocateRequest, std::array<std::string, 3>>>& chain) {
    for (std::size_t step = 0; step < chain.size(); ++step) {
        const auto& [request, arguments] = chain[step];
        try {
            locateThenSearch(request, arguments[0], arguments[1], arguments[2], RouteUse::Allowed);
            return;
        } catch (const TerminalError& error) {
            if (!isNoReply(error) || step + 1 == chain.size())
                throw;
        }
    }
}

void Terminal::locateFromFileLine(const std::string& line) {
    if (line.empty())
        throw TerminalError(TerminalError::Reason::NoConstructorParameters);
    const auto separators = std::count(line.begin(), line.end(), ';');

    if (separators == 0) {
        trace("Terminal::Terminal(): FileLine: '%s' ist IP-Adresse oder DNS-Namen\n", line.c_str());
        std::string normalized = normalizeAddress(line);
        std::string address = normalized;
        std::string name = normalized.empty() ? line : std::string();
        try {
            locateThenSearch(LocateRequest::Find, address, name, std::string(),
                             normalized.empty() ? RouteUse::Allowed : RouteUse::NotAllowed);
        } catch (const TerminalError& error) {
            if (!isNoReply(error))
                throw;
            try {
                locateThenSearch(LocateRequest::Echo, address, name, std::string(), RouteUse::Allowed);
            } catch (const TerminalError& echoError) {
                if (echoError.code == 4)
                    throw TerminalError(TerminalError::Reason::NoReplyOrNoRouting);
                throw;
            }
        }
        return;
    }

    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t at = line.find(';'); at != std::string::npos; at = line.find(';', start)) {
        fields.push_back(line.substr(start, at - start));
        start = at + 1;
    }

    if (separators == 2) {
        trace("Terminal::Terminal(): FileLine: '%s' mit Format SN;IP;DNS\n", line.c_str());
        try {
            locateThenSearch(LocateRequest::Find, std::string(), std::string(), fields[0], RouteUse::Allowed);
        } catch (const TerminalError& error) {
            if (!isNoReply(error))
                throw;
            locateThenSearch(LocateRequest::Echo, std::string(), std::string(), fields[0], RouteUse::Allowed);
        }
        return;
    }

    if (separators != 7)
        throw TerminalError(TerminalError::Reason::WrongLineFormat);

    // One print, so that no line of another thread lands in its middle.
    trace("Terminal::Terminal(): FileLine: IpField[0]==SN: '%s'\n\t"
          "IpField[1]: '%s', IpField[2]: '%s', IpField[3]: '%s', \n\t"
          "IpField[4]: '%s', IpField[5]: '%s', IpField[6]: '%s', \n",
          fields[0].c_str(), fields[1].c_str(), fields[2].c_str(), fields[3].c_str(), fields[4].c_str(),
          fields[5].c_str(), fields[6].c_str());

    if (!fields[2].empty()) {
        const LanInterfaces& table = lanInterfaces();
        for (int row = 0; row < table.count(); ++row) {
            const LanInterface& entry = table.entries()[static_cast<std::size_t>(row)];
            if (entry.bUp && fields[2] == entry.IPv4Addr.data()) {
                setLanIf(row);
                break;
            }
        }
    }
    const std::string& serialNumber = fields[0];
    // Field 1 in "::ffff:" form; without an IPv4 address that step goes on by
    // name and serial number instead of failing on an empty address.
    const std::string n1 = fields[1].empty() ? std::string() : "::ffff:" + fields[1];
    using Step = std::pair<LocateRequest, std::array<std::string, 3>>;
    constexpr auto Find = LocateRequest::Find;
    constexpr auto Echo = LocateRequest::Echo;
    if (!fields[4].empty()) {
        runChain({Step{Find, {fields[4], fields[6], serialNumber}}, Step{Find, {n1, fields[3], serialNumber}},
                  Step{Find, {fields[5], std::string(), serialNumber}}});
    } else if (!fields[1].empty() && !fields[2].empty()) {
        runChain({Step{Echo, {n1, fields[3], serialNumber}}, Step{Find, {fields[5], std::string(), serialNumber}}});
    } else if (!fields[1].empty()) {
        runChain({Step{Find, {n1, fields[3], serialNumber}}, Step{Find, {fields[5], std::string(), serialNumber}},
                  Step{Echo, {n1, fields[3], serialNumber}}});
    } else if (!serialNumber.empty()) {
        runChain({Step{Find, {fields[5], std::string(), serialNumber}}});
    }
}

} // namespace kestrix

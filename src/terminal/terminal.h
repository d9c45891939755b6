#pragma once

#include "platform/worker_thread.h"
#include "terminal/terminal_fields.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace kestrix {

class T7000ip;

// Whether locating a terminal may add a host route to it.
enum class RouteUse { Allowed, NotAllowed };

// How a terminal accepts authenticated requests.
enum class AuthenticationMode { IPBased, IDBased };

// How displayAddress writes an IPv4 terminal's address.
enum class AddressDisplay {
    DottedIPv4, // the dotted IPv4 address when the address in use is IPv4
    AsKnown,    // the first global IPv6 address, else the address in use as held
};

// The program's record of one terminal: its fields (TerminalFields) and the
// maintenance datagram engine through which every request to the terminal
// goes. A record lives in the terminal list or in a dialog and is refreshed by
// the replies the terminal gives.
//
// This constructor takes values that are already known and does not locate
// the terminal on the network; it sends nothing.
class Terminal : public TerminalFields {
public:
    // The failures of constructing and locating a record and of waiting for a
    // restarted terminal: a code (1 no reply, 2 no name resolution, 3 bad
    // format or address, 4 no routing, 5 no reply and possibly no routing) and
    // a German text. Callers map the code to a message of their own.
    struct TerminalError : WorkerError {
        enum class Reason {
            NoReply,                 // 1 "keine Antwort vom Netz"
            NoConstructorParameters, // 1 "keine Parameter für den Konstruktor"
            NoNameResolution,        // 2 "keine Namensauflösung möglich"
            WrongLineFormat,         // 3 "Zeile hat falsches Format"
            NoIPv6Address,           // 3 "keine IPv6 Adresse"
            NoRouting,               // 4 "kein Routing möglich. Administratorrechte?"
            NoReplyOrNoRouting,      // 5 "keine Antwort vom Netz, oder kein Routing wegen fehlender ..."
        };
        explicit TerminalError(Reason reason);
    };

    // A record of known values (for instance, kept from an earlier search).
    Terminal(T7000ip& engine, TerminalFields known);
    // A record from a line of a terminal list file: an address or DNS name,
    // "SN;IP;DNS", or the seven-field saved line. Locates the terminal; throws
    // TerminalError when it cannot (code 3 for any other line format, code 1
    // for an empty line).
    Terminal(T7000ip& engine, const std::string& fileLine);
    // A record from an address (or DNS name) and/or a serial number; locates
    // the terminal by find (ID-based) or echo (IP-based) and runs the
    // authentication search. Both texts empty: code 1.
    Terminal(T7000ip& engine, AuthenticationMode mode, const std::string& address,
             const std::string& serialNumber, int lanIfIndex);
    // Deletes the host route the record added, and traces "~Terminal(serial number)".
    ~Terminal();

    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // The request with the ID-based proof " sid=<8 hex digits>" appended,
    // keyed from the serial number, the engine's maintenance group number and
    // TerminalId; unchanged (with a trace line) while TerminalId is 0.
    std::string addIDBasedAuth(const std::string& request) const;

    // --- Locating (each throws TerminalError when the terminal is not found) ---

    void T7000ipLocateByFind(const std::string& address, const std::string& name, const std::string& serialNumber,
                             RouteUse route);
    void T7000ipLocateByEcho(const std::string& address, const std::string& name, const std::string& serialNumber,
                             RouteUse route);
    // True when some LAN interface makes the terminal accept IP-based requests;
    // the terminal keeps that interface.
    bool findIPBasedAuthentification();
    // True when the terminal accepts this station's ID-based requests.
    bool findIDBasedAuthentification();
    // DNSNameInUse (and the name of the first global IPv6 address) from the address in use.
    void setDNSNameInUse();
    std::string displayAddress(AddressDisplay display) const;

    // --- Host routes to a terminal in a foreign subnet ---

    // 1: a route was added and the terminal answers through it; 0: not
    // applicable or no interface led to it; -1: adding a route failed (rights).
    int tryToRoute();
    // An on-link host route to the IPv4 address (dotted) through a row of the
    // LAN interface table.
    bool addRoute(const std::string& address, int entry);
    // Deletes every IPv4 route whose destination is the address.
    bool deleteRoute(const std::string& address);
    // Prepares record and routing for the address the terminal is about to get.
    bool prepareForNewAddr(const std::string& newAddress, const std::string& newDnsName);

    T7000ip& Engine;

private:
    enum class LocateRequest { Find, Echo };
    void locate(LocateRequest request, const std::string& address, const std::string& name,
                const std::string& serialNumber, RouteUse route);
    std::string requestText(LocateRequest request, const std::string& serialNumber);
    bool acceptReplies(LocateRequest request, const std::vector<std::string>& replies,
                       const std::string& serialNumber, const std::string& tracePrefix);
    bool directedRequest(LocateRequest request, const std::string& serialNumber, const std::string& tracePrefix,
                         int interfaceRow);
    void locateFromFileLine(const std::string& line);
    void runChain(const std::vector<std::pair<LocateRequest, std::array<std::string, 3>>>& chain);
    void locateThenSearch(LocateRequest request, const std::string& address, const std::string& name,
                          const std::string& serialNumber, RouteUse route);
};

} // namespace kestrix

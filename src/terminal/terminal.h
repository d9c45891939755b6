#pragma once

#include "platform/worker_thread.h"
#include "terminal/terminal_fields.h"

#include <string>

namespace kestrix {

class T7000ip;

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
    // Traces "~Terminal(serial number)".
    ~Terminal();

    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // The request with the ID-based proof " sid=<8 hex digits>" appended,
    // keyed from the serial number, the engine's maintenance group number and
    // TerminalId; unchanged (with a trace line) while TerminalId is 0.
    std::string addIDBasedAuth(const std::string& request) const;

    T7000ip& Engine;
};

} // namespace kestrix

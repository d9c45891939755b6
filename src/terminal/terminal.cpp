#include "terminal/terminal.h"

#include "platform/trace.h"

namespace kestrix {

namespace {

int codeOf(Terminal::TerminalError::Reason reason) {
    using Reason = Terminal::TerminalError::Reason;
    switch (reason) {
    case Reason::NoReply:
    case Reason::NoConstructorParameters:
        return 1;
    case Reason::NoNameResolution:
        return 2;
    case Reason::WrongLineFormat:
    case Reason::NoIPv6Address:
        return 3;
    case Reason::NoRouting:
        return 4;
    case Reason::NoReplyOrNoRouting:
        return 5;
    }
    return 1;
}

const char* textOf(Terminal::TerminalError::Reason reason) {
    using Reason = Terminal::TerminalError::Reason;
    switch (reason) {
    case Reason::NoReply:
        return "keine Antwort vom Netz";
    case Reason::NoConstructorParameters:
        return "keine Parameter für den Konstruktor";
    case Reason::NoNameResolution:
        return "keine Namensauflösung möglich";
    case Reason::WrongLineFormat:
        return "Zeile hat falsches Format";
    case Reason::NoIPv6Address:
        return "keine IPv6 Adresse";
    case Reason::NoRouting:
        return "kein Routing möglich. Administratorrechte?";
    case Reason::NoReplyOrNoRouting:
        return "keine Antwort vom Netz, oder kein Routing wegen fehlender Administratorrechte.";
    }
    return "keine Antwort vom Netz";
}

} // namespace

Terminal::TerminalError::TerminalError(Reason why) : WorkerError{codeOf(why), textOf(why)}, reason(why) {}

Terminal::Terminal(T7000ip& engine, TerminalFields known)
    : TerminalFields(std::move(known)), Engine(engine) {
    RouteAdded = false; // a route belongs to the record that added it, never to a copy of its values
}

Terminal::~Terminal() {
    trace("~Terminal(%s)\n", SerialNumber.c_str());
    // The host route lives as long as the record that added it.
    try {
        removeOwnRoute();
    } catch (...) {
        // Deleting a route never throws out of here; what is left stays in the table.
    }
}

} // namespace kestrix

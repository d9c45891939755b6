// Waiting for a terminal that restarts: locate it until it answers with the
// program it is expected to run, then find its authentication again.
#include "platform/pause.h"
#include "platform/trace.h"
#include "terminal/terminal.h"

#include <chrono>

namespace kestrix {

namespace {

constexpr int kMonitorPollMilliseconds = 500;

} // namespace

Terminal::LocateRequest Terminal::locateRestarted(LocateOrder order) {
    if (order == LocateOrder::SameTCL) {
        if (IDBasedAuth) {
            T7000ipLocateByFind(IPAddrInUse, DNSNameInUse, SerialNumber, RouteUse::Allowed);
            return LocateRequest::Find;
        }
        T7000ipLocateByEcho(IPAddrInUse, DNSNameInUse, SerialNumber, RouteUse::Allowed);
        return LocateRequest::Echo;
    }
    // Another TCL may authenticate the other way: a find answer means ID-based.
    try {
        IDBasedAuth = true;
        T7000ipLocateByFind(IPAddrInUse, DNSNameInUse, SerialNumber, RouteUse::Allowed);
        return LocateRequest::Find;
    } catch (const TerminalError& error) {
        if (error.code != 1)
            throw;
    }
    IDBasedAuth = false;
    T7000ipLocateByEcho(IPAddrInUse, DNSNameInUse, SerialNumber, RouteUse::Allowed);
    return LocateRequest::Echo;
}

void Terminal::waitForStart(LocateOrder order, int seconds, StartExpectation expectation) {
    const char* operation = order == LocateOrder::SameTCL ? "isStartedSameTCL" : "isStartedDiffTCL";
    // A deadline on the network's clock: not scaled like the pauses.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    bool pzeLocatedAgain = false;
    while (std::chrono::steady_clock::now() < deadline) {
        LocateRequest answered;
        try {
            answered = locateRestarted(order);
        } catch (const TerminalError& error) {
            if (error.code == 2)
                throw TerminalError(TerminalError::Reason::NoNameResolution);
            if (error.code == 4)
                throw TerminalError(TerminalError::Reason::NoRouting);
            trace("Terminal::%s(%s): %s\n", operation, SerialNumber.c_str(), error.text.c_str());
            continue;
        }
        if (isMonitorMode()) {
            if (expectation == StartExpectation::Monitor) {
                trace("Terminal::%s(%s): Ok, System im Monitor.\n", operation, SerialNumber.c_str());
            } else {
                pause(kMonitorPollMilliseconds);
                continue;
            }
        } else if (TclKind == tcl_kind::Pze && !pzeLocatedAgain) {
            // A PZE terminal answers before its TCL is up: once more.
            trace("Terminal::%s(%s): Ok, aber PZE, deshalb wdh.\n", operation, SerialNumber.c_str());
            pzeLocatedAgain = true;
            continue;
        }
        // The same TCL keeps an interface that it accepted before.
        const bool interfaceKnown = order == LocateOrder::SameTCL && !HostIfAddr.empty();
        if (answered == LocateRequest::Find)
            findIDBasedAuthentification();
        else if (!interfaceKnown && !AuthOK && supportsAuthentication())
            findIPBasedAuthentification();
        return;
    }
    throw TerminalError(TerminalError::Reason::NoReply);
}

void Terminal::isStartedSameTCL(int seconds, StartExpectation expectation) {
    waitForStart(LocateOrder::SameTCL, seconds, expectation);
}

void Terminal::isStartedDiffTCL(int seconds, StartExpectation expectation) {
    waitForStart(LocateOrder::DifferentTCL, seconds, expectation);
}

} // namespace kestrix

#pragma once

#include "sim/responder.h"
#include "sim/tcl_interpreter.h"
#include "sim/tcl_session.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

namespace kestrix::sim {

// The local time of this system as a wall clock: the clock of a terminal
// whose clock was never set.
std::chrono::local_seconds localWallClock();

// The TCP port on which a passive terminal's TCL application waits for its
// host, on a thread of its own. It listens on [::]:tcl_port (IPv4 through
// mapped addresses as well) only while the application runs (not in the
// monitor, not during a restart) and no session is open: a second host is
// refused (its connect fails with ECONNREFUSED), and the port listens again
// when the session ends. A restart ends an open session. The port, the
// encryption and the key are the responder's at the moment (a written
// configuration block changes them at a restart): the port listens on the
// new port once the application runs again. While a session is open the
// responder's host information names its host. The interpreter, and
// with it the terminal's clock, lives as long as this object.
//
// It does not check whether the terminal is passive or has a configured host
// online: the owner creates it only for a passive terminal without one.
class TclHostPort {
public:
    // Starts the thread; when the application runs already, the port is bound
    // first, and a failure to bind it is thrown (std::runtime_error).
    // The terminal is the responder's.
    TclHostPort(Responder& responder, TclClock clock = localWallClock);
    ~TclHostPort();
    TclHostPort(const TclHostPort&) = delete;
    TclHostPort& operator=(const TclHostPort&) = delete;

    // Ends an open session, stops listening and joins the thread. Idempotent.
    void stop();
    // The port it listens on or last listened on (the one the system chose
    // while the terminal's port is 0; 0 before the first bind).
    std::uint16_t port() const { return port_; }

private:
    void run();
    // Opens or closes the listening socket as the status allows.
    void adjustListener(const Responder::RunStatus& status);
    void openListener(std::uint16_t wantedPort);
    void closeListener();
    void acceptHost();
    void endSession(const char* reason);
    int waitMilliseconds(const Responder::RunStatus& status) const;

    Responder& responder_;
    const AesMode mode_;
    const int idleCloseMilliseconds_;
    TclInterpreter interpreter_;
    std::atomic<std::uint16_t> port_;
    int wake_ = -1;                                         // eventfd: a restart began or ended, or stop()
    int listener_ = -1;                                     // the listening socket while the port listens
    std::chrono::steady_clock::time_point listenAgainAt_{}; // after a failed bind
    std::unique_ptr<TclSession> session_;
    std::uint64_t sessionRestarts_ = 0; // the responder's restart count when the session opened
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace kestrix::sim

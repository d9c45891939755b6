#pragma once

#include "sim/commands.h"
#include "sim/interface_address.h"
#include "sim/terminal_config.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace kestrix::sim {

// One simulated terminal's maintenance side, seen from the terminal: it takes
// a request datagram and its sender and gives the reply datagram, or nothing.
// It checks that the request is for this terminal (its serial number, or "*"
// for find and echo), that a secured request carries the right suffix, and
// runs the command's handler from its table. A command that restarts the
// terminal makes it silent for the restart time (the platform pause's scaled
// length); the restart then takes a written configuration block, a pending
// or the factory address (the address onto the interface). A stored monitor
// file restarts it too (restartAfterFlashing, called by FirmwareFiles), and a
// restart takes the firmware and monitor versions received since the last one.
// Thread-safe.
//
// Of the [faults] it applies those that concern single commands
// (ignored_requests, refuse_ip). It does not own a socket, send anything or
// apply the other faults: the MaintenanceServer does.
class Responder {
public:
    Responder(TerminalConfig config, InterfaceAddress& interfaceAddress);
    ~Responder(); // a restart still running is broken off
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;

    std::optional<std::string> answer(std::span<const std::uint8_t> datagram, const Ip6Address& sender);

    // Adds (or replaces) a command: later command groups slot in here.
    void addCommand(CommandEntry entry);

    // A talmo.cfg written to the terminal: its settings are taken at the next
    // restart (an ice-cold one forgets them).
    void takeWrittenBlock(BlockSettings settings);

    // A firmware file the TFTP server stored: the version the terminal runs
    // from its next restart on. A version read out of a TCL file stays until
    // that restart: neither a configured one nor a later file replaces it.
    void takeFirmwareVersion(PendingVersion version);
    // A monitor file the TFTP server stored: its version is the monitor's
    // from the next restart on.
    void takeMonitorVersion(std::string version);
    // The terminal restarts by itself, as after it flashed a monitor or BIOS
    // file: silent for reboot_ms, then its application. Nothing while a
    // restart runs.
    void restartAfterFlashing();

    // What the TCL host port asks before it listens or keeps a session open.
    struct RunStatus {
        bool applicationRuns = false; // in application mode, no restart running
        std::uint64_t restarts = 0;
        // When the monitor's pass after a restart ends (the application then runs).
        std::optional<std::chrono::steady_clock::time_point> applicationStartsAt;
        TclSettings tcl;
    };
    RunStatus runStatus() const;
    // Records the host of a TCL session accepted under the given status; false,
    // and nothing recorded, when a restart has begun since or the application
    // does not run. A restart forgets the host by itself.
    bool openTclSession(std::string host, std::uint64_t restarts);
    void closeTclSession();
    // Called when a restart begins and when it ends, with the responder's lock
    // held: the observer may wake a thread, never call back into the responder.
    void setRunObserver(std::function<void()> observer);

    // Called at the end of every restart, on the restart's thread with the
    // responder's lock held (like the run observer): a hook installs what the
    // terminal received before it restarted and never calls back into the
    // responder. Add hooks before the first request arrives.
    void addRestartHook(std::function<void()> hook);

    TerminalState state() const;
    const TerminalConfig& config() const { return config_; }
    bool restarting() const;
    // Waits until no restart runs; false when the time ran out first.
    bool waitUntilRunning(std::chrono::milliseconds timeout) const;

private:
    void startRestart(const RestartOrder& order);
    void runRestart(RestartOrder order);
    // Ends the monitor's pass after a restart once its time has come.
    static void startApplicationWhenDue(TerminalState& state);

    const TerminalConfig config_;
    InterfaceAddress& interfaceAddress_;
    std::map<std::string, CommandEntry, std::less<>> commands_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    TerminalState state_;
    bool restarting_ = false;
    bool stopping_ = false;
    std::function<void()> runObserver_;
    std::vector<std::function<void()>> restartHooks_;
    std::thread restartThread_;
};

} // namespace kestrix::sim

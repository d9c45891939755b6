#pragma once

#include "platform/ip_address.h"
#include "sim/configuration_block.h"
#include "sim/ipv4_settings.h"
#include "sim/request.h"
#include "sim/request_check.h"
#include "sim/terminal_config.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrix::sim {

// The TCL host port's settings: its port, whether the traffic is enciphered
// and the key (nothing until one was configured or written).
struct TclSettings {
    std::uint16_t port = 3000;
    bool encrypt = false;
    std::optional<AesKey> key;
};

// Where a firmware version received for the next restart comes from: read
// out of the received TCL file, or the configured firmware_version_after_update.
enum class VersionOrigin { Configured, FileHeader };

// A version the terminal runs from its next restart on.
struct PendingVersion {
    std::string version;
    VersionOrigin origin = VersionOrigin::Configured;
};

// What a terminal changes while it runs; it starts from the configuration.
struct TerminalState {
    RunMode runMode = RunMode::Application;
    // What the identification line reports; a firmware update changes them
    // at a restart (empty firmware: the terminal has only its monitor).
    std::string firmwareVersion;
    std::string monitorVersion;
    std::optional<PendingVersion> pendingFirmware;
    std::optional<std::string> pendingMonitor;
    Ipv4Settings ipv4;
    std::optional<Ipv4Settings> pendingIpv4; // taken at the next restart ("ip")
    // A written talmo.cfg, taken at the next restart; an "ip" after it
    // still changes the address, a block written after an "ip" replaces it.
    std::optional<BlockSettings> pendingBlock;
    std::uint16_t maintenanceGroup = 0;
    TclSettings tcl;
    // After a restart the monitor runs first and starts the application at
    // this time (monitor_pass_ms); nothing when no start is pending.
    std::optional<std::chrono::steady_clock::time_point> applicationStartsAt;
    // Restarts so far: a TCL session opened before a restart ends with it.
    std::uint64_t restarts = 0;
    // The host of the open TCL session as the host information names it
    // ("10.77.0.1:4711"); empty while no session is open.
    std::string tclSessionHost;
};

// Whether a restart keeps the configuration or falls back to the factory one.
enum class RestartConfiguration { Kept, Factory };

// A restart that a command asks for: the terminal is silent for the given
// time, then runs in the given mode.
struct RestartOrder {
    int milliseconds = 0;
    RunMode comesBackIn = RunMode::Application;
    RestartConfiguration configuration = RestartConfiguration::Kept;
};

// What a command handler sees of the request and the terminal. Handlers run
// one at a time, so they may change the state.
struct CommandContext {
    const Request& request;
    const Ip6Address& sender;
    const TerminalConfig& config;
    TerminalState& state;
    SuffixVerdict suffix;
    std::optional<RestartOrder> restart; // set by a handler whose command restarts the terminal
};

// What the terminal runs after a restart: its application, unless it has
// none (and receives none before it).
RunMode applicationIfAny(const TerminalState& state);

// A handler gives the reply fields that follow the serial number, or nothing
// when the terminal does not answer.
using CommandHandler = std::function<std::optional<std::vector<std::string>>(CommandContext&)>;

// Which serial numbers a command answers to besides the terminal's own.
enum class SerialNumberMatch { OwnOnly, OwnOrAny }; // OwnOrAny: also "*"

// One row of the command table. Whether a command needs authentication is the
// terminal's configuration (secured_requests), not the row's.
struct CommandEntry {
    std::string name;
    SerialNumberMatch serialNumbers = SerialNumberMatch::OwnOnly;
    CommandHandler handler;
};

// The rows of the maintenance commands, one group per file.
std::vector<CommandEntry> identifyCommands();    // find, echo
std::vector<CommandEntry> informationCommands(); // data, info, eeread
std::vector<CommandEntry> restartCommands();     // monitor, reset, ip

} // namespace kestrix::sim

#include "sim/responder.h"

#include "platform/ip_address.h"
#include "platform/pause.h"
#include "platform/trace.h"
#include "sim/reply.h"

#include <cstdio>

namespace kestrix::sim {
namespace {

// Takes a written block's settings at the end of a restart; its IPv4 values go
// to next. A terminal on DHCP keeps the addresses DHCP gave it, and one whose
// block holds no usable address keeps its address; a host port of 0 leaves
// the TCL port as it was.
void takeBlock(const BlockSettings& block, TerminalState& state, Ipv4Settings& next) {
    next.dhcpName = block.dhcpName;
    const std::optional<int> prefixLength = prefixFromMask(block.ipv4Mask);
    const std::string address = ipv4ToText(block.ipv4Address) + " mask " + ipv4ToText(block.ipv4Mask);
    if (!next.dhcp && prefixLength && *prefixLength > 0 && usableAddress(block.ipv4Address, *prefixLength)) {
        next.address = block.ipv4Address;
        next.prefixLength = *prefixLength;
        next.gateway = block.ipv4Router;
    } else if (!next.dhcp) {
        trace("talmo-sim: talmo.cfg %s: %s is no usable address; the address stays\n", block.version.c_str(),
              address.c_str());
    }
    state.maintenanceGroup = block.maintenanceGroup;
    if (block.tclPort != 0)
        state.tcl.port = block.tclPort;
    state.tcl.encrypt = block.tclEncrypt;
    state.tcl.key = block.tclKey;
    trace("talmo-sim: talmo.cfg %s taken: %s router %s, DHCP name '%s', group %u, TCL port %u, encrypt=%s\n",
          block.version.c_str(), address.c_str(), ipv4ToText(block.ipv4Router).c_str(),
          block.dhcpName.c_str(), static_cast<unsigned>(block.maintenanceGroup),
          static_cast<unsigned>(block.tclPort), block.tclEncrypt ? "YES" : "NO");
}

// The firmware and monitor received since the last restart run from now on.
void takePendingVersions(TerminalState& state) {
    if (state.pendingFirmware) {
        state.firmwareVersion = state.pendingFirmware->version;
        trace("talmo-sim: runs firmware %s\n", state.firmwareVersion.c_str());
    }
    if (state.pendingMonitor) {
        state.monitorVersion = *state.pendingMonitor;
        trace("talmo-sim: runs monitor %s\n", state.monitorVersion.c_str());
    }
    state.pendingFirmware.reset();
    state.pendingMonitor.reset();
}

} // namespace

Responder::Responder(TerminalConfig config, InterfaceAddress& interfaceAddress)
    : config_(std::move(config)), interfaceAddress_(interfaceAddress) {
    state_.runMode = config_.startMode;
    state_.firmwareVersion = config_.firmwareVersion;
    state_.monitorVersion = config_.monitorVersion;
    state_.ipv4 = config_.ipv4;
    state_.maintenanceGroup = config_.maintenanceGroup;
    state_.tcl = {config_.tclPort, config_.tclEncrypt, config_.tclKey};
    for (auto* group : {identifyCommands, informationCommands, restartCommands, readerCommands})
        for (auto& entry : group())
            addCommand(std::move(entry));
}

Responder::~Responder() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (restartThread_.joinable())
        restartThread_.join();
}

void Responder::addCommand(CommandEntry entry) {
    std::lock_guard lock(mutex_);
    std::string name = entry.name;
    commands_.insert_or_assign(std::move(name), std::move(entry));
}

void Responder::takeWrittenBlock(BlockSettings settings) {
    std::lock_guard lock(mutex_);
    state_.pendingBlock = std::move(settings);
    state_.pendingIpv4.reset();
}

void Responder::takeFirmwareVersion(PendingVersion version) {
    std::lock_guard lock(mutex_);
    if (state_.pendingFirmware && state_.pendingFirmware->origin == VersionOrigin::FileHeader)
        return;
    trace("talmo-sim: firmware %s received; runs from the next restart on\n", version.version.c_str());
    state_.pendingFirmware = std::move(version);
}

void Responder::takeMonitorVersion(std::string version) {
    std::lock_guard lock(mutex_);
    trace("talmo-sim: monitor %s received; runs from the next restart on\n", version.c_str());
    state_.pendingMonitor = std::move(version);
}

void Responder::restartAfterFlashing() {
    std::lock_guard lock(mutex_);
    if (restarting_ || stopping_)
        return;
    trace("talmo-sim: restarts after flashing\n");
    startRestart(
        RestartOrder{config_.rebootMilliseconds, applicationIfAny(state_), RestartConfiguration::Kept});
}

std::optional<std::string> Responder::answer(std::span<const std::uint8_t> datagram,
                                             const Ip6Address& sender) {
    auto request = parseRequest(datagram);
    if (!request)
        return std::nullopt;
    std::lock_guard lock(mutex_);
    if (restarting_ || stopping_)
        return std::nullopt;
    startApplicationWhenDue(state_);
    auto entry = commands_.find(request->command());
    if (entry == commands_.end() || config_.faults.ignoredRequests.contains(request->command()))
        return std::nullopt;
    const bool anyTerminal =
        entry->second.serialNumbers == SerialNumberMatch::OwnOrAny && request->serialNumber() == "*";
    if (request->serialNumber() != config_.serialNumber && !anyTerminal)
        return std::nullopt;

    const SuffixVerdict suffix = checkSuffix(*request, sender, config_.authentication, config_.serialNumber,
                                             state_.maintenanceGroup, config_.securityId);
    const bool secured = config_.authentication != AuthenticationMode::None &&
                         config_.securedRequests.contains(request->command());
    if (secured && suffix != SuffixVerdict::Valid)
        return std::nullopt;

    CommandContext context{*request, sender, config_, state_, suffix, std::nullopt};
    auto answerFields = entry->second.handler(context);
    if (!answerFields)
        return std::nullopt;
    std::vector<std::string> fields = replyHead(config_);
    fields.insert(fields.end(), answerFields->begin(), answerFields->end());
    auto reply = replyDatagram(fields);
    if (!reply)
        std::fprintf(stderr, "talmo-sim %s: the reply to \"%s\" would exceed %zu bytes; not sent\n",
                     config_.serialNumber.c_str(), request->command().c_str(), kMaxReplyBytes);
    if (context.restart)
        startRestart(*context.restart);
    return reply;
}

// Called with the mutex held.
void Responder::startRestart(const RestartOrder& order) {
    restarting_ = true;
    ++state_.restarts;
    state_.tclSessionHost.clear();
    if (runObserver_)
        runObserver_();
    // A thread left from an earlier restart has finished its work (restarting_
    // was false); joining it waits at most for its return.
    if (restartThread_.joinable())
        restartThread_.join();
    restartThread_ = std::thread([this, order] { runRestart(order); });
}

void Responder::runRestart(RestartOrder order) {
    std::unique_lock lock(mutex_);
    if (changed_.wait_for(lock, scaledPause(order.milliseconds), [this] { return stopping_; }))
        return;
    Ipv4Settings next = state_.ipv4;
    if (order.configuration == RestartConfiguration::Factory) {
        next = factoryIpv4Settings(config_.serialNumber);
        state_.maintenanceGroup = 0;
    } else {
        if (state_.pendingBlock)
            takeBlock(*state_.pendingBlock, state_, next);
        if (state_.pendingIpv4) {
            const std::string dhcpName = next.dhcpName;
            next = *state_.pendingIpv4;
            next.dhcpName = dhcpName;
        }
    }
    state_.pendingIpv4.reset();
    state_.pendingBlock.reset();
    takePendingVersions(state_);
    if (next.address != state_.ipv4.address || next.prefixLength != state_.ipv4.prefixLength) {
        try {
            interfaceAddress_.replaceIPv4(config_.interfaceName, state_.ipv4, next);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "talmo-sim %s: changing the address of %s failed: %s\n",
                         config_.serialNumber.c_str(), config_.interfaceName.c_str(), error.what());
        }
    }
    state_.ipv4 = next;
    state_.runMode = order.comesBackIn;
    state_.applicationStartsAt.reset();
    if (order.comesBackIn == RunMode::Application && config_.monitorPassMilliseconds > 0) {
        state_.runMode = RunMode::Monitor;
        state_.applicationStartsAt =
            std::chrono::steady_clock::now() + scaledPause(config_.monitorPassMilliseconds);
    }
    for (const auto& hook : restartHooks_)
        hook();
    restarting_ = false;
    if (runObserver_)
        runObserver_();
    lock.unlock();
    changed_.notify_all();
}

void Responder::startApplicationWhenDue(TerminalState& state) {
    if (state.applicationStartsAt && std::chrono::steady_clock::now() >= *state.applicationStartsAt) {
        state.runMode = RunMode::Application;
        state.applicationStartsAt.reset();
    }
}

Responder::RunStatus Responder::runStatus() const {
    std::lock_guard lock(mutex_);
    TerminalState current = state_;
    startApplicationWhenDue(current);
    return {current.runMode == RunMode::Application && !restarting_ && !stopping_, current.restarts,
            current.applicationStartsAt, current.tcl};
}

bool Responder::openTclSession(std::string host, std::uint64_t restarts) {
    std::lock_guard lock(mutex_);
    startApplicationWhenDue(state_);
    if (restarting_ || stopping_ || state_.restarts != restarts || state_.runMode != RunMode::Application)
        return false;
    state_.tclSessionHost = std::move(host);
    return true;
}

void Responder::closeTclSession() {
    std::lock_guard lock(mutex_);
    state_.tclSessionHost.clear();
}

void Responder::setRunObserver(std::function<void()> observer) {
    std::lock_guard lock(mutex_);
    runObserver_ = std::move(observer);
}

void Responder::addRestartHook(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    restartHooks_.push_back(std::move(hook));
}

TerminalState Responder::state() const {
    std::lock_guard lock(mutex_);
    TerminalState current = state_;
    startApplicationWhenDue(current);
    return current;
}

bool Responder::restarting() const {
    std::lock_guard lock(mutex_);
    return restarting_;
}

bool Responder::waitUntilRunning(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return !restarting_; });
}

} // namespace kestrix::sim

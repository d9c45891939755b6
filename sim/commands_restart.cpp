// monitor, reset and ip: the commands that restart the terminal or change
// what it comes back with.
#include "sim/commands.h"

namespace kestrix::sim {

RunMode applicationIfAny(const TerminalState& state) {
    return state.firmwareVersion.empty() && !state.pendingFirmware ? RunMode::Monitor : RunMode::Application;
}

namespace {

std::optional<std::vector<std::string>> monitor(CommandContext& context) {
    if (context.state.runMode == RunMode::Monitor) {
        // Asked in time, the monitor does not go on to start the application.
        context.state.applicationStartsAt.reset();
        return std::vector<std::string>{"remains"};
    }
    context.restart =
        RestartOrder{context.config.monitorRestartMilliseconds, RunMode::Monitor, RestartConfiguration::Kept};
    return std::vector<std::string>{"reset."};
}

// The start-up modes a reset may name; without "mode=" it is a warm start.
bool knownResetMode(const std::string& mode) {
    return mode == "cold" || mode == "restart" || mode == "comm" || mode == "ice";
}

bool namesArgument(const Request& request, std::string_view name) {
    for (std::size_t index = 2; index + 1 < request.words.size(); ++index)
        if (request.words[index] == name && request.words[index + 1] == "=")
            return true;
    return false;
}

std::optional<std::vector<std::string>> reset(CommandContext& context) {
    const TerminalConfig& config = context.config;
    auto mode = context.request.argument("mode");
    if (namesArgument(context.request, "mode") && (!mode || !knownResetMode(*mode)))
        return std::vector<std::string>{"unknown", "mode"};
    const bool sysboot = context.request.hasFlag("sysboot");
    context.restart = RestartOrder{
        sysboot ? config.sysbootMilliseconds : config.rebootMilliseconds, applicationIfAny(context.state),
        mode == "ice" ? RestartConfiguration::Factory : RestartConfiguration::Kept};
    std::vector<std::string> fields;
    if (mode)
        fields.push_back(*mode);
    fields.push_back("reset.");
    return fields;
}

// The parameters of "ip SN addr=... mask=... gateway=...", or nothing when one
// is missing or unusable.
std::optional<Ipv4Settings> requestedIpv4(const Request& request, const Ipv4Settings& current) {
    auto addressText = request.argument("addr");
    auto maskText = request.argument("mask");
    auto gatewayText = request.argument("gateway");
    if (!addressText || !maskText || !gatewayText)
        return std::nullopt;
    auto address = ipv4FromText(*addressText);
    auto mask = ipv4FromText(*maskText);
    auto gateway = ipv4FromText(*gatewayText);
    if (!address || !mask || !gateway)
        return std::nullopt;
    auto prefixLength = prefixFromMask(*mask);
    if (!prefixLength || *prefixLength == 0 || !usableAddress(*address, *prefixLength))
        return std::nullopt;
    Ipv4Settings settings;
    settings.address = *address;
    settings.prefixLength = *prefixLength;
    settings.gateway = *gateway;
    settings.dhcp = false;
    settings.dhcpName = current.dhcpName;
    return settings;
}

std::optional<std::vector<std::string>> ip(CommandContext& context) {
    auto settings = requestedIpv4(context.request, context.state.ipv4);
    if (!settings || context.config.faults.refuseIp)
        return std::vector<std::string>{"IP", "configuration", "refused"};
    context.state.pendingIpv4 = settings;
    return std::vector<std::string>{"IP", "configuration", "OK"};
}

} // namespace

std::vector<CommandEntry> restartCommands() {
    return {{"monitor", SerialNumberMatch::OwnOnly, monitor},
            {"reset", SerialNumberMatch::OwnOnly, reset},
            {"ip", SerialNumberMatch::OwnOnly, ip}};
}

} // namespace kestrix::sim

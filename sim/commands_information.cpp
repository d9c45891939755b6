// data, info and eeread: host information, system information and the EEPROM.
#include "sim/commands.h"
#include "sim/reply.h"

namespace kestrix::sim {
namespace {

std::optional<std::vector<std::string>> data(CommandContext& context) {
    const TerminalConfig& config = context.config;
    // The configured host, or the one whose session is open on the TCL port
    // (which listens only while no host is configured). The monitor runs no
    // TCL, so it has no host connection.
    const std::string& host = config.tclHost.empty() ? context.state.tclSessionHost : config.tclHost;
    const bool online = !host.empty() && context.state.runMode == RunMode::Application;
    std::vector<std::string> fields = {"host", "information."};
    fields.push_back("port=" + std::to_string(context.state.tcl.port));
    fields.push_back(config.tclConnect == TclConnect::Passive ? "connect=passive" : "connect=active");
    fields.push_back(online ? "host=online" : "host=offline");
    if (online)
        fields.push_back("online=" + host);
    fields.push_back(context.state.tcl.encrypt ? "encrypt=YES" : "encrypt=NO");
    return fields;
}

std::optional<std::vector<std::string>> info(CommandContext& context) {
    const TerminalConfig& config = context.config;
    std::vector<std::string> fields = {"system", "information."};
    fields.push_back("SRAM=" + std::to_string(config.sram));
    fields.push_back(config.wiegand ? "WIEGAND=YES" : "WIEGAND=NO");
    if (!config.operatingSystem.empty()) {
        fields.push_back("OS=" + quoted(config.operatingSystem));
        if (config.rootFileSystemVersion > 0)
            fields.push_back(";'" + std::to_string(config.rootFileSystemVersion) + "'");
    }
    if (!config.flash.empty())
        fields.push_back("FLASH=" + quoted(config.flash));
    return fields;
}

std::optional<std::vector<std::string>> eeread(CommandContext& context) {
    const auto& eeprom = context.config.eeprom;
    return std::vector<std::string>{"EEPROM", "contents.", std::string(eeprom.begin(), eeprom.end())};
}

} // namespace

std::vector<CommandEntry> informationCommands() {
    return {{"data", SerialNumberMatch::OwnOnly, data},
            {"info", SerialNumberMatch::OwnOnly, info},
            {"eeread", SerialNumberMatch::OwnOnly, eeread}};
}

} // namespace kestrix::sim

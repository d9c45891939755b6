#include "cli_common.h"

#include "lan/lan_interfaces.h"
#include "messages/toolbox_lang.h"
#include "platform/ip_address.h"
#include "protocol/t7000ip.h"
#include "terminal/terminal.h"

#include <cstdio>

namespace kestrix::cli {

int fail(const std::string& text) {
    std::fprintf(stderr, "kestrix-cli: %s\n", text.c_str());
    return kExitFailure;
}

int usageError(const Invocation& invocation, const std::string& text) {
    std::fprintf(stderr, "kestrix-cli: %s\nusage: kestrix-cli %s\n", text.c_str(), invocation.usage.c_str());
    return kExitUsage;
}

bool tftpServerAddress(const std::string& text, std::string& result) {
    const std::optional<Ip6Address> address = addressFromText(text);
    if (!address)
        return false;
    result = addressToText(*address);
    if (address->scopeId != 0 && text.find('%') != std::string::npos)
        result += text.substr(text.find('%'));
    return true;
}

int withTerminal(const Invocation& invocation, const std::string& text,
                 const std::function<int(Terminal&)>& body) {
    enumerateLanInterfaces();
    if (lanInterfaces().count() == 0)
        return fail(CToolBoxLang(localeIdFromEnvironment()).GetText(81));
    static const CToolBoxLang language(localeIdFromEnvironment());
    T7000ip& engine = T7000ip::getT7000ip(&language);
    engine.setT7000ipMaintGroup(invocation.maintenanceGroup);
    int result = kExitFailure;
    try {
        Terminal terminal(engine, text);
        result = body(terminal);
    } catch (const Terminal::TerminalError& error) {
        result = fail("terminal " + text + ": " + error.text);
    }
    T7000ip::releaseT7000ip();
    return result;
}

} // namespace kestrix::cli

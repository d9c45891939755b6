#include "cli_common.h"

#include "lan/lan_interfaces.h"
#include "mainwindow/main_dialog.h"
#include "messages/toolbox_lang.h"
#include "platform/ip_address.h"
#include "protocol/t7000ip.h"
#include "terminal/terminal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace kestrix::cli {

std::string echoed(std::string_view word) {
    constexpr std::size_t kLongest = 100;
    return word.size() <= kLongest ? std::string(word) : std::string(word.substr(0, kLongest)) + "...";
}

bool optionNumber(const std::string& text, long minimum, long maximum, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && errno == 0 && value >= minimum && value <= maximum;
}

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

const CToolBoxLang& commandLineLanguage() {
    static const CToolBoxLang language(localeIdFromEnvironment());
    return language;
}

std::unique_ptr<Terminal> locateTerminal(T7000ip& engine, const Invocation& invocation, const std::string& text,
                                         std::string& reason) {
    // The longest serial number a terminal has; a longer one is refused
    // before any broadcast asks for it.
    constexpr std::size_t kLongestSerialNumber = 16;
    if (const std::size_t separator = text.find(';');
        separator != std::string::npos && separator > kLongestSerialNumber) {
        reason = "the serial number is longer than 16 characters";
        return nullptr;
    }
    try {
        // Located and authenticated as the window's adding does it.
        return locateAsAdded(engine, text, invocation.adding);
    } catch (const Terminal::TerminalError& error) {
        // The message table's text in the user's language; the trace has the internal one.
        reason = commandLineLanguage().GetText(terminalErrorMessageId(error.code)) + " (code " +
                 std::to_string(error.code) + ")";
        return nullptr;
    }
}

T7000ip* startEngine(const Invocation& invocation) {
    enumerateLanInterfaces();
    if (lanInterfaces().count() == 0) {
        fail(commandLineLanguage().GetText(81));
        return nullptr;
    }
    T7000ip& engine = T7000ip::getT7000ip(&commandLineLanguage());
    engine.setT7000ipMaintGroup(invocation.maintenanceGroup);
    return &engine;
}

int withTerminal(const Invocation& invocation, const std::string& text,
                 const std::function<int(Terminal&)>& body) {
    T7000ip* engine = startEngine(invocation);
    if (engine == nullptr)
        return kExitFailure;
    int result = kExitFailure;
    std::string reason;
    if (const std::unique_ptr<Terminal> terminal = locateTerminal(*engine, invocation, text, reason))
        result = body(*terminal);
    else
        result = fail("terminal " + echoed(text) + ": " + reason);
    T7000ip::releaseT7000ip();
    return result;
}

} // namespace kestrix::cli

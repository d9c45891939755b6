// The operations the terminal runs on the card readers of its reader bus:
// one request, and the text the terminal answers after the command word.
// What that text means is the reader operations' business.
#include "platform/trace.h"
#include "protocol/word_reader.h"
#include "terminal/terminal.h"

namespace kestrix {

namespace {

constexpr std::int64_t kReaderTimeout = 20;

std::string maskArgument(unsigned mask) {
    return " mask=" + std::to_string(mask);
}

} // namespace

std::string Terminal::readerOperation(const char* operation, const std::string& command,
                                      const std::string& arguments) {
    const std::string request = command + " " + SerialNumber + arguments;
    trace("%s(%s == %s): startet\n", operation, SerialNumber.c_str(), request.c_str());
    for (const std::string& reply :
         T7000ipComm(RequestSecurity::Secured, request, T7000ip::RequestKind::Directed, kReaderTimeout)) {
        std::optional<std::string> rest = checkReplyIdent(reply);
        if (!rest)
            continue;
        WordReader reader(*rest);
        auto word = reader.next();
        if (!word || *word != command)
            continue;
        trace("%s(%s): Aufbau der Antwort ok\n", operation, SerialNumber.c_str());
        return std::string(reader.rest());
    }
    trace("%s(%s): gescheitert\n", operation, SerialNumber.c_str());
    return {};
}

std::string Terminal::T7000ipRfwdlExecute(unsigned mask) {
    return readerOperation("T7000ipRfwdlExecute", "rfwdlexecute", maskArgument(mask));
}

std::string Terminal::T7000ipRfwdlStatus(unsigned mask) {
    return readerOperation("T7000ipRfwdlStatus", "rfwdlstatus", maskArgument(mask));
}

std::string Terminal::T7000ipRparadlExecute(unsigned mask) {
    return readerOperation("T7000ipRparadlExecute", "rparadlexecute", maskArgument(mask));
}

std::string Terminal::T7000ipRparadlStatus(unsigned mask) {
    return readerOperation("T7000ipRparadlStatus", "rparadlstatus", maskArgument(mask));
}

std::string Terminal::T7000ipRKeyTransfer(unsigned mask) {
    if (!supportsAuthentication()) {
        trace("T7000ipRKeyTransfer(%s): Terminal kennt noch kein rkeytrans-Paket\n", SerialNumber.c_str());
        return {};
    }
    return readerOperation("T7000ipRKeyTransfer", "rkeytrans", maskArgument(mask));
}

std::string Terminal::T7000ipRCardCfgTransfer(unsigned mask, int unlock) {
    if (sortVersion() < "6_04~") {
        trace("T7000ipRCardCfgTransfer(%s): Terminal kennt noch kein rcardcfg-Paket\n", SerialNumber.c_str());
        return {};
    }
    return readerOperation("T7000ipRCardCfgTransfer", "rcardcfg",
                           maskArgument(mask) + " unlock=" + std::to_string(unlock));
}

} // namespace kestrix

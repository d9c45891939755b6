// The commands that put a terminal into its monitor and read what only the
// monitor tells (its version), and the EEPROM with the keyboard and display
// type it holds.
#include "platform/trace.h"
#include "protocol/word_reader.h"
#include "terminal/terminal.h"
#include "terminal/version_key.h"

#include <algorithm>

namespace kestrix {

namespace {

using Kind = T7000ip::RequestKind;

constexpr std::int64_t kCommandTimeout = 2;

// The version word of a monitor's echo answer: "MONITOR" version, or "BSM"
// or "ACM" before that; nothing for any other answer.
std::optional<std::string> monitorVersionOf(std::string_view answer) {
    WordReader reader(answer);
    auto word = reader.next();
    if (word && (*word == "BSM" || *word == "ACM"))
        word = reader.next();
    if (!word || *word != "MONITOR")
        return std::nullopt;
    return reader.next().value_or(std::string());
}

} // namespace

bool Terminal::monitorRequest(const char* operation) {
    for (const std::string& reply :
         T7000ipComm(RequestSecurity::Secured, "monitor " + SerialNumber, Kind::Directed, kCommandTimeout)) {
        std::optional<std::string> rest = checkReplyIdent(reply);
        if (!rest)
            continue;
        auto word = WordReader(*rest).next();
        // "reset.": the terminal restarts into its monitor; "remains": it is there.
        if (word && (*word == "reset." || *word == "remains"))
            return true;
    }
    trace("%s(%s): monitor Paket gescheitert\n", operation, SerialNumber.c_str());
    return false;
}

std::string Terminal::T7000ipGetMonitorVersion() {
    if (!MonitorVersion.empty()) {
        trace("T7000ipGetMonitorVersion(%s): MonitorVersion schon bekannt: %s\n", SerialNumber.c_str(),
              MonitorVersion.c_str());
        return MonitorVersion;
    }
    if (!monitorRequest("T7000ipGetMonitorVersion"))
        return {};
    for (const std::string& reply :
         T7000ipComm(RequestSecurity::Secured, "echo " + SerialNumber, Kind::Directed, kCommandTimeout)) {
        std::optional<std::string> rest = checkReplyIdent(reply);
        if (!rest)
            continue;
        std::optional<std::string> version = monitorVersionOf(*rest);
        if (!version)
            continue;
        MonitorVersion = *version;
        trace("T7000ipGetMonitorVersion(%s): MonitorVersion: %s\n", SerialNumber.c_str(),
              MonitorVersion.c_str());
        return MonitorVersion;
    }
    trace("T7000ipGetMonitorVersion(%s): echo Paket gescheitert\n", SerialNumber.c_str());
    return {};
}

std::string Terminal::getSortMonitorVersion(MonitorVersionCache cache) {
    if (cache == MonitorVersionCache::Forget)
        MonitorVersion.clear();
    if (MonitorVersion.empty()) {
        trace("getSortMonitorVersion(%s): MonitorVersion noch nicht bekannt\n", SerialNumber.c_str());
        T7000ipGetMonitorVersion();
        if (MonitorVersion.empty()) {
            trace("getSortMonitorVersion(%s): MonitorVersion nicht bekannt\n", SerialNumber.c_str());
            return {};
        }
    }
    return versionSortKey(MonitorVersion);
}

bool Terminal::T7000ipGetEeprom() {
    if (Eeprom != EepromState::Unknown)
        return Eeprom == EepromState::Read;
    for (const std::string& reply :
         T7000ipComm(RequestSecurity::Secured, "eeread " + SerialNumber, Kind::Directed, kCommandTimeout)) {
        std::optional<std::string> rest = checkReplyIdent(reply);
        if (!rest)
            continue;
        WordReader reader(*rest);
        auto first = reader.next();
        auto second = reader.next();
        if (!first || *first != "EEPROM" || !second || *second != "contents.")
            continue;
        // The bytes begin after the one blank that follows "contents.".
        std::string_view bytes = reader.rest();
        if (!bytes.empty())
            bytes.remove_prefix(1);
        bytes = bytes.substr(0, kEepromSize);
        // A short answer: the missing bytes read as a zero byte does, a blank.
        EepromContents.fill(' ');
        std::copy(bytes.begin(), bytes.end(), EepromContents.begin());
        Eeprom = EepromState::Read;
        trace("T7000ipGetEeprom(): Ok, %s\n", SerialNumber.c_str());
        return true;
    }
    trace("T7000ipGetEeprom(%s): gescheitert\n", SerialNumber.c_str());
    Eeprom = EepromState::Failed;
    return false;
}

bool Terminal::getKeyboardType() {
    return T7000ipGetEeprom() && EepromContents[kKeyboardTypeByte] == '8';
}

int Terminal::getDisplayType() {
    if (!T7000ipGetEeprom())
        return 0;
    switch (EepromContents[kDisplayTypeByte]) {
    case '7':
        return 1;
    case '8':
        return 2;
    default:
        return 0;
    }
}

} // namespace kestrix

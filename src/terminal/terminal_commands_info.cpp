// The commands that read what a terminal is connected to and what it is made
// of: reset, host information, system information, the flash chip.
#include "platform/trace.h"
#include "protocol/word_reader.h"
#include "terminal/reply_words.h"
#include "terminal/terminal.h"

#include <array>
#include <charconv>
#include <limits>

namespace kestrix {

namespace {

using Kind = T7000ip::RequestKind;
using reply_words::beginsWith;
using reply_words::readAssignedValue;

constexpr std::int64_t kCommandTimeout = 2;

// After a name: "=" and the value, read only when "=" follows (so that a name
// without one leaves the next word to be read as a name).
std::optional<std::string> readValueIfAssigned(WordReader& reader) {
    WordReader ahead = reader;
    auto equals = ahead.next();
    if (!equals || *equals != "=")
        return std::nullopt;
    reader = ahead;
    return reader.next().value_or(std::string());
}

// The leading decimal digits of a text, when they fit the type.
template <typename Number> std::optional<Number> leadingDecimal(std::string_view text) {
    Number value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data())
        return std::nullopt;
    return value;
}

// The answer words after the serial number of the first reply of this
// terminal whose answer begins with the two words; nothing without one.
std::optional<WordReader> answerBeginningWith(const Terminal& terminal,
                                              const std::vector<std::string>& replies, std::string_view first,
                                              std::string_view second, std::string& storage) {
    for (const std::string& reply : replies) {
        std::optional<std::string> rest = terminal.checkReplyIdent(reply);
        if (!rest)
            continue;
        storage = std::move(*rest);
        WordReader reader(storage);
        auto word1 = reader.next();
        auto word2 = reader.next();
        if (word1 && *word1 == first && word2 && *word2 == second)
            return reader;
    }
    return std::nullopt;
}

// The root file system version after "OS" "=" and the operating system's
// name: the word ";'" followed by a decimal number.
std::optional<int> rootFileSystemVersion(const std::string& word) {
    if (!word.starts_with(";'"))
        return std::nullopt;
    return leadingDecimal<int>(std::string_view(word).substr(2));
}

// The flash chips whose terminals need the default program exchanged.
bool flashNeedsExchange(const std::string& flash) {
    static const std::array<const char*, 7> chips = {
        "AMD29F002T",          "AMD29F200T",      "Fujitsu MBM29F002TC", "Fujitsu MBM29F200TC",
        "Fujitsu MBM29F002ST", "ST M29F002T(N)C", "MXIC MX29F002T(N)C"};
    for (const char* chip : chips)
        if (flash == chip)
            return true;
    return false;
}

} // namespace

bool Terminal::T7000ipReset(ResetBoot boot, const std::string& mode) {
    Eeprom = EepromState::Unknown;
    std::string request = "reset " + SerialNumber;
    if (boot == ResetBoot::System)
        request += " sysboot";
    if (!mode.empty())
        request += " mode=" + mode;
    for (const std::string& reply :
         T7000ipComm(RequestSecurity::Secured, request, Kind::Directed, kCommandTimeout)) {
        std::optional<std::string> rest = checkReplyIdent(reply);
        if (!rest)
            continue;
        WordReader reader(*rest);
        auto word = reader.next();
        if (!mode.empty() && word && *word == mode)
            word = reader.next();
        if (word && *word == "reset.") {
            trace("T7000ipReset(%s): Quittung ok\n", SerialNumber.c_str());
            return true;
        }
    }
    trace("T7000ipReset(%s): gescheitert\n", SerialNumber.c_str());
    return false;
}

std::string Terminal::T7000ipGetHostInfo() {
    if (!supportsAuthentication()) {
        trace("T7000ipGetHostInfo(%s): Terminal kennt noch kein data-Paket\n", SerialNumber.c_str());
        return {};
    }
    HostOnlineInfo.clear();
    std::string answer;
    auto reader = answerBeginningWith(
        *this,
        T7000ipComm(RequestSecurity::Unsecured, "data " + SerialNumber, Kind::Directed, kCommandTimeout),
        "host", "information.", answer);
    if (!reader) {
        trace("T7000ipGetHostInfo(%s): gescheitert\n", SerialNumber.c_str());
        return {};
    }
    bool offline = false;
    while (auto name = reader->next()) {
        auto value = readAssignedValue(*reader);
        if (!value)
            break;
        // "port" is taken as a name beginning, the other names only whole
        // ("hostname" is not "host").
        if (beginsWith(*name, "port")) {
            if (auto port = leadingDecimal<std::uint16_t>(*value))
                TclPort = *port;
        } else if (*name == "connect") {
            PassiveConnect = beginsWith(*value, "passive");
        } else if (*name == "host") {
            offline = beginsWith(*value, "offline");
        } else if (*name == "online") {
            // Longer than an IPv6 address, ":" and a port: not a host address.
            if (value->size() <= kMaxHostOnlineInfoLength)
                HostOnlineInfo = *value;
            else
                trace("T7000ipGetHostInfo(%s): online-Wert mit %zu Zeichen zu lang, nicht übernommen\n",
                      SerialNumber.c_str(), value->size());
        } else if (*name == "encrypt") {
            Encrypt = beginsWith(*value, "YES");
        }
    }
    HostOffline = offline;
    trace("T7000ipGetHostInfo(%s): HostOnlineInfo = '%s'\n", SerialNumber.c_str(), HostOnlineInfo.c_str());
    if (offline || HostOnlineInfo.empty())
        return {};
    const std::size_t colon = HostOnlineInfo.rfind(':');
    if (colon == std::string::npos) {
        trace("T7000ipGetHostInfo(%s): no ':' ??\n", SerialNumber.c_str());
        return HostOnlineInfo;
    }
    std::optional<std::string> name = nameResolver().IPAddrResolution(HostOnlineInfo.substr(0, colon));
    if (!name)
        return HostOnlineInfo;
    return *name + " (" + HostOnlineInfo + ")";
}

bool Terminal::T7000ipGetSysInfo() {
    if (SysInfoKnown)
        return true;
    std::string answer;
    auto reader = answerBeginningWith(
        *this,
        T7000ipComm(RequestSecurity::Unsecured, "info " + SerialNumber, Kind::Directed, kCommandTimeout),
        "system", "information.", answer);
    if (!reader) {
        trace("T7000ipGetSysInfo(%s): gescheitert\n", SerialNumber.c_str());
        return false;
    }
    while (auto name = reader->next()) {
        if (beginsWith(*name, "SRAM")) {
            auto value = readValueIfAssigned(*reader);
            if (!value)
                trace("T7000ipGetSysInfo(%s): Syntaxerror beim SRAM-Parameter\n", SerialNumber.c_str());
            else if (auto sram = leadingDecimal<unsigned>(*value))
                SramParameter = *sram;
        } else if (beginsWith(*name, "WIEGAND")) {
            auto value = readValueIfAssigned(*reader);
            WiegandInterface = value && beginsWith(*value, "YES");
        } else if (beginsWith(*name, "OS")) {
            // "OS" "=" name ";'<version>'": the version word is read only when it is one.
            std::optional<int> version;
            if (readValueIfAssigned(*reader)) {
                WordReader ahead = *reader;
                if (auto word = ahead.next())
                    version = rootFileSystemVersion(*word);
                if (version)
                    *reader = ahead;
            }
            if (!version)
                trace("T7000ipGetSysInfo(%s): Syntaxerror beim OS-Parameter\n", SerialNumber.c_str());
            RootFileSystemVersion = version.value_or(0);
        }
    }
    if (runsLinux() && RootFileSystemVersion == 0) {
        RootFileSystemVersion = 1;
        trace("T7000ipGetSysInfo(): Version des Root-Filesytems = %d (nur für Linux-Terminals relevant)\n",
              RootFileSystemVersion);
    }
    SysInfoKnown = true;
    return true;
}

unsigned Terminal::getSramParameter() {
    T7000ipGetSysInfo();
    return SramParameter;
}

bool Terminal::hasWiegandInterface() {
    T7000ipGetSysInfo();
    return WiegandInterface;
}

bool Terminal::T7000ipGetExchgDefPrgr() {
    if (FlashKnown)
        return ExchangeDefaultProgram;
    if (!monitorRequest("T7000ipGetExchgDefPrgr"))
        return false;
    std::string answer;
    auto reader = answerBeginningWith(
        *this,
        T7000ipComm(RequestSecurity::Unsecured, "info " + SerialNumber, Kind::Directed, kCommandTimeout),
        "system", "information.", answer);
    if (!reader) {
        trace("T7000ipGetExchgDefPrgr(%s): info Paket gescheitert\n", SerialNumber.c_str());
        return false;
    }
    std::string flash;
    while (auto name = reader->next()) {
        if (!beginsWith(*name, "FLASH"))
            continue;
        auto value = readValueIfAssigned(*reader);
        if (!value) {
            trace("T7000ipGetExchgDefPrgr(%s): Syntaxerr\n", SerialNumber.c_str());
            return false;
        }
        flash = *value;
        break;
    }
    trace("T7000ipGetExchgDefPrgr(%s): FLASH = %s\n", SerialNumber.c_str(), flash.c_str());
    ExchangeDefaultProgram = flashNeedsExchange(flash);
    trace(ExchangeDefaultProgram ? "T7000ipGetExchgDefPrgr(%s): Defaultprogramm tauschen\n"
                                 : "T7000ipGetExchgDefPrgr(%s): Defaultprogramm NICHT tauschen\n",
          SerialNumber.c_str());
    FlashKnown = true;
    return ExchangeDefaultProgram;
}

} // namespace kestrix

#include "sim/terminal_config.h"

#include "crypto/md5.h"
#include "platform/ip_address.h"
#include "settings_files/ini_file.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace kestrix::sim {
namespace {

// Longest text a single reply word may come from; keeps every reply far
// below the 1024 bytes a datagram holds.
constexpr std::size_t kMaxWordLength = 64;

// Bytes written as pairs of hexadecimal digits (either case, nothing between
// them); nothing when a digit is wrong or one is left over.
std::optional<std::vector<std::uint8_t>> hexBytes(std::string_view digits) {
    if (digits.size() % 2 != 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    for (std::size_t at = 0; at < digits.size(); at += 2) {
        unsigned value = 0;
        auto [end, error] = std::from_chars(digits.data() + at, digits.data() + at + 2, value, 16);
        if (error != std::errc() || end != digits.data() + at + 2)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

// One section's keys, read with checks; remembers which keys were asked for
// so that unknown ones (typing errors) are refused.
class SectionReader {
public:
    SectionReader(const IniData& ini, std::string section) : ini_(ini), section_(std::move(section)) {}

    std::string text(const std::string& key, std::string_view defaultValue = {}) {
        used_.insert(key);
        return ini_.getValue(section_, key, defaultValue);
    }

    // A text without blanks, "=", quotes or control characters: one reply word.
    std::string word(const std::string& key, std::string_view defaultValue = {}) {
        std::string value = text(key, defaultValue);
        for (unsigned char character : value)
            if (character <= ' ' || character == '=' || character == '"' || character == '\'' ||
                character == 0x7F)
                fail(key, "must be one word without blanks, \"=\" or quotes");
        checkLength(key, value);
        return value;
    }

    // Blank-separated words.
    std::vector<std::string> words(const std::string& key, std::string_view defaultValue) {
        std::vector<std::string> result;
        std::string value = text(key, defaultValue);
        std::size_t at = 0;
        while (at < value.size()) {
            std::size_t end = value.find_first_of(" \t", at);
            if (end == std::string::npos)
                end = value.size();
            if (end > at)
                result.push_back(value.substr(at, end - at));
            at = end + 1;
        }
        for (const auto& single : result)
            for (unsigned char character : single)
                if (character < ' ' || character == '=' || character == '"' || character == '\'')
                    fail(key, "words must not hold \"=\", quotes or control characters");
        return result;
    }

    // Free text that the terminal sends quoted: no control characters.
    std::string quotedText(const std::string& key, std::string_view defaultValue) {
        std::string value = text(key, defaultValue);
        for (unsigned char character : value)
            if (character < ' ' || character == 0x7F)
                fail(key, "must not hold control characters");
        checkLength(key, value);
        return value;
    }

    long long number(const std::string& key, long long defaultValue, long long minimum, long long maximum,
                     int base = 10) {
        std::string value = text(key);
        if (value.empty())
            return defaultValue;
        long long result = 0;
        auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), result, base);
        if (error != std::errc() || end != value.data() + value.size() || result < minimum ||
            result > maximum)
            fail(key, "must be a " + std::string(base == 16 ? "hexadecimal" : "decimal") + " number from " +
                          std::to_string(minimum) + " to " + std::to_string(maximum));
        return result;
    }

    bool flag(const std::string& key, bool defaultValue) {
        return number(key, defaultValue ? 1 : 0, 0, 1) == 1;
    }

    // One of the given words; the first is the default.
    std::size_t choice(const std::string& key, const std::vector<std::string>& choices) {
        std::string value = text(key, choices.front());
        for (std::size_t index = 0; index < choices.size(); ++index)
            if (value == choices[index])
                return index;
        std::string list;
        for (const auto& single : choices)
            list += (list.empty() ? "" : " | ") + single;
        fail(key, "must be " + list);
    }

    std::optional<std::uint32_t> ipv4(const std::string& key) {
        std::string value = text(key);
        if (value.empty())
            return std::nullopt;
        auto address = ipv4FromText(value);
        if (!address)
            fail(key, "must be a dotted IPv4 address");
        return address;
    }

    std::string ipv6(const std::string& key) {
        std::string value = text(key);
        if (value.empty())
            return value;
        auto address = addressFromText(value);
        if (!address || address->isIPv4Mapped() || value.find('%') != std::string::npos)
            fail(key, "must be an IPv6 address without scope");
        return value;
    }

    void refuseUnknownKeys() const {
        for (const auto& key : ini_.getKeys(section_))
            if (!used_.contains(key))
                throw std::runtime_error("[" + section_ + "] " + key + ": unknown key");
    }

    [[noreturn]] void fail(const std::string& key, const std::string& reason) const {
        throw std::runtime_error("[" + section_ + "] " + key + ": " + reason);
    }

private:
    void checkLength(const std::string& key, const std::string& value) const {
        if (value.size() > kMaxWordLength)
            fail(key, "longer than " + std::to_string(kMaxWordLength) + " characters");
    }

    const IniData& ini_;
    std::string section_;
    std::set<std::string> used_;
};

void readNetwork(SectionReader& network, TerminalConfig& config) {
    config.interfaceName = network.word("interface", "eth0");
    if (auto address = network.ipv4("ipv4"))
        config.ipv4.address = *address;
    auto mask = network.ipv4("mask");
    if (config.ipv4.address != 0) {
        if (!mask)
            network.fail("mask", "needed with an IPv4 address");
        auto prefix = prefixFromMask(*mask);
        if (!prefix || *prefix == 0)
            network.fail("mask", "must be a contiguous net mask");
        config.ipv4.prefixLength = *prefix;
    }
    config.ipv4.gateway = network.ipv4("gateway").value_or(0);
    config.ipv4.dhcp = network.flag("dhcp", false);
    config.ipv4.dhcpName = network.word("dhcp_name");
    config.ipv6LinkLocal = network.ipv6("ipv6_linklocal");
    config.ipv6Global = network.ipv6("ipv6_global");
    network.refuseUnknownKeys();
}

void readIdentity(SectionReader& terminal, TerminalConfig& config) {
    config.productWords = terminal.words("product", "TALMO 7450");
    if (config.productWords.size() != 2 || config.productWords[0] != "TALMO")
        terminal.fail("product", "must be \"TALMO\" and the model word, as in \"TALMO 7450\"");
    config.productWord = terminal.word("product_word", "IP");
    config.serialNumber = terminal.word("serial_number");
    if (config.serialNumber.empty() || config.serialNumber == "*" || config.serialNumber.front() == '?')
        terminal.fail("serial_number", "needed (one word, not \"*\", not beginning with \"?\")");
    if (config.serialNumber.size() > 16)
        terminal.fail("serial_number", "longer than 16 characters");
    config.kindWord = terminal.word("kind", "ACM");
    config.firmwareVersion = terminal.word("firmware_version", "6.12");
    config.monitorVersion = terminal.word("monitor_version", "2.05");
    if (config.monitorVersion.empty())
        terminal.fail("monitor_version", "must not be empty");
    config.monitorWords =
        terminal.words("monitor_words", config.kindWord == "BSM" ? "BSM MONITOR" : "MONITOR");
    config.startMode = terminal.choice("start_mode", {"application", "monitor"}) == 0 ? RunMode::Application
                                                                                      : RunMode::Monitor;
    if (config.firmwareVersion.empty())
        config.startMode = RunMode::Monitor; // nothing else to run
    config.firmwareVersionAfterUpdate = terminal.word("firmware_version_after_update");
    config.biosFile = terminal.word("bios_file");
}

void readAuthentication(SectionReader& terminal, TerminalConfig& config) {
    static const AuthenticationMode modes[] = {AuthenticationMode::IDBased, AuthenticationMode::IPBased,
                                               AuthenticationMode::None};
    config.authentication = modes[terminal.choice("authentication", {"id", "ip", "none"})];
    for (auto& request :
         terminal.words("secured_requests", "reset ip monitor eeread rfwdlexecute rfwdlstatus rparadlexecute "
                                            "rparadlstatus rkeytrans rcardcfg"))
        config.securedRequests.insert(request);
    config.answersFind = terminal.flag("answers_find", true);
    config.securityId = static_cast<std::uint32_t>(terminal.number("security_id", 0, 0, 0xFFFFFFFFLL, 16));
    config.maintenanceGroup = static_cast<std::uint16_t>(terminal.number("maintenance_group", 0, 0, 65535));
    config.deviceId = static_cast<int>(terminal.number("device_id", 0, 0, 0x7FFFFFFF));
    config.ipv6GlobalOrigin = terminal.choice("ipv6_global_origin", {"radv", "dhcp"}) == 0
                                  ? Ipv6Origin::RouterAdvertisement
                                  : Ipv6Origin::Dhcp;
}

// The TCL data key (32 hexadecimal digits, or the MD5 of a text), the answer
// lines and when the terminal closes a session.
void readTclApplication(SectionReader& terminal, TerminalConfig& config) {
    const std::string digits = terminal.text("tcl_key");
    const std::string keyText = terminal.quotedText("tcl_key_text", "");
    if (!digits.empty() && !keyText.empty())
        terminal.fail("tcl_key", "give tcl_key or tcl_key_text, not both");
    if (!digits.empty()) {
        auto bytes = hexBytes(digits);
        if (!bytes || bytes->size() != AesKey().size())
            terminal.fail("tcl_key", "must be 32 hexadecimal digits");
        config.tclKey.emplace();
        std::copy(bytes->begin(), bytes->end(), config.tclKey->begin());
    } else if (!keyText.empty()) {
        config.tclKey = md5(keyText);
    }
    if (config.tclEncrypt && !config.tclKey)
        terminal.fail("tcl_key", "needed with tcl_encrypt = 1 (or tcl_key_text)");
    config.tclAnswers.answer = terminal.quotedText("tcl_answer", "OK");
    config.tclAnswers.escape = terminal.quotedText("tcl_esc_answer", "ESC");
    config.tclAnswers.error = terminal.quotedText("tcl_error_answer", "ERROR");
    config.tclAnswers.closeOn = terminal.quotedText("tcl_close_on", "");
    config.tclIdleCloseMilliseconds = static_cast<int>(terminal.number("tcl_idle_close_ms", 0, 0, 3600000));
}

void readServices(SectionReader& terminal, TerminalConfig& config) {
    config.tclPort = static_cast<std::uint16_t>(terminal.number("tcl_port", 3000, 0, 65535));
    config.tclConnect =
        terminal.choice("tcl_connect", {"active", "passive"}) == 0 ? TclConnect::Active : TclConnect::Passive;
    config.tclEncrypt = terminal.flag("tcl_encrypt", false);
    config.tclHost = terminal.word("tcl_host");
    readTclApplication(terminal, config);
    config.sram = static_cast<unsigned>(terminal.number("sram", 512, 0, 0xFFFFFFFFLL));
    config.wiegand = terminal.flag("wiegand", false);
    config.operatingSystem = terminal.quotedText("os", "Linux 4.19");
    config.rootFileSystemVersion = static_cast<int>(terminal.number("rootfs_version", 0, 0, 999999));
    config.flash = terminal.quotedText("flash", "AMD29F400BT");
}

// 128 bytes: erased (0xFF), then the hexadecimal bytes given (blanks between
// them allowed), then the keyboard and display type characters.
void readEeprom(SectionReader& terminal, TerminalConfig& config) {
    config.eeprom.fill(0xFF);
    std::string digits;
    for (char character : terminal.text("eeprom"))
        if (character != ' ' && character != '\t')
            digits += character;
    auto bytes = hexBytes(digits);
    if (!bytes || bytes->size() > config.eeprom.size())
        terminal.fail("eeprom", "must be at most 128 bytes in hexadecimal digits");
    std::copy(bytes->begin(), bytes->end(), config.eeprom.begin());
    struct Override {
        const char* key;
        std::size_t offset;
    };
    for (auto [key, offset] : {Override{"eeprom_keyboard", 88}, Override{"eeprom_display", 86}}) {
        std::string value = terminal.text(key);
        if (value.size() > 1)
            terminal.fail(key, "must be one character");
        if (!value.empty())
            config.eeprom[offset] = static_cast<std::uint8_t>(value[0]);
    }
}

void readTiming(SectionReader& terminal, TerminalConfig& config) {
    constexpr long long kHour = 3600000;
    config.rebootMilliseconds = static_cast<int>(terminal.number("reboot_ms", 5000, 0, kHour));
    config.sysbootMilliseconds =
        static_cast<int>(terminal.number("sysboot_ms", 2LL * config.rebootMilliseconds, 0, kHour));
    config.monitorRestartMilliseconds =
        static_cast<int>(terminal.number("monitor_restart_ms", 1000, 0, kHour));
    config.monitorPassMilliseconds = static_cast<int>(terminal.number("monitor_pass_ms", 0, 0, kHour));
}

int readerNumber(SectionReader& readers, const std::string& key, std::string_view text) {
    int number = -1;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || number < 0 || number > 16)
        readers.fail(key, "reader numbers are 0 to 16");
    return number;
}

void readReaders(SectionReader& readers, TerminalConfig& config) {
    ReaderBusConfig& bus = config.readers;
    for (const std::string& number : readers.words("present", ""))
        bus.present.insert(readerNumber(readers, "present", number));
    bus.key = readers.word("key", "none");
    bus.cardUnlocked = readers.choice("card", {"locked", "unlocked"}) == 1;
    bus.firmwareVersion = readers.word("firmware_version", "1.00");
    bus.parameterVersion = readers.word("parameter_version", "1");
    bus.statusSteps = static_cast<int>(readers.number("status_steps", 2, 0, 1000));
    // "3:-222": reader 3's update ends with -222.
    for (const std::string& failure : readers.words("failures", "")) {
        const std::size_t colon = failure.find(':');
        int code = 0;
        const char* last = failure.data() + failure.size();
        auto [end, error] = colon == std::string::npos
                                ? std::from_chars_result{failure.data(), std::errc::invalid_argument}
                                : std::from_chars(failure.data() + colon + 1, last, code);
        if (error != std::errc() || end != last)
            readers.fail("failures", "must be READER:CODE words, as 3:-222");
        bus.failures[readerNumber(readers, "failures", std::string_view(failure).substr(0, colon))] = code;
    }
    bus.startStatus = static_cast<int>(readers.number("start_status", 0, -1000, 0));
    readers.refuseUnknownKeys();
}

void readFaults(SectionReader& faults, TerminalConfig& config) {
    std::string drop = faults.text("drop", "0");
    double probability = -1.0;
    auto [end, error] = std::from_chars(drop.data(), drop.data() + drop.size(), probability);
    if (error != std::errc() || end != drop.data() + drop.size() ||
        !(probability >= 0.0 && probability <= 1.0))
        faults.fail("drop", "must be a probability from 0 to 1");
    config.faults.dropProbability = probability;
    config.faults.delayMilliseconds = static_cast<int>(faults.number("delay_ms", 0, 0, 600000));
    config.faults.duplicate = faults.flag("duplicate", false);
    config.faults.silent = faults.flag("silent", false);
    for (auto& request : faults.words("ignored_requests", ""))
        config.faults.ignoredRequests.insert(request);
    config.faults.refuseIp = faults.flag("refuse_ip", false);
    faults.refuseUnknownKeys();
}

} // namespace

TerminalConfig readTerminalConfig(const IniData& ini) {
    TerminalConfig config;
    SectionReader network(ini, "network");
    readNetwork(network, config);
    SectionReader terminal(ini, "terminal");
    readIdentity(terminal, config);
    readAuthentication(terminal, config);
    readServices(terminal, config);
    readEeprom(terminal, config);
    readTiming(terminal, config);
    terminal.refuseUnknownKeys();
    SectionReader readers(ini, "readers");
    readReaders(readers, config);
    SectionReader faults(ini, "faults");
    readFaults(faults, config);
    return config;
}

TerminalConfig loadTerminalConfig(const std::string& fileName) {
    IniFile file(fileName, ": not found");
    return readTerminalConfig(file);
}

} // namespace kestrix::sim

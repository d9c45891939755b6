#pragma once

// Helpers of the simulator's protocol tests: request and reply bytes written
// as text, a terminal configuration with a few keys changed, and an
// interface stand-in that records what a restart puts on it.
#include "settings_files/ini_data.h"
#include "sim/interface_address.h"
#include "sim/request_check.h"
#include "sim/responder.h"
#include "sim/terminal_config.h"

#include <cstdio>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

// A request's text as the terminal sees it: every blank a zero byte.
inline std::string requestBody(std::string_view text) {
    std::string bytes(text);
    for (char& character : bytes)
        if (character == ' ')
            character = '\0';
    return bytes;
}

// A request datagram: the body and one terminating zero byte.
inline std::string requestBytes(std::string_view text) {
    return requestBody(text) + '\0';
}

// A reply datagram written with "|" between its fields: every field followed by a zero byte.
inline std::string replyBytes(std::string_view fields) {
    std::string bytes(fields);
    for (char& character : bytes)
        if (character == '|')
            character = '\0';
    return bytes + '\0';
}

inline std::span<const std::uint8_t> asBytes(const std::string& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

// The request with the "sid=" suffix that the terminal of testConfig() computes for it.
inline std::string withSid(const std::string& text, std::uint16_t group = 0x1234) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "sid=%08X",
                  kestrix::sim::idBasedCheck("100101", group, 0xA1B2C3D4, requestBytes(text)));
    return text + " " + suffix;
}

using ConfigEntry = std::tuple<std::string, std::string, std::string>; // section, key, value

// The terminal most tests talk to: a TALMO 7450 with serial number 100101 at
// 10.77.0.11/24, ID-based authentication, group 0x1234 (4660), security id
// A1B2C3D4; the entries given replace or add keys.
inline kestrix::IniData testIni(const std::vector<ConfigEntry>& changes = {}) {
    kestrix::IniData ini;
    const std::vector<ConfigEntry> base = {
        {"network", "interface", "eth0"},
        {"network", "ipv4", "10.77.0.11"},
        {"network", "mask", "255.255.255.0"},
        {"network", "gateway", "10.77.0.1"},
        {"network", "dhcp", "0"},
        {"network", "dhcp_name", "talmo-100101"},
        {"network", "ipv6_linklocal", "fe80::11"},
        {"network", "ipv6_global", "2001:db8:77::11"},
        {"terminal", "product", "TALMO 7450"},
        {"terminal", "serial_number", "100101"},
        {"terminal", "kind", "ACM"},
        {"terminal", "firmware_version", "6.12"},
        {"terminal", "monitor_version", "2.05"},
        {"terminal", "authentication", "id"},
        {"terminal", "security_id", "A1B2C3D4"},
        {"terminal", "maintenance_group", "4660"},
        {"terminal", "device_id", "7"},
        {"terminal", "tcl_host", "10.77.0.1:4711"},
    };
    for (const auto& [section, key, value] : base)
        ini.setValue(section, key, value);
    for (const auto& [section, key, value] : changes)
        ini.setValue(section, key, value);
    return ini;
}

inline kestrix::sim::TerminalConfig testConfig(const std::vector<ConfigEntry>& changes = {}) {
    return kestrix::sim::readTerminalConfig(testIni(changes));
}

// Records every address change instead of making it.
class RecordingInterfaceAddress : public kestrix::sim::InterfaceAddress {
public:
    struct Change {
        std::string interfaceName;
        kestrix::sim::Ipv4Settings from;
        kestrix::sim::Ipv4Settings to;
    };
    void replaceIPv4(const std::string& interfaceName, const kestrix::sim::Ipv4Settings& from,
                     const kestrix::sim::Ipv4Settings& to) override {
        std::lock_guard lock(mutex_);
        changes_.push_back({interfaceName, from, to});
    }
    std::vector<Change> changes() {
        std::lock_guard lock(mutex_);
        return changes_;
    }

private:
    std::mutex mutex_;
    std::vector<Change> changes_;
};

// A responder for a configuration, with its recording interface.
struct TestTerminal {
    explicit TestTerminal(const std::vector<ConfigEntry>& changes = {})
        : responder(testConfig(changes), network) {}

    // The reply to a request text from the sender; empty when there is none.
    std::string ask(std::string_view text, const kestrix::Ip6Address& sender) {
        return answerBytes(requestBytes(text), sender);
    }
    std::string answerBytes(const std::string& datagram, const kestrix::Ip6Address& sender) {
        return responder.answer(asBytes(datagram), sender).value_or(std::string());
    }

    RecordingInterfaceAddress network;
    kestrix::sim::Responder responder;
};

inline kestrix::Ip6Address pcAddress() {
    return kestrix::Ip6Address::fromIPv4Bytes(10, 77, 0, 1);
}

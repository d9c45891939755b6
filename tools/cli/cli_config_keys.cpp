#include "cli_config_keys.h"

#include "cli_common.h"
#include "config/setup_page_network.h"
#include "platform/ip_address.h"
#include "protocol/t7000ip_key.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>

namespace kestrix::cli {
namespace {

constexpr std::array<KeyEntry, 17> kKeys = {{
    {"address", SetupKey::Address, "the IPv4 address, dotted"},
    {"mask", SetupKey::Mask, "the IPv4 net mask, dotted"},
    {"router", SetupKey::Router, "the IPv4 router, dotted"},
    {"dhcp-name", SetupKey::DhcpName, "DHCP host name: letters, digits, '-', up to 19 (block 6.00 on)"},
    {"ip-stack", SetupKey::IpStack, "ipv4, dual or ipv6 (block 6.10 on)"},
    {"host-address", SetupKey::HostAddress, "the host of channel A: an IPv4 or IPv6 address"},
    {"host-port", SetupKey::HostPort, "its TCP port, 1-65535 (80 and empty: warned; empty is 3001)"},
    {"group", SetupKey::Group, "the new maintenance group, 0-65535 (grade 3)"},
    {"gmt-offset", SetupKey::GmtOffset, "minutes east of Greenwich in whole hours, -840 to 840"},
    {"summer", SetupKey::Summer, "automatic summer time: auto or off"},
    {"summer-start", SetupKey::SummerStart, "YYYY-MM-DD/HH or a POSIX rule such as M3.5.0/2"},
    {"summer-end", SetupKey::SummerEnd, "YYYY-MM-DD/HH or a POSIX rule such as M10.5.0/3"},
    {"password1", SetupKey::Password1, "setup password of grade 1: 6 characters"},
    {"password2", SetupKey::Password2, "setup password of grade 2: 8 characters (grade 2 or 3)"},
    {"password3", SetupKey::Password3, "setup password of grade 3: 8 characters (grade 3)"},
    {"host-encrypt", SetupKey::HostEncrypt, "encryption of the host interface: on or off (grade 3)"},
    {"host-key-text", SetupKey::HostKeyText, "the text the host key is made of (grade 3)"},
}};

} // namespace

const KeyEntry* findSetupKey(std::string_view name) {
    const auto entry =
        std::find_if(kKeys.begin(), kKeys.end(), [&](const KeyEntry& known) { return known.name == name; });
    return entry == kKeys.end() ? nullptr : &*entry;
}

bool wholeNumber(const std::string& text, long minimum, long maximum, long& value) {
    const bool negative = text.starts_with("-");
    const std::string digits = negative || text.starts_with("+") ? text.substr(1) : text;
    if (!optionNumber(digits, 0, std::max(-minimum, maximum), value))
        return false;
    value = negative ? -value : value;
    return value >= minimum && value <= maximum;
}

std::optional<SummerTimePoint> calendarPoint(const std::string& text) {
    long year = 0, month = 0, day = 0, hour = 0;
    if (text.size() != 13 || text[4] != '-' || text[7] != '-' || text[10] != '/' ||
        !optionNumber(text.substr(0, 4), 1970, 2099, year) ||
        !optionNumber(text.substr(5, 2), 1, 12, month) || !optionNumber(text.substr(8, 2), 1, 31, day) ||
        !optionNumber(text.substr(11, 2), 0, 23, hour))
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year{static_cast<int>(year)},
                                           std::chrono::month{static_cast<unsigned>(month)},
                                           std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok())
        return std::nullopt;
    return SummerTimePoint{SummerTimeForm::Calendar, date, static_cast<int>(hour), {}};
}

// Why a value is malformed for its key; empty when it is not. The pages'
// own rules (a DHCP name's characters, a password's length, a POSIX rule's
// numbers) are the pages' to check.
std::string malformed(const Setting& setting) {
    const std::string& value = setting.value;
    long number = 0;
    switch (setting.entry->key) {
    case SetupKey::Address:
    case SetupKey::Mask:
    case SetupKey::Router: {
        const std::optional<Ip6Address> address = addressFromText(value);
        return address && address->isIPv4Mapped() && value.find(':') == std::string::npos ? ""
                                                                                          : "an IPv4 address";
    }
    case SetupKey::DhcpName:
        return value.size() <= NetworkPage::kDhcpHostNameLimit ? "" : "at most 19 characters";
    case SetupKey::IpStack:
        return value == "ipv4" || value == "dual" || value == "ipv6" ? "" : "ipv4, dual or ipv6";
    case SetupKey::HostAddress: {
        const bool bracketed = value.starts_with("[") && value.ends_with("]");
        const std::string inner = bracketed ? value.substr(1, value.size() - 2) : value;
        return addressFromText(inner) ? "" : "an IPv4 or IPv6 address";
    }
    case SetupKey::HostPort:
        return value.empty() || optionNumber(value, 1, 65535, number) ? "" : "a port from 1 to 65535";
    case SetupKey::Group:
        return CT7000ipKey::parseGroup(value) ? "" : "a number from 0 to 65535";
    case SetupKey::GmtOffset:
        return wholeNumber(value, -840, 840, number) && number % 60 == 0
                   ? ""
                   : "minutes east of Greenwich in whole hours, from -840 to 840";
    case SetupKey::Summer:
        return value == "auto" || value == "off" ? "" : "auto or off";
    case SetupKey::SummerStart:
    case SetupKey::SummerEnd:
        if (calendarPoint(value) ||
            (value.starts_with("M") && value.size() <= SetupSummerTime::kPosixRuleLimit))
            return "";
        return "YYYY-MM-DD/HH or a POSIX rule Mm.w.d[/h]";
    case SetupKey::HostEncrypt:
        return value == "on" || value == "off" ? "" : "on or off";
    case SetupKey::Password1:
    case SetupKey::Password2:
    case SetupKey::Password3:
    case SetupKey::HostKeyText:
        return "";
    }
    return "";
}

std::string setupKeysHelp() {
    std::string text = "  Keys:\n";
    for (const KeyEntry& entry : kKeys) {
        char line[160];
        std::snprintf(line, sizeof line, "    %-15s%s\n", std::string(entry.name).c_str(),
                      std::string(entry.values).c_str());
        text += line;
    }
    return text;
}

} // namespace kestrix::cli

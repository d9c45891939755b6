#pragma once

// The keys of kestrix-cli config set: their names, what config set --help
// says of their values, and the check of a value's form. Whether a page takes
// a well-formed value is the page's to decide.
#include "config/setup_summer_time.h"

#include <optional>
#include <string>
#include <string_view>

namespace kestrix::cli {

enum class SetupKey {
    Address,
    Mask,
    Router,
    DhcpName,
    IpStack,
    HostAddress,
    HostPort,
    Group,
    GmtOffset,
    Summer,
    SummerStart,
    SummerEnd,
    Password1,
    Password2,
    Password3,
    HostEncrypt,
    HostKeyText,
};

struct KeyEntry {
    std::string_view name;
    SetupKey key;
    std::string_view values; // what config set --help says of its values
};

struct Setting {
    const KeyEntry* entry;
    std::string value;
};

// The key of that name; nullptr when there is none.
const KeyEntry* findSetupKey(std::string_view name);

// Whether the whole text is a number from minimum to maximum (a sign allowed).
bool wholeNumber(const std::string& text, long minimum, long maximum, long& value);
// A calendar point "YYYY-MM-DD/HH" of a real date and an hour 0-23.
std::optional<SummerTimePoint> calendarPoint(const std::string& text);
// Why a value is malformed for its key ("a port from 1 to 65535"); empty when it is not.
std::string malformed(const Setting& setting);
// The keys and their values, as config set --help lists them.
std::string setupKeysHelp();

} // namespace kestrix::cli

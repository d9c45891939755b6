#pragma once

// Helpers for reading the named values of terminal replies with the word
// reader; used by the find and echo reply parsers only.
#include "protocol/word_reader.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrix::reply_words {

// Names and flags in replies are compared over their own length.
inline bool beginsWith(std::string_view word, std::string_view name) {
    return word.starts_with(name);
}

// After a name: "=" and the value. Nothing when "=" or the value is missing.
inline std::optional<std::string> readAssignedValue(WordReader& reader) {
    auto equals = reader.next();
    if (!equals || *equals != "=")
        return std::nullopt;
    return reader.next();
}

// A flag word that begins with the given name and is not itself followed by
// "=" (then it would be the next named value, as "DHCPNAME=" is not the flag
// "DHCP"). Reads it when it is there; leaves the reader as it was otherwise.
inline bool readFlag(WordReader& reader, std::string_view name) {
    WordReader ahead = reader;
    auto word = ahead.next();
    if (!word || !beginsWith(*word, name))
        return false;
    WordReader afterFlag = ahead;
    auto following = afterFlag.next();
    if (following && *following == "=")
        return false;
    reader = ahead;
    return true;
}

// The next word when it begins with the given name, without reading it.
inline bool nextBeginsWith(const WordReader& reader, std::string_view name) {
    WordReader ahead = reader;
    auto word = ahead.next();
    return word && beginsWith(*word, name);
}

// A security id ("ID") is eight hexadecimal digits; anything else counts as
// no id (0).
inline std::uint32_t readSecurityId(std::string_view text) {
    if (text.empty() || text.size() > 8)
        return 0;
    std::uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size())
        return 0;
    return value;
}

} // namespace kestrix::reply_words

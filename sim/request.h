#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix::sim {

// The most a request datagram may hold; anything longer is ignored.
inline constexpr std::size_t kMaxRequestBytes = 1024;

// Which authentication suffix a request ends with.
enum class SuffixKind { None, IPBased, IDBased };

// One maintenance request as the terminal receives it: words separated by
// zero bytes, one terminating zero byte, optionally an "auth=" or "sid="
// suffix as its last word. It only splits the request; whether the suffix is
// right is the business of request_check.h.
struct Request {
    std::vector<std::string> words; // command, serial number, arguments ("=" is a word of its own)
    SuffixKind suffix = SuffixKind::None;
    std::string suffixValue; // the text after "auth=" or "sid="
    // The request before its suffix as it arrived: blanks as zero bytes,
    // without the zero byte that separates the suffix (the whole request
    // without its terminating zero when there is no suffix).
    std::string body;

    const std::string& command() const { return words[0]; }
    const std::string& serialNumber() const { return words[1]; }
    // The value of a named argument "name=value" after the serial number;
    // nothing when it is absent or has no value.
    std::optional<std::string> argument(std::string_view name) const;
    // Whether a plain word (not a name or value) stands after the serial number.
    bool hasFlag(std::string_view flag) const;
};

// Splits a request datagram. Nothing (the terminal ignores the datagram) when
// it is empty, longer than kMaxRequestBytes, not terminated by a zero byte,
// or has fewer than two words (command and serial number).
std::optional<Request> parseRequest(std::span<const std::uint8_t> datagram);

// What a host sent, as a printable line for the trace: zero bytes as blanks,
// other control bytes as ".".
std::string printableForTrace(std::string_view bytes);

} // namespace kestrix::sim

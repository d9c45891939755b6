#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrix {

// The outcome of decoding Base64 text.
enum class Base64Status {
    Decoded,
    BadLength,    // the length is not a multiple of 4 (the padding is required)
    BadCharacter, // a character outside A-Z, a-z, 0-9, "+", "/" and "=" (whitespace included)
    BadPadding,   // "=" anywhere but as the last one or two characters, or leftover bits that are not zero
};

struct Base64Result {
    Base64Status status = Base64Status::Decoded;
    std::vector<std::uint8_t> bytes; // empty unless decoded
};

// Decodes standard Base64 (RFC 4648, section 4: the alphabet with "+" and "/",
// "=" padding) strictly: the whole text, in groups of four characters, with
// nothing skipped and nothing accepted that another encoder would not have
// written (so every byte string has exactly one accepted text). The empty
// text decodes to no bytes. It reads only the text it is given, and the result
// has as many bytes as the text encodes; checking that count is the caller's.
Base64Result decodeBase64(std::string_view text);

} // namespace kestrix

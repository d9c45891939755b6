#include "terminal/normalize_address.h"

namespace kestrix {

namespace {

bool isDecimalDigit(char character) {
    return character >= '0' && character <= '9';
}

bool isHexadecimalLetter(char character) {
    return (character >= 'a' && character <= 'f') || (character >= 'A' && character <= 'F');
}

} // namespace

std::string normalizeAddress(std::string_view text) {
    if (text.empty())
        return std::string();
    const char first = text.front();
    const bool hasColon = text.find(':') != std::string_view::npos;
    if (first == '[') {
        std::string_view inside = text.substr(1);
        if (auto closing = inside.rfind(']'); closing != std::string_view::npos)
            inside = inside.substr(0, closing);
        return std::string(inside);
    }
    if (first == ':')
        return std::string(text);
    if (isDecimalDigit(first)) {
        if (hasColon)
            return std::string(text);
        auto dot = text.find('.');
        if (dot != std::string_view::npos && dot + 1 < text.size() && isDecimalDigit(text[dot + 1]))
            return "::ffff:" + std::string(text);
        return std::string();
    }
    if (isHexadecimalLetter(first) && hasColon)
        return std::string(text);
    return std::string();
}

} // namespace kestrix

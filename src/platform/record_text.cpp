// Comma-separated values and JSON strings.
#include "platform/record_text.h"

#include <cstdio>

namespace kestrix {

std::string csvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t index = 0; index < fields.size(); ++index) {
        const std::string& field = fields[index];
        if (index > 0)
            line += ',';
        if (field.find_first_of(",\"\r\n") == std::string::npos) {
            line += field;
            continue;
        }
        line += '"';
        for (char character : field) {
            if (character == '"')
                line += '"';
            line += character;
        }
        line += '"';
    }
    return line + "\r\n";
}

namespace {

// The length of the UTF-8 sequence at the start of text, 0 when it is none.
std::size_t utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char first = byte(0);
    std::size_t length = 0;
    if (first >= 0xC2 && first <= 0xDF)
        length = 2;
    else if (first >= 0xE0 && first <= 0xEF)
        length = 3;
    else if (first >= 0xF0 && first <= 0xF4)
        length = 4;
    if (length == 0 || text.size() < length)
        return 0;
    for (std::size_t at = 1; at < length; ++at)
        if ((byte(at) & 0xC0) != 0x80)
            return 0;
    // Overlong forms, surrogates and code points beyond U+10FFFF.
    if ((first == 0xE0 && byte(1) < 0xA0) || (first == 0xED && byte(1) > 0x9F) ||
        (first == 0xF0 && byte(1) < 0x90) || (first == 0xF4 && byte(1) > 0x8F))
        return 0;
    return length;
}

} // namespace

std::string jsonString(std::string_view text) {
    std::string result = "\"";
    for (std::size_t index = 0; index < text.size();) {
        const auto byte = static_cast<unsigned char>(text[index]);
        if (byte >= 0x80) {
            const std::size_t length = utf8SequenceLength(text.substr(index));
            result += length == 0 ? std::string_view("\xEF\xBF\xBD") : text.substr(index, length);
            index += length == 0 ? 1 : length;
            continue;
        }
        ++index;
        switch (byte) {
        case '"':
            result += "\\\"";
            break;
        case '\\':
            result += "\\\\";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        case '\t':
            result += "\\t";
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                result += escaped;
            } else {
                result += static_cast<char>(byte);
            }
        }
    }
    return result + "\"";
}

} // namespace kestrix

#include "messages/message_table_text.h"

#include <array>
#include <charconv>
#include <cstdio>

namespace kestrix {

namespace {

// Length of the UTF-8 sequence at the start of `text`, or 0 when it is not a
// well-formed sequence (overlong forms, surrogates and values above U+10FFFF
// are not).
std::size_t utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t index) { return static_cast<unsigned char>(text[index]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char secondLow = 0x80;
    unsigned char secondHigh = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            secondLow = 0xA0;
        if (lead == 0xED)
            secondHigh = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            secondLow = 0x90;
        if (lead == 0xF4)
            secondHigh = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < secondLow || byte(1) > secondHigh)
        return 0;
    for (std::size_t index = 2; index < length; ++index) {
        if (byte(index) < 0x80 || byte(index) > 0xBF)
            return 0;
    }
    return length;
}

bool isUtf8(std::string_view text) {
    while (!text.empty()) {
        const std::size_t length = utf8SequenceLength(text);
        if (length == 0)
            return false;
        text.remove_prefix(length);
    }
    return true;
}

// The first raw control character of a line (a tab separates fields and is
// allowed), or nothing.
std::optional<unsigned char> firstControlCharacter(std::string_view line) {
    for (const char character : line) {
        const auto code = static_cast<unsigned char>(character);
        if ((code < 0x20 && code != '\t') || code == 0x7F)
            return code;
    }
    return std::nullopt;
}

// Splits a line at its tabs.
std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (std::size_t tab = line.find('\t'); tab != std::string_view::npos; tab = line.find('\t', start)) {
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

// The id field must be the decimal number `expected`, without sign or leading zeros.
bool isId(std::string_view field, std::size_t expected) {
    if (field.empty() || (field.size() > 1 && field.front() == '0'))
        return false;
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    return error == std::errc() && end == field.data() + field.size() && value == expected;
}

// Decodes and checks one text field; an empty result text means success.
std::string readTextField(std::string_view field, const char* language, std::string& decoded) {
    std::optional<std::string> text = decodeMessageText(field);
    if (!text)
        return std::string("unknown escape sequence in the ") + language +
               " text (only \\n, \\t, \\r and \\\\ are known)";
    if (text->empty())
        return std::string("the ") + language + " text is empty";
    if (!isUtf8(*text))
        return std::string("the ") + language + " text is not valid UTF-8";
    decoded = std::move(*text);
    return {};
}

// Checks one line and appends its entry; an empty result text means success.
std::string readLine(std::string_view line, std::vector<MessagePair>& entries) {
    if (line.empty())
        return "empty line";
    if (const std::optional<unsigned char> control = firstControlCharacter(line)) {
        std::array<char, 80> fault{};
        std::snprintf(fault.data(), fault.size(), "control character 0x%02X in the line%s", *control,
                      *control == '\r' ? " (the file must have LF line ends)" : "");
        return fault.data();
    }
    const std::vector<std::string_view> fields = splitFields(line);
    if (fields.size() != 3)
        return "the line has " + std::to_string(fields.size()) +
               " tab-separated fields, expected 3 (id, German, English)";
    if (!isId(fields[0], entries.size()))
        return "expected id " + std::to_string(entries.size()) + ", found '" + std::string(fields[0]) + "'";
    MessagePair pair;
    if (std::string fault = readTextField(fields[1], "German", pair.german); !fault.empty())
        return fault;
    if (std::string fault = readTextField(fields[2], "English", pair.english); !fault.empty())
        return fault;
    entries.push_back(std::move(pair));
    return {};
}

} // namespace

std::optional<std::string> decodeMessageText(std::string_view field) {
    std::string decoded;
    decoded.reserve(field.size());
    for (std::size_t index = 0; index < field.size(); ++index) {
        if (field[index] != '\\') {
            decoded.push_back(field[index]);
            continue;
        }
        if (++index == field.size())
            return std::nullopt;
        switch (field[index]) {
        case 'n':
            decoded.push_back('\n');
            break;
        case 't':
            decoded.push_back('\t');
            break;
        case 'r':
            decoded.push_back('\r');
            break;
        case '\\':
            decoded.push_back('\\');
            break;
        default:
            return std::nullopt;
        }
    }
    return decoded;
}

MessageTableReading readMessageTable(std::string_view text, std::size_t expectedCount) {
    MessageTableReading reading;
    reading.entries.reserve(expectedCount);
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (reading.entries.size() == expectedCount) {
            reading.fault = "the table has more than " + std::to_string(expectedCount) + " entries";
        } else {
            reading.fault = readLine(line, reading.entries);
        }
        if (!reading.ok()) {
            reading.faultLine = lineNumber;
            return reading;
        }
    }
    if (reading.entries.size() != expectedCount) {
        reading.faultLine = lineNumber + 1;
        reading.fault = "the table ends after " + std::to_string(reading.entries.size()) +
                        " entries, expected " + std::to_string(expectedCount);
    }
    return reading;
}

} // namespace kestrix

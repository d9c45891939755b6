#include "lan/friendly_name.h"

#include <climits>
#include <cwchar>

namespace kestrix {

static_assert(sizeof(wchar_t) == 4, "friendly names hold whole code points in one wchar_t");

namespace {

constexpr char32_t kReplacementCharacter = 0xfffd;
constexpr std::size_t kLocalTextLimit = kFriendlyNameSize - 1;

// Reads one UTF-8 sequence at text[position] and moves position past it. A
// byte that does not begin a valid, shortest-form sequence of a code point
// outside the surrogates yields U+FFFD and moves on by that one byte.
char32_t decodeUtf8(std::string_view text, std::size_t& position) {
    const auto byteAt = [&](std::size_t offset) { return static_cast<unsigned char>(text[offset]); };
    const unsigned char lead = byteAt(position);
    std::size_t length = 1;
    char32_t value = lead;
    char32_t smallest = 0;
    if (lead >= 0xc0 && lead < 0xe0) {
        length = 2;
        value = lead & 0x1f;
        smallest = 0x80;
    } else if (lead >= 0xe0 && lead < 0xf0) {
        length = 3;
        value = lead & 0x0f;
        smallest = 0x800;
    } else if (lead >= 0xf0 && lead < 0xf8) {
        length = 4;
        value = lead & 0x07;
        smallest = 0x10000;
    } else if (lead >= 0x80) {
        ++position;
        return kReplacementCharacter;
    }
    if (length > text.size() - position) {
        ++position;
        return kReplacementCharacter;
    }
    for (std::size_t offset = 1; offset < length; ++offset) {
        const unsigned char next = byteAt(position + offset);
        if ((next & 0xc0) != 0x80) {
            ++position;
            return kReplacementCharacter;
        }
        value = (value << 6) | (next & 0x3f);
    }
    if (value < smallest || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff)) {
        ++position;
        return kReplacementCharacter;
    }
    position += length;
    return value;
}

bool isControlCharacter(wchar_t character) {
    return character < 0x20 || character == 0x7f || (character >= 0x80 && character < 0xa0);
}

// The bytes of one character in the current LC_CTYPE encoding; 0 when it is a
// control character or the encoding cannot write it.
std::size_t localBytes(wchar_t character, char (&bytes)[MB_LEN_MAX]) {
    if (isControlCharacter(character))
        return 0;
    std::mbstate_t state{};
    const std::size_t length = std::wcrtomb(bytes, character, &state);
    return length == static_cast<std::size_t>(-1) ? 0 : length;
}

} // namespace

FriendlyNameBuffer friendlyNameFromSystemName(std::string_view systemName) {
    FriendlyNameBuffer name{};
    std::size_t position = 0;
    for (std::size_t count = 0; count < kFriendlyNameSize - 1 && position < systemName.size(); ++count) {
        const char32_t character = decodeUtf8(systemName, position);
        if (character == 0)
            break;
        name[count] = static_cast<wchar_t>(character);
    }
    return name;
}

std::string friendlyNameToLocalText(const FriendlyNameBuffer& name) {
    std::string text;
    for (const wchar_t character : name) {
        if (character == 0)
            break;
        char bytes[MB_LEN_MAX];
        std::size_t length = localBytes(character, bytes);
        if (length == 0) {
            bytes[0] = '?';
            length = 1;
        }
        if (text.size() + length > kLocalTextLimit)
            break;
        text.append(bytes, length);
    }
    return text.empty() ? std::string("???") : text;
}

std::wstring friendlyNameForTrace(const FriendlyNameBuffer& name) {
    std::wstring text;
    for (const wchar_t character : name) {
        if (character == 0)
            break;
        char bytes[MB_LEN_MAX];
        text.push_back(localBytes(character, bytes) == 0 ? L'?' : character);
    }
    return text;
}

} // namespace kestrix

#include "crypto/base64.h"

#include <array>
#include <cstddef>

namespace kestrix {
namespace {

constexpr std::uint8_t kNotInAlphabet = 0xFF;

constexpr std::array<std::uint8_t, 256> makeDecodeTable() {
    std::array<std::uint8_t, 256> table{};
    table.fill(kNotInAlphabet);
    constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t value = 0; value < alphabet.size(); ++value)
        table[static_cast<unsigned char>(alphabet[value])] = static_cast<std::uint8_t>(value);
    return table;
}

constexpr std::array<std::uint8_t, 256> kDecodeTable = makeDecodeTable();

Base64Result failure(Base64Status status) {
    return Base64Result{status, {}};
}

} // namespace

Base64Result decodeBase64(std::string_view text) {
    for (char character : text) {
        if (character != '=' && kDecodeTable[static_cast<unsigned char>(character)] == kNotInAlphabet)
            return failure(Base64Status::BadCharacter);
    }
    if (text.size() % 4 != 0)
        return failure(Base64Status::BadLength);

    std::size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=')
        ++padding;
    if (text.substr(0, text.size() - padding).find('=') != std::string_view::npos)
        return failure(Base64Status::BadPadding);

    Base64Result result;
    result.bytes.reserve(text.size() / 4 * 3);
    for (std::size_t start = 0; start < text.size(); start += 4) {
        const std::size_t significant = start + 4 == text.size() ? 4 - padding : 4;
        std::uint32_t group = 0;
        for (std::size_t index = 0; index < 4; ++index) {
            const std::uint32_t value =
                index < significant ? kDecodeTable[static_cast<unsigned char>(text[start + index])] : 0u;
            group = (group << 6) | value;
        }
        const std::size_t byteCount = significant - 1;
        // A shortened last group must not carry bits beyond its bytes.
        if (byteCount < 3 && (group & (0xFFFFFFu >> (8 * byteCount))) != 0)
            return failure(Base64Status::BadPadding);
        for (std::size_t index = 0; index < byteCount; ++index)
            result.bytes.push_back(static_cast<std::uint8_t>(group >> (16 - 8 * index)));
    }
    return result;
}

} // namespace kestrix

#include "protocol/request_auth.h"

#include "crypto/aes_cmac.h"
#include "crypto/crc16_arc.h"

#include <array>
#include <vector>

namespace kestrix {

namespace {

// Four decimal numbers separated by dots, each read as an unsigned 16-bit value.
std::optional<std::array<std::uint16_t, 4>> readFourNumbers(std::string_view text) {
    std::array<std::uint16_t, 4> numbers{};
    std::size_t at = 0;
    for (std::size_t index = 0; index < numbers.size(); ++index) {
        if (index > 0) {
            if (at >= text.size() || text[at] != '.')
                return std::nullopt;
            ++at;
        }
        std::size_t start = at;
        unsigned long value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            value = value * 10 + static_cast<unsigned long>(text[at] - '0');
            if (value > 0xffff)
                return std::nullopt;
            ++at;
        }
        if (at == start)
            return std::nullopt;
        numbers[index] = static_cast<std::uint16_t>(value);
    }
    if (at != text.size())
        return std::nullopt;
    return numbers;
}

} // namespace

std::optional<std::uint16_t> ipBasedCheckValue(std::string_view interfaceAddress, std::uint16_t group,
                                               std::string_view request) {
    auto numbers = readFourNumbers(interfaceAddress);
    if (!numbers)
        return std::nullopt;
    std::uint16_t crc = 0;
    for (std::uint16_t number : *numbers)
        crc = crc16ArcStep(crc, number);
    crc = crc16ArcStep(crc, static_cast<std::uint16_t>(group & 0xff));
    crc = crc16ArcStep(crc, static_cast<std::uint16_t>(group >> 8));
    for (char character : request) {
        std::uint8_t byte = character == ' ' ? 0 : static_cast<std::uint8_t>(character);
        crc = crc16ArcStep(crc, signWidened(byte));
    }
    return crc;
}

std::uint32_t idBasedCheckValue(std::string_view request, std::string_view serialNumber, std::uint16_t group,
                                std::uint32_t securityId) {
    std::vector<std::uint8_t> message(request.begin(), request.end());
    message.push_back(' ');
    for (auto& byte : message)
        if (byte == ' ')
            byte = 0;

    std::array<std::uint8_t, 10> s{};
    for (std::size_t i = 0; i < s.size() && i < serialNumber.size(); ++i)
        s[i] = static_cast<std::uint8_t>(serialNumber[i]);
    auto gByte = [&](int shift) { return static_cast<std::uint8_t>((group >> shift) & 0xff); };
    auto iByte = [&](int shift) { return static_cast<std::uint8_t>((securityId >> shift) & 0xff); };
    const AesKey key = {s[0], gByte(0), s[1], s[2],  iByte(24), s[3], gByte(8),  s[4],
                        s[5], iByte(0), s[6], iByte(16), s[7],     s[8], iByte(8), s[9]};

    AesBlock tag = aesCmac(key, message);
    return (std::uint32_t(tag[12]) << 24) | (std::uint32_t(tag[13]) << 16) | (std::uint32_t(tag[14]) << 8) |
           std::uint32_t(tag[15]);
}

} // namespace kestrix

#include "sim/request_check.h"

#include "crypto/aes_cmac.h"
#include "crypto/crc16_arc.h"

#include <charconv>

namespace kestrix::sim {
namespace {

// A decimal number of at most 65535 (digits only).
std::optional<std::uint16_t> decimalCheck(std::string_view text) {
    unsigned value = 0;
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value > 0xFFFF)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

// Exactly eight hexadecimal digits.
std::optional<std::uint32_t> hexadecimalCheck(std::string_view text) {
    std::uint32_t value = 0;
    if (text.size() != 8 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
        return std::nullopt;
    std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return value;
}

} // namespace

std::uint16_t ipBasedCheck(const std::array<std::uint8_t, 4>& sender, std::uint16_t group,
                           std::string_view requestBytes) {
    std::uint16_t crc = 0;
    for (std::uint8_t number : sender)
        crc = crc16ArcStep(crc, number);
    crc = crc16ArcStep(crc, static_cast<std::uint16_t>(group & 0xFF));
    crc = crc16ArcStep(crc, static_cast<std::uint16_t>(group >> 8));
    for (char character : requestBytes)
        crc = crc16ArcStep(crc, signWidened(static_cast<std::uint8_t>(character)));
    return crc;
}

std::uint32_t idBasedCheck(std::string_view serialNumber, std::uint16_t group, std::uint32_t securityId,
                           std::string_view message) {
    std::array<std::uint8_t, 10> serial{};
    for (std::size_t index = 0; index < serial.size() && index < serialNumber.size(); ++index)
        serial[index] = static_cast<std::uint8_t>(serialNumber[index]);
    auto byte = [](std::uint32_t value, int shift) {
        return static_cast<std::uint8_t>((value >> shift) & 0xFF);
    };
    const AesKey key = {serial[0], byte(group, 0),       serial[1], serial[2], byte(securityId, 24),
                        serial[3], byte(group, 8),       serial[4], serial[5], byte(securityId, 0),
                        serial[6], byte(securityId, 16), serial[7], serial[8], byte(securityId, 8),
                        serial[9]};
    AesBlock tag = aesCmac(key, {reinterpret_cast<const std::uint8_t*>(message.data()), message.size()});
    return static_cast<std::uint32_t>(tag[12]) << 24 | static_cast<std::uint32_t>(tag[13]) << 16 |
           static_cast<std::uint32_t>(tag[14]) << 8 | tag[15];
}

SuffixVerdict checkSuffix(const Request& request, const Ip6Address& sender, AuthenticationMode mode,
                          std::string_view serialNumber, std::uint16_t group, std::uint32_t securityId) {
    if (request.suffix == SuffixKind::None)
        return SuffixVerdict::Missing;
    if (mode == AuthenticationMode::IPBased && request.suffix == SuffixKind::IPBased) {
        auto received = decimalCheck(request.suffixValue);
        if (!received || !sender.isIPv4Mapped())
            return SuffixVerdict::Wrong;
        std::array<std::uint8_t, 4> numbers = {sender.bytes[12], sender.bytes[13], sender.bytes[14],
                                               sender.bytes[15]};
        return *received == ipBasedCheck(numbers, group, request.body) ? SuffixVerdict::Valid
                                                                       : SuffixVerdict::Wrong;
    }
    if (mode == AuthenticationMode::IDBased && request.suffix == SuffixKind::IDBased) {
        auto received = hexadecimalCheck(request.suffixValue);
        if (!received)
            return SuffixVerdict::Wrong;
        std::string message = request.body;
        message.push_back('\0');
        return *received == idBasedCheck(serialNumber, group, securityId, message) ? SuffixVerdict::Valid
                                                                                   : SuffixVerdict::Wrong;
    }
    return SuffixVerdict::Wrong;
}

} // namespace kestrix::sim

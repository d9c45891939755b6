#include "protocol/request_auth.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

// Expected values were worked out outside the program: the IP-based ones with
// a bit-by-bit CRC-16/ARC register fed the same 16-bit values, the ID-based
// ones with the openssl command line's AES-CMAC over the key laid out by hand.

TEST(IPBasedCheckValue, KnownAnswers) {
    struct Case {
        const char* interfaceAddress;
        std::uint16_t group;
        const char* request;
        unsigned checkValue;
    } cases[] = {
        {"192.168.1.10", 0x1234, "echo 123", 62043},
        // 0x80 and 0xE9 enter sign-widened (0xFF80, 0xFFE9); unsigned they would give 64916.
        {"192.168.1.10", 0x1234, "echo 123 \x80\xe9", 48427},
        {"192.168.1.10", 0, "reset 100200 mode=2", 43816},
        // Each number is read as a 16-bit value, so 300 and 65535 count as they are.
        {"300.1.2.65535", 65535, "ip 4711 addr=10.0.0.2", 1413},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ipBasedCheckValue(c.interfaceAddress, c.group, c.request), c.checkValue) << c.request;
}

TEST(IPBasedCheckValue, AddressThatIsNotFourDottedNumbers) {
    for (const char* address : {"", "192.168.1", "192.168.1.10.5", "a.b.c.d", "192.168.1.", ".1.2.3", "1..2.3",
                                "65536.1.1.1", "-1.2.3.4", "192.168.1.10 ", "fe80::1", "99999999999999999999.1.1.1"})
        EXPECT_FALSE(ipBasedCheckValue(address, 1, "echo 1")) << address;
}

TEST(IDBasedCheckValue, KeyFromSerialNumberGroupAndSecurityId) {
    // Key 31 34 32 33 A1 34 12 35 36 D4 37 B2 00 00 C3 00 (serial number
    // "1234567" padded with zeros), message "echo\0" "123\0": nine bytes.
    EXPECT_EQ(idBasedCheckValue("echo 123", "1234567", 0x1234, 0xA1B2C3D4), 0xAEEB34B0u);
    // Key 41 FF 42 00 ... 00; message "reset\0AB\0".
    EXPECT_EQ(idBasedCheckValue("reset AB", "AB", 0x00ff, 0), 0xBBB1C72Cu);
    // Only the first ten characters of the serial number make the key.
    EXPECT_EQ(idBasedCheckValue("echo 1", "1234567890", 7, 9), idBasedCheckValue("echo 1", "1234567890XYZ", 7, 9));
    EXPECT_NE(idBasedCheckValue("echo 1", "123456789", 7, 9), idBasedCheckValue("echo 1", "1234567890", 7, 9));
}

} // namespace
} // namespace kestrix

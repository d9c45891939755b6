#include "protocol/request_auth.h"
#include "support/data_file.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

unsigned long number(const std::string& text) {
    return std::stoul(text, nullptr, 0);
}

TEST(RequestAuth, KnownCheckValuesOfBothSuffixes) {
    const auto rows = test::readDataFile(KESTRIX_TEST_DATA "/auth_vectors.tsv");
    ASSERT_GE(rows.size(), 12u);
    for (const test::DataRow& row : rows) {
        const auto& f = row.fields;
        if (f[0] == "ip") {
            EXPECT_EQ(ipBasedCheckValue(f[1], static_cast<std::uint16_t>(number(f[2])), f[3]), number(f[4]))
                << "line " << row.line;
        } else {
            EXPECT_EQ(idBasedCheckValue(f[4], f[1], static_cast<std::uint16_t>(number(f[2])),
                                        static_cast<std::uint32_t>(number(f[3]))),
                      number(f[5]))
                << "line " << row.line;
        }
    }
    // Only the first ten characters of the serial number make the key.
    EXPECT_EQ(idBasedCheckValue("echo 1", "1234567890", 7, 9),
              idBasedCheckValue("echo 1", "1234567890XYZ", 7, 9));
    EXPECT_NE(idBasedCheckValue("echo 1", "123456789", 7, 9),
              idBasedCheckValue("echo 1", "1234567890", 7, 9));
}

TEST(RequestAuth, AddressThatIsNotFourDottedNumbersGivesNoCheckValue) {
    for (const char* address :
         {"", "192.168.1", "192.168.1.10.5", "a.b.c.d", "192.168.1.", ".1.2.3", "1..2.3", "65536.1.1.1",
          "-1.2.3.4", "192.168.1.10 ", "fe80::1", "99999999999999999999.1.1.1"})
        EXPECT_FALSE(ipBasedCheckValue(address, 1, "echo 1")) << address;
}

} // namespace
} // namespace kestrix

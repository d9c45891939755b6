#include "sim/terminal_config.h"

#include "sim_test_support.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace kestrix::sim;

// What the replies do not show (they show the rest): which requests need a
// suffix when the configuration does not list them, and the derived sysboot time.
TEST(SimTerminalConfig, DerivedDefaults) {
    EXPECT_EQ(testConfig().securedRequests,
              (std::set<std::string>{"eeread", "ip", "monitor", "rcardcfg", "reset", "rfwdlexecute",
                                     "rfwdlstatus", "rkeytrans", "rparadlexecute", "rparadlstatus"}));
    EXPECT_EQ(testConfig({{"terminal", "reboot_ms", "700"}}).sysbootMilliseconds, 1400);
}

TEST(SimTerminalConfig, WrongValuesAreRefusedWithTheirKey) {
    struct Case {
        ConfigEntry entry;
        std::string message;
    } cases[] = {
        {{"terminal", "serial_number", ""}, "[terminal] serial_number: needed"},
        {{"terminal", "serial_number", "*"}, "[terminal] serial_number: needed"},
        {{"terminal", "serial_number", "12345678901234567"}, "[terminal] serial_number: longer than 16"},
        {{"terminal", "serial_number", "1 2"}, "[terminal] serial_number: must be one word"},
        {{"terminal", "product", "TALMO"}, "[terminal] product: must be"},
        {{"terminal", "authentication", "both"}, "[terminal] authentication: must be id | ip | none"},
        {{"terminal", "security_id", "100000000"}, "[terminal] security_id: must be a hexadecimal number"},
        {{"terminal", "maintenance_group", "65536"},
         "[terminal] maintenance_group: must be a decimal number"},
        {{"terminal", "os", std::string(65, 'x')}, "[terminal] os: longer than 64"},
        {{"terminal", "eeprom", "0"}, "[terminal] eeprom: must be at most 128 bytes"},
        {{"terminal", "eeprom", std::string(258, 'F')}, "[terminal] eeprom: must be at most 128 bytes"},
        {{"terminal", "reboot_time", "5"}, "[terminal] reboot_time: unknown key"},
        {{"network", "mask", ""}, "[network] mask: needed with an IPv4 address"},
        {{"network", "mask", "255.0.255.0"}, "[network] mask: must be a contiguous net mask"},
        {{"network", "ipv6_linklocal", "fe80::1%eth0"}, "[network] ipv6_linklocal: must be an IPv6 address"},
        {{"faults", "drop", "1.5"}, "[faults] drop: must be a probability"},
    };
    for (const auto& c : cases) {
        try {
            testConfig({c.entry});
            ADD_FAILURE() << std::get<1>(c.entry) << " = " << std::get<2>(c.entry) << " was taken";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()).substr(0, c.message.size()), c.message) << error.what();
        }
    }
}

// Secured requests at the responder: the suffix values are literals worked out
// outside the program (see request_check_test.cpp), so a terminal that
// computes them differently, or reads their format loosely, fails here.
#include "sim/responder.h"

#include "sim_test_support.h"

#include <gtest/gtest.h>

using kestrix::Ip6Address;

namespace {

// IP-based terminal "123" in group 0x1234; the PC sends from 192.168.1.10.
const std::vector<ConfigEntry> kIPBased = {{"terminal", "serial_number", "123"},
                                           {"terminal", "authentication", "ip"}};
// ID-based terminal "1234567", group 0x1234, security id A1B2C3D4.
const std::vector<ConfigEntry> kIDBased = {{"terminal", "serial_number", "1234567"}};

const Ip6Address kPc = Ip6Address::fromIPv4Bytes(192, 168, 1, 10);

struct AuthCase {
    const std::vector<ConfigEntry>* config;
    std::string request;
    Ip6Address sender;
    std::string expectedLast; // the reply's last field that tells the outcome; empty: no reply
};

std::string lastField(const std::string& reply) {
    if (reply.empty())
        return {};
    std::string withoutEnd = reply.substr(0, reply.size() - 1);
    return withoutEnd.substr(withoutEnd.rfind('\0') + 1);
}

// The value after the field "auth=" in an echo reply, or the last field.
std::string outcome(const std::string& reply) {
    auto at = reply.find(std::string("\0auth=", 6));
    if (at == std::string::npos)
        return lastField(reply);
    return reply.substr(at + 1, reply.find('\0', at + 1) - at - 1);
}

} // namespace

TEST(SimAuthentication, BothModes) {
    const Ip6Address otherPc = Ip6Address::fromIPv4Bytes(192, 168, 1, 11);
    const Ip6Address ipv6Pc = *kestrix::addressFromText("fe80::1");
    const AuthCase cases[] = {
        // IP-based: the check value uses the sender's address as the terminal sees it.
        {&kIPBased, "echo 123 auth=62043", kPc, "auth=OK"},
        {&kIPBased, "echo 123 auth=62043", otherPc, "auth=FAILED"},
        {&kIPBased, "echo 123 auth=62043", ipv6Pc, "auth=FAILED"},
        {&kIPBased, "echo 123 auth=3679", otherPc, "auth=OK"},
        {&kIPBased, "echo * auth=65364", kPc, "auth=OK"},
        {&kIPBased, "echo 123", kPc, "auth=FAILED"},
        {&kIPBased, "echo 123 sid=AEEB34B0", kPc, "auth=FAILED"},
        {&kIPBased, "echo 123 auth=062043", kPc, "auth=FAILED"}, // five digits at most
        {&kIPBased, "echo 123 auth=+62043", kPc, "auth=FAILED"},
        {&kIPBased, "reset 123 mode=cold auth=28244", kPc, "reset."},
        {&kIPBased, "reset 123 mode=cold auth=28244", otherPc, ""},
        {&kIPBased, "reset 123 mode=cold auth=28245", kPc, ""},
        {&kIPBased, "reset 123 mode=cold", kPc, ""},
        {&kIPBased, "reset 123 mode=cold auth=28244", ipv6Pc, ""},
        // ID-based: any sender.
        {&kIDBased, "echo * sid=8A2641E8", kPc, "auth=OK"},
        {&kIDBased, "echo * sid=8A2641E8", ipv6Pc, "auth=OK"},
        {&kIDBased, "echo * sid=8a2641e8", kPc, "auth=OK"}, // either case
        {&kIDBased, "echo * sid=8A2641E9", kPc, "auth=FAILED"},
        {&kIDBased, "echo * sid=08A2641E8", kPc, "auth=FAILED"}, // eight digits exactly
        {&kIDBased, "echo * sid=8A2641E", kPc, "auth=FAILED"},
        {&kIDBased, "echo * auth=65364", kPc, "auth=FAILED"},
        {&kIDBased, "reset 1234567 mode=ice sid=9F8AEDA4", ipv6Pc, "reset."},
        {&kIDBased, "reset 1234567 mode=ice sid=9F8AEDA5", kPc, ""},
        {&kIDBased, "reset 1234567 mode=ice", kPc, ""},
        // Unsecured requests are answered with or without a suffix.
        {&kIDBased, "info 1234567", kPc, "FLASH='AMD29F400BT'"},
        {&kIDBased, "info 1234567 sid=00000000", kPc, "FLASH='AMD29F400BT'"},
    };
    for (const auto& c : cases) {
        TestTerminal terminal(*c.config);
        EXPECT_EQ(outcome(terminal.ask(c.request, c.sender)), c.expectedLast)
            << c.request << " from " << kestrix::addressToText(c.sender);
    }
}

TEST(SimAuthentication, SecuredRequestsFollowTheConfiguration) {
    // eeread is secured by default; listed otherwise it is not, and reset is open.
    TestTerminal byDefault(kIDBased);
    EXPECT_EQ(byDefault.ask("eeread 1234567", kPc), "");
    TestTerminal openReset(
        {{"terminal", "serial_number", "1234567"}, {"terminal", "secured_requests", "ip"}});
    EXPECT_NE(openReset.ask("eeread 1234567", kPc), "");
    EXPECT_EQ(lastField(openReset.ask("reset 1234567", kPc)), "reset.");
    // A terminal without authentication takes secured requests as they come.
    TestTerminal none({{"terminal", "serial_number", "1234567"}, {"terminal", "authentication", "none"}});
    EXPECT_EQ(lastField(none.ask("reset 1234567 mode=cold", kPc)), "reset.");
}

TEST(SimAuthentication, AnIceColdStartForgetsTheMaintenanceGroup) {
    TestTerminal terminal({{"terminal", "serial_number", "1234567"}, {"terminal", "reboot_ms", "0"}});
    ASSERT_EQ(lastField(terminal.ask("reset 1234567 mode=ice sid=9F8AEDA4", kPc)), "reset.");
    ASSERT_TRUE(terminal.responder.waitUntilRunning(std::chrono::seconds(10)));
    EXPECT_EQ(terminal.responder.state().maintenanceGroup, 0);
    // Group 0x1234 no longer works; the value for group 0 (key with zero group bytes) does.
    EXPECT_EQ(outcome(terminal.ask("echo * sid=8A2641E8", kPc)), "auth=FAILED");
    EXPECT_EQ(outcome(terminal.ask("echo * sid=01E8E201", kPc)), "auth=OK");
}

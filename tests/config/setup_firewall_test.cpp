#include "config/setup_firewall_check.h"
#include "config/setup_page_firewall.h"
#include "setup_page_bed.h"
#include "support/trace_capture.h"

// The firewall page's rules in a block of 0x5a bytes, its question when the
// PC would be locked out, and VerifyFirewall over hand-built LAN tables.

namespace kestrix {
namespace {

using test::Change;
using test::PageBed;

// The bytes Put writes when every rule is unused: 148-149, and per rule net,
// mask and service (IPv4) or prefix, length and service (IPv6); the IPv4
// rules' last two bytes and the byte after an IPv6 prefix length stay.
std::vector<Change> unusedRulesAnd(const std::vector<Change>& more) {
    std::vector<Change> changes{{148, "0000"}};
    for (std::size_t rule = 0; rule < 5; ++rule) {
        changes.push_back({152 + 12 * rule, "00000000000000000030"});
        changes.push_back({212 + 20 * rule, "0000000000000000000000000000000000"});
        changes.push_back({212 + 20 * rule + 18, "0030"});
    }
    changes.insert(changes.end(), more.begin(), more.end());
    return changes;
}

const FirewallServices kMaintenance{false, false, true}, kDataOnly{true, false, false}, kAll{true, true, true};
const std::string kIgnored = "One of these settings is ignored. There are no services selected.";
const std::string kLockedOut = "With these firewall settings you will not reach the terminal anymore.";

struct RuleRow {
    const char* name;
    void (*edit)(FirewallPageValues&);
    std::vector<Change> changes; // besides those of unused rules
    std::vector<std::string> messages;
};

TEST(FirewallPage, PutStoresTheRules) {
    const RuleRow rows[] = {
        {"all empty", [](FirewallPageValues&) {}, {}, {}},
        {"in use, locked out, OK", [](FirewallPageValues& v) { v.inUse = true; }, {{148, "01"}}, {kLockedOut}},
        {"IPv4 maintenance", [](FirewallPageValues& v) { v.ipv4Rules[2] = {"192.168.0.0", "255.255.0.0", kMaintenance}; },
         {{176, "0000a8c00000ffff0037"}}, {}},
        {"IPv4 all services", [](FirewallPageValues& v) { v.ipv4Rules[0] = {"10.1.0.0", "255.255.0.0", kAll}; },
         {{152, "0000010a0000ffff8137"}}, {}},
        {"IPv4 net 0 is unused", [](FirewallPageValues& v) { v.ipv4Rules[1] = {"0.0.0.0", "255.255.0.0", kMaintenance}; },
         {}, {kIgnored}},
        {"IPv4 without services", [](FirewallPageValues& v) { v.ipv4Rules[4] = {"10.1.0.0", "255.255.0.0", {}}; }, {},
         {kIgnored}},
        {"IPv6 data", [](FirewallPageValues& v) { v.ipv6Rules[4] = {"2001:db8::", "32", kDataOnly}; },
         {{292, "20010db800000000000000000000000020"}, {310, "0130"}}, {}},
        {"IPv6 length 0 is unused", [](FirewallPageValues& v) { v.ipv6Rules[0] = {"2001:db8::", "0", kMaintenance}; },
         {}, {kIgnored}},
        {"texts that do not read keep their bytes",
         [](FirewallPageValues& v) {
             v.ipv6Rules[3] = {"2001:db8::g", "48", kMaintenance};
             v.ipv6Rules[1] = {"2001:db8::", "129", kMaintenance};
             v.ipv4Rules[3] = {"10.1.0.0", "255.255.0", kMaintenance};
         },
         {{188, "0000010a5a5a5a5a0037"}, {272, "5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a30"}, {290, "0037"},
          {232, "20010db80000000000000000000000005a"}, {250, "0037"}},
         {"Syntax error of IP address or DNS name.", "prefix length conversion error number  2",
          "IPv6 address conversion error number  4"}},
    };
    for (const RuleRow& row : rows) {
        SCOPED_TRACE(row.name);
        PageBed bed;
        FirewallPage page(bed.context);
        row.edit(page.values);
        EXPECT_TRUE(page.Put(bed.block));
        test::expectOnlyChanges(bed.block, unusedRulesAnd(row.changes));
        EXPECT_EQ(bed.boxes.texts(), row.messages);
        FirewallPage shown(bed.context);
        shown.Get(bed.block);
        EXPECT_TRUE(!row.messages.empty() || shown.values == page.values); // what was stored shows again
    }
}

struct QuestionRow {
    const char* name;
    bool inUse;
    FirewallIpv4RuleValues rule;
    std::deque<MessageAnswer> answers; // a warning comes before the question
    bool accepted;
    std::vector<std::string> messages;
};

TEST(FirewallPage, AsksBeforeLockingThePcOut) {
    const QuestionRow rows[] = {
        {"the PC passes", true, {"192.168.0.0", "255.255.0.0", kMaintenance}, {MessageAnswer::Cancel}, true, {}},
        {"locked out, OK", true, {"192.168.0.0", "255.255.0.0", kDataOnly}, {MessageAnswer::Ok}, true, {kLockedOut}},
        {"locked out, Cancel", true, {"192.168.0.0", "255.255.0.0", kDataOnly}, {MessageAnswer::Cancel}, false,
         {kLockedOut}},
        {"net 0 is no rule", true, {"0.0.0.0", "0.0.0.0", kMaintenance}, {MessageAnswer::Ok, MessageAnswer::Cancel},
         false, {kIgnored, kLockedOut}},
        {"firewall off", false, {"10.0.0.0", "255.0.0.0", kDataOnly}, {MessageAnswer::Cancel}, true, {}},
    };
    for (const QuestionRow& row : rows) {
        SCOPED_TRACE(row.name);
        PageBed bed;
        bed.interfaces = test::lanTable({{"192.168.5.7", 24}});
        bed.boxes.answers = row.answers;
        FirewallPage page(bed.context);
        page.values.inUse = row.inUse;
        page.values.ipv4Rules[0] = row.rule;
        EXPECT_EQ(page.Put(bed.block), row.accepted);
        EXPECT_EQ(bed.boxes.texts(), row.messages);
        EXPECT_EQ(page.request(), row.accepted ? FirewallPageRequest::None : FirewallPageRequest::SelectFirewallTab);
    }
}

// Rules written straight into a block whose other rules are unused: an IPv4
// rule is net, mask, service and 2 bytes; an IPv6 rule prefix, length, 1 byte
// and service. 192.168.0.0/255.255.0.0 and 2001:db8::/32 with services:
Change net192(std::size_t rule, const char* service) {
    return {152 + 12 * rule, std::string("0000a8c00000ffff") + service};
}
Change prefix2001(const char* prefixAndLength, const char* service) {
    return {212, std::string(prefixAndLength) + "00" + service};
}
const char* k2001db8 = "20010db8000000000000000000000000" "20";

SetupBlock blockWithRules(const std::vector<Change>& rules) {
    SetupBlock block;
    test::setBytes(block, unusedRulesAnd(rules));
    return block;
}

struct VerifyRow {
    const char* name;
    std::vector<test::Adapter> adapters;
    std::vector<Change> rules;
    bool passes;
};

TEST(VerifyFirewall, FindsARuleThatLetsThePcIn) {
    const test::Adapter pc{"192.168.5.7"}, ipv6Pc{"", 24, "2001:db8:1::5"};
    const VerifyRow rows[] = {
        {"maintenance rule of the PC's net", {pc}, {net192(0, "0037")}, true},
        {"data alone", {pc}, {net192(0, "0130")}, false},
        {"one maintenance bit", {pc}, {net192(4, "0031")}, true},
        {"all rules unused", {pc}, {}, false},
        {"another net", {{"192.169.5.7"}}, {net192(0, "0037")}, false},
        {"second rule, second interface", {{"10.0.0.5", 8}, pc}, {{152, "000010ac0000ffff0037"}, net192(1, "0037")}, true},
        {"an interface that is down", {{"192.168.5.7", 24, "", false}}, {net192(0, "0037")}, false},
        {"no interface", {}, {net192(0, "0037")}, false},
        {"IPv6 only PC, matching prefix", {ipv6Pc}, {prefix2001(k2001db8, "0037")}, true},
        {"IPv6 prefix of 33 bits", {ipv6Pc}, {prefix2001("20010db8800000000000000000000000" "21", "0037")}, false},
        {"IPv6 length above 128 is 128", {ipv6Pc}, {prefix2001("20010db8000100000000000000000005" "c8", "0037")}, true},
        {"IPv6 status alone", {ipv6Pc}, {prefix2001(k2001db8, "8030")}, false},
        {"the IPv6 address of an IPv4 PC", {{"10.0.0.5", 8, "2001:db8:1::5"}},
         {net192(0, "0037"), prefix2001(k2001db8, "0034")}, true},
    };
    for (const VerifyRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(VerifyFirewall(blockWithRules(row.rules), test::lanTable(row.adapters), "6.20"), row.passes);
    }
}

TEST(VerifyFirewall, TracesEachStep) {
    test::TraceCapture capture;
    const SetupBlock block = blockWithRules({net192(0, "0130"), prefix2001(k2001db8, "0037")});
    ASSERT_TRUE(VerifyFirewall(block, test::lanTable({{"192.168.5.7", 24, "2001:db8:1::5"}}), "6.11"));
    for (const char* line : {
             "VerifyFirewall(): IPv4- und IPv6-Einträge mit eigenen Adressen vergleichen. (ActualVersion: 6.11)\n",
             "\tipv4 if:\tc0a80507\n\tipv4 net:\tc0a80000\n\tipv4 mask:\tffff0000\n",
             "\trules_ipv4[0].service: 3001 (0700 muss gesetzt sein).\n",
             "VerifyFirewall(): rules_ipv4[1].service nicht gesetzt.\n",
             "CTerminalSetup::CompareIPv6TabEntry():\n"
             "20 01 0d b8 00 01 00 00 00 00 00 00 00 00 00 05 \n"
             "20 01 0d b8 00 00 00 00 00 00 00 00 00 00 00 00 \n"
             "ff ff ff ff 00 00 00 00 00 00 00 00 00 00 00 00 \n"
             "CTerminalSetup::CompareIPv6TabEntry(): MyIp & mask == net & mask\n",
         })
        EXPECT_TRUE(capture.contains(line)) << line;
}

} // namespace
} // namespace kestrix

#include "mainwindow/terminal_list.h"
#include "messages/toolbox_lang.h"
#include "protocol/t7000ip.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

// The terminal list's keys, order and rows, with records of known values (no
// terminal is asked). The records need the engine, so this runs in a network
// namespace of its own.

namespace kestrix {

namespace {

int sign(int value) {
    return (value > 0) - (value < 0);
}

TEST(ListKeys, CaseFoldedFirstThenByBytes) {
    struct Case {
        const char* left;
        const char* right;
        int expected;
    };
    const Case cases[] = {
        {"a", "B", -1},     // letters by their lower-case form, not by byte value
        {"_", "A", -1},     // "_" lies between "Z" and "a": it compares with "a"
        {"ABC", "abc", -1}, // equal but for case: the bytes decide
        {"abc", "abd", -1}, //
        {"ab", "abc", -1},  // a beginning before the longer text
        {"TCL 6_12~", "tcl 6_12a", 1},
        {"\xc3\xa4", "z", 1}, // bytes above 127 count unsigned
        {"x", "x", 0},        //
        {"", "", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(compareListKeys(c.left, c.right)), c.expected) << c.left << " : " << c.right;
        EXPECT_EQ(sign(compareListKeys(c.right, c.left)), -c.expected) << c.right << " : " << c.left;
    }
}

// The key by product and kind: the 7000's depends on the kind, the 7450's and
// 7460's on server or not; the DCU keys sort by family.
TEST(ListKeys, ProductKeys) {
    using namespace product;
    using namespace tcl_kind;
    const std::tuple<int, int, const char*> cases[] = {
        {Talmo7000, Pze, "TALMO7300"},
        {Talmo7000, Acm, "TALMODCU"},
        {Talmo7000, Server, "ServerTALMO7000"},
        {Talmo7000, ServerMonitor, "TALMO7300"},
        {Talmo7450, ServerMonitor, "ServerTALMO7450"},
        {Talmo7460, Server, "ServerTALMO7460"},
        {Talmo7460, Monitor, "TALMO7460"},
        {Talmo7660, Server, "TALMO7660"},
        {Dcu4II, Acm, "TALMODCU42"},
        {Dcu4, Acm, "TALMODCU41"},
        {Dcu40, Acm, "TALMODCU43"},
        {Dcu8, Acm, "TALMODCU81"},
        {Dcu8eW, Acm, "TALMODCU82W"},
        {Dcu8iR, Acm, "TALMODCU83R"},
        {Talmo7105, Pze, "TALMO7105"},
        {None, Pze, "?"},
        {19, Pze, "?"},
    };
    for (const auto& [code, kind, key] : cases) {
        TerminalFields fields;
        fields.ProductType = code;
        fields.TclKind = kind;
        EXPECT_EQ(productKey(fields), key) << "product " << code << ", kind " << kind;
    }
}

TerminalFields sample() {
    TerminalFields fields;
    fields.SerialNumber = "100101";
    fields.ProductType = product::Talmo7450;
    fields.TclKind = tcl_kind::Acm;
    fields.ProductName = "TALMO 7450";
    fields.FirmwareVersion = "6.12";
    fields.MonitorVersion = "2.05";
    fields.AddrInUse = *addressFromText("::ffff:10.77.0.11");
    fields.IPAddrInUse = "::ffff:10.77.0.11";
    fields.DNSNameInUse = "t11.bed.test";
    fields.IPv4Addr = "10.77.0.11";
    fields.IPv4Mask = "255.255.255.0";
    return fields;
}

TEST(ListKeys, TheFiveOrders) {
    TerminalFields fields = sample();
    EXPECT_EQ(sortKey(fields, SortOrder::Product), "TALMO7450");
    EXPECT_EQ(sortKey(fields, SortOrder::SerialNumber), "100101");
    EXPECT_EQ(sortKey(fields, SortOrder::IPAddress), "0000:0000:0000:0000:0000:ffff:0a4d:000b");
    EXPECT_EQ(sortKey(fields, SortOrder::DNSName), "t11.bed.test");
    EXPECT_EQ(sortKey(fields, SortOrder::Firmware), "TCL 6_12~");

    // The first global address counts before the address in use.
    fields.IPv6Addresses = {{"2001:db8:77::11", "64", false, true, ""},
                            {"2001:db8:77::12", "64", false, false, ""}};
    EXPECT_EQ(sortKey(fields, SortOrder::IPAddress), "2001:0db8:0077:0000:0000:0000:0000:0011");

    fields.TclKind = tcl_kind::Monitor;
    fields.FirmwareVersion.clear();
    EXPECT_EQ(sortKey(fields, SortOrder::Firmware), "MON 2_05~");
    fields.TclKind = tcl_kind::Server;
    fields.FirmwareVersion = "5a52";
    EXPECT_EQ(sortKey(fields, SortOrder::Firmware), "SRV 5_52a");
}

class ListWithEngine : public ::testing::Test {
protected:
    static void SetUpTestSuite() { engine_ = &T7000ip::getT7000ip(&language_); }
    static void TearDownTestSuite() { T7000ip::releaseT7000ip(); }

    static std::unique_ptr<Terminal> record(const std::string& serialNumber, const std::string& dnsName) {
        TerminalFields fields = sample();
        fields.SerialNumber = serialNumber;
        fields.DNSNameInUse = dnsName;
        return std::make_unique<Terminal>(*engine_, std::move(fields));
    }
    static std::vector<std::string> serialNumbers(const TerminalList& list) {
        std::vector<std::string> result;
        for (std::size_t index = 0; index < list.size(); ++index)
            result.push_back(list.at(index).SerialNumber);
        return result;
    }

    static inline const CToolBoxLang language_{kLocaleIdEnglishUnitedStates};
    static inline T7000ip* engine_ = nullptr;
};

TEST_F(ListWithEngine, SortedPlaceAfterEqualKeysAndNoSerialNumberTwice) {
    TerminalList list;
    for (auto [serialNumber, name] : std::vector<std::pair<const char*, const char*>>{
             {"1", "x.test"}, {"2", "X.test"}, {"3", "x.test"}, {"4", "a.test"}, {"5", "Y.test"}})
        ASSERT_TRUE(list.insert(record(serialNumber, name), SortOrder::DNSName).index);
    EXPECT_EQ(serialNumbers(list), (std::vector<std::string>{"4", "2", "1", "3", "5"}));

    Terminal* again = record("3", "b.test").release();
    TerminalList::InsertResult refused = list.insert(std::unique_ptr<Terminal>(again), SortOrder::DNSName);
    EXPECT_FALSE(refused.index);
    EXPECT_EQ(refused.refused.get(), again) << "the refused record goes back to the caller";
    EXPECT_EQ(list.findSerialNumber("3"), 3u);
    EXPECT_FALSE(list.findSerialNumber("6"));

    // Another order sorts only the records inserted from now on.
    EXPECT_EQ(list.insert(record("0", "z.test"), SortOrder::SerialNumber).index, 0u);
    EXPECT_EQ(list.insert(record("7", "m.test"), SortOrder::SerialNumber).index, 1u);
    EXPECT_EQ(serialNumbers(list), (std::vector<std::string>{"0", "7", "4", "2", "1", "3", "5"}));
    EXPECT_EQ(list.keyAt(2), "a.test");

    // Replacing keeps place and key.
    std::unique_ptr<Terminal> old = list.replace(4, record("1", "elsewhere.test"));
    EXPECT_EQ(old->DNSNameInUse, "x.test");
    EXPECT_EQ(list.at(4).DNSNameInUse, "elsewhere.test");
    EXPECT_EQ(list.keyAt(4), "x.test");

    list.remove({6, 0, 6, 2, 99});
    EXPECT_EQ(serialNumbers(list), (std::vector<std::string>{"7", "2", "1", "3"}));
    list.clear();
    EXPECT_TRUE(list.empty());
}

} // namespace
} // namespace kestrix

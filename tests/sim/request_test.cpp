#include "sim/request.h"

#include "sim_test_support.h"

#include <gtest/gtest.h>

using kestrix::sim::parseRequest;
using kestrix::sim::SuffixKind;

TEST(SimRequest, MalformedDatagramsAreIgnored) {
    const std::string cases[] = {
        std::string(),                               // 0 bytes
        std::string("find *"),                       // no zero byte at all
        std::string("find\0*", 6),                   // not terminated
        std::string("\0", 1),                        // nothing but the terminator
        requestBytes("find"),                        // no serial number
        requestBytes("find \"100101"),               // the quoted serial number never ends: empty
        requestBytes("\"\" 100101"),                 // empty command word
        requestBytes("echo auth=5"),                 // the suffix is not the serial number
        std::string(1025, '\0'),                     // longer than a request may be
        "find\0*\0" + std::string(1018, 'x') + '\0', // 1026 bytes
    };
    for (const auto& datagram : cases)
        EXPECT_FALSE(parseRequest(asBytes(datagram))) << datagram.size() << " bytes";
}

TEST(SimRequest, WordsAndArguments) {
    // Exactly 1024 bytes is still a request; doubled zero bytes are empty words.
    std::string longest = requestBytes("find *");
    longest.insert(longest.size() - 1, std::string(1024 - longest.size(), '\0'));
    ASSERT_EQ(longest.size(), 1024u);
    auto request = parseRequest(asBytes(longest));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->words, (std::vector<std::string>{"find", "*"}));

    request = parseRequest(asBytes(requestBytes("reset 100101 sysboot mode=ice 'x y'")));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->words,
              (std::vector<std::string>{"reset", "100101", "sysboot", "mode", "=", "ice", "x y"}));
    EXPECT_EQ(request->argument("mode"), "ice");
    EXPECT_FALSE(request->argument("sysboot"));
    EXPECT_TRUE(request->hasFlag("sysboot"));
    EXPECT_FALSE(request->hasFlag("ice")); // a value, not a flag
    EXPECT_FALSE(request->hasFlag("mode"));
    EXPECT_EQ(request->body, requestBody("reset 100101 sysboot mode=ice 'x y'"));
}

TEST(SimRequest, SuffixIsTheLastFieldAndLeavesTheBodyBeforeIt) {
    const struct {
        std::string text;
        SuffixKind suffix;
        std::string value;
        std::string body;
    } cases[] = {
        {"echo 123 auth=62043", SuffixKind::IPBased, "62043", "echo 123"},
        {"echo 123 sid=AEEB34B0", SuffixKind::IDBased, "AEEB34B0", "echo 123"},
        {"echo 123 auth=", SuffixKind::IPBased, "", "echo 123"},
        // Not the last field: an ordinary argument.
        {"echo 123 auth=1 mode=2", SuffixKind::None, "", "echo 123 auth=1 mode=2"},
    };
    for (const auto& c : cases) {
        auto request = parseRequest(asBytes(requestBytes(c.text)));
        ASSERT_TRUE(request) << c.text;
        EXPECT_EQ(request->suffix, c.suffix) << c.text;
        EXPECT_EQ(request->suffixValue, c.value) << c.text;
        EXPECT_EQ(request->body, requestBody(c.body)) << c.text;
        EXPECT_EQ(request->serialNumber(), "123");
    }
}

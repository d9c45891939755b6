#include "protocol/word_reader.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

TEST(WordReader, SplitsAsTheTerminalsWriteTheirReplies) {
    struct Case {
        const char* text;
        std::vector<std::string> words;
    } cases[] = {
        {"", {}},
        {" \t\r\n ", {}},
        {"TALMO DCU 1 123456", {"TALMO", "DCU", "1", "123456"}},
        {"a\tb\r\nc", {"a", "b", "c"}},
        {"port=4711", {"port", "=", "4711"}},
        {"port = 4711 =", {"port", "=", "4711", "="}},
        {"==", {"=", "="}},
        {"name=\"Halle 3\" x", {"name", "=", "Halle 3", "x"}},
        {"'it''s' next", {"it's", "next"}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"\"\"", {""}},
        {"a \"unterminated rest", {"a", ""}},
        {"'", {""}},
        {"ab\"cd ef", {"ab\"cd", "ef"}},
        {"\"a=b\"=c", {"a=b", "=", "c"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitWords(c.text), c.words) << c.text;
}

TEST(WordReader, RestIsWhatFollowsTheLastWord) {
    WordReader reader("find * auth=12");
    EXPECT_EQ(reader.next(), "find");
    EXPECT_EQ(reader.rest(), " * auth=12");
    reader.next();
    reader.next();
    EXPECT_EQ(reader.rest(), "=12");
}

TEST(ReplySerialNumber, FourthWordUnlessMissingOrUnknown) {
    struct Case {
        const char* line;
        const char* serialNumber;
    } cases[] = {
        {"TALMO DCU 1 123456 rest", "123456"},
        {"TALMO DCU 1 123456", "123456"},
        {"TALMO DCU 1", ""},
        {"TALMO DCU 1 ?", ""},
        {"TALMO DCU 1 ?123", ""},
        {"TALMO DCU 1 \"\"", ""},
        {"TALMO DCU 1 \"12 \" x", "12"},
        {"TALMO DCU 1 \"  \"", ""},
        {"TALMO x = y", "y"},
        {"TALMO a b \"unterminated", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(replySerialNumber(c.line), c.serialNumber) << c.line;
}

} // namespace
} // namespace kestrix

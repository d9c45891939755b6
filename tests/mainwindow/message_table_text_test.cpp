#include "messages/message_table_text.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrix {
namespace {

TEST(MessageTableTextTest, ReadsEntriesAndDecodesEscapes) {
    const MessageTableReading reading = readMessageTable("0\tZeile 1\\nZeile 2\tline 1\\nline 2\n"
                                                         "1\ta\\tb\tc:\\\\d\n"
                                                         "2\t\\r\\n(gek\xC3\xBCrzt!)\\r\\n\t \x21\n",
                                                         3);
    ASSERT_TRUE(reading.ok()) << reading.faultLine << ": " << reading.fault;
    ASSERT_EQ(reading.entries.size(), 3u);
    EXPECT_EQ(reading.entries[0].german, "Zeile 1\nZeile 2");
    EXPECT_EQ(reading.entries[0].english, "line 1\nline 2");
    EXPECT_EQ(reading.entries[1].german, "a\tb");
    EXPECT_EQ(reading.entries[1].english, "c:\\d");
    EXPECT_EQ(reading.entries[2].german, "\r\n(gek\xC3\xBCrzt!)\r\n");
    EXPECT_EQ(reading.entries[2].english, " !"); // leading and trailing blanks are part of a text
}

TEST(MessageTableTextTest, LastLineMayLackItsLineFeed) {
    EXPECT_TRUE(readMessageTable("0\ta\tb\n1\tc\td", 2).ok());
}

TEST(MessageTableTextTest, MalformedTablesNameTheFaultyLine) {
    struct Case {
        const char* name;
        std::string text;
        std::size_t faultLine;
        const char* faultPart;
    };
    const Case cases[] = {
        {"id out of order", "0\ta\tb\n2\tc\td\n1\te\tf\n", 2, "expected id 1, found '2'"},
        {"id repeated", "0\ta\tb\n0\tc\td\n", 2, "expected id 1"},
        {"id with leading zero", "00\ta\tb\n1\tc\td\n", 1, "expected id 0"},
        {"id not a number", "x\ta\tb\n1\tc\td\n", 1, "expected id 0, found 'x'"},
        {"missing last id", "0\ta\tb\n", 2, "ends after 1 entries, expected 2"},
        {"empty file", "", 1, "ends after 0 entries"},
        {"one id too many", "0\ta\tb\n1\tc\td\n2\te\tf\n", 3, "more than 2 entries"},
        {"two fields", "0\ta\tb\n1\tc\n", 2, "2 tab-separated fields, expected 3"},
        {"four fields", "0\ta\tb\tx\n1\tc\td\n", 1, "4 tab-separated fields"},
        {"empty German text", "0\t\tb\n1\tc\td\n", 1, "German text is empty"},
        {"empty English text", "0\ta\tb\n1\tc\t\n", 2, "English text is empty"},
        {"unknown escape", "0\ta\\x\tb\n1\tc\td\n", 1, "unknown escape sequence in the German text"},
        {"lone backslash at the end", "0\ta\tb\\\n1\tc\td\n", 1, "unknown escape sequence in the English"},
        {"carriage return line ends", "0\ta\tb\r\n1\tc\td\r\n", 1, "0x0D in the line (the file must have LF"},
        {"empty line", "0\ta\tb\n\n1\tc\td\n", 2, "empty line"},
        {"broken UTF-8", "0\ta\tb\n1\tgek\xFCrzt\td\n", 2, "German text is not valid UTF-8"},
        {"overlong UTF-8", "0\ta\t\xC0\xAF\n1\tc\td\n", 1, "English text is not valid UTF-8"},
    };
    for (const Case& testCase : cases) {
        const MessageTableReading reading = readMessageTable(testCase.text, 2);
        EXPECT_FALSE(reading.ok()) << testCase.name;
        EXPECT_EQ(reading.faultLine, testCase.faultLine) << testCase.name << ": " << reading.fault;
        EXPECT_NE(reading.fault.find(testCase.faultPart), std::string::npos)
            << testCase.name << ": " << reading.fault;
    }
}

} // namespace
} // namespace kestrix

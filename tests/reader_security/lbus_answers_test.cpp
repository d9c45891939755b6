#include "reader_security/lbus_answers.h"

#include <gtest/gtest.h>

// The reader answers as the terminal writes them; the engine hands them over
// with a blank where the reply's zero bytes were (one at the very end).

namespace kestrix {
namespace {

using Entries = std::vector<std::pair<int, std::string>>;

Entries entries(std::string_view answer, std::string_view prefix) {
    Entries result;
    for (const ReaderAnswerEntry& entry : readReaderEntries(answer, prefix))
        result.emplace_back(entry.reader, entry.text);
    return result;
}

TEST(ReaderEntries, AreReadAsTheTerminalWritesThem) {
    const std::string longWord(25, 'x');
    const struct {
        const char* answer;
        const char* prefix;
        Entries expected;
    } cases[] = {
        {" rkt1=OK rkt2=ERROR absent rkt3=OK ", "rkt", {{1, "OK"}, {2, "ERROR absent"}, {3, "OK"}}},
        // Entries that follow each other directly: one word per reader.
        {" rccfg1=unlocked rccfg2=unlocked ", "rccfg", {{1, "unlocked"}, {2, "unlocked"}}},
        // No blank between entries: the first word runs to the next blank.
        {" rccfg1=OKrccfg2=locked ", "rccfg", {{1, "OKrccfg2=locked"}, {2, "locked"}}},
        // Any white space before the second word; only a blank ends a word.
        {" rkt4=key\tloaded ", "rkt", {{4, "key\tloaded"}}},
        {" rkt4=key  loaded ", "rkt", {{4, "key loaded"}}},
        // Without number, "=" or first word, or outside 0-16: nothing.
        {" rkt=OK rktx=OK rkt5 OK rkt6= OK rkt17=OK rkt-1=OK ", "rkt", {}},
        {" rkt99999999999999999999=OK rkt0=OK ", "rkt", {{0, "OK"}}},
        // scanf's "%d" skips white space and takes a sign.
        {" rkt +2=OK", "rkt", {{2, "OK"}}},
        // The search goes on one character after each occurrence, even inside a word.
        {" xrkt7=a ", "rkt", {{7, "a"}}},
        {" rkt1=OK ", "rccfg", {}},
        {"", "rkt", {}},
    };
    for (const auto& test : cases)
        EXPECT_EQ(entries(test.answer, test.prefix), test.expected) << "'" << test.answer << "'";
    // A word over 19 characters is shown whole.
    EXPECT_EQ(entries(" rkt1=" + longWord + " " + longWord + " ", "rkt"),
              (Entries{{1, longWord + " " + longWord}}));
}

TEST(StatusAnswer, ReadsAnEntryAfterEveryBlank) {
    const struct {
        const char* answer;
        std::vector<std::pair<int, int>> expected;
        int malformed;
    } cases[] = {
        {" 1=10 2=100 ", {{1, 10}, {2, 100}}, 0},
        // The trailing blank(s) of the final zero byte are no entry.
        {" 1=10  \t ", {{1, 10}}, 0},
        {" 1=10", {{1, 10}}, 0},
        // "%d" skips white space, so "-10" after the blank inside "4= -10" is read too (and fails).
        {" 3=-222 4= -10 ", {{3, -222}, {4, -10}}, 1},
        // Two blanks: the second entry is read after each of them.
        {" 1=10  2=100", {{1, 10}, {2, 100}, {2, 100}}, 0},
        {" 1=done 2 =10 x 5=", {}, 5},
        {" 17=100 -1=10 0=100 ", {{0, 100}}, 0},
        {" 1=99999999999 2=10", {{2, 10}}, 1},
        {"1=10 2=100", {{2, 100}}, 0}, // nothing before the first blank is read
        {"", {}, 0},
    };
    for (const auto& test : cases) {
        const ReaderStatusAnswer answer = readStatusAnswer(test.answer);
        std::vector<std::pair<int, int>> read;
        for (const ReaderStatusEntry& entry : answer.entries)
            read.emplace_back(entry.reader, entry.code);
        EXPECT_EQ(read, test.expected) << "'" << test.answer << "'";
        EXPECT_EQ(answer.malformed, test.malformed) << "'" << test.answer << "'";
    }
}

TEST(StartStatus, TheFirstNumberAndItsMessage) {
    const struct {
        const char* answer;
        std::optional<int> status;
        int message;
    } cases[] = {
        {" 2 ", 2, 540},
        {" 0 ", 0, 531},
        {" -10", -10, 532},
        {" -80 ", -80, 539},
        {" -90 ", -90, 540},
        {" x ", std::nullopt, 540},
        {" 99999999999 ", std::nullopt, 540},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(readStartStatus(test.answer), test.status) << test.answer;
        EXPECT_EQ(startStatusMessage(test.status), test.message) << test.answer;
    }
}

} // namespace
} // namespace kestrix

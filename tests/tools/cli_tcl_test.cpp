#include "cli_arguments.h"
#include "console_tcl_view.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

// kestrix-cli tcl without a terminal: its statements as typed, and the
// terminal's output lines as the console view prints them.

namespace kestrix::cli {
namespace {

TEST(CliTcl, StatementsAsTyped) {
    const std::string longest(253, 'x');
    const struct {
        std::vector<std::string> words;
        std::vector<std::string> statements; // as sent, without the carriage return
        std::string error;
    } cases[] = {
        {{"T", "ISR,'a':", "x\\e", "\\\\e", "a\\n", "end\\"}, {"ISR,'a':", "x\x1b", "\\e", "a\\n", "end\\"}, ""},
        // ESC is one character of the box's 254.
        {{"T", longest + "\\e"}, {longest + "\x1b"}, ""},
        {{"T", longest + "xy"}, {}, "a STATEMENT has at most 254 characters"},
        {{"T", "--quiet-ms", "3600001"}, {}, "--quiet-ms takes milliseconds from 0 to 3600000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words.back());
        TclArguments arguments;
        const std::string error = readTclArguments(c.words, arguments);
        EXPECT_EQ(error.substr(0, c.error.size()), c.error);
        if (c.error.empty()) {
            EXPECT_EQ(arguments.statements, c.statements);
        }
    }
}

// What the connection hands over (split at carriage returns) and what is printed.
TEST(CliTcl, OutputLinesWithoutTheLineFeedOfTheLineBefore) {
    const struct {
        std::vector<std::string> pieces; // "!" first: the view gets it as the cut output area
        std::string printed;
    } cases[] = {
        {{"Connection OK", "\n"}, "Connection OK\n"},               // "Connection OK\r\n"
        {{"A", "\nB", "\n"}, "A\nB\n"},                             // in one piece
        {{"A", "\n", "B", "\n"}, "A\nB\n"},                         // "A\r\n", then "B\r\n"
        {{"A", "\n", "\nB", "\n"}, "A\n\nB\n"},                     // an empty line between
        {{"A", "\n", "", "\nB"}, "A\n\nB\n"},                       // "A\r\n", then "\r\nB"
        {{"A", "\n", "!(Output truncated!)\r\nA\r\n\nB\r\n"}, "A\n\nB\n"}, // cut at the limit
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.pieces));
        char* buffer = nullptr;
        std::size_t size = 0;
        std::FILE* out = ::open_memstream(&buffer, &size);
        ASSERT_NE(out, nullptr);
        {
            ConsoleTclView view(out);
            for (const std::string& piece : c.pieces) {
                if (piece.starts_with("!"))
                    view.replaceOutput("\r\n" + piece.substr(1));
                else
                    view.appendOutputLine(piece);
            }
        }
        std::fclose(out);
        EXPECT_EQ(std::string(buffer, size), c.printed);
        std::free(buffer);
    }
}

} // namespace
} // namespace kestrix::cli

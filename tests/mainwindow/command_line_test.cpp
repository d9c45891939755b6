#include "mainwindow/command_line.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

struct CommandLineCase {
    const char* commandLine;
    StartWarning warning;
    AddingMode adding;
};

TEST(CommandLine, SwitchesAreTokensBeginningWithTheirLetter) {
    using enum StartWarning;
    using enum AddingMode;
    const CommandLineCase cases[] = {
        {"", Show, Normal},
        {"-e", Suppressed, Normal},
        {"-a", Show, Alternative},
        {"  -a\t-e ", Suppressed, Alternative},
        {"-exit", Suppressed, Normal},
        {"-alternativ", Show, Alternative},
        {"\"-e\" '-a'", Suppressed, Alternative},
        {"\"x -e\"", Show, Normal},          // one quoted token that begins with x
        {"'it''s -a'", Show, Normal},        // a doubled quote stays inside the token
        {"x=-a", Show, Alternative},         // "=" is a token of its own
        {"x-e -E -A e a --e", Show, Normal}, // the switches are lower case and lead their token
        {"\"-e", Show, Normal},              // an unclosed quote swallows the rest
    };
    for (const CommandLineCase& entry : cases) {
        SCOPED_TRACE(entry.commandLine);
        const CommandLineSwitches switches = parseCommandLine(std::string(entry.commandLine));
        EXPECT_EQ(switches.warning, entry.warning);
        EXPECT_EQ(switches.adding, entry.adding);
    }
}

TEST(CommandLine, ArgumentsAreJoinedIntoOneCommandLine) {
    EXPECT_EQ(parseCommandLine(std::vector<std::string>{}), CommandLineSwitches{});
    EXPECT_EQ(parseCommandLine(std::vector<std::string>{"-e", "-a"}),
              (CommandLineSwitches{StartWarning::Suppressed, AddingMode::Alternative}));
    // An argument with a blank becomes two tokens, as on the program's own command line.
    EXPECT_EQ(parseCommandLine(std::vector<std::string>{"list -a"}),
              (CommandLineSwitches{StartWarning::Show, AddingMode::Alternative}));
}

} // namespace
} // namespace kestrix

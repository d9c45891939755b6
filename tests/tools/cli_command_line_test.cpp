#include "cli_common.h"

#include <gtest/gtest.h>

namespace kestrix::cli {
namespace {

using Action = CommandLine::Action;

TEST(CliCommandLine, OptionsBeforeTheSubcommandAndTheSubcommandsWords) {
    struct Case {
        std::vector<std::string> words{};
        Action action{};
        std::string failure{};
        std::string usageBegin{}; // Run and ShowHelp: how the subcommand's usage line begins
        std::vector<std::string> arguments{};
        std::uint16_t port = 69;
        std::uint16_t group = 0;
        bool groupGiven = false;
        AddingMode adding = AddingMode::Normal;
    } cases[] = {
        {.words = {"-a", "--port", "6969", "--group", "0", "config", "fetch", "T", "F"},
         .action = Action::Run,
         .usageBegin = "[--group N] [-a] config fetch",
         .arguments = {"T", "F"},
         .port = 6969,
         .groupGiven = true,
         .adding = AddingMode::Alternative},
        {.words = {"info", "10.0.0.5", "--group", "7"},
         .action = Action::Failure,
         .failure = "--group belongs before the subcommand: kestrix-cli --group N info ..."},
        {.words = {"search", "-a"},
         .action = Action::Failure,
         .failure = "-a belongs before the subcommand: kestrix-cli -a search ..."},
        {.words = {"--port", "0", "info"},
         .action = Action::Failure,
         .failure = "--port: the TFTP port must be a number from 1 to 65535, not '0'"},
        {.words = {"--port", "65536", "info"},
         .action = Action::Failure,
         .failure = "--port: the TFTP port must be a number from 1 to 65535, not '65536'"},
        {.words = {"--group", "12x", "info"},
         .action = Action::Failure,
         .failure = "--group: the maintenance group must be a number from 0 to 65535, not '12x'"},
        {.words = {"--group", "99999999999999999999", "info"},
         .action = Action::Failure,
         .failure = "--group: the maintenance group must be a number from 0 to 65535, not '99999999999999999999'"},
        {.words = {"--group"}, .action = Action::Failure, .failure = "--group needs a number"},
        {.words = {"-a", "-h"}, .action = Action::ListUsage},
        {.words = {"config", "convert", "a", "--help"},
         .action = Action::ShowHelp,
         .usageBegin = "[--group N] config convert"},
        {.words = {"-a"}, .action = Action::UsageError}, // a lone -a is no subcommand
        {.words = {"config"},
         .action = Action::Failure,
         .failure = "config needs a subcommand: fetch, info or convert"},
        {.words = {"file", "copy"}, .action = Action::Failure, .failure = "file needs a subcommand: get or put (not 'copy')"},
        {.words = {std::string(120, 'x')},
         .action = Action::Failure,
         .failure = "unknown subcommand '" + std::string(100, 'x') + "...'"},
        {.words = {}, .action = Action::UsageError},
    };
    const std::vector<Subcommand> subcommands = allSubcommands();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.words));
        const CommandLine line = readCommandLine(c.words, subcommands);
        EXPECT_EQ(line.action, c.action);
        EXPECT_EQ(line.failure, c.failure);
        if (c.action == Action::Run || c.action == Action::ShowHelp) {
            ASSERT_NE(line.subcommand, nullptr);
            EXPECT_TRUE(std::string(line.subcommand->usage).starts_with(c.usageBegin));
        }
        if (c.action != Action::Run)
            continue;
        EXPECT_EQ(line.invocation.arguments, c.arguments);
        EXPECT_EQ(line.invocation.usage, line.subcommand->usage);
        EXPECT_EQ(line.invocation.tftpPort, c.port);
        EXPECT_EQ(line.invocation.maintenanceGroup, c.group);
        EXPECT_EQ(line.invocation.groupGiven, c.groupGiven);
        EXPECT_EQ(line.invocation.adding, c.adding);
    }
}

} // namespace
} // namespace kestrix::cli

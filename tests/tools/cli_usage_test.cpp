#include "cli_common.h"
#include "tools/cli_runner.h"

#include <gtest/gtest.h>

// kestrix-cli's command line as it is read, and its answers to wrong command
// lines and to inputs and outputs it must refuse: each before any packet
// leaves (no LAN is needed), with the reason and the exit code a script can
// test.

namespace kestrix::cli {
namespace {

namespace fs = std::filesystem;
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
         .failure =
             "--group: the maintenance group must be a number from 0 to 65535, not '99999999999999999999'"},
        {.words = {"--group"}, .action = Action::Failure, .failure = "--group needs a number"},
        {.words = {"-a", "-h"}, .action = Action::ListUsage},
        {.words = {"config", "convert", "a", "--help"},
         .action = Action::ShowHelp,
         .usageBegin = "[--group N] config convert"},
        {.words = {"config", "--help"}, .action = Action::ListUsage}, // the group's usage lines
        {.words = {"-a"}, .action = Action::UsageError}, // a lone -a is no subcommand
        {.words = {"config"},
         .action = Action::Failure,
         .failure = "config needs a subcommand: fetch, info, convert, show, set, put, backup or diff"},
        {.words = {"file", "copy"},
         .action = Action::Failure,
         .failure = "file needs a subcommand: get or put (not 'copy')"},
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

struct Row {
    std::string words;
    int exitCode;
    std::string says; // a part of standard output or error; "!" + a text neither may hold
};

TEST(CliUsage, WrongCommandLinesAndRefusedFiles) {
    const fs::path directory = fs::temp_directory_path() / ("kestrix-usage-" + std::to_string(::getpid()));
    fs::create_directories(directory / "folder");
    std::ofstream(directory / "site.rch") << "100101;;\r\n";
    std::ofstream(directory / "site.rch.cfg") << "100101;;\r\n";
    const std::vector<Row> rows = {
        {"--group 65536 search", 2,
         "--group: the maintenance group must be a number from 0 to 65535, not '65536'"},
        {"--help", 0, "--port TFTP-PORT  the port of the terminals' TFTP servers"},
        {"search --help", 0, "LIST-OPTIONS"},
        {"add --help", 0, "LIST-OPTIONS"},
        {"read --help", 0, "LIST-OPTIONS"},
        {"reset 10.77.0.21 --mode hot", 2, "--mode takes warm, cold, restart, comm or ice"},
        {"search --order size", 2, "usage: kestrix-cli"},
        {"search --order", 2, "usage: kestrix-cli"},
        {"search --colour", 2, "usage: kestrix-cli"},
        {"search 10.77.0.11", 2, "usage: kestrix-cli"},
        {"search --interface x", 2, "usage: kestrix-cli"},
        {"add", 2, "usage: kestrix-cli"},
        {"add --group-only 10.77.0.11", 2, "usage: kestrix-cli"},
        {"add " + std::string(66, 'x'), 2, "usage: kestrix-cli"}, // a TEXT of 65 is taken: cli_bed_test
        {"read", 2, "usage: kestrix-cli"},
        {"read a.rch b.rch", 2, "usage: kestrix-cli"},
        {"read missing.rch", 1, "missing.rch"},
        {"info '12345678901234567;;'", 1, "the serial number is longer than 16 characters"},
        {"read /dev/zero", 1, "/dev/zero is a character device, not a regular file"},
        {"file put 127.0.0.1 /dev/zero x", 1, "/dev/zero is a character device, not a regular file"},
        {"file put 127.0.0.1 folder x", 1, "folder is a directory, not a regular file"},
        {"file get 127.0.0.1 x folder", 1, "folder is a directory, not a regular file: left as it is"},
        {"search --save /dev/null", 1, "/dev/null is a character device, not a regular file: left as it is"},
        {"config info /dev/zero", 1, "/dev/zero is a character device"},
        {"tcl --help", 0, "--key-text T | --password P"},
        {"config set --help", 0, "host-key-text  the text the host key is made of (grade 3)"},
        {"config set 10.77.0.21", 2, "config set needs at least one KEY=VALUE"},
        {"config set 10.77.0.21 port=3002", 2, "unknown key 'port' (config set --help lists the keys)"},
        {"config set 10.77.0.21 host-port", 2, "'host-port' is no KEY=VALUE"},
        {"config set 10.77.0.21 host-port=65536", 2, "host-port takes a port from 1 to 65535, not '65536'"},
        {"config set 10.77.0.21 address=10.77.0.300", 2, "address takes an IPv4 address"},
        {"config set 10.77.0.21 address=::1", 2, "address takes an IPv4 address"},
        {"config set 10.77.0.21 group=65536", 2, "group takes a number from 0 to 65535"},
        {"config set 10.77.0.21 gmt-offset=+90", 2, "gmt-offset takes minutes east of Greenwich in whole hours"},
        {"config set 10.77.0.21 gmt-offset=-900", 2, "gmt-offset takes minutes east"},
        {"config set 10.77.0.21 summer-start=2027-02-29/02", 2, "summer-start takes YYYY-MM-DD/HH"},
        {"config set 10.77.0.21 summer-end=2027-10-31/24", 2, "summer-end takes YYYY-MM-DD/HH"},
        {"config set 10.77.0.21 ip-stack=both", 2, "ip-stack takes ipv4, dual or ipv6"},
        {"config set 10.77.0.21 dhcp-name=" + std::string(20, 'a'), 2, "dhcp-name takes at most 19 characters"},
        {"config show 10.77.0.21 --yes", 2, "unknown option --yes"},
        {"config show missing.cfg", 1, "missing.cfg"},
        {"config show site.rch.cfg", 1, "the program refuses this block"},
        {"config put 10.77.0.21", 2, "config put needs a TERMINAL and a FILE.cfg"},
        {"config put 10.77.0.21 folder", 1, "folder is a directory, not a regular file"},
        {"tcl --set-time", 2, "tcl needs a TERMINAL"},
        {"tcl 127.0.0.1 --key-text a --password 12345678", 2, "give --key-text or --password, not both"},
        {"tcl 127.0.0.1 " + std::string(255, 'x'), 2, "a STATEMENT has at most 254 characters"},
        {"tcl 127.0.0.1 --quiet-ms x", 2, "--quiet-ms takes milliseconds"},
        {"tcl 127.0.0.1 --file folder", 1, "folder is a directory, not a regular file"},
        {"firmware update --tcl V6.20", 2, "firmware update needs at least one TERMINAL"},
        {"firmware update 127.0.0.1 --parallel 0", 2, "--parallel takes a number from 1 to 64"},
        {"firmware list --replace-monitor", 2, "unknown option --replace-monitor"},
        {"firmware list --depot", 2, "--depot needs a value"},
        {"firmware update 127.0.0.1 --report /dev/null", 1, "/dev/null is a character device"},
        {"firmware list", 1, "No TCL versions found!"}, // no FirmwareDir here
        {"lbus 127.0.0.1 --readers 1", 2, "lbus needs TERMINAL and an action"},
        {"lbus 127.0.0.1 erase", 2, "unknown action erase"},
        {"lbus 127.0.0.1 firmware", 2, "firmware needs one FILE"},
        {"lbus 127.0.0.1 unlock pkg.trfw", 2, "unlock takes no FILE"},
    };
    // A settings file that cannot be read must not stop subcommands that need none.
    const std::vector<Row> brokenSettingsRows = {
        {"config info site.rch", 1,
         "!Kestrix.ini"}, // read although Kestrix.ini is broken: the block is refused
        {"file get 127.0.0.1 x y", 1, "Kestrix.ini"}, // a subcommand that talks to terminals reads it
    };
    for (const auto* table : {&rows, &brokenSettingsRows}) {
        if (table == &brokenSettingsRows)
            std::ofstream(directory / "Kestrix.ini") << "[TFTP\nbroken";
        for (const Row& row : *table) {
            SCOPED_TRACE(row.words);
            const test::CliRun run = test::runCli(directory, row.words);
            const std::string said = run.output + run.errors;
            EXPECT_EQ(run.exitCode, row.exitCode) << said;
            if (row.says.starts_with("!"))
                EXPECT_EQ(said.find(row.says.substr(1)), std::string::npos) << said;
            else
                EXPECT_NE(said.find(row.says), std::string::npos) << said;
        }
    }
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    fs::remove_all(directory);
}

} // namespace
} // namespace kestrix::cli

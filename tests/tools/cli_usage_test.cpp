#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

// kestrix-cli's answers to wrong command lines and to inputs and outputs it
// must refuse: each before any packet leaves (no LAN is needed), with the
// reason on standard error and the exit code a script can test.

namespace {

namespace fs = std::filesystem;

struct CliAnswer {
    int exitCode = -1;
    std::string errors;
};

// Runs kestrix-cli in directory with the words; standard error is kept.
CliAnswer cli(const fs::path& directory, const std::string& words) {
    const std::string command = "cd " + directory.string() + " && " KESTRIX_CLI " " + words + " 2>&1 >/dev/null";
    CliAnswer run;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    std::array<char, 512> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr)
        run.errors += buffer.data();
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

struct Row {
    std::string words;
    int exitCode;
    std::string says; // a part of standard error; "!" + a text standard error must not hold
};

TEST(CliUsage, WrongCommandLinesAndRefusedFiles) {
    const fs::path directory = fs::temp_directory_path() / ("kestrix-usage-" + std::to_string(::getpid()));
    fs::create_directories(directory / "folder");
    std::ofstream(directory / "site.rch") << "100101;;\r\n";
    const std::vector<Row> rows = {
        {"--group 65536 search", 2, "--group: the maintenance group must be a number from 0 to 65535, not '65536'"},
        {"--port 0 file get 127.0.0.1 a b", 2, "--port: the TFTP port must be a number from 1 to 65535, not '0'"},
        {"info --group 5 10.1.2.3", 2, "--group belongs before the subcommand"},
        {"file", 2, "file needs a subcommand: get or put"},
        {"info '12345678901234567;;'", 1, "the serial number is longer than 16 characters"},
        {"read /dev/zero", 1, "/dev/zero is a character device, not a regular file"},
        {"file put 127.0.0.1 /dev/zero x", 1, "/dev/zero is a character device, not a regular file"},
        {"file put 127.0.0.1 folder x", 1, "folder is a directory, not a regular file"},
        {"file get 127.0.0.1 x folder", 1, "folder is a directory, not a regular file: left as it is"},
        {"search --save /dev/null", 1, "/dev/null is a character device, not a regular file: left as it is"},
        {"config info /dev/zero", 1, "/dev/zero is a character device"},
    };
    // A settings file that cannot be read must not stop subcommands that need none.
    const std::vector<Row> brokenSettingsRows = {
        {"config info site.rch", 1, "!Kestrix.ini"}, // read although Kestrix.ini is broken: the block is refused
        {"file get 127.0.0.1 x y", 1, "Kestrix.ini"}, // a subcommand that talks to terminals reads it
    };
    for (const auto* table : {&rows, &brokenSettingsRows}) {
        if (table == &brokenSettingsRows)
            std::ofstream(directory / "Kestrix.ini") << "[TFTP\nbroken";
        for (const Row& row : *table) {
            SCOPED_TRACE(row.words);
            const CliAnswer run = cli(directory, row.words);
            EXPECT_EQ(run.exitCode, row.exitCode) << run.errors;
            if (row.says.starts_with("!"))
                EXPECT_EQ(run.errors.find(row.says.substr(1)), std::string::npos) << run.errors;
            else
                EXPECT_NE(run.errors.find(row.says), std::string::npos) << run.errors;
        }
    }
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    fs::remove_all(directory);
}

TEST(CliUsage, HelpExplainsTheOptionsBeforeTheSubcommand) {
    std::FILE* pipe = ::popen(KESTRIX_CLI " --help", "r");
    std::string text;
    std::array<char, 512> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr)
        text += buffer.data();
    EXPECT_EQ(::pclose(pipe), 0);
    EXPECT_NE(text.find("--port TFTP-PORT  the port of the terminals' TFTP servers"), std::string::npos) << text;
}

} // namespace

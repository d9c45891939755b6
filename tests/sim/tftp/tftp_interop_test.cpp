// The server against TFTP clients that no one here wrote: tftp-hpa's tftp,
// atftp and curl, reading and writing files byte-exact over loopback.
#include "raw_tftp_client.h"

#include "sim/tftp/tftp_server.h"
#include "support/skip_or_fail.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kestrix::sim::test {
namespace {

using namespace std::chrono_literals;

struct ProgramResult {
    int exitCode = -1; // -1: did not end normally (killed after the time limit)
    std::string output;
};

// Runs a program with its standard output and error in a file and no input;
// kills it after the time limit. posix_spawn, because the server's threads
// run in this process.
ProgramResult runProgram(const std::vector<std::string>& arguments, const std::filesystem::path& outputFile) {
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    ProgramResult result;
    pid_t child = 0;
    int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        result.output = "cannot start " + arguments.front();
        return result;
    }
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + 60s;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(5ms);
    }
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    std::ifstream file(outputFile);
    result.output.assign(std::istreambuf_iterator<char>(file), {});
    return result;
}

bool programInstalled(const std::string& name, const std::filesystem::path& outputFile) {
    return runProgram({"sh", "-c", "command -v " + name}, outputFile).exitCode == 0;
}

// curl reads the file name from the URL path, percent-decoded.
std::string urlPath(std::string_view name) {
    static const char* hex = "0123456789ABCDEF";
    std::string path;
    for (unsigned char byte : name) {
        if (std::isalnum(byte) || byte == '-' || byte == '.' || byte == '_')
            path += static_cast<char>(byte);
        else
            path += {'%', hex[byte >> 4], hex[byte & 15]};
    }
    return path;
}

enum class Program { TftpHpa, Atftp, Curl };

struct Client {
    Program program;
    const char* command; // what to run and the Debian package that brings it
    const char* package;
};

// The command line of one transfer.
std::vector<std::string> commandLine(Program program, TransferDirection direction, const std::string& host,
                                     const std::string& port, const std::string& remote,
                                     const std::string& local) {
    const bool reading = direction == TransferDirection::Read;
    const std::string option = reading ? "-o" : "-T";
    const std::string urlHost = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    const std::string url = "tftp://" + urlHost + ":" + port + "/" + urlPath(remote);
    switch (program) {
    case Program::TftpHpa:
        if (reading)
            return {"tftp", "-l", "-m", "octet", host, port, "-c", "get", remote, local};
        return {"tftp", "-l", "-m", "octet", host, port, "-c", "put", local, remote};
    case Program::Atftp:
        return {"atftp", reading ? "--get" : "--put", "-r", remote, "-l", local, host, port};
    case Program::Curl:
        return {"curl", "-sS", "--globoff", option, local, url};
    }
    return {};
}

class TftpInteropTest : public testing::TestWithParam<Client> {
protected:
    void SetUp() override {
        if (!programInstalled(GetParam().command, workspace_.path() / "which.txt")) {
            KESTRIX_SKIP_OR_FAIL(std::string(GetParam().command) + " is missing (Debian package " +
                                 GetParam().package + ")");
        }
        server_ = std::make_unique<TftpServer>(testOptions(terminal_, 1s));
        server_->start();
    }

    ProgramResult transfer(TransferDirection direction, const std::string& remote,
                           const std::filesystem::path& local, const std::string& host = "127.0.0.1") {
        return runProgram(
            commandLine(GetParam().program, direction, host, std::to_string(server_->port()), remote, local),
            workspace_.path() / "output.txt");
    }

    TerminalDirectory terminal_;  // the simulated terminal's files
    TerminalDirectory workspace_; // the client's side
    std::unique_ptr<TftpServer> server_;
};

TEST_P(TftpInteropTest, ReadsAndWritesFilesByteExactOverIPv4AndIPv6) {
    for (std::size_t size : {0u, 511u, 512u, 513u, 1024u, 3u * 1024u * 1024u}) {
        SCOPED_TRACE(size);
        const std::string host = size == 513u ? "::1" : "127.0.0.1";
        std::string name = "file-" + std::to_string(size) + ".bin";
        std::string content = patternBytes(size, static_cast<unsigned>(size + 1));
        terminal_.put(name, content);
        auto read = transfer(TransferDirection::Read, "C@\\t7000\\" + name, workspace_.path() / name, host);
        EXPECT_EQ(read.exitCode, 0) << read.output;
        EXPECT_TRUE(workspace_.get(name) == content) << "read " << workspace_.get(name).size() << " bytes";

        std::string upload = "up-" + name;
        workspace_.put(upload, patternBytes(size, static_cast<unsigned>(size + 2)));
        auto written =
            transfer(TransferDirection::Write, "[100101]/talmo/" + upload, workspace_.path() / upload, host);
        EXPECT_EQ(written.exitCode, 0) << written.output;
        EXPECT_TRUE(terminal_.get("talmo/" + upload) == workspace_.get(upload))
            << "stored " << terminal_.get("talmo/" + upload).size() << " bytes";
    }
}

TEST_P(TftpInteropTest, ClientsReportRefusals) {
    workspace_.put("talmo.cfg", "new");
    terminal_.put("talmo.cfg", "old");
    // curl tells a TFTP error by its exit code (68 file not found, 69
    // permission problem); the others print the server's text.
    auto reported = [](const ProgramResult& result, int curlExitCode, const std::string& text) {
        return GetParam().program == Program::Curl ? result.exitCode == curlExitCode
                                                   : result.output.find(text) != std::string::npos;
    };
    auto missing =
        transfer(TransferDirection::Read, "C@\\t7000\\missing.cfg", workspace_.path() / "missing.cfg");
    EXPECT_TRUE(reported(missing, 68, "File not found")) << missing.exitCode << ": " << missing.output;
    auto refused =
        transfer(TransferDirection::Write, "C@\\t7000\\talmo.cfg", workspace_.path() / "talmo.cfg");
    EXPECT_TRUE(reported(refused, 69, "Access violation")) << refused.exitCode << ": " << refused.output;
    EXPECT_EQ(terminal_.get("talmo.cfg"), "old");
}

std::string clientName(const testing::TestParamInfo<Client>& client) {
    std::string name = client.param.package;
    std::erase(name, '-');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Clients, TftpInteropTest,
                         testing::Values(Client{Program::TftpHpa, "tftp", "tftp-hpa"},
                                         Client{Program::Atftp, "atftp", "atftp"},
                                         Client{Program::Curl, "curl", "curl"}),
                         clientName);

} // namespace
} // namespace kestrix::sim::test

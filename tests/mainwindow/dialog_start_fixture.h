#pragma once

// What the main window's tests in a network namespace of their own share: a
// start directory that is the current directory, the language by LC_ALL, LAN
// interfaces made of bridges, and terminal records that send nothing.
#include "mainwindow/main_dialog.h"
#include "mainwindow/recording_view.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>

namespace kestrix::test {

// A resolver that knows no names, so that no test waits for a name server.
class NoNames : public NameResolver {
public:
    std::optional<ResolvedAddress> DNSNameResolution(const std::string&) const override {
        return std::nullopt;
    }
    std::optional<std::string> IPAddrResolution(const std::string&) const override { return std::nullopt; }
};

inline const NoNames& noNames() {
    static const NoNames resolver;
    return resolver;
}

// Runs a shell command (ip link ...) and fails the test when it fails.
inline void runCommand(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// A LAN interface of the namespace: a bridge without ports (up and running
// when set up) with one IPv4 address. Removed again at the end.
class Bridge {
public:
    Bridge(std::string name, const std::string& address, bool up) : name_(std::move(name)) {
        runCommand("ip link add " + name_ + " type bridge && ip addr add " + address + " dev " + name_);
        if (up)
            runCommand("ip link set " + name_ + " up");
    }
    ~Bridge() {
        [[maybe_unused]] const int result = std::system(("ip link del " + name_ + " 2>/dev/null").c_str());
    }
    Bridge(const Bridge&) = delete;
    Bridge& operator=(const Bridge&) = delete;

private:
    std::string name_;
};

// Each test runs in an empty directory of its own as the current directory
// (the start directory), in English unless it sets LC_ALL itself.
class StartDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        directory_ = std::filesystem::temp_directory_path() /
                     ("kestrix-dialog-" + std::to_string(::getpid()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(directory_);
        std::filesystem::create_directories(directory_);
        std::filesystem::current_path(directory_);
        ::setenv("LC_ALL", "en_US.UTF-8", 1);
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(directory_);
        ::unsetenv("LC_ALL");
    }

    std::filesystem::path previous_;
    std::filesystem::path directory_;
    RecordingView view_;
    RecordingMessageBoxes boxes_;
};

// A record of known values; it sends nothing and looks no name up.
inline std::unique_ptr<Terminal> knownTerminal(T7000ip& engine, TerminalFields fields) {
    auto terminal = std::make_unique<Terminal>(engine, std::move(fields));
    terminal->setNameResolver(noNames());
    return terminal;
}

} // namespace kestrix::test

#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kestrix::test {

// What a finished command printed and how it ended.
struct CommandResult {
    int waitStatus = 0;
    std::string output; // standard output and standard error, interleaved

    bool succeeded() const;
};

// Runs a program (argv[0] looked up in PATH) to its end, with no standard input.
CommandResult runCommand(const std::vector<std::string>& argv);

// "exit status 3", "signal 9 (Killed)", ...
std::string describeWaitStatus(int waitStatus);

// The path of a system tool (ip, iptables, ...), looked up in PATH and in the
// sbin folders that a non-login root shell may lack; empty when absent.
std::string toolPath(const std::string& name);

// A program that runs beside the test in a forked child, with standard output
// and standard error appended to a log file and no standard input. The child
// gets SIGTERM when the thread that started it ends (PR_SET_PDEATHSIG), so
// that it does not outlive a test process that is killed; start it from the
// test's main thread. It does not restart anything and does not read the log.
class BackgroundProcess {
public:
    BackgroundProcess() = default;
    static BackgroundProcess startProgram(const std::vector<std::string>& argv,
                                          const std::filesystem::path& log);

    BackgroundProcess(BackgroundProcess&& other) noexcept;
    BackgroundProcess& operator=(BackgroundProcess&& other) noexcept;
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;
    // Kills a child that still runs and waits for it.
    ~BackgroundProcess();

    pid_t pid() const { return pid_; }
    bool started() const { return pid_ > 0; }
    // True while the child runs; once it has ended, its wait status is kept.
    bool running();
    int waitStatus() const { return waitStatus_; }
    // Sends SIGTERM (no effect once it has ended).
    void terminate();
    // Waits until the child has ended or the deadline has passed, then kills
    // it; answers its wait status.
    int waitUntil(std::chrono::steady_clock::time_point deadline);

private:
    explicit BackgroundProcess(pid_t pid) : pid_(pid) {}
    pid_t pid_ = -1;
    bool ended_ = false;
    int waitStatus_ = 0;
};

} // namespace kestrix::test

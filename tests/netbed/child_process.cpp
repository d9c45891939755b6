#include "netbed/child_process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kestrix::test {

namespace {

std::vector<char*> argumentPointers(const std::vector<std::string>& argv) {
    std::vector<char*> pointers;
    for (const std::string& argument : argv)
        pointers.push_back(const_cast<char*>(argument.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

// In a freshly forked child: no standard input, output to the descriptor.
void redirectChildOutput(int output) {
    const int nothing = ::open("/dev/null", O_RDONLY);
    if (nothing >= 0) {
        ::dup2(nothing, STDIN_FILENO);
        ::close(nothing);
    }
    ::dup2(output, STDOUT_FILENO);
    ::dup2(output, STDERR_FILENO);
    if (output > STDERR_FILENO)
        ::close(output);
}

// In a freshly forked child: SIGTERM when the parent's thread ends; leave at
// once when the parent has already gone.
void followParent(pid_t parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent)
        ::_exit(127);
}

int openLog(const std::filesystem::path& log) {
    const int descriptor = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (descriptor < 0)
        throw std::runtime_error("cannot open " + log.string() + ": " + std::strerror(errno));
    return descriptor;
}

pid_t forkOrThrow() {
    // Buffered output would otherwise be written twice, by parent and child.
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    return pid;
}

} // namespace

bool CommandResult::succeeded() const {
    return WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == 0;
}

std::string describeWaitStatus(int waitStatus) {
    if (WIFEXITED(waitStatus))
        return "exit status " + std::to_string(WEXITSTATUS(waitStatus));
    if (WIFSIGNALED(waitStatus))
        return "signal " + std::to_string(WTERMSIG(waitStatus)) + " (" + strsignal(WTERMSIG(waitStatus)) +
               ")";
    return "wait status " + std::to_string(waitStatus);
}

std::string toolPath(const std::string& name) {
    std::string directories = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    directories += ":/usr/sbin:/sbin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= directories.size()) {
        const std::size_t end = std::min(directories.find(':', start), directories.size());
        const std::string candidate = directories.substr(start, end - start) + "/" + name;
        if (end > start && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

CommandResult runCommand(const std::vector<std::string>& argv) {
    if (argv.empty())
        throw std::invalid_argument("runCommand: no program");
    std::vector<char*> pointers = argumentPointers(argv);
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    const pid_t pid = forkOrThrow();
    if (pid == 0) {
        ::close(pipeEnds[0]);
        redirectChildOutput(pipeEnds[1]);
        ::execvp(pointers[0], pointers.data());
        std::fprintf(stderr, "cannot run %s: %s\n", pointers[0], std::strerror(errno));
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    CommandResult result;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (got > 0)
            result.output.append(buffer, static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR)
            break;
    }
    ::close(pipeEnds[0]);
    while (::waitpid(pid, &result.waitStatus, 0) < 0 && errno == EINTR) {
    }
    return result;
}

BackgroundProcess BackgroundProcess::startProgram(const std::vector<std::string>& argv,
                                                  const std::filesystem::path& log) {
    if (argv.empty())
        throw std::invalid_argument("BackgroundProcess: no program");
    std::vector<char*> pointers = argumentPointers(argv);
    const int output = openLog(log);
    const pid_t parent = ::getpid();
    const pid_t pid = forkOrThrow();
    if (pid == 0) {
        followParent(parent);
        redirectChildOutput(output);
        ::execvp(pointers[0], pointers.data());
        std::fprintf(stderr, "cannot run %s: %s\n", pointers[0], std::strerror(errno));
        ::_exit(127);
    }
    ::close(output);
    return BackgroundProcess(pid);
}

BackgroundProcess::BackgroundProcess(BackgroundProcess&& other) noexcept
    : pid_(other.pid_), ended_(other.ended_), waitStatus_(other.waitStatus_) {
    other.pid_ = -1;
}

BackgroundProcess& BackgroundProcess::operator=(BackgroundProcess&& other) noexcept {
    if (this != &other) {
        if (started() && !ended_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &waitStatus_, 0);
        }
        pid_ = other.pid_;
        ended_ = other.ended_;
        waitStatus_ = other.waitStatus_;
        other.pid_ = -1;
    }
    return *this;
}

BackgroundProcess::~BackgroundProcess() {
    if (started() && !ended_) {
        ::kill(pid_, SIGKILL);
        while (::waitpid(pid_, &waitStatus_, 0) < 0 && errno == EINTR) {
        }
    }
}

bool BackgroundProcess::running() {
    if (!started() || ended_)
        return false;
    if (::waitpid(pid_, &waitStatus_, WNOHANG) == pid_)
        ended_ = true;
    return !ended_;
}

void BackgroundProcess::terminate() {
    if (running())
        ::kill(pid_, SIGTERM);
}

int BackgroundProcess::waitUntil(std::chrono::steady_clock::time_point deadline) {
    while (running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (running()) {
        ::kill(pid_, SIGKILL);
        while (::waitpid(pid_, &waitStatus_, 0) < 0 && errno == EINTR) {
        }
        ended_ = true;
    }
    return waitStatus_;
}

} // namespace kestrix::test

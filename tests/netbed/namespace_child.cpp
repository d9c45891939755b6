#include "netbed/namespace_child.h"

#include "netbed/child_process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sched.h>
#include <string_view>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define KESTRIX_NETBED_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTRIX_NETBED_LEAK_CHECK 1
#endif
#endif
#ifdef KESTRIX_NETBED_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace kestrix::test {

namespace {

std::string failed(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

std::string bindEtcFiles(const std::string& name) {
    const std::string directory = "/etc/netns/" + name;
    DIR* entries = ::opendir(directory.c_str());
    if (entries == nullptr)
        return {}; // nothing to bind
    std::string failure;
    while (const dirent* entry = ::readdir(entries)) {
        const std::string_view file = entry->d_name;
        if (file == "." || file == "..")
            continue;
        const std::string source = directory + "/" + std::string(file);
        const std::string target = "/etc/" + std::string(file);
        if (::mount(source.c_str(), target.c_str(), "none", MS_BIND, nullptr) != 0 && failure.empty())
            failure = failed("bind " + source + " -> " + target);
    }
    ::closedir(entries);
    return failure;
}

// One failure of the child, sent to the parent as file, line and message,
// each ended by a zero byte.
void writeRecord(int descriptor, const char* file, int line, const std::string& message) {
    std::string record = file != nullptr ? file : "";
    record += '\0';
    record += std::to_string(line);
    record += '\0';
    record += message;
    record += '\0';
    std::string_view rest = record;
    while (!rest.empty()) {
        const ssize_t written = ::write(descriptor, rest.data(), rest.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
}

class FailureForwarder : public ::testing::EmptyTestEventListener {
public:
    explicit FailureForwarder(int descriptor) : descriptor_(descriptor) {}
    void OnTestPartResult(const ::testing::TestPartResult& result) override {
        if (result.failed())
            writeRecord(descriptor_, result.file_name(), result.line_number(), result.message());
    }

private:
    int descriptor_;
};

[[noreturn]] void runChild(const std::string& name, const std::function<void()>& body, int descriptor) {
    ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
    // The parent prints the failures; the child's printer would print them twice.
    delete listeners.Release(listeners.default_result_printer());
    listeners.Append(new FailureForwarder(descriptor));
    const std::string failure = enterNamedNamespace(name);
    if (!failure.empty()) {
        writeRecord(descriptor, __FILE__, __LINE__, "cannot enter the namespace: " + failure);
        std::fflush(nullptr);
        ::_exit(1);
    }
    try {
        body();
    } catch (const std::exception& error) {
        writeRecord(descriptor, __FILE__, __LINE__, std::string("exception: ") + error.what());
    } catch (...) {
        writeRecord(descriptor, __FILE__, __LINE__, "an exception that is no std::exception");
    }
#ifdef KESTRIX_NETBED_LEAK_CHECK
    if (__lsan_do_recoverable_leak_check() != 0)
        writeRecord(descriptor, __FILE__, __LINE__, "LeakSanitizer found leaks (report above)");
#endif
    std::fflush(nullptr);
    ::_exit(0);
}

struct ChildReport {
    std::string records;
    int waitStatus = 0;
    bool timedOut = false;
};

ChildReport collect(pid_t child, int descriptor, std::chrono::seconds timeout) {
    ChildReport report;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    char buffer[4096];
    bool ended = false;
    for (;;) {
        ssize_t got;
        while ((got = ::read(descriptor, buffer, sizeof buffer)) > 0)
            report.records.append(buffer, static_cast<std::size_t>(got));
        // A grandchild may hold the pipe open: the child's end is what counts.
        if (ended || got == 0)
            break;
        if (::waitpid(child, &report.waitStatus, WNOHANG) == child) {
            ended = true; // read what is left once more
            continue;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            report.timedOut = true;
            ::kill(child, SIGKILL);
            break;
        }
        pollfd readable{descriptor, POLLIN, 0};
        ::poll(&readable, 1, 20);
    }
    if (!ended)
        while (::waitpid(child, &report.waitStatus, 0) < 0 && errno == EINTR) {
        }
    return report;
}

} // namespace

std::string enterNamedNamespace(const std::string& name) {
    const std::string path = "/run/netns/" + name;
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return failed("open " + path);
    const int entered = ::setns(descriptor, CLONE_NEWNET);
    ::close(descriptor);
    if (entered != 0)
        return failed("setns " + path);
    if (::unshare(CLONE_NEWNS) != 0)
        return failed("unshare(CLONE_NEWNS)");
    if (::mount("", "/", "none", MS_SLAVE | MS_REC, nullptr) != 0)
        return failed("mount / as slave");
    unsigned long sysfsFlags = 0;
    if (::umount2("/sys", MNT_DETACH) != 0) {
        // It stays: a read-only one cannot be covered by a writable one.
        struct statvfs status {};
        if (::statvfs("/sys", &status) == 0 && (status.f_flag & ST_RDONLY) != 0)
            sysfsFlags = MS_RDONLY;
    }
    if (::mount(name.c_str(), "/sys", "sysfs", sysfsFlags, nullptr) != 0)
        return failed("mount sysfs");
    return bindEtcFiles(name);
}

bool runInNamespace(const std::string& name, const std::function<void()>& body,
                    std::chrono::seconds timeout) {
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return false;
    }
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) {
        ADD_FAILURE() << "fork: " << std::strerror(errno);
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        return false;
    }
    if (child == 0) {
        ::close(pipeEnds[0]);
        runChild(name, body, pipeEnds[1]);
    }
    ::close(pipeEnds[1]);
    ::fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
    const ChildReport report = collect(child, pipeEnds[0], timeout);
    ::close(pipeEnds[0]);

    bool passed = true;
    std::string_view rest = report.records;
    while (!rest.empty()) {
        std::string_view fields[3];
        for (std::string_view& field : fields) {
            const std::size_t end = rest.find('\0');
            field = rest.substr(0, end);
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        }
        const std::string file(fields[0]);
        const int line = std::atoi(std::string(fields[1]).c_str());
        ADD_FAILURE_AT(file.c_str(), line) << "[in " << name << "] " << fields[2];
        passed = false;
    }
    if (report.timedOut) {
        ADD_FAILURE() << "[in " << name << "] the child did not end within " << timeout.count() << " s";
        passed = false;
    } else if (!WIFEXITED(report.waitStatus) || WEXITSTATUS(report.waitStatus) != 0) {
        ADD_FAILURE() << "[in " << name << "] the child ended with " << describeWaitStatus(report.waitStatus);
        passed = false;
    }
    return passed;
}

} // namespace kestrix::test

#include "netbed/namespace_child.h"

#include "netbed/child_process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <string_view>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <thread>
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

// In the forked child: enters the namespace, runs body and leaves with 0 when
// no assertion failed. GoogleTest's printer writes each failure with its file
// and line as it happens.
[[noreturn]] void runChild(const std::string& name, const std::function<void()>& body) {
    const std::string failure = enterNamedNamespace(name);
    if (!failure.empty()) {
        std::fprintf(stderr, "[in %s] cannot enter the namespace: %s\n", name.c_str(), failure.c_str());
        std::fflush(nullptr);
        ::_exit(2);
    }
    const bool failedBefore = ::testing::Test::HasFailure();
    try {
        body();
    } catch (const std::exception& error) {
        ADD_FAILURE() << "[in " << name << "] exception: " << error.what();
    } catch (...) {
        ADD_FAILURE() << "[in " << name << "] an exception that is no std::exception";
    }
#ifdef KESTRIX_NETBED_LEAK_CHECK
    if (__lsan_do_recoverable_leak_check() != 0)
        ADD_FAILURE() << "[in " << name << "] LeakSanitizer found leaks (report above)";
#endif
    std::fflush(nullptr);
    ::_exit(::testing::Test::HasFailure() && !failedBefore ? 1 : 0);
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
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) {
        ADD_FAILURE() << "fork: " << std::strerror(errno);
        return false;
    }
    if (child == 0)
        runChild(name, body);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            ADD_FAILURE() << "[in " << name << "] the child did not end within " << timeout.count() << " s";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return true;
    ADD_FAILURE() << "[in " << name << "] the child failed (its failures are above) and ended with "
                  << describeWaitStatus(status);
    return false;
}

} // namespace kestrix::test

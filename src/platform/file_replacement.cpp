#include "platform/file_replacement.h"

#include "platform/error_text.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kestrix {

namespace {

std::mutex temporaryFilesMutex;
std::set<std::string>& temporaryFiles() {
    static std::set<std::string> files;
    return files;
}

void remember(const std::string& name) {
    std::lock_guard lock(temporaryFilesMutex);
    temporaryFiles().insert(name);
}

void forget(const std::string& name) {
    std::lock_guard lock(temporaryFilesMutex);
    temporaryFiles().erase(name);
}

// What a file that is not a regular one is, for messages.
const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

// The path that is written when path is given: a symbolic link is followed to
// the end. Empty with the reason in refusal when the target may not be
// replaced; exists tells whether a regular file is there.
std::string resolveTarget(const std::string& path, bool& exists, std::string& refusal) {
    struct stat status {};
    exists = false;
    if (::lstat(path.c_str(), &status) != 0) {
        if (errno == ENOENT)
            return path;
        refusal = path + ": " + errorText(errno);
        return std::string();
    }
    std::string resolved = path;
    if (S_ISLNK(status.st_mode)) {
        char buffer[PATH_MAX];
        if (::realpath(path.c_str(), buffer) == nullptr) {
            refusal = path + " is a symbolic link that leads to no file (" + errorText(errno) + "): left as it is";
            return std::string();
        }
        resolved = buffer;
        if (::stat(resolved.c_str(), &status) != 0) {
            refusal = path + ": " + errorText(errno);
            return std::string();
        }
    }
    if (!S_ISREG(status.st_mode)) {
        refusal = path + (resolved == path ? "" : " leads to " + resolved + ", which") + " is " +
                  kindOf(status.st_mode) + ", not a regular file: left as it is";
        return std::string();
    }
    exists = true;
    return resolved;
}

bool hasAccessControlList(const std::string& path) {
    return ::getxattr(path.c_str(), "system.posix_acl_access", nullptr, 0) > 0;
}

bool writeAll(int descriptor, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

FileReplacement::FileReplacement(const std::string& target, FileSecrecy secrecy) {
    target_ = resolveTarget(target, targetExists_, error_);
    if (target_.empty())
        return;
    const mode_t mode = secrecy == FileSecrecy::OwnerOnly ? 0600 : 0666;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_ = target_ + ".kestrix-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        descriptor_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (descriptor_ >= 0) {
            remember(temporary_);
            return;
        }
        const int error = errno;
        if (error != EEXIST) {
            temporary_.clear();
            fail("cannot create a file beside " + target_, error);
            return;
        }
    }
    temporary_.clear();
    error_ = "cannot create a file beside " + target_ + ": too many left-over temporary files";
}

FileReplacement::~FileReplacement() {
    if (descriptor_ >= 0)
        ::close(descriptor_);
    if (!temporary_.empty() && !committed_) {
        ::unlink(temporary_.c_str());
        forget(temporary_);
    }
}

bool FileReplacement::fail(const std::string& what, int errorNumber) {
    error_ = what + ": " + errorText(errorNumber);
    return false;
}

bool FileReplacement::write(std::span<const std::uint8_t> bytes) {
    if (!isOpen())
        return false;
    return writeAll(descriptor_, bytes) || fail("cannot write " + temporary_, errno);
}

bool FileReplacement::overwriteInPlace() {
    const int source = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0)
        return fail("cannot read " + temporary_, errno);
    const int destination = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (destination < 0) {
        const int error = errno;
        ::close(source);
        return fail("cannot write " + target_, error);
    }
    std::uint8_t buffer[65536];
    bool copied = true;
    int error = 0;
    for (;;) {
        const ssize_t count = ::read(source, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            copied = count == 0;
            error = errno;
            break;
        }
        if (!writeAll(destination, std::span(buffer, static_cast<std::size_t>(count)))) {
            copied = false;
            error = errno;
            break;
        }
    }
    if (copied && ::fsync(destination) != 0) {
        copied = false;
        error = errno;
    }
    ::close(source);
    if (::close(destination) != 0 && copied) {
        copied = false;
        error = errno;
    }
    return copied || fail("cannot write " + target_, error);
}

bool FileReplacement::commit() {
    if (!isOpen())
        return false;
    struct stat existing {};
    bool inPlace = false;
    if (targetExists_ && ::stat(target_.c_str(), &existing) == 0) {
        inPlace = existing.st_nlink > 1 || hasAccessControlList(target_);
        if (!inPlace) {
            // The new file takes the old one's rights; as root also its owner.
            if (::fchmod(descriptor_, existing.st_mode & 07777) != 0)
                return fail("cannot set the mode of " + temporary_, errno);
            if (::geteuid() == 0 && ::fchown(descriptor_, existing.st_uid, existing.st_gid) != 0)
                return fail("cannot set the owner of " + temporary_, errno);
        }
    }
    if (::fsync(descriptor_) != 0)
        return fail("cannot write " + temporary_, errno);
    const int closed = ::close(descriptor_);
    descriptor_ = -1;
    if (closed != 0)
        return fail("cannot write " + temporary_, errno);
    if (inPlace) {
        if (!overwriteInPlace())
            return false;
        ::unlink(temporary_.c_str());
    } else if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        return fail("cannot replace " + target_, errno);
    }
    committed_ = true;
    forget(temporary_);
    return true;
}

std::string replaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes, FileSecrecy secrecy) {
    FileReplacement replacement(path, secrecy);
    if (replacement.write(bytes) && replacement.commit())
        return std::string();
    return replacement.error();
}

std::string checkRegularInput(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return "cannot read " + path + ": " + errorText(errno);
    if (!S_ISREG(status.st_mode))
        return path + " is " + std::string(kindOf(status.st_mode)) + ", not a regular file";
    if (::access(path.c_str(), R_OK) != 0)
        return "cannot read " + path + ": " + errorText(errno);
    return std::string();
}

std::string checkReplaceableTarget(const std::string& path) {
    bool exists = false;
    std::string refusal;
    resolveTarget(path, exists, refusal);
    return refusal;
}

void removeAllTemporaryFiles() {
    std::lock_guard lock(temporaryFilesMutex);
    for (const std::string& name : temporaryFiles())
        ::unlink(name.c_str());
    temporaryFiles().clear();
}

} // namespace kestrix

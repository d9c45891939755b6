#include "config/file_replace.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace kestrix {

namespace {

// A new file beside path, created exclusively (the umask applies to its
// mode); -1 when none can be made. Its name is stored in temporary.
int createBeside(const std::string& path, std::string& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path + ".kestrix-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0 || errno != EEXIST)
            return descriptor;
    }
    return -1;
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

ReplaceOutcome replaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::string temporary;
    const int descriptor = createBeside(path, temporary);
    if (descriptor < 0)
        return ReplaceOutcome::CannotCreate;
    bool written = writeAll(descriptor, bytes) && ::fsync(descriptor) == 0;
    written = ::close(descriptor) == 0 && written;
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return ReplaceOutcome::WriteFailed;
    }
    return ReplaceOutcome::Replaced;
}

} // namespace kestrix

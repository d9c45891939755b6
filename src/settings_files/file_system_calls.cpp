#include "settings_files/file_system_calls.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace kestrix {

int FileSystemCalls::removeFile(const std::string& name) {
    return ::unlink(name.c_str()) == 0 ? 0 : errno;
}

int FileSystemCalls::renameFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int FileSystemCalls::syncDirectoryOf(const std::string& name) {
    std::filesystem::path directory = std::filesystem::path(name).parent_path();
    if (directory.empty())
        directory = ".";
    const int descriptor = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return errno;
    const int result = ::fsync(descriptor) == 0 ? 0 : errno;
    ::close(descriptor);
    return result;
}

} // namespace kestrix

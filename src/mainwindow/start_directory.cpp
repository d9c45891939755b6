#include "mainwindow/start_directory.h"

#include <filesystem>
#include <system_error>

namespace kestrix {

namespace {
std::string g_startDirectory;
}

bool initStartDirectory(std::error_code* error) {
    std::error_code failure;
    std::string current = std::filesystem::current_path(failure).string();
    if (!failure && current.empty())
        failure = std::make_error_code(std::errc::no_such_file_or_directory);
    if (failure) {
        if (error != nullptr)
            *error = failure;
        return false;
    }
    if (current.back() == '/')
        current.pop_back();
    g_startDirectory = current;
    return true;
}

const std::string& startDirectory() {
    return g_startDirectory;
}

std::string startDirectoryFile(const std::string& name) {
    return g_startDirectory + "/" + name;
}

} // namespace kestrix

#include "mainwindow/start_directory.h"

#include "mainwindow/program_settings.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

// The data folder relative to the folder of the installed programs, set by the build.
#ifndef KESTRIX_INSTALLED_PAGES
#define KESTRIX_INSTALLED_PAGES "../share/kestrix"
#endif

namespace kestrix {

namespace fs = std::filesystem;

namespace {

StartFolders g_folders;

constexpr const char* kTclTestsFolder = "TCLTests";

// The installed data folder when the running program is an installed one: the
// licence page lies there. Empty otherwise.
std::string installedPagesFolder() {
    std::error_code failure;
    const fs::path program = fs::read_symlink("/proc/self/exe", failure);
    if (failure)
        return {};
    const fs::path pages = (program.parent_path() / KESTRIX_INSTALLED_PAGES).lexically_normal();
    if (!fs::is_regular_file(pages / "License.htm", failure))
        return {};
    return pages.string();
}

const char* homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return home;
    const passwd* user = ::getpwuid(::getuid());
    return user != nullptr ? user->pw_dir : nullptr;
}

// Makes the per-user folder readable by its user only, and gives it the
// installed test programs when it has none. The copy is a convenience: when it
// fails the console finds no test programs and says so.
bool preparePerUserFolder(const StartFolders& folders, std::error_code& failure) {
    const fs::path folder(folders.files);
    if (fs::create_directories(folder, failure))
        fs::permissions(folder, fs::perms::owner_all, failure);
    if (failure)
        return false;
    const fs::path tests = folder / kTclTestsFolder;
    std::error_code ignored;
    if (!fs::exists(tests, ignored) && fs::is_directory(fs::path(folders.pages) / kTclTestsFolder, ignored))
        fs::copy(fs::path(folders.pages) / kTclTestsFolder, tests, fs::copy_options::recursive, ignored);
    return true;
}

} // namespace

StartFolders chooseStartFolders(const std::string& current, bool settingsFileInCurrent,
                                const std::string& installedPages, const std::string& perUser) {
    if (installedPages.empty())
        return {StartLayout::CurrentFolder, current, current};
    if (settingsFileInCurrent || perUser.empty())
        return {StartLayout::CurrentFolder, current, installedPages};
    return {StartLayout::PerUser, perUser, installedPages};
}

std::string perUserFolder(const char* configHome, const char* home) {
    if (configHome != nullptr && configHome[0] == '/')
        return (fs::path(configHome) / "kestrix").lexically_normal().string();
    if (home != nullptr && home[0] == '/')
        return (fs::path(home) / ".config/kestrix").lexically_normal().string();
    return {};
}

bool initStartDirectory(std::error_code* error) {
    std::error_code failure;
    std::string current = fs::current_path(failure).string();
    if (!failure && current.empty())
        failure = std::make_error_code(std::errc::no_such_file_or_directory);
    if (!failure) {
        if (current.back() == '/')
            current.pop_back();
        std::error_code ignored;
        const bool settingsFile = fs::exists(fs::path(current) / kSettingsFileName, ignored);
        const StartFolders folders = chooseStartFolders(current, settingsFile, installedPagesFolder(),
                                                        perUserFolder(std::getenv("XDG_CONFIG_HOME"), homeFolder()));
        if (folders.layout == StartLayout::CurrentFolder || preparePerUserFolder(folders, failure))
            g_folders = folders;
    }
    if (failure) {
        if (error != nullptr)
            *error = failure;
        return false;
    }
    return true;
}

const std::string& startDirectory() {
    return g_folders.files;
}

std::string startDirectoryFile(const std::string& name) {
    return g_folders.files + "/" + name;
}

std::string settingsFileName() {
    return g_folders.layout == StartLayout::PerUser ? startDirectoryFile(kSettingsFileName) : kSettingsFileName;
}

std::string pageFile(const std::string& name) {
    return g_folders.pages + "/" + name;
}

StartLayout startLayout() {
    return g_folders.layout;
}

} // namespace kestrix

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
StartUse g_use = StartUse::Window;

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

} // namespace

StartFolders chooseStartFolders(StartUse use, const std::string& current, bool settingsFileInCurrent,
                                const std::string& installedPages, const std::string& perUser) {
    if (installedPages.empty())
        return {StartLayout::CurrentFolder, current, current, current};
    if (settingsFileInCurrent || perUser.empty())
        return {StartLayout::CurrentFolder, current, current, installedPages};
    return {StartLayout::PerUser, use == StartUse::Window ? perUser : current, perUser, installedPages};
}

bool preparePerUserFolder(const StartFolders& folders, std::error_code& error) {
    const fs::path folder(folders.files);
    if (fs::create_directories(folder, error))
        fs::permissions(folder, fs::perms::owner_all, error);
    if (error)
        return false;
    const fs::path tests = folder / kTclTestsFolder;
    std::error_code ignored;
    if (!fs::exists(tests, ignored) && fs::is_directory(fs::path(folders.pages) / kTclTestsFolder, ignored))
        fs::copy(fs::path(folders.pages) / kTclTestsFolder, tests, fs::copy_options::recursive, ignored);
    return true;
}

std::string perUserFolder(const char* configHome, const char* home) {
    if (configHome != nullptr && configHome[0] == '/')
        return (fs::path(configHome) / "kestrix").lexically_normal().string();
    if (home != nullptr && home[0] == '/')
        return (fs::path(home) / ".config/kestrix").lexically_normal().string();
    return {};
}

void setStartUse(StartUse use) {
    g_use = use;
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
        const StartFolders folders =
            chooseStartFolders(g_use, current, settingsFile, installedPagesFolder(),
                               perUserFolder(std::getenv("XDG_CONFIG_HOME"), homeFolder()));
        if (folders.files == current || preparePerUserFolder(folders, failure))
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

const std::string& settingsDirectory() {
    return g_folders.settings;
}

std::string settingsFileName() {
    return g_folders.layout == StartLayout::PerUser ? g_folders.settings + "/" + kSettingsFileName
                                                    : kSettingsFileName;
}

std::string pageFile(const std::string& name) {
    return g_folders.pages + "/" + name;
}

} // namespace kestrix

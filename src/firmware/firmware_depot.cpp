#include "firmware/firmware_depot.h"

#include "firmware/folder_entries.h"
#include "firmware/update_file_composer.h"
#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"
#include "terminal/terminal.h"

#include <algorithm>
#include <filesystem>
#include <fnmatch.h>
#include <stdexcept>
#include <system_error>

namespace kestrix {

namespace {

// Message table ids.
constexpr int kNoTclVersions = 99;
constexpr int kNoServerVersions = 100;
constexpr int kTclVersion = 101;    // "Die TCL-Version"
constexpr int kServerVersion = 102; // "Die Server-Version"
constexpr int kNotFound = 103;      // "ist nicht zu finden!"
constexpr int kFor = 104;           // "für"

constexpr const char* kNothing = "---";

std::string absoluteDirectory(const std::string& name) {
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(name, error);
    if (error)
        path = name;
    std::string text = path.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

bool isDirectory(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

// The version folders of a depot: the folders whose names match "V*.*" (with
// a capital "V"), sorted by name in byte order.
std::vector<std::string> versionFolders(const std::string& depotDirectory) {
    std::vector<std::string> names = folderEntries(depotDirectory, FolderEntryType::Folder);
    std::erase_if(names, [](const std::string& name) { return fnmatch("V*.*", name.c_str(), 0) != 0; });
    return names;
}

std::vector<std::string> languageNames(const IniData* description) {
    std::vector<std::string> names;
    if (description != nullptr)
        names = description->getKeys("Sprache");
    if (names.empty())
        names.push_back(kNothing);
    return names;
}

std::size_t indexOf(const std::vector<std::string>& list, const std::string& name) {
    return static_cast<std::size_t>(std::find(list.begin(), list.end(), name) - list.begin());
}

} // namespace

DepotPaths DepotPaths::below(const std::string& programDirectory) {
    const std::string program = absoluteDirectory(programDirectory);
    return {program, program + "/FirmwareDir"};
}

DepotPaths DepotPaths::withRoot(const std::string& programDirectory, const std::string& depotRoot) {
    return {absoluteDirectory(programDirectory), absoluteDirectory(depotRoot)};
}

FirmwareDepot::FirmwareDepot(DepotPaths paths, const CToolBoxLang& language, MessageBoxes& boxes,
                             FirmwareSlots& slots)
    : paths_(std::move(paths)), language_(language), boxes_(boxes), slots_(slots) {}

FirmwareDepot::DepotChoice& FirmwareDepot::choice(FirmwareDepotKind depot) {
    return choices_[depot == FirmwareDepotKind::TCL ? 0 : 1];
}

const FirmwareDepot::DepotChoice& FirmwareDepot::choice(FirmwareDepotKind depot) const {
    return choices_[depot == FirmwareDepotKind::TCL ? 0 : 1];
}

std::string FirmwareDepot::depotDirectory(FirmwareDepotKind depot) const {
    return paths_.depotRoot + (depot == FirmwareDepotKind::TCL ? "/TCL" : "/Server");
}

void FirmwareDepot::showError(const std::string& text) {
    boxes_.show({kProductCaption, text, MessageIcon::Error});
}

DepotFill FirmwareDepot::fillVersionLists(std::span<const FirmwareDepotKind> selectedTerminalDepots) {
    {
        std::lock_guard lock(mutex_);
        choices_ = {};
    }
    for (FirmwareDepotKind depot : {FirmwareDepotKind::TCL, FirmwareDepotKind::Server})
        if (std::find(selectedTerminalDepots.begin(), selectedTerminalDepots.end(), depot) !=
                selectedTerminalDepots.end() &&
            !fillDepot(depot))
            return DepotFill::Failed;
    return DepotFill::Filled;
}

bool FirmwareDepot::fillDepot(FirmwareDepotKind depot) {
    const std::string directory = depotDirectory(depot);
    const std::vector<std::string> names = versionFolders(directory);
    if (names.empty()) {
        showError(language_.GetText(depot == FirmwareDepotKind::TCL ? kNoTclVersions : kNoServerVersions));
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        choice(depot).versions = names;
        choice(depot).version = names.size() - 1;
    }
    loadSelectedVersion(depot);
    return true;
}

bool FirmwareDepot::loadSelectedVersion(FirmwareDepotKind depot) {
    std::string version;
    {
        std::lock_guard lock(mutex_);
        DepotChoice& chosen = choice(depot);
        version = chosen.versions[chosen.version];
        chosen.description.reset();
        chosen.directory.clear();
        chosen.languages = {kNothing};
        chosen.language = 0;
    }
    const std::string directory = depotDirectory(depot) + "/" + version;
    if (!isDirectory(directory)) {
        showError(language_.GetText(depot == FirmwareDepotKind::TCL ? kTclVersion : kServerVersion) + " " +
                  version + " " + language_.GetText(kNotFound));
        return false;
    }
    std::shared_ptr<const IniFile> description;
    try {
        description = std::make_shared<const IniFile>(directory + "/Firmware.dep",
                                                      " " + language_.GetText(kFor) + " " + version + " " +
                                                          language_.GetText(kNotFound));
    } catch (const std::exception& error) {
        showError(error.what());
        return false;
    }
    std::lock_guard lock(mutex_);
    DepotChoice& chosen = choice(depot);
    chosen.description = description;
    chosen.directory = directory;
    chosen.languages = languageNames(description.get());
    return true;
}

std::vector<std::string> FirmwareDepot::versions(FirmwareDepotKind depot) const {
    std::lock_guard lock(mutex_);
    return choice(depot).versions;
}

std::string FirmwareDepot::selectedVersion(FirmwareDepotKind depot) const {
    std::lock_guard lock(mutex_);
    return choice(depot).versions[choice(depot).version];
}

std::vector<std::string> FirmwareDepot::languages(FirmwareDepotKind depot) const {
    std::lock_guard lock(mutex_);
    return choice(depot).languages;
}

std::string FirmwareDepot::selectedLanguage(FirmwareDepotKind depot) const {
    std::lock_guard lock(mutex_);
    return choice(depot).languages[choice(depot).language];
}

bool FirmwareDepot::selectVersion(FirmwareDepotKind depot, std::size_t index) {
    {
        std::lock_guard lock(mutex_);
        if (index >= choice(depot).versions.size())
            return false;
        choice(depot).version = index;
    }
    return loadSelectedVersion(depot);
}

bool FirmwareDepot::selectVersionNamed(FirmwareDepotKind depot, const std::string& name) {
    return selectVersion(depot, indexOf(versions(depot), name));
}

bool FirmwareDepot::selectLanguage(FirmwareDepotKind depot, std::size_t index) {
    std::lock_guard lock(mutex_);
    if (index >= choice(depot).languages.size())
        return false;
    choice(depot).language = index;
    return true;
}

bool FirmwareDepot::selectLanguageNamed(FirmwareDepotKind depot, const std::string& name) {
    return selectLanguage(depot, indexOf(languages(depot), name));
}

void FirmwareDepot::setOptions(UpdateOptions options) {
    std::lock_guard lock(mutex_);
    options_ = options;
}

UpdateOptions FirmwareDepot::options() const {
    std::lock_guard lock(mutex_);
    return options_;
}

std::shared_ptr<const IniFile> FirmwareDepot::description(FirmwareDepotKind depot) const {
    std::lock_guard lock(mutex_);
    return choice(depot).description;
}

std::string FirmwareDepot::versionDirectory(FirmwareDepotKind depot) const {
    std::lock_guard lock(mutex_);
    return choice(depot).directory;
}

bool FirmwareDepot::hasSection(const Terminal& terminal) const {
    return hasSection(static_cast<const TerminalFields&>(terminal));
}

bool FirmwareDepot::hasSection(const TerminalFields& terminal) const {
    const FirmwareDepotKind depot = depotKindOf(terminal);
    const std::shared_ptr<const IniFile> loaded = description(depot);
    return loaded && firmwareSection(*loaded, terminal, depot).has_value();
}

std::string FirmwareDepot::notConvenientText(const Terminal& terminal) const {
    return notConvenientText(static_cast<const TerminalFields&>(terminal));
}

std::string FirmwareDepot::notConvenientText(const TerminalFields& terminal) const {
    return notConvenientMessage(language_, terminal, depotKindOf(terminal));
}

std::optional<UpdateFileList> FirmwareDepot::GetUpdateFiles(Terminal& terminal, int slot) {
    return GetUpdateFiles(static_cast<TerminalFields&>(terminal), slot,
                          [&terminal] { return terminal.getAutoexec(); });
}

std::optional<UpdateFileList> FirmwareDepot::GetUpdateFiles(TerminalFields& terminal, int slot,
                                                            const AutoexecReader& readAutoexec) {
    DepotSelection selection;
    selection.depot = depotKindOf(terminal);
    selection.depotRoot = paths_.depotRoot;
    {
        std::lock_guard lock(mutex_);
        const DepotChoice& chosen = choice(selection.depot);
        selection.description = chosen.description;
        selection.versionDirectory = chosen.directory;
        selection.language = chosen.languages[chosen.language];
        selection.options = options_;
    }
    return UpdateFileComposer(selection, language_, boxes_, slots_, slot).compose(terminal, readAutoexec);
}

} // namespace kestrix

#include "firmware/update_file_composer.h"

#include "firmware/firmware_slots.h"
#include "firmware/firmware_version_readers.h"
#include "firmware/pcmcia_files.h"
#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/error_text.h"
#include "platform/message_box.h"
#include "platform/trace.h"
#include "terminal/terminal_fields.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

namespace kestrix {

namespace {

// Message table ids.
constexpr int kTclNotConvenient = 105;
constexpr int kServerNotConvenient = 106;
constexpr int kError = 107;          // "FEHLER:"
constexpr int kIsCorrupted = 108;    // "ist fehlerhaft."
constexpr int kNoUpdate = 109;       // "Kein Firmwareupdate möglich!"
constexpr int kLocalFile = 110;      // "Lokale UpdateDatei"
constexpr int kCannotOpen = 111;     // "kann nicht geöffnet werden."
constexpr int kHasLength = 112;      // "hat die Länge"
constexpr int kWrongType = 113;      // "ist nicht der richtige Typ."
constexpr int kAutoexecFailed = 114; // "AUTOEXEC.BAT des Terminals konnte nicht ..."
constexpr int kNoFileIn = 115;       // "Keine Datei in"
constexpr int kNotFound = 103;       // "ist nicht zu finden!"

constexpr std::size_t kMaximumErrorTextLength = 200;

using VersionReader = std::optional<std::string> (*)(const std::string& path);

// What becomes of one file key of a terminal's section.
enum class FileUse {
    Add,          // added unchecked
    Skip,         // the other TCL variant of platform group 1
    Check,        // added when the reader accepts it
    CheckMonitor, // the same, and the file's version is the file monitor version
    LinuxMonitor, // added; the file monitor version is "0_01~"
};

struct FileRule {
    FileUse use = FileUse::Add;
    VersionReader reader = nullptr;
};

FileRule fileRule(FirmwareDepotKind depot, const TerminalFields& terminal, const std::string& key) {
    const int group = terminal.PlatformGroup;
    const bool monitor = key == "MONITOR";
    if (monitor && (group == 6 || group == 7))
        return {FileUse::LinuxMonitor};
    if (depot == FirmwareDepotKind::Server)
        return monitor && group == 3 ? FileRule{FileUse::CheckMonitor, init_monitor_7450_version}
                                     : FileRule{};
    switch (group) {
    case 1: {
        // An access-control terminal takes "TCLZS", every other kind "TCL".
        const bool accessControl = terminal.TclKind == tcl_kind::Acm;
        if (key == "TCL" || key == "TCLZS")
            return (key == "TCLZS") == accessControl ? FileRule{FileUse::Check, init_tcl_7000_version}
                                                     : FileRule{FileUse::Skip};
        return {};
    }
    case 2:
        if (monitor)
            return {FileUse::CheckMonitor, init_monitor_7200_version};
        return key == "TCL" ? FileRule{FileUse::Check, init_tcl_7200_version} : FileRule{};
    case 3:
        if (monitor)
            return {FileUse::CheckMonitor, init_monitor_7450_version};
        return key == "TCL" ? FileRule{FileUse::Check, init_tcl_7450_version} : FileRule{};
    case 4:
        return key == "TCLZS" ? FileRule{FileUse::Check, init_tcl_7000_version} : FileRule{};
    case 5:
        if (monitor)
            return {FileUse::CheckMonitor, init_monitor_9300_version};
        return key == "TCL" ? FileRule{FileUse::Check, init_tcl_7200_version} : FileRule{};
    default:
        return {};
    }
}

// The first text and the others after a blank each.
std::string joined(std::initializer_list<std::string> parts) {
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : " ") + part;
    return text;
}

bool isAbsolutePath(const std::string& value) {
    return value.starts_with("/") || value.starts_with("\\\\") || (value.size() >= 2 && value[1] == ':');
}

} // namespace

std::optional<std::string> firmwareSection(const IniData& description, const TerminalFields& terminal,
                                           FirmwareDepotKind depot) {
    std::string name = terminal.cpuName(CpuNameForm::Long);
    if (description.hasSection(name))
        return name;
    if (depot == FirmwareDepotKind::TCL) {
        name = terminal.cpuName(CpuNameForm::Short);
        if (description.hasSection(name))
            return name;
    }
    return std::nullopt;
}

std::string notConvenientMessage(const CToolBoxLang& language, const TerminalFields& terminal,
                                 FirmwareDepotKind depot) {
    return joined(
        {language.GetText(depot == FirmwareDepotKind::TCL ? kTclNotConvenient : kServerNotConvenient),
         terminal.ProductName});
}

UpdateFileComposer::UpdateFileComposer(const DepotSelection& selection, const CToolBoxLang& language,
                                       MessageBoxes& boxes, FirmwareSlots& slots, int slot)
    : selection_(selection), language_(language), boxes_(boxes), slots_(slots), slot_(slot) {}

std::optional<UpdateFileList> UpdateFileComposer::compose(TerminalFields& terminal,
                                                          const AutoexecReader& readAutoexec) {
    trace("FirmwareUpdate::GetUpdateFiles() start\n");
    std::optional<std::string> section;
    if (selection_.description)
        section = firmwareSection(*selection_.description, terminal, selection_.depot);
    if (!section) {
        fail(notConvenientMessage(language_, terminal, selection_.depot));
        return std::nullopt;
    }
    UpdateFileList list;
    if (!takeSectionFiles(terminal, *section, list))
        return std::nullopt;
    if (terminal.PlatformGroup == 1 && selection_.options.pcmcia == PcmciaReplacement::Always)
        addPcmciaFiles(terminal, readAutoexec, list);
    addLanguageFiles(list);
    for (const std::string& path : list.files)
        if (!checkFile(path))
            return std::nullopt;
    return list;
}

std::string UpdateFileComposer::filePath(const std::string& value) const {
    return isAbsolutePath(value) ? value : selection_.versionDirectory + "/" + value;
}

bool UpdateFileComposer::takeSectionFiles(const TerminalFields& terminal, const std::string& section,
                                          UpdateFileList& list) {
    const IniData& description = *selection_.description;
    const std::vector<std::string> keys = description.getKeys(section);
    for (const std::string& key : keys) {
        const std::string value = description.getValue(section, key, "");
        if (value.empty()) {
            fail(corruptFileMessage());
            return false;
        }
        if (key == "CONFIGVERSION") {
            list.ConfigVersion = value;
            continue;
        }
        if (key == "MINMONITORVERSION") {
            list.MinMonitorVersion = BuildSortMonitorVersion(value);
            continue;
        }
        const std::string path = filePath(value);
        const FileRule rule = fileRule(selection_.depot, terminal, key);
        if (rule.use == FileUse::Skip)
            continue;
        if (rule.use == FileUse::Check || rule.use == FileUse::CheckMonitor) {
            const std::optional<std::string> version = rule.reader(path);
            if (!version) {
                fail(wrongTypeMessage(path));
                return false;
            }
            if (rule.use == FileUse::CheckMonitor)
                list.FileMonitorVersion = BuildSortMonitorVersion(*version);
        }
        if (rule.use == FileUse::LinuxMonitor)
            list.FileMonitorVersion = "0_01~";
        if (key == "MONITOR" || key == "BIOS")
            list.monitorFiles.push_back(list.files.size());
        list.files.push_back(path);
    }
    if (list.files.empty()) {
        fail(corruptFileMessage());
        return false;
    }
    return true;
}

void UpdateFileComposer::addPcmciaFiles(TerminalFields& terminal, const AutoexecReader& readAutoexec,
                                        UpdateFileList& list) {
    if (!readAutoexec()) {
        const std::string& text = language_.GetText(kAutoexecFailed);
        trace("%s\n", text.c_str());
        boxes_.show({kProductCaption, text, MessageIcon::Exclamation});
        return;
    }
    if (terminal.NetDriver.empty())
        return;
    PcmciaFiles pcmcia = pcmciaFiles(selection_.depotRoot, terminal.NetDriver, terminal.ReaderDriver);
    if (pcmcia.files.empty()) {
        const std::string text =
            joined({language_.GetText(kNoFileIn), pcmcia.directory, language_.GetText(kNotFound)});
        slots_.slotMessage(slot_, text);
        trace("%s\n", text.c_str());
        return;
    }
    list.files.insert(list.files.end(), pcmcia.files.begin(), pcmcia.files.end());
}

void UpdateFileComposer::addLanguageFiles(UpdateFileList& list) {
    const IniData& description = *selection_.description;
    const std::string languageFile = description.getValue("Sprache", selection_.language, "");
    if (!languageFile.empty())
        list.files.push_back(filePath(languageFile));
    if (selection_.depot != FirmwareDepotKind::TCL)
        return;
    const std::string program = description.getValue("Defaultprogramm", selection_.language, "");
    if (!program.empty()) {
        list.defaultProgram = list.files.size();
        list.files.push_back(filePath(program));
    }
}

bool UpdateFileComposer::checkFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    int openError = file == nullptr ? errno : 0;
    struct stat status {};
    if (file != nullptr && fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode))
        openError = EISDIR;
    if (file != nullptr)
        std::fclose(file);
    if (openError != 0) {
        const std::string reason = errorText(openError).substr(0, kMaximumErrorTextLength);
        std::error_code ignored;
        const std::string current = std::filesystem::current_path(ignored).string();
        trace("UpdFile.Open failed: File: %s, Error %s\n", path.c_str(), reason.c_str());
        trace("UpdFile.Open failed: CurDir: %s\n", current.c_str());
        fail(joined({language_.GetText(kError), language_.GetText(kLocalFile), path,
                     language_.GetText(kCannotOpen), language_.GetText(kNoUpdate)}));
        return false;
    }
    if (status.st_size == 0) {
        fail(joined({language_.GetText(kError), language_.GetText(kLocalFile), path,
                     language_.GetText(kHasLength), std::to_string(status.st_size) + ".",
                     language_.GetText(kNoUpdate)}));
        return false;
    }
    return true;
}

void UpdateFileComposer::fail(const std::string& message) {
    slots_.slotMessage(slot_, message);
    trace("%s\n", message.c_str());
}

std::string UpdateFileComposer::corruptFileMessage() const {
    return joined({language_.GetText(kError), "Firmware.dep", language_.GetText(kIsCorrupted),
                   language_.GetText(kNoUpdate)});
}

std::string UpdateFileComposer::wrongTypeMessage(const std::string& path) const {
    return joined({language_.GetText(kError), language_.GetText(kLocalFile), path,
                   language_.GetText(kWrongType), language_.GetText(kNoUpdate)});
}

} // namespace kestrix

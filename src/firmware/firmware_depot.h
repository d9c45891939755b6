#pragma once

#include "firmware/update_file_composer.h"
#include "firmware/update_source.h"
#include "settings_files/ini_file.h"

#include <array>
#include <cstddef>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace kestrix {

class CToolBoxLang;
class FirmwareSlots;
class MessageBoxes;
class TerminalFields;

// Where the firmware depot lies: the program directory (the dialog's start
// directory, where "TALMOUpdateDone.txt" goes) and the depot root, the folder
// that holds "TCL", "Server" and "pcmcia". Both absolute, without a final "/".
struct DepotPaths {
    std::string programDirectory;
    std::string depotRoot;

    // The root "FirmwareDir" below the program directory.
    static DepotPaths below(const std::string& programDirectory);
    // Another root (the command line's --depot); relative names are taken from
    // the current directory now.
    static DepotPaths withRoot(const std::string& programDirectory, const std::string& depotRoot);
};

// Whether filling the version lists found every depot the selected terminals need.
enum class DepotFill { Filled, Failed };

// The firmware depot and the choice made in it: for the TCL and the server
// depot the version list (the "V*.*" folders, sorted by name in byte order;
// "---" when there is none), the selected version with its loaded
// "Firmware.dep", the language list (the keys of "Sprache"; "---" when there
// are none) with its selection, and the two options. Depot errors are shown
// as error boxes. As the UpdateSource of a run it composes each terminal's
// update files from the choice.
//
// The choice is changed only from one thread (the dialog's or the command
// line's). GetUpdateFiles, hasSection and the other UpdateSource calls may come
// from several update workers at once: they take a consistent copy of the
// choice under a lock and then read only that. The class does not send
// anything to terminals and does not decide about monitors or the order of
// terminals.
class FirmwareDepot : public UpdateSource {
public:
    FirmwareDepot(DepotPaths paths, const CToolBoxLang& language, MessageBoxes& boxes, FirmwareSlots& slots);

    // Puts "---" into the four lists, then for each depot that one of the
    // selected terminals needs (one entry per selected terminal, empty when
    // none is selected) lists its versions, selects the last one and loads
    // its description file. The first depot without a folder or without a
    // version shows its error box and ends the filling with Failed.
    DepotFill fillVersionLists(std::span<const FirmwareDepotKind> selectedTerminalDepots);

    std::vector<std::string> versions(FirmwareDepotKind depot) const;
    std::string selectedVersion(FirmwareDepotKind depot) const;
    std::vector<std::string> languages(FirmwareDepotKind depot) const;
    std::string selectedLanguage(FirmwareDepotKind depot) const;

    // Selects an entry of the version list: discards the loaded description
    // file and loads the new version's (false, with an error box, when that
    // fails); the language list is filled anew ("---" after a failure). An
    // index outside the list changes nothing and answers false.
    bool selectVersion(FirmwareDepotKind depot, std::size_t index);
    // The same by the name shown ("V6.20"); false when the list lacks it.
    bool selectVersionNamed(FirmwareDepotKind depot, const std::string& name);
    // Selects an entry of the language list; false for an index or name it lacks.
    bool selectLanguage(FirmwareDepotKind depot, std::size_t index);
    bool selectLanguageNamed(FirmwareDepotKind depot, const std::string& name);
    void setOptions(UpdateOptions options);

    // The loaded description file of the selected version; nullptr when none.
    std::shared_ptr<const IniFile> description(FirmwareDepotKind depot) const;
    // The folder of the selected version (depot root + "/TCL/" + version).
    std::string versionDirectory(FirmwareDepotKind depot) const;
    const DepotPaths& paths() const { return paths_; }

    // --- UpdateSource ---
    bool hasSection(const Terminal& terminal) const override;
    std::string notConvenientText(const Terminal& terminal) const override;
    // Reads the terminal's autoexec.bat for the PCMCIA files by getAutoexec.
    std::optional<UpdateFileList> GetUpdateFiles(Terminal& terminal, int slot) override;
    UpdateOptions options() const override;
    std::string programDirectory() const override { return paths_.programDirectory; }
    std::string depotRoot() const override { return paths_.depotRoot; }

    // The same on a record's fields, with the autoexec.bat reader given.
    bool hasSection(const TerminalFields& terminal) const;
    std::string notConvenientText(const TerminalFields& terminal) const;
    std::optional<UpdateFileList> GetUpdateFiles(TerminalFields& terminal, int slot,
                                                 const AutoexecReader& readAutoexec);

private:
    // What one depot shows and holds.
    struct DepotChoice {
        std::vector<std::string> versions{"---"};
        std::size_t version = 0;
        std::shared_ptr<const IniFile> description;
        std::string directory;
        std::vector<std::string> languages{"---"};
        std::size_t language = 0;
    };

    DepotChoice& choice(FirmwareDepotKind depot);
    const DepotChoice& choice(FirmwareDepotKind depot) const;
    std::string depotDirectory(FirmwareDepotKind depot) const;
    // Lists the depot's versions and loads the last one; false after an error box.
    bool fillDepot(FirmwareDepotKind depot);
    // Loads the selected version's description and fills the language list.
    bool loadSelectedVersion(FirmwareDepotKind depot);
    void showError(const std::string& text);

    const DepotPaths paths_;
    const CToolBoxLang& language_;
    MessageBoxes& boxes_;
    FirmwareSlots& slots_;
    // Guards the choices and the options against the update workers' reads.
    mutable std::mutex mutex_;
    std::array<DepotChoice, 2> choices_;
    UpdateOptions options_;
};

} // namespace kestrix

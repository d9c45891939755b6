#pragma once

#include "firmware/update_files.h"
#include "settings_files/ini_data.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kestrix {

class CToolBoxLang;
class FirmwareSlots;
class MessageBoxes;
class TerminalFields;

// Reads the terminal's "autoexec.bat" (Terminal::getAutoexec), which fills
// the record's drivers; false when it could not be read.
using AutoexecReader = std::function<bool()>;

// One depot's choice as an update reads it: a copy taken when the terminal's
// files are composed, so the dialog's lists may change meanwhile.
struct DepotSelection {
    FirmwareDepotKind depot = FirmwareDepotKind::TCL;
    std::shared_ptr<const IniData> description; // nullptr: no version loaded
    std::string versionDirectory;               // absolute
    std::string language;                       // the text selected in the language list
    UpdateOptions options;
    std::string depotRoot; // absolute; holds "pcmcia"
};

// The terminal's section in a description file: its CPU name (long form), and
// in the TCL depot failing that its short CPU name; nothing when neither exists.
std::optional<std::string> firmwareSection(const IniData& description, const TerminalFields& terminal,
                                           FirmwareDepotKind depot);

// "Diese TCL-Version gibt es nicht für ein" (or the server text) and the
// terminal's product name.
std::string notConvenientMessage(const CToolBoxLang& language, const TerminalFields& terminal,
                                 FirmwareDepotKind depot);

// Composes the update file list of one terminal from a depot selection: the
// files of its section in key order, each checked with the version reader of
// its kind where the terminal's platform group has one, the PCMCIA files, the
// language file and (TCL depot) the default program; then it checks that every
// file opens and is not empty. A failure is shown in the terminal's slot and
// traced, and gives nothing.
//
// It reads only the selection and the terminal's record (and the terminal's
// autoexec.bat through the reader given, which fills the record's drivers); it
// sends no file.
class UpdateFileComposer {
public:
    UpdateFileComposer(const DepotSelection& selection, const CToolBoxLang& language, MessageBoxes& boxes,
                       FirmwareSlots& slots, int slot);

    std::optional<UpdateFileList> compose(TerminalFields& terminal, const AutoexecReader& readAutoexec);

private:
    // A path for a file value: the value itself when absolute, else below the version folder.
    std::string filePath(const std::string& value) const;
    // Takes the section's keys into the list; false after a failure message.
    bool takeSectionFiles(const TerminalFields& terminal, const std::string& section, UpdateFileList& list);
    void addPcmciaFiles(TerminalFields& terminal, const AutoexecReader& readAutoexec, UpdateFileList& list);
    void addLanguageFiles(UpdateFileList& list);
    // Checks that the file opens and is not empty; false after a failure message.
    bool checkFile(const std::string& path);
    void fail(const std::string& message);
    std::string corruptFileMessage() const;
    std::string wrongTypeMessage(const std::string& path) const;

    const DepotSelection& selection_;
    const CToolBoxLang& language_;
    MessageBoxes& boxes_;
    FirmwareSlots& slots_;
    int slot_;
};

} // namespace kestrix

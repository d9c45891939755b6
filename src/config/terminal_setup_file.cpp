// The setup editor's load file, save file and defaults buttons.
#include "config/setup_defaults.h"
#include "config/terminal_setup.h"
#include "messages/toolbox_lang.h"
#include "platform/trace.h"

#include <algorithm>

namespace kestrix {

namespace {

constexpr int kNotRead = 372;      // "Konfigurationsdatei konnte nicht eingelesen werden. ..."
constexpr int kNotConverted = 373; // "Konfigurationsdatei konnte nicht in das interne Format konvertiert werden."
constexpr int kSaved = 394;        // "Konfigurationsdatei lokal gespeichert."
constexpr int kNotSaved = 395;     // "Konfigurationsdatei konnte nicht lokal gespeichert werden."

} // namespace

bool CTerminalSetup::OnButtonRdfile(const std::string& path) {
    trace("OnButtonRdfile()\n");
    UserParam file;
    if (!file.getFileUserParam(path, context_.terminal)) {
        message(text(kNotRead), MessageIcon::Error);
        return false;
    }
    trace("OnButtonRdfile(): %s\n", path.c_str());
    if (!file.setUserParamVersion(file.getNewestVersion(), context_.terminal)) {
        message(text(kNotConverted), MessageIcon::Error);
        return false;
    }
    // The values come from the file; the version characters stay the
    // terminal's, whose block, version and byte order OK writes.
    const UserParamBlock own = workingCopy_.bytes();
    file.copyUserParamOut(workingCopy_.bytes());
    const BlockField& version = setup_field::Version;
    std::copy_n(own.begin() + version.offset, version.width, workingCopy_.bytes().begin() + version.offset);
    refreshPages();
    return true;
}

bool CTerminalSetup::OnButtonWrfile(const std::string& path) {
    trace("OnButtonWrfile()\n");
    putAllPages();
    // The editor's block is the newest version of the terminal's byte order.
    UserParam toSave = userParam_;
    UserParamBlock bytes = workingCopy_.bytes();
    toSave.copyUserParamIn(bytes);
    const bool saved = toSave.setFileUserParam(path, context_.terminal);
    message(text(saved ? kSaved : kNotSaved), saved ? MessageIcon::Information : MessageIcon::Error);
    return saved;
}

void CTerminalSetup::OnButtonDefaults() {
    applySetupDefaults(workingCopy_, context_.terminal);
    refreshPages();
}

} // namespace kestrix

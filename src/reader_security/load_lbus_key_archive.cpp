// The LBus security dialog's copy of a reader update package to the terminal.
#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/trace.h"
#include "reader_security/load_lbus_key.h"
#include "terminal/action_owner.h"
#include "terminal/terminal.h"
#include "tftp/tftp_connection.h"
#include "tftp/tftp_port_range.h"

#include <filesystem>
#include <stdexcept>

namespace kestrix {

namespace {

constexpr int kAllFiles = 7;       // "Alle Dateien (*.*)"
constexpr int kNoUpdateHere = 527; // "Update der Leserfirmware oder Leserparametrierung ... nicht möglich."
constexpr int kNoPackageChosen = 528; // "Kein Update Paket ausgewählt."
constexpr int kPackageNotSent = 529;  // "Update Paket kann nicht ins Terminal geladen werden. ..."
constexpr int kPackageFilter = 530;   // "%s-Dateien (*.%s)"
constexpr int kSendAttempts = 3;

// "%s-Dateien (*.%s)" with the kind's name and extension.
std::string packageFilter(std::string pattern, const std::string& name, const std::string& extension) {
    for (const std::string* word : {&name, &extension})
        if (const std::size_t at = pattern.find("%s"); at != std::string::npos)
            pattern.replace(at, 2, *word);
    return pattern;
}

} // namespace

bool CLoadLBusKey::RArchiveTFTP(LBusFunction action) {
    const int number = static_cast<int>(action);
    trace("CLoadLBusKey::RArchiveTFTP(%d) start\n", number);
    const CToolBoxLang& text = owner_.language();
    Terminal& target = terminal();
    if (!target.runsLinux()) {
        message(kNoUpdateHere, MessageIcon::Error);
        return false;
    }
    const bool firmware = action == LBusFunction::FirmwareUpdate;
    const std::string extension = firmware ? "trfw" : "trpara";
    const std::string remoteName = target.terminalPath(
        firmware ? "/talmo/rfwdownload.trfw" : "/talmo/rparadownload.trpara", TerminalPathForm::Write);
    const PackageFileRequest request{
        "*." + extension,
        packageFilter(text.GetText(kPackageFilter), firmware ? "TRFW" : "TRPARA", extension),
        "*." + extension, text.GetText(kAllFiles), extension};
    std::optional<std::string> package;
    // The file dialog waits for the user on the window's thread, whose
    // activity timer ticks enter the view lock meanwhile: the lock is not held
    // across the question. The view stays while Start runs (the pane cannot
    // close during the window's operation).
    if (LoadLBusKeyView* view = currentView())
        package = view->askPackageFile(request);
    if (!package) {
        message(kNoPackageChosen, MessageIcon::Error);
        return false;
    }
    for (int attempt = 1; attempt <= kSendAttempts; ++attempt) {
        try {
            const TftpPortRange ports = tftpPortRange();
            TFTPConnection connection(target.tftpAddress(), ports.minPort, ports.maxPort);
            connection.write(*package, remoteName);
            trace("CLoadLBusKey::RArchiveTFTP(%d) file sent\n", number);
            return true;
        } catch (const TFTPConnection::TFTPError& error) {
            trace("CLoadLBusKey::RArchiveTFTP(%d): TFTP Write Error: ID=%d, Text=%s\n", number, error.id(),
                  error.withReason().c_str());
        } catch (const std::runtime_error& error) {
            // A file that went away after the choice, or the system refused a socket.
            trace("CLoadLBusKey::RArchiveTFTP(%d): TFTP Write Error: ID=%d, Text=%s\n", number, 0,
                  error.what());
        }
    }
    message(kPackageNotSent, MessageIcon::Error);
    return false;
}

} // namespace kestrix

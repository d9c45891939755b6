// The action buttons of the main window: their common checks, the setup
// login, and the detail pane that shows one action dialog at a time.
#include "address_reset/reset_exe.h"
#include "address_reset/set_ip_address.h"
#include "config/config_block.h"
#include "config/login_for_setup.h"
#include "config/login_for_tcl.h"
#include "config/terminal_setup.h"
#include "config/user_param.h"
#include "firmware/firmware_update.h"
#include "reader_security/load_lbus_key.h"
#include "lan/lan_interfaces.h"
#include "mainwindow/main_dialog.h"
#include "mainwindow/start_directory.h"
#include "platform/trace.h"
#include "tcl_console/terminal_tcl.h"
#include "terminal/terminal.h"

#include <algorithm>
#include <exception>
#include <new>

namespace kestrix {

namespace {

// Message table entries of the checks.
constexpr int kSelectFirst = 55;         // "Wählen Sie zunächst ein Terminal aus!"
constexpr int kFirstSelectedOnly = 56;   // "Nur das 1. ausgewählte Terminal wird verwendet."
constexpr int kBlockNotFetched = 372;    // "Konfigurationsdatei konnte nicht eingelesen werden. ..."
constexpr int kBlockNotConverted = 373;  // "... nicht in das interne Format konvertiert werden."
constexpr int kNoSetupExecuted = 375;    // "Es wird kein Setup ausgeführt!"
constexpr int kMonitorMode = 60;         // "Das Terminal ist im Monitor-Modus. ..."
constexpr int kOtherGroupNoUpdate = 61;  // "Nur Terminals der aktuellen Wartungsgruppe können einen Firmwareupdate erhalten."
constexpr int kOnlineAsHost = 65;        // "ist bereits als Host online."
constexpr int kNoTclConnection = 66;     // "Ein TCL-Download ist nicht möglich. ..."
constexpr int kNeedsTcl502 = 374;        // "Das Terminal benötigt mindestens TCL 5.02 für das Setup."
constexpr std::string_view kFirstSetupVersionKey = "5_02~";
constexpr int kSetupTitle = 29;          // "Setup", the end of the login's heading
constexpr int kGradeWithoutLogin = 3;    // the mode of a block older than "5.50"
constexpr std::string_view kFirstVersionWithLogin = "5.50";
constexpr int kTerminalIsServer = 82;    // "Das Terminal ist ein Server.\nEs kann diese Funktion nicht ausführen."
constexpr int kNoLbusSecurity = 68;      // "Mit diesem Firmwarestand stehen die Sicherheitsfunktionen des LBus nicht zur Verfügung."
constexpr int kOnlyLbusKeys = 69;        // "Mit diesem Firmwarestand können nur LBus-Schlüssel geladen werden. "
constexpr int kAccessGrade = 334;        // "Berechtigungsstufe"
constexpr int kOr = 407;                 // "oder"
constexpr std::string_view kFirstCardVersionKey = "6_04~";
constexpr int kLowestLbusGrade = 2;

} // namespace

std::string CToolBoxDlg::startDirectory() const {
    return kestrix::startDirectory();
}

bool CToolBoxDlg::addTerminal(std::unique_ptr<Terminal> terminal) {
    // A terminal an action found at its new address replaces the listed
    // record that still holds the old one (the entry keeps its place); the
    // old record goes, and with it any host route to the old address.
    if (const std::optional<std::size_t> listed = list_.findSerialNumber(terminal->SerialNumber)) {
        list_.replace(*listed, std::move(terminal));
        publishRows();
        return true;
    }
    return insertTerminal(std::move(terminal));
}

void CToolBoxDlg::deselectEntry(std::size_t index) {
    {
        const std::lock_guard lock(selectionMutex_);
        selection_.erase(std::remove(selection_.begin(), selection_.end(), index), selection_.end());
    }
    publishKeptRows(std::nullopt);
}

void CToolBoxDlg::redrawEntry(std::size_t index) {
    publishKeptRows(index);
}

std::optional<std::size_t> CToolBoxDlg::oneSelectedTerminal() {
    if (selection_.empty()) {
        message(language_->GetText(kSelectFirst), MessageIcon::Information);
        return std::nullopt;
    }
    if (selection_.size() > 1) {
        message(language_->GetText(kFirstSelectedOnly), MessageIcon::Information);
        selection_.resize(1);
        publishRows();
    }
    return selection_.front();
}

bool CToolBoxDlg::refusedInMonitorMode(const Terminal& terminal) {
    if (!terminal.isMonitorMode())
        return false;
    message(language_->GetText(kMonitorMode), MessageIcon::Information);
    return true;
}

bool CToolBoxDlg::clearDetailPane() {
    if (!QueryTerminate())
        return false;
    destroyDetailDialog();
    return true;
}

void CToolBoxDlg::destroyDetailDialog() {
    if (!detailDialog_)
        return;
    view_.closeActionDialog();
    detailDialog_.reset();
    actionTerminal_.reset();
}

void CToolBoxDlg::openDetailDialog(std::unique_ptr<PaneDialog> dialog, DetailContents contents,
                                   std::optional<std::size_t> terminal) {
    detailDialog_ = std::move(dialog);
    detailContents_ = contents;
    actionTerminal_ = terminal;
    view_.setControlsEnabled(false);
}

std::optional<CToolBoxDlg::SetupAccess> CToolBoxDlg::fetchSetupBlock(Terminal& terminal, BlockFailureNote note) {
    const auto blockMessage = [&](int id) {
        std::string text = language_->GetText(id);
        if (note == BlockFailureNote::NoSetup)
            text += "\n" + language_->GetText(kNoSetupExecuted);
        message(text, MessageIcon::Error);
    };
    SetupAccess access;
    UserParam& block = access.block;
    view_.setWaitCursor(true);
    const bool fetched = block.getTerminalUserParam(terminal);
    const int fetchedVersion = block.actualVersionIndex();
    if (fetched)
        access.actualVersion = kConfigVersions[static_cast<std::size_t>(fetchedVersion)].text;
    const bool converted = fetched && block.setUserParamVersion(block.getNewestVersion(), terminal);
    view_.setWaitCursor(false);
    if (!fetched) {
        blockMessage(kBlockNotFetched);
        return std::nullopt;
    }
    if (!converted) {
        blockMessage(kBlockNotConverted);
        return std::nullopt;
    }
    // The passwords live in blocks from "5.50" on: an older block asks for none.
    access.withLogin = fetchedVersion >= *configVersionIndex(kFirstVersionWithLogin);
    access.grade = kGradeWithoutLogin;
    return access;
}

bool CToolBoxDlg::setupLogin(SetupAccess& access, const Terminal& terminal) {
    const UserParam& block = access.block;
    CLoginForSetup login(*language_, messageBoxes_, terminal.SerialNumber, kSetupTitle,
                         {block.getPassword(1), block.getPassword(2), block.getPassword(3)});
    if (!view_.runSetupLogin(login) || login.grade() == 0) {
        trace("CLoginForSetup not ok\n");
        return false;
    }
    access.grade = login.grade();
    return true;
}

std::optional<CToolBoxDlg::SetupAccess> CToolBoxDlg::setupAccess(Terminal& terminal, const char* handler, BlockFailureNote note) {
    std::optional<SetupAccess> access = fetchSetupBlock(terminal, note);
    if (!access)
        return std::nullopt;
    if (!access->withLogin) {
        trace("%s: ActualVersion < 5.50\n", handler);
        return access;
    }
    if (!setupLogin(*access, terminal))
        return std::nullopt;
    return access;
}

void CToolBoxDlg::OnButtonReset() {
    trace("OnButtonReset() startet\n");
    const std::optional<std::size_t> index = oneSelectedTerminal();
    if (!index)
        return;
    const std::optional<SetupAccess> access = setupAccess(list_.at(*index), "OnButtonReset", BlockFailureNote::None);
    if (!access || !clearDetailPane())
        return;
    try {
        auto dialog = std::make_unique<ResetExe>(*this, *index, access->grade);
        view_.showResetDialog(*dialog);
        openDetailDialog(std::move(dialog), DetailContents::Reset, index);
    } catch (const std::exception&) {
        trace("Create Reset failed\n");
    }
}

void CToolBoxDlg::OnButtonSetipa() {
    trace("OnButtonSetipa() startet\n");
    if (!clearDetailPane())
        return;
    try {
        auto dialog = std::make_unique<CSetIPAddress>(*this, actionStatusLine_, lanInterfaces());
        view_.showSetIPAddressDialog(*dialog);
        openDetailDialog(std::move(dialog), DetailContents::SetIPAddress, std::nullopt);
    } catch (const std::exception&) {
        trace("Create CSetIPAddress failed\n");
    }
}

void CToolBoxDlg::OnButtonTcl() {
    trace("OnButtonTcl() startet\n");
    const std::optional<std::size_t> index = oneSelectedTerminal();
    if (!index)
        return;
    Terminal& terminal = list_.at(*index);
    if (refusedInMonitorMode(terminal))
        return;
    // Only a terminal that waits for its host (passive) takes the console's connection.
    if (!terminal.PassiveConnect) {
        message(language_->GetText(kNoTclConnection), MessageIcon::Information);
        return;
    }
    view_.setWaitCursor(true);
    const std::string host = terminal.T7000ipGetHostInfo();
    view_.setWaitCursor(false);
    if (!host.empty()) {
        message(host + " " + language_->GetText(kOnlineAsHost), MessageIcon::Information);
        return;
    }
    std::optional<AesKey> key;
    if (terminal.Encrypt) {
        trace("OnButtonTcl: Verschlüsselung aktiv\n");
        CLoginForTCL login(*this, terminal);
        if (!view_.runTclLogin(login)) {
            trace("OnButtonTCL: CLoginForTCL not ok\n");
            return;
        }
        trace("OnButtonTCL: CLoginForTCL ok\n");
        key = login.key();
    }
    if (!clearDetailPane())
        return;
    try {
        auto console = std::make_unique<CTerminalTCL>(*this, *index, key);
        CTerminalTCL& shown = *console;
        view_.showTclConsole(shown);
        openDetailDialog(std::move(console), DetailContents::TclConsole, index);
        shown.OnInitDialog();
    } catch (const std::exception&) {
        trace("Create TCL failed\n");
    }
}

void CToolBoxDlg::OnButtonSetup() {
    trace("OnButtonSetup() startet\n");
    const std::optional<std::size_t> index = oneSelectedTerminal();
    if (!index)
        return;
    Terminal& terminal = list_.at(*index);
    if (refusedInMonitorMode(terminal))
        return;
    if (terminal.kindPrefix() == "TCL " && terminal.sortVersion() < kFirstSetupVersionKey) {
        message(language_->GetText(kNeedsTcl502), MessageIcon::Error);
        return;
    }
    std::optional<SetupAccess> access = setupAccess(terminal, "OnButtonSetup", BlockFailureNote::NoSetup);
    if (!access || !clearDetailPane())
        return;
    try {
        auto editor = std::make_unique<CTerminalSetup>(*this, *index, std::move(access->block),
                                                       access->actualVersion, access->grade, lanInterfaces());
        CTerminalSetup& shown = *editor;
        view_.showSetupEditor(shown);
        openDetailDialog(std::move(editor), DetailContents::Setup, index);
    } catch (const std::exception&) {
        trace("Create Setup failed\n");
    }
}

void CToolBoxDlg::OnButtonFirmUpdate() {
    trace("OnButtonFirmUpdate() startet\n");
    std::vector<std::size_t> selected;
    {
        const std::lock_guard lock(selectionMutex_);
        selected = selection_;
    }
    if (selected.empty()) {
        message(language_->GetText(kSelectFirst), MessageIcon::Information);
        return;
    }
    for (std::size_t index : selected) {
        Terminal& terminal = list_.at(index);
        if (!terminal.AuthOK && terminal.supportsAuthentication()) {
            message(language_->GetText(kOtherGroupNoUpdate), MessageIcon::Information);
            return;
        }
    }
    if (!clearDetailPane())
        return;
    try {
        auto dialog = std::make_unique<FirmwareUpdate>(*this, std::move(selected));
        FirmwareUpdate& shown = *dialog;
        view_.showFirmwareUpdate(shown);
        openDetailDialog(std::move(dialog), DetailContents::FirmwareUpdate, std::nullopt);
        shown.OnInitDialog();
    } catch (const std::exception&) {
        trace("Create Firmwareupd failed\n");
    }
}

void CToolBoxDlg::OnButtonLbuskey() {
    trace("OnButtonLbuskey() startet\n");
    const std::optional<std::size_t> index = oneSelectedTerminal();
    if (!index)
        return;
    Terminal& terminal = list_.at(*index);
    if (refusedInMonitorMode(terminal))
        return;
    if (!terminal.isNotServer()) {
        message(language_->GetText(kTerminalIsServer), MessageIcon::Information);
        return;
    }
    std::optional<SetupAccess> access = fetchSetupBlock(terminal, BlockFailureNote::None);
    if (!access)
        return;
    if (!access->withLogin) {
        trace("OnButtonLbuskey: ActualVersion < 5.50\n");
        message(language_->GetText(kNoLbusSecurity), MessageIcon::Error);
        return;
    }
    if (terminal.sortVersion() < kFirstCardVersionKey) {
        trace("OnButtonLbuskey: Firmwareversion < 6.04\n");
        message(language_->GetText(kOnlyLbusKeys), MessageIcon::Information);
    }
    if (!setupLogin(*access, terminal))
        return;
    // Grade 1 may use no reader function: "Access grade 2 or 3".
    if (access->grade < kLowestLbusGrade) {
        trace("OnButtonLbuskey: Berechtigungsstufe %d\n", access->grade);
        message(language_->GetText(kAccessGrade) + " 2 " + language_->GetText(kOr) + " 3", MessageIcon::Information);
        return;
    }
    if (!clearDetailPane())
        return;
    try {
        auto dialog = std::make_unique<CLoadLBusKey>(*this, *index, access->grade, access->block.block());
        CLoadLBusKey& shown = *dialog;
        view_.showLoadLBusKey(shown);
        openDetailDialog(std::move(dialog), DetailContents::LBusSecurity, index);
        shown.OnInitDialog();
    } catch (const std::exception&) {
        trace("Create CLoadLBusKey failed\n");
    }
}

} // namespace kestrix

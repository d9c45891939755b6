#include "mainwindow/main_dialog.h"

#include "mainwindow/start_directory.h"
#include "messages/product.h"
#include "platform/message_box.h"
#include "platform/trace.h"
#include "protocol/t7000ip.h"
#include "terminal/terminal.h"

#include <string>

namespace kestrix {

namespace {

const char* const kGermanHelpPage = "Kestrix_D.htm";
const char* const kEnglishHelpPage = "Kestrix_E.htm";
const char* const kLicencePage = "License.htm";

std::string fileUrl(const std::string& name) {
    return "file://" + pageFile(name);
}

std::string makerNotice(const CToolBoxLang& language) {
    if (language.languageIndex() == CToolBoxLang::kGerman)
        return "Kestrix, das Wartungsprogramm für TALMO-Terminals, wird vom Kestrix-Team entwickelt und "
               "gepflegt.";
    return "Kestrix, the maintenance tool for TALMO terminals, is developed and maintained by the Kestrix "
           "team.";
}

} // namespace

void CToolBoxDlg::OnButtonHTML() {
    trace("OnButtonHTML() startet\n");
    const std::optional<std::size_t> index = oneSelectedTerminal();
    if (!index)
        return;
    const Terminal& terminal = list_.at(*index);
    if (refusedInMonitorMode(terminal))
        return;

    std::string address = terminal.displayAddress(AddressDisplay::DottedIPv4);
    if (address.find(':') != std::string::npos)
        address = "[" + terminal.IPAddrInUse + "]";
    trace("CToolBoxDlg::OnButtonHTML(): url: '%s'\n", address.c_str());
    if (!view_.openInBrowser(address))
        message(language_->GetText(67), MessageIcon::Error);
}

void CToolBoxDlg::OnButtonHelp() {
    trace("OnButtonHelp() startet\n");
    if (!clearDetailPane())
        return;
    // A page is no action: the controls a dialog disabled are the user's again.
    view_.setControlsEnabled(true);
    const bool german = language_->languageIndex() == CToolBoxLang::kGerman;
    if (view_.showPage(fileUrl(german ? kGermanHelpPage : kEnglishHelpPage))) {
        detailContents_ = DetailContents::Page;
        return;
    }
    ShowIdleWindow();
    message(language_->GetText(67), MessageIcon::Error);
}

void CToolBoxDlg::OnAbout() {
    trace("OnAbout() startet\n");
    view_.showAbout({kProductCaption, std::string(kProductCaption) + " " + kProductVersion,
                     makerNotice(*language_), fileUrl(kLicencePage)});
}

void CToolBoxDlg::OnButtonSetKeyAndShow() {
    trace("OnButtonSetKeyAndShow() startet\n");
    selection_.clear();
    publishRows();
    view_.setControlsEnabled(false);
    if (view_.runMaintenanceGroupDialog(*engine_, *language_)) {
        // Whether the listed terminals accept this station was found with the old group.
        trace("CT7000ipKey is ok, Terminalliste neu aufbauen\n");
        list_.clear();
        publishRows();
        OnNewTerminalList();
    } else {
        trace("CT7000ipKey not ok\n");
    }
    view_.setControlsEnabled(true);
}

} // namespace kestrix

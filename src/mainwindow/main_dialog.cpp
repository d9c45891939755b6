#include "mainwindow/main_dialog.h"

#include "lan/lan_interfaces.h"
#include "mainwindow/start_directory.h"
#include "messages/product.h"
#include "platform/message_box.h"
#include "protocol/t7000ip.h"
#include "terminal/terminal.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace kestrix {

namespace {

constexpr const char* kListFileExtension = ".rch";

// Whether a file name ends with the list files' extension, in any case.
bool isListFileName(const std::string& name) {
    const std::string extension = kListFileExtension;
    if (name.size() <= extension.size())
        return false;
    return std::equal(
        extension.begin(), extension.end(), name.end() - static_cast<std::ptrdiff_t>(extension.size()),
        [](char wanted, char given) { return wanted == std::tolower(static_cast<unsigned char>(given)); });
}

// The names of the list files in a directory, sorted by name.
std::vector<std::string> listFileNames(const std::string& directory) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (isListFileName(name) && entry->is_regular_file(error))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The selector's text of one LAN interface: its name and IPv4 address, marked
// when the interface is not up.
std::string selectorText(const LanInterface& entry) {
    std::string text = friendlyNameToLocalText(entry.FriendlyName) + " (" + entry.IPv4Addr.data() + ")";
    if (!entry.bUp)
        text += " inaktiv!";
    return text;
}

} // namespace

CToolBoxDlg::CToolBoxDlg(MainDialogView& view, MessageBoxes& messageBoxes, CommandLineSwitches switches)
    : view_(view), messageBoxes_(messageBoxes), switches_(switches) {}

CToolBoxDlg::~CToolBoxDlg() {
    // A dialog still in the pane (the program ends with it open) has its view
    // closed first: the view refers to the dialog until it goes.
    destroyDetailDialog();
    // The records use the engine: they go first.
    list_.clear();
    if (engine_ != nullptr)
        T7000ip::releaseT7000ip();
}

void CToolBoxDlg::publishRows() {
    std::vector<TerminalRow> rows = list_.rows(settings_.list);
    std::vector<std::size_t> selected;
    {
        const std::lock_guard lock(selectionMutex_);
        selected = selection_;
        publishedRows_ = rows;
    }
    view_.showRows(rows, selected);
}

void CToolBoxDlg::publishKeptRows(std::optional<std::size_t> renewed) {
    std::vector<TerminalRow> rows;
    std::vector<std::size_t> selected;
    {
        const std::lock_guard lock(selectionMutex_);
        if (renewed && *renewed < publishedRows_.size())
            publishedRows_[*renewed] = terminalRow(list_.at(*renewed), settings_.list);
        rows = publishedRows_;
        selected = selection_;
    }
    view_.showRows(rows, selected);
}

MessageAnswer CToolBoxDlg::message(const std::string& text, MessageIcon icon, MessageButtons buttons,
                                   int defaultButton) {
    return messageBoxes_.show({kProductCaption, text, icon, buttons, defaultButton});
}

void CToolBoxDlg::fillSelector() {
    selectorEntries_.clear();
    selectorEntries_.push_back(language_->GetText(75));
    for (const LanInterface& entry : lanInterfaces().entries())
        selectorEntries_.push_back(selectorText(entry));
    listFileIndex_ = static_cast<int>(selectorEntries_.size());
    for (std::string& name : listFileNames(startDirectory()))
        selectorEntries_.push_back(std::move(name));
    selectorIndex_ = 0;
    view_.setSelectorEntries(selectorEntries_, selectorIndex_);
}

void CToolBoxDlg::updateActionButtons() {
    bool enabled = true;
    for (std::size_t index : selection_) {
        Terminal& terminal = list_.at(index);
        // AuthOK first: it spares the terminal the question of its versions.
        if (!terminal.AuthOK && terminal.supportsAuthentication()) {
            enabled = false;
            break;
        }
    }
    view_.setActionButtonsEnabled(enabled);
}

void CToolBoxDlg::OnSelectionChange(const std::vector<std::size_t>& selected) {
    std::vector<std::size_t> selection;
    for (std::size_t index : selected)
        if (index < list_.size())
            selection.push_back(index);
    std::sort(selection.begin(), selection.end());
    selection.erase(std::unique(selection.begin(), selection.end()), selection.end());

    if (!QueryTerminate()) {
        // The dialog in the detail pane goes on: the selection goes back to
        // the terminal it works on; without one nothing stays selected.
        if (actionTerminal_ && *actionTerminal_ < list_.size()) {
            selection_ = {*actionTerminal_};
            publishRows();
            return;
        }
        selection_.clear();
        publishRows();
        message("no more selections, but not terminated", MessageIcon::Information);
        return;
    }
    selection_ = std::move(selection);
    ShowIdleWindow();
    updateActionButtons();
}

void CToolBoxDlg::OnSelectorChange(int index) {
    if (index >= 0 && index < static_cast<int>(selectorEntries_.size()))
        selectorIndex_ = index;
}

void CToolBoxDlg::OnSortOrder(SortOrder order) {
    // The entries listed keep their place; the order decides where later ones go.
    settings_.list.order = order;
}

void CToolBoxDlg::OnShowIPv6(bool shown) {
    settings_.list.addresses = shown ? AddressForm::IPv6 : AddressForm::IPv4;
    publishRows();
}

void CToolBoxDlg::OnGroupFilter(GroupFilter filter) {
    settings_.list.filter = filter;
}

} // namespace kestrix

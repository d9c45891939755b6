// Filling the terminal list: the search by broadcast on the LAN interfaces (or
// from a list file) and adding one terminal by name or address.
#include "mainwindow/main_dialog.h"

#include "lan/lan_interfaces.h"
#include "messages/product.h"
#include "platform/message_box.h"
#include "platform/trace.h"
#include "protocol/t7000ip.h"
#include "terminal/normalize_address.h"
#include "terminal/terminal.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kestrix {

namespace {

constexpr std::int64_t kBroadcastTimeoutSeconds = 10;
// The name/address field takes at most this many characters.
constexpr std::size_t kMaxAddFieldLength = 65;

// One entry of a broadcast's result: "[address];serial number" or a bare address.
struct BroadcastReply {
    std::string address; // as the terminal constructor takes it (brackets removed)
    std::string serialNumber;
};

BroadcastReply splitReply(const std::string& entry) {
    const std::size_t separator = entry.find(';');
    const std::string address = entry.substr(0, separator);
    BroadcastReply reply;
    reply.address = address.rfind('[', 0) == 0 ? normalizeAddress(address) : address;
    if (separator != std::string::npos)
        reply.serialNumber = entry.substr(separator + 1);
    return reply;
}

const LanInterface* interfaceRow(int index) {
    const LanInterfaces& table = lanInterfaces();
    if (index < 0 || index >= table.count())
        return nullptr;
    return &table.entries()[static_cast<std::size_t>(index)];
}

} // namespace

void CToolBoxDlg::OnNewTerminalList() {
    // A running detail dialog may work on a listed record: it is asked first,
    // and the list stays as it is when it refuses.
    if (!clearDetailPane())
        return;
    list_.clear();
    selection_.clear();
    publishRows();
    view_.setActionButtonsEnabled(true);
    view_.setWaitCursor(true);
    view_.setControlsEnabled(false);

    trace("CToolBoxDlg::OnNewTerminalList() Create pWaitWindow\n");
    view_.showWaitWindow(std::string(kProductCaption) + " " + language_->GetText(53), language_->GetText(54));
    detailContents_ = DetailContents::WaitWindow;

    const LanInterfaces& table = lanInterfaces();
    const GroupFilter filter = settings_.list.filter;
    trace("CToolBoxDlg::OnNewTerminalList() m_Cmb_LanIf.GetCurSel(): %d\n", selectorIndex_);
    trace("        globalLanInterfaceCount: %d, m_RchFileIndex: %d\n", table.count(), listFileIndex_);

    // The rows to search on: all interfaces, or the one the selector names.
    std::vector<int> rows;
    if (selectorIndex_ == 0) {
        for (int row = 0; row < table.count(); ++row)
            rows.push_back(row);
    } else if (selectorIndex_ < listFileIndex_) {
        rows.push_back(selectorIndex_ - 1);
    }

    bool routed = true;
    if (selectorIndex_ >= listFileIndex_ &&
        static_cast<std::size_t>(selectorIndex_) < selectorEntries_.size()) {
        routed = ReadFile(selectorEntries_[static_cast<std::size_t>(selectorIndex_)]);
    } else {
        // A row without an address of a family is not searched over it: a
        // broadcast to no address would only wait out its time.
        for (int row : rows)
            if (const LanInterface* entry = interfaceRow(row); entry && entry->bUp && entry->IPv6IfIndex != 0)
                routed = DoFindBroadcast(BroadcastFamily::IPv6, filter, row) && routed;
        for (int row : rows)
            if (const LanInterface* entry = interfaceRow(row); entry && entry->bUp && entry->UIPv4Addr != 0)
                routed = DoFindBroadcast(BroadcastFamily::IPv4, filter, row) && routed;
        for (int row : rows)
            if (const LanInterface* entry = interfaceRow(row); entry && entry->bUp && entry->UIPv4Addr != 0)
                routed = DoEchoBroadcast(filter, row) && routed;
    }

    if (!routed)
        message(language_->GetText(20), MessageIcon::Error);
    ShowIdleWindow();
    view_.setWaitCursor(false);
}

bool CToolBoxDlg::DoFindBroadcast(BroadcastFamily family, GroupFilter filter, int interfaceIndex) {
    const LanInterface* entry = interfaceRow(interfaceIndex);
    if (entry == nullptr)
        return true;
    Ip6Address destination;
    if (family == BroadcastFamily::IPv4) {
        destination = entry->UIPv4BroadcastAddr_AsIPv6;
        const std::string broadcastText = addressToText(destination, MappedForm::DottedOnly);
        view_.setProgressLine("Broadcast 'find' " + language_->GetText(70) + " [" + broadcastText + "]");
        trace("\nCToolBoxDlg::DoFindBroadcast(): Interfaceindex: %d -> Broadcast %s über Interface %s\n",
              interfaceIndex, broadcastText.c_str(), entry->IPv4Addr.data());
    } else {
        destination = *addressFromText("ff02::1");
        // This system sends to a link-local group only with the interface named.
        destination.scopeId = entry->IPv6IfIndex;
        if (lanInterfaces().count() > 1)
            engine_->setOutgoingIf(interfaceIndex);
        view_.setProgressLine("Broadcast 'find' " + language_->GetText(70) + " [ff02::1]");
        trace("\nCToolBoxDlg::DoFindBroadcast(): Interfaceindex: %d (%s) für ff02::1 verwendet\n",
              interfaceIndex, entry->IPv6Addr.data());
    }
    std::vector<std::string> replies = engine_->broadcast(destination, "find *", kBroadcastTimeoutSeconds);
    return checkBroadcastReplies(std::move(replies), BroadcastRequest::Find, filter, interfaceIndex);
}

bool CToolBoxDlg::DoEchoBroadcast(GroupFilter filter, int interfaceIndex) {
    const LanInterface* entry = interfaceRow(interfaceIndex);
    if (entry == nullptr)
        return true;
    const std::string broadcastText = addressToText(entry->UIPv4BroadcastAddr_AsIPv6, MappedForm::DottedOnly);
    view_.setProgressLine("Broadcast 'echo' " + language_->GetText(70) + " " + entry->IPv4Addr.data());
    trace("\nCToolBoxDlg::DoEchoBroadcast(): Interfaceindex: %d -> Broadcast %s über Interface %s\n",
          interfaceIndex, broadcastText.c_str(), entry->IPv4Addr.data());
    std::vector<std::string> replies =
        engine_->broadcast(entry->UIPv4BroadcastAddr_AsIPv6, "echo *", kBroadcastTimeoutSeconds);
    return checkBroadcastReplies(std::move(replies), BroadcastRequest::Echo, filter, interfaceIndex);
}

bool CToolBoxDlg::checkBroadcastReplies(std::vector<std::string> replies, BroadcastRequest request,
                                        GroupFilter filter, int interfaceIndex) {
    const bool echo = request == BroadcastRequest::Echo;
    const char* operation = echo ? "DoEchoBroadcast" : "DoFindBroadcast";
    bool routed = true;
    // Sorted as text, replies from one address stand together.
    std::sort(replies.begin(), replies.end());
    BroadcastReply previous;
    bool first = true;
    for (const std::string& entry : replies) {
        trace("CToolBoxDlg::%s(): liste enthält: %s\n", operation, entry.c_str());
        view_.setProgressLine(language_->GetText(71) + " " + entry + " " + language_->GetText(72));
        const BroadcastReply reply = splitReply(entry);
        const bool sameAddress = !first && reply.address == previous.address;
        const std::string previousSerialNumber = previous.serialNumber;
        first = false;
        previous = reply;
        if (sameAddress) {
            if (reply.serialNumber == previousSerialNumber) {
                trace("CToolBoxDlg::%s(): IP-Adr %s UND Seriennummer %s identisch -> überspringen\n",
                      operation, reply.address.c_str(), reply.serialNumber.c_str());
                continue;
            }
            const std::string text = language_->GetText(46) + " " + reply.address + " " +
                                     language_->GetText(47) + " " + previousSerialNumber + " " +
                                     language_->GetText(48) + " " + reply.serialNumber +
                                     language_->GetText(49);
            trace("CToolBoxDlg::%s(): %s\n", operation, text.c_str());
            // It must be seen although the search goes on under it.
            messageBoxes_.show({kProductCaption, text, MessageIcon::Error, MessageButtons::Ok, 0,
                                MessageStacking::AboveAllWindows});
        }

        if (std::optional<std::size_t> listed = list_.findSerialNumber(reply.serialNumber)) {
            trace("CToolBoxDlg::%s(): %s in der Terminalliste vorhanden\n", operation,
                  reply.serialNumber.c_str());
            if (echo && switches_.adding == AddingMode::Alternative && !list_.at(*listed).AuthOK) {
                trace(
                    "CToolBoxDlg::DoEchoBroadcast(): Einstellung 'alternativ' suchen, Authentifizierung noch "
                    "nicht ok, deshalb:\n");
                try {
                    auto second =
                        std::make_unique<Terminal>(*engine_, AuthenticationMode::IPBased, reply.address,
                                                   reply.serialNumber, interfaceIndex);
                    if (second->AuthOK) {
                        const std::unique_ptr<Terminal> replaced = list_.replace(*listed, std::move(second));
                        // The new record may have reached the terminal through the
                        // listed one's host route: ending that record must not cut it off.
                        list_.at(*listed).takeOverHostRoute(*replaced);
                        publishRows();
                    }
                } catch (const Terminal::TerminalError& error) {
                    trace("CToolBoxDlg::%s(): %s %s\n", operation, reply.address.c_str(), error.text.c_str());
                    if (error.code == 4)
                        routed = false;
                }
            }
            continue;
        }

        try {
            auto terminal =
                echo ? std::make_unique<Terminal>(*engine_, AuthenticationMode::IPBased, reply.address,
                                                  reply.serialNumber, interfaceIndex)
                     : std::make_unique<Terminal>(*engine_, AuthenticationMode::IDBased, reply.address,
                                                  reply.serialNumber, -1);
            if (filter == GroupFilter::CurrentGroupOnly && !terminal->AuthOK) {
                trace("CToolBoxDlg::%s(): %s nicht in der Wartungsgruppe\n", operation,
                      terminal->SerialNumber.c_str());
                continue;
            }
            insertTerminal(std::move(terminal));
        } catch (const Terminal::TerminalError& error) {
            trace("CToolBoxDlg::%s(): %s %s\n", operation, reply.address.c_str(), error.text.c_str());
            if (error.code == 4)
                routed = false;
        }
    }
    return routed;
}

std::unique_ptr<Terminal> locateAsAdded(T7000ip& engine, const std::string& text, AddingMode adding) {
    auto terminal = std::make_unique<Terminal>(engine, text);
    trace("OnAddIPAddr(%s): new Terminal() done\n", text.c_str());
    if (adding == AddingMode::Alternative && terminal->IDBasedAuth && !terminal->AuthOK) {
        trace("OnAddIPAddr(%s): Einstellung 'alternativ' suchen, Authentifizierung noch nicht ok, "
              "deshalb:\n",
              text.c_str());
        const std::string serialNumber = terminal->SerialNumber;
        const std::string address = terminal->IPAddrInUse;
        const int lanIfIndex = terminal->LanIfIndex;
        terminal.reset();
        terminal =
            std::make_unique<Terminal>(engine, AuthenticationMode::IPBased, address, serialNumber, lanIfIndex);
    }
    return terminal;
}

void CToolBoxDlg::OnAddIPAddr(const std::string& text) {
    const std::string field = text.substr(0, kMaxAddFieldLength);
    if (field.empty())
        return;
    view_.setWaitCursor(true);
    try {
        insertTerminal(locateAsAdded(*engine_, field, switches_.adding));
    } catch (const Terminal::TerminalError& error) {
        trace("OnAddIPAddr(%s): Terminal nicht zu finden, error: %s\n", field.c_str(), error.text.c_str());
        message(language_->GetText(terminalErrorMessageId(error.code)), MessageIcon::Error);
    } catch (...) {
        trace("OnAddIPAddr(%s): catch unbekannten Fehler\n", field.c_str());
    }
    view_.setWaitCursor(false);
}

int terminalErrorMessageId(int code) {
    switch (code) {
    case 2:
        return 11;
    case 3:
        return 13;
    case 4:
        return 19;
    case 5:
        return 21;
    default:
        return 12;
    }
}

bool CToolBoxDlg::insertTerminal(std::unique_ptr<Terminal> terminal) {
    TerminalList::InsertResult result = list_.insert(std::move(terminal), settings_.list.order);
    if (!result.index)
        return false; // the refused record ends here
    // The selected entries keep their selection where the new one pushed them.
    for (std::size_t& selected : selection_)
        if (selected >= *result.index)
            ++selected;
    publishRows();
    return true;
}

} // namespace kestrix

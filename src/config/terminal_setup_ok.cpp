// The setup editor's OK: the pages' checks and Puts in their order, the time
// stamp, the write in the terminal's version, packet.ini, the reset, the
// terminal's new address and the wait until it answers again.
#include "config/setup_page_firewall.h"
#include "config/setup_page_network.h"
#include "config/setup_page_tcl.h"
#include "config/terminal_setup.h"
#include "messages/toolbox_lang.h"
#include "platform/pause.h"
#include "platform/trace.h"
#include "terminal/action_owner.h"
#include "terminal/terminal.h"
#include "tftp/tftp_connection.h"
#include "tftp/tftp_port_range.h"

#include <array>

namespace kestrix {

namespace {

constexpr int kColdBootQuestion = 371; // "Wenn Sie diese Konfiguration ins Terminal übernehmen, ..."
constexpr int kNotWritten = 376;       // "Die geänderte Konfigurationsdatei kann nicht ins Terminal geschrieben werden. ..."
constexpr int kWriting = 377;          // "Konfigurationsdatei wird ins Terminal geschrieben..."
constexpr int kWritten = 378;          // "Konfigurationsdatei geschrieben."
constexpr int kWaiting = 379;          // "Warten, bis das Terminal wieder hochgefahren ist..."
constexpr int kInstalled = 380;        // "Konfigurationsdatei erfolgreich installiert."
constexpr int kPacketIniNotWritten = 392;
constexpr int kResetNotSent = 17;      // "Reset kann nicht abgesetzt werden."
constexpr int kNoRouting = 19;         // "Routing für das Terminal konnte nicht eingetragen werden. ..."

// How long a reset terminal may take to answer again after its reboot wait
// (the reset dialog's start check).
constexpr int kStartWaitSeconds = 46;
// packet.ini goes from a buffer of this size, its text and a terminator.
constexpr std::size_t kPacketIniBuffer = 1024;
// The terminal takes packet.ini over after the transfer.
constexpr int kPacketIniSettleMilliseconds = 6000;

// The order in which OK puts the pages after Put_TCL.
constexpr std::array kPutOrder{SetupTab::ChannelA, SetupTab::ChannelB,       SetupTab::ChannelC,
                               SetupTab::ChannelD, SetupTab::Network,        SetupTab::Firewall,
                               SetupTab::InternalReader, SetupTab::Lbus1,    SetupTab::Lbus2,
                               SetupTab::Misc};

// The message of a terminal that was not found again, by the failure's code.
int notBackMessage(int code) {
    switch (code) {
    case 2:
        return 11; // "Es ist keine Namensauflösung für das Terminal möglich."
    case 3:
        return 13; // "Das Format der IP-Adresse oder des DNS-Namens ist fehlerhaft."
    case 4:
        return kNoRouting;
    case 5:
        return 21; // "Das Terminal antwortet nicht. Möglicherweise fehlen auch Administratorrechte, ..."
    default:
        return 12; // "Das Terminal antwortet nicht."
    }
}

// An address text of the TCP/IP page, empty for none.
std::string addressOrEmpty(const std::string& text) {
    return text == "0.0.0.0" || text == "::" ? std::string() : text;
}

} // namespace

SetupOkOutcome CTerminalSetup::OnButtonOk() {
    if (ended_ || running_.exchange(true))
        return SetupOkOutcome::NotRun;
    SetupOkOutcome outcome = SetupOkOutcome::Stayed;
    try {
        // 1. The TCL page first: its sizes may make the terminal cold-boot.
        auto* tcl = dynamic_cast<SetupPageTcl*>(page(SetupTab::Tcl));
        const bool coldBoot = tcl && tcl->Put_TCL(workingCopy_);
        if (coldBoot && message(text(kColdBootQuestion), MessageIcon::Exclamation, MessageButtons::OkCancel) !=
                            MessageAnswer::Ok) {
            running_ = false;
            return SetupOkOutcome::Stayed;
        }
        // 2. and 3. The reader checks, then the pages.
        if (putPagesForOk()) {
            // 4. The time of this write, low 32 bits.
            workingCopy_.setNumber(setup_field::LastWrite, static_cast<std::uint32_t>(clock_()));
            outcome = writeResetAndWait();
        }
    } catch (...) {
        // Whatever breaks must not leave the window disabled.
        trace("CTerminalSetup::OnButtonOk(): unerwarteter Fehler\n");
        owner_.setWaitCursor(false);
        end();
        outcome = SetupOkOutcome::NotWritten;
    }
    if (view_)
        view_->setProgressLine("");
    // The last access to the editor: the owner may destroy it once this is seen.
    running_ = false;
    return outcome;
}

bool CTerminalSetup::putPagesForOk() {
    if (setupShownAtGrade2(context_)) {
        for (ShownPage& page : pages_)
            if (page.row->readerCheck && !page.row->readerCheck(*page.page)) {
                if (view_)
                    view_->selectTab(page.row->tab);
                return false;
            }
    }
    for (SetupTab tab : kPutOrder) {
        ShownPage* page = shown(tab);
        if (!page || page->page->Put(workingCopy_))
            continue;
        if (view_)
            view_->selectTab(tab);
        auto* firewall = dynamic_cast<FirewallPage*>(page->page.get());
        if (firewall && firewall->request() == FirewallPageRequest::SelectFirewallTab)
            refreshPages();
        return false;
    }
    return true;
}

void CTerminalSetup::putAllPages() {
    if (ShownPage* tcl = shown(SetupTab::Tcl))
        tcl->page->Put(workingCopy_);
    for (SetupTab tab : kPutOrder)
        if (ShownPage* page = shown(tab))
            page->page->Put(workingCopy_);
}

SetupOkOutcome CTerminalSetup::writeResetAndWait() {
    Terminal& terminal = owner_.terminalAt(listIndex_);
    // 5. Back to the terminal's byte order and version, on a copy: the
    // editor's block stays the newest version.
    UserParam toWrite = userParam_;
    UserParamBlock bytes = workingCopy_.bytes();
    toWrite.copyUserParamIn(bytes);
    if (!toWrite.setUserParamVersion(context_.actualVersion, terminal)) {
        message(text(kNotWritten), MessageIcon::Error);
        end();
        return SetupOkOutcome::NotWritten;
    }
    // 6. The write, with its four attempts.
    if (view_)
        view_->setProgressLine(text(kWriting));
    owner_.setWaitCursor(true);
    if (!toWrite.setTerminalUserParam(terminal)) {
        owner_.setWaitCursor(false);
        message(text(kNotWritten), MessageIcon::Error);
        end();
        return SetupOkOutcome::NotWritten;
    }
    // 7. The WEP settings.
    if (wepChanged_) {
        trace("CTerminalSetup::OnButtonOk(): sende Packet.ini an Terminal\n");
        if (!sendPacketIni(terminal))
            message(text(kPacketIniNotWritten), MessageIcon::Error);
    }
    // 8. The reset.
    if (!terminal.T7000ipReset(ResetBoot::Application, "")) {
        owner_.setWaitCursor(false);
        message(text(kResetNotSent) + "\n" + text(kWritten), MessageIcon::Error);
        owner_.redrawEntry(listIndex_);
        end();
        return SetupOkOutcome::ResetNotSent;
    }
    // 9. and 10. A new address, then the wait.
    followNewAddress(terminal);
    const SetupOkOutcome outcome = waitForTerminal(terminal);
    owner_.setWaitCursor(false);
    end();
    return outcome;
}

bool CTerminalSetup::sendPacketIni(Terminal& terminal) {
    if (packetIni_.size() >= kPacketIniBuffer)
        return false;
    std::array<std::uint8_t, kPacketIniBuffer> buffer{};
    std::copy(packetIni_.begin(), packetIni_.end(), buffer.begin());
    try {
        const TftpPortRange range = tftpPortRange();
        TFTPConnection connection(terminal.tftpAddress(), range.minPort, range.maxPort);
        trace("putPacketini(): got TFTPConnection for IP Address: %s, Seriennummer: %s\n",
              terminal.IPAddrInUse.c_str(), terminal.SerialNumber.c_str());
        connection.write(buffer.data(), packetIni_.size(), "[" + terminal.SerialNumber + "]C@\\packet.ini");
    } catch (const TFTPConnection::TFTPError& error) {
        trace("TFTP Write Error: ID=%d, Text=%s\n", error.id(), error.text.c_str());
        return false;
    }
    pause(kPacketIniSettleMilliseconds);
    return true;
}

void CTerminalSetup::followNewAddress(Terminal& terminal) {
    const auto* network = dynamic_cast<const NetworkPage*>(page(SetupTab::Network));
    if (!network || !network->addressChanged())
        return;
    // The terminal is followed in the address family it is reached by now,
    // as long as it keeps an address of that family.
    const TerminalAddressTexts& stored = network->storedAddresses();
    const std::string ipv4 = addressOrEmpty(stored.ipv4), ipv6 = addressOrEmpty(stored.ipv6);
    const bool reachedByIpv4 = terminal.AddrInUse.isIPv4Mapped();
    std::string address = reachedByIpv4 ? ipv4 : ipv6;
    if (address.empty())
        address = reachedByIpv4 ? ipv6 : ipv4;
    if (!terminal.prepareForNewAddr(address, workingCopy_.text(setup_field::DhcpHostName)))
        message(text(kNoRouting), MessageIcon::Information);
    owner_.redrawEntry(listIndex_);
}

SetupOkOutcome CTerminalSetup::waitForTerminal(Terminal& terminal) {
    if (view_)
        view_->setProgressLine(text(kWaiting));
    try {
        terminal.waitOnReboot(RebootWait::Normal);
        terminal.isStartedSameTCL(kStartWaitSeconds, StartExpectation::Application);
    } catch (const Terminal::TerminalError& error) {
        const std::string reason = text(notBackMessage(error.code));
        trace("CTerminalSetup::OnButtonOk(): %s %s\n", terminal.SerialNumber.c_str(), reason.c_str());
        owner_.redrawEntry(listIndex_);
        message(reason + "\n" + text(kWritten), MessageIcon::Error);
        return SetupOkOutcome::NotBack;
    }
    owner_.deselectEntry(listIndex_);
    owner_.redrawEntry(listIndex_);
    message(text(kInstalled), MessageIcon::Information);
    return SetupOkOutcome::Installed;
}

} // namespace kestrix

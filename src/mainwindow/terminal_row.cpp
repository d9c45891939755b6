// What the terminal list and the details pane show of one terminal.
#include "mainwindow/terminal_list.h"
#include "terminal/terminal.h"

namespace kestrix {

TerminalRow terminalRow(const Terminal& terminal, const ListPresentation& presentation) {
    TerminalRow row;
    row.iconIndex = terminal.iconIndex();
    row.productColumn = " " + terminal.ProductName;
    row.versionColumn = terminal.kindPrefix() +
                        (terminal.isMonitorMode() ? terminal.MonitorVersion : terminal.FirmwareVersion);
    row.serialColumn = "SN: " + terminal.SerialNumber;
    row.addressLine = terminal.displayAddress(
        presentation.addresses == AddressForm::IPv4 ? AddressDisplay::DottedIPv4 : AddressDisplay::AsKnown);
    if (terminal.DNSNameInUse.empty()) {
        row.dnsLine = "   ";
    } else {
        row.dnsLine = terminal.DNSNameInUse;
        if (presentation.hostNames == HostNameDisplay::Short)
            row.dnsLine = row.dnsLine.substr(0, row.dnsLine.find('.'));
    }
    return row;
}

ShowTerminalText showTerminalText(Terminal& terminal) {
    ShowTerminalText text;
    text.iconIndex = terminal.iconIndex();
    text.headline = terminal.SerialNumber + " " + terminal.ProductName;

    if (!terminal.IPv4Addr.empty()) {
        // A terminal reached by IPv6 has not learnt the name of its IPv4 address.
        if (terminal.IPv4DNSName.empty() && !terminal.AddrInUse.isIPv4Mapped())
            terminal.IPv4DNSName = terminal.nameResolver().lookupConfirmedName(terminal.IPv4Addr);
        text.ipv4Text = terminal.IPv4Addr + " / " + terminal.IPv4Mask;
        if (terminal.IPv4Dhcp)
            text.ipv4Text += " (DHCP)";
        if (!terminal.IPv4DNSName.empty())
            text.ipv4Text += "\t" + terminal.IPv4DNSName;
    }

    if (!terminal.IPv6LinkLocal.empty()) {
        text.ipv6Text = terminal.IPv6LinkLocal + " / " + terminal.IPv6LinkLocalPrefix + "\n\n";
        for (const IPv6AddrEntry& entry : terminal.IPv6Addresses) {
            text.ipv6Text += entry.Address + " / " + entry.Prefix;
            if (entry.IsRadv)
                text.ipv6Text += " (RADV)";
            else if (entry.IsDhcp)
                text.ipv6Text += " (DHCP)";
            if (!entry.Name.empty())
                text.ipv6Text += "\t" + entry.Name;
            text.ipv6Text += "\n";
        }
    }
    return text;
}

} // namespace kestrix

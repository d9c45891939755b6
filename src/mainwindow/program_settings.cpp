#include "mainwindow/program_settings.h"

#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"
#include "platform/trace.h"
#include "settings_files/ini_file.h"

#include <cctype>
#include <climits>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace kestrix {

namespace {

constexpr const char* kTftpSection = "TFTP";
constexpr const char* kTerminalListSection = "Terminallist";

// The lowest port a range may begin with: the ports below belong to the system's services.
constexpr int kLowestRangePort = 1024;
constexpr int kHighestPort = 65535;

// A number as "%d" reads it: leading white space, an optional sign, then
// digits up to the first other character. A text without digits there counts
// as 0; a number beyond the range of int is held at its limit.
int readDecimal(std::string_view text) {
    std::size_t position = 0;
    while (position < text.size() && std::isspace(static_cast<unsigned char>(text[position])) != 0)
        ++position;
    bool negative = false;
    if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
        negative = text[position] == '-';
        ++position;
    }
    long long value = 0;
    for (; position < text.size() && std::isdigit(static_cast<unsigned char>(text[position])) != 0;
         ++position) {
        value = value * 10 + (text[position] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    return static_cast<int>(value);
}

std::optional<SortOrder> sortOrderFromText(const std::string& value) {
    if (value == "PRODUCT")
        return SortOrder::Product;
    if (value == "SERIALNO")
        return SortOrder::SerialNumber;
    if (value == "IPADDR")
        return SortOrder::IPAddress;
    if (value == "DNSNAME")
        return SortOrder::DNSName;
    if (value == "FIRMWARE")
        return SortOrder::Firmware;
    return std::nullopt;
}

void applyTerminalListKey(const std::string& key, const std::string& value, ListPresentation& list) {
    if (key == "Order") {
        if (std::optional<SortOrder> order = sortOrderFromText(value))
            list.order = *order;
    } else if (key == "Add") {
        if (value == "ALL")
            list.filter = GroupFilter::AllGroups;
        else if (value == "MAINTGRP")
            list.filter = GroupFilter::CurrentGroupOnly;
    } else if (key == "ShowHostname") {
        if (value == "FQDN")
            list.hostNames = HostNameDisplay::FullyQualified;
        else if (value == "SHORT")
            list.hostNames = HostNameDisplay::Short;
    } else if (key == "ShowIPAddr") {
        if (value == "MIXED")
            list.addresses = AddressForm::IPv4;
        else if (value == "IPV6")
            list.addresses = AddressForm::IPv6;
    }
}

void applyTftpKey(const std::string& key, const std::string& value, TftpPortRange& ports) {
    if (key == "minPort")
        ports.minPort = readDecimal(value);
    else if (key == "maxPort")
        ports.maxPort = readDecimal(value);
}

// Walks the keys of one section in ascending order with their trace lines and
// hands every key with a value to apply.
template <typename Apply> void readSection(const IniFile& file, const char* section, Apply apply) {
    if (!file.hasSection(section))
        return;
    const std::vector<std::string> keys = file.getKeys(section);
    if (keys.empty())
        trace("CToolBoxDlg::GetIniFile(): keine Einträge unter [%s].\n", section);
    for (const std::string& key : keys) {
        const std::string value = file.getValue(section, key, "");
        if (value.empty()) {
            trace("CToolBoxDlg::GetIniFile(): Key '%s' Value: leer!\n", key.c_str());
            continue;
        }
        trace("CToolBoxDlg::GetIniFile(): %s Key '%s' Value: '%s'\n", section, key.c_str(), value.c_str());
        apply(key, value);
    }
}

// Both 0 lets the system choose. Any other range must lie within the ports
// above the system's services, both ends given and in ascending order.
bool portRangeIsUsable(const TftpPortRange& ports) {
    if (ports.minPort == 0 && ports.maxPort == 0)
        return true;
    return ports.minPort != 0 && ports.maxPort != 0 && ports.maxPort >= ports.minPort &&
           ports.minPort >= kLowestRangePort && ports.maxPort <= kHighestPort;
}

} // namespace

SettingsResult GetIniFile(const std::string& fileName, const CToolBoxLang& language,
                          MessageBoxes& messageBoxes, ProgramSettings& settings) {
    settings = ProgramSettings{};
    setTftpPortRange(settings.tftpPorts);

    std::optional<IniFile> file;
    try {
        file.emplace(fileName, "");
    } catch (const std::runtime_error& error) {
        const std::string text = error.what();
        if (text == fileName) {
            trace("CToolBoxDlg::GetIniFile(): Warnung: %s nicht vorhanden.\n", fileName.c_str());
            return SettingsResult::Read;
        }
        trace("CToolBoxDlg::GetIniFile(): Fehler beim Öffnen von %s: %s.\n", fileName.c_str(), text.c_str());
        messageBoxes.show({kProductCaption, text, MessageIcon::Error, MessageButtons::Ok, 0});
        return SettingsResult::Malformed;
    }

    readSection(*file, kTftpSection, [&settings](const std::string& key, const std::string& value) {
        applyTftpKey(key, value, settings.tftpPorts);
    });
    readSection(*file, kTerminalListSection, [&settings](const std::string& key, const std::string& value) {
        applyTerminalListKey(key, value, settings.list);
    });

    if (!portRangeIsUsable(settings.tftpPorts)) {
        settings.tftpPorts = TftpPortRange{};
        trace("CToolBoxDlg::GetIniFile(): Fehler bei den Portnummern, auf Defaultwert 'beliebig' gesetzt.\n");
        messageBoxes.show(
            {kProductCaption, language.GetText(83), MessageIcon::Exclamation, MessageButtons::Ok, 0});
    }
    setTftpPortRange(settings.tftpPorts);
    return SettingsResult::Read;
}

} // namespace kestrix

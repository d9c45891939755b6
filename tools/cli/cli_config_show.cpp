// kestrix-cli config show: the setup editor's pages as text. The fields are
// the page values the editor shows (after the pages' Get on its working
// copy), under the key names config set takes where it takes them.
#include "cli_common.h"
#include "cli_config.h"
#include "console_view.h"

#include "config/setup_page_channel.h"
#include "config/setup_page_firewall.h"
#include "config/setup_page_lbus.h"
#include "config/setup_page_misc.h"
#include "config/setup_page_network.h"
#include "config/setup_page_reader.h"
#include "config/setup_page_tcl.h"
#include "config/terminal_setup.h"
#include "config/user_param.h"
#include "lan/lan_interfaces.h"
#include "messages/toolbox_lang.h"
#include "platform/file_replacement.h"
#include "terminal/terminal_fields.h"

#include <cstdarg>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kestrix::cli {
namespace {

void field(const char* name, const std::string& value) {
    std::printf("  %-16s%s\n", name, value.c_str());
}

// printf-formatted text of at most 80 characters.
[[gnu::format(printf, 1, 2)]] std::string formatted(const char* format, ...) {
    char text[81];
    std::va_list values;
    va_start(values, format);
    std::vsnprintf(text, sizeof text, format, values);
    va_end(values);
    return text;
}

const char* onOff(bool on) {
    return on ? "on" : "off";
}

std::string secret(const std::string& value, SetupSecrets secrets) {
    if (secrets == SetupSecrets::Shown)
        return value;
    return value.empty() ? "(empty)" : "(set; --show-secrets shows it)";
}

std::string pointText(const SummerTimePoint& point) {
    if (point.form == SummerTimeForm::Posix)
        return point.posixRule;
    if (!point.date.ok())
        return "(none)";
    return formatted("%04d-%02u-%02u/%02d", static_cast<int>(point.date.year()),
                     static_cast<unsigned>(point.date.month()), static_cast<unsigned>(point.date.day()),
                     point.hour);
}

// The entry of a list control's names that index selects.
template <typename Names> std::string listEntry(const Names& names, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < names.size()
               ? std::string(names[static_cast<std::size_t>(index)])
               : std::string("(none)");
}

void printChannel(SetupPageChannel& page) {
    const ChannelPageValues& values = page.values;
    if (HostChannelSettings* host = page.hostChannel()) {
        field("host-address", host->values.hostAddress);
        field("host-port", host->values.port);
    }
    const auto baudRates = page.baudRateNames();
    const auto formats = page.dataFormatNames();
    field("baud rate", listEntry(baudRates, values.baudRate));
    field("data format", listEntry(formats, values.dataFormat));
    field("buffers", formatted("send %d, receive %d bytes", values.transmitBuffer, values.receiveBuffer));
    field("timeouts",
          formatted("poll %d, data %d, quit %d", values.pollTimeout, values.dataTimeout, values.quitTimeout));
}

void printNetwork(const NetworkPage& page) {
    const NetworkPageValues& values = page.values;
    field("address", values.ipv4Address);
    field("mask", values.ipv4Mask);
    field("router", values.ipv4Router);
    field("ipv6 address", values.ipv6Address + "/" + values.ipv6PrefixLength);
    field("ipv6 router", values.ipv6Router);
    if (page.hostNameAndLinkSpeedEnabled()) {
        field("dhcp-name", values.dhcpHostName);
        field("link speed", listEntry(NetworkPage::linkSpeedNames(), values.linkSpeedIndex));
    }
    if (page.stackControlsEnabled())
        field("ip-stack", values.ipv4Stack && values.ipv6Stack ? "dual" : values.ipv6Stack ? "ipv6" : "ipv4");
}

std::string servicesText(const FirewallServices& services) {
    std::string text;
    for (const auto& [on, name] : {std::pair{services.data, "data"}, std::pair{services.status, "status"},
                                   std::pair{services.maintenance, "maintenance"}})
        if (on)
            text += (text.empty() ? "" : ", ") + std::string(name);
    return text;
}

// Only the rules in use: a rule without service is stored as unused.
void printFirewall(const FirewallPage& page) {
    const FirewallPageValues& values = page.values;
    field("firewall", onOff(values.inUse));
    for (std::size_t rule = 0; rule < values.ipv4Rules.size(); ++rule) {
        const FirewallIpv4RuleValues& entry = values.ipv4Rules[rule];
        if (const std::string services = servicesText(entry.services); !services.empty())
            field(formatted("ipv4 rule %zu", rule + 1).c_str(),
                  entry.net + " mask " + entry.mask + ": " + services);
    }
    for (std::size_t rule = 0; rule < values.ipv6Rules.size(); ++rule) {
        const FirewallIpv6RuleValues& entry = values.ipv6Rules[rule];
        if (const std::string services = servicesText(entry.services); !services.empty())
            field(formatted("ipv6 rule %zu", rule + 1).c_str(),
                  entry.prefix + "/" + entry.prefixLength + ": " + services);
    }
}

void printReader(const SetupPageReader& page) {
    const ReaderPageValues& values = page.values;
    field("reader type", listEntry(page.typeNames(), values.type));
    field("reader mode", listEntry(page.modeNames(), values.mode));
    field("further option", onOff(values.furtherOption));
    if (page.chipcardParametersEnabled())
        field("chipcard", formatted("%d, %d", values.chipcard1, values.chipcard2));
}

void printLbus(const SetupPageLbus& page) {
    if (const std::string text = page.unusableText(); !text.empty()) {
        field("", text);
        return;
    }
    field("reader type", listEntry(page.readerTypeNames(), page.values.readerType));
    std::string readers;
    for (std::size_t reader = 0; reader < page.values.readers.size(); ++reader)
        if (page.values.readers[reader])
            readers += (readers.empty() ? "" : " ") + std::to_string(page.firstReader() + static_cast<int>(reader));
    field("readers", readers.empty() ? "(none)" : readers);
}

void printTcl(const SetupPageTcl& page, SetupSecrets secrets) {
    const TclPageValues& values = page.values;
    field("table field", std::to_string(values.tableField));
    field("save buffer", std::to_string(values.saveBuffer));
    field("acknowledge", std::to_string(values.acknowledgeTime));
    field("labels", std::to_string(values.totalLabels));
    field("terminal addr.", std::to_string(values.terminalAddress));
    if (page.hostLoginShown()) {
        field("host login", onOff(values.hostLogin));
        field("host password 1", secret(values.simpleAccessPassword, secrets));
        field("host password 2", secret(values.administrativePassword, secrets));
        field("host-encrypt", onOff(values.hostEncryption));
    }
}

void printMisc(const SetupPageMisc& page, SetupSecrets secrets) {
    field("group", page.values.maintenanceGroup);
    for (int grade = 1; grade <= 3; ++grade)
        field(("password" + std::to_string(grade)).c_str(), secret(page.password(grade), secrets));
    const SummerTimeValues& time = page.summerTime.values;
    const int minutesEast = time.deviationHours * 60 * (time.sign == DeviationSign::East ? 1 : -1);
    field("gmt-offset", formatted("%+d", minutesEast));
    field("summer", time.automatic ? "auto" : "off");
    field("summer-start", pointText(time.start));
    field("summer-end", pointText(time.end));
    field("blue LED", std::to_string(page.values.blueLed));
}

void printSetupPages(const std::string& heading, const std::vector<SetupTabEntry>& tabs,
                     const std::function<SetupPage*(SetupTab)>& pageOf, SetupSecrets secrets) {
    std::printf("%s\n", heading.c_str());
    for (const SetupTabEntry& tab : tabs) {
        std::printf("%s\n", tab.label.c_str());
        SetupPage* page = pageOf(tab.tab);
        if (auto* channel = dynamic_cast<SetupPageChannel*>(page))
            printChannel(*channel);
        else if (auto* network = dynamic_cast<NetworkPage*>(page))
            printNetwork(*network);
        else if (auto* tcl = dynamic_cast<SetupPageTcl*>(page))
            printTcl(*tcl, secrets);
        else if (auto* misc = dynamic_cast<SetupPageMisc*>(page))
            printMisc(*misc, secrets);
        else if (auto* firewall = dynamic_cast<FirewallPage*>(page))
            printFirewall(*firewall);
        else if (auto* reader = dynamic_cast<SetupPageReader*>(page))
            printReader(*reader);
        else if (auto* lbus = dynamic_cast<SetupPageLbus*>(page))
            printLbus(*lbus);
    }
}

} // namespace

void printSetupPages(CTerminalSetup& editor, SetupSecrets secrets) {
    printSetupPages(
        editor.title() + ", block version " + editor.actualVersion() + ", access grade " +
            std::to_string(editor.grade()),
        editor.tabs(), [&](SetupTab tab) { return editor.page(tab); }, secrets);
}

int printSetupFile(const std::string& path, SetupSecrets secrets) {
    if (const std::string refusal = checkRegularInput(path); !refusal.empty())
        return fail(refusal);
    const TerminalFields terminal; // of no known product: the pages of a TCL terminal
    UserParam file;
    if (!file.getFileUserParam(path, terminal))
        return fail(path + ": the program refuses this block (config info says why)");
    const std::string actualVersion(
        kConfigVersions[static_cast<std::size_t>(file.actualVersionIndex())].text);
    if (!file.setUserParamVersion(file.getNewestVersion(), terminal))
        return fail(path + ": the block cannot be converted to " + file.getNewestVersion());
    SetupBlock block;
    file.copyUserParamOut(block.bytes());
    const CToolBoxLang language(localeIdFromEnvironment());
    ConsoleProgressLine progress;
    ConsoleMessageBoxes messageBoxes(progress);
    const SetupContext context{language, messageBoxes, terminal, 3, actualVersion, lanInterfaces()};
    const SetupPendingKeys keys;
    const SetupPageParts parts{context,
                               block,
                               keys,
                               {file.getPassword(1), file.getPassword(2), file.getPassword(3)},
                               SetupSummerTime::localToday};
    std::vector<SetupTabEntry> tabs;
    std::map<SetupTab, std::unique_ptr<SetupPage>> pages;
    for (const SetupPageRow& row : setupPageRows()) {
        if (!row.shown(context))
            continue;
        tabs.push_back({row.tab, language.GetText(row.label)});
        pages[row.tab] = row.make(parts);
        pages[row.tab]->Get(block);
    }
    printSetupPages(
        path + ", block version " + actualVersion, tabs, [&](SetupTab tab) { return pages.at(tab).get(); },
        secrets);
    return kExitSuccess;
}

} // namespace kestrix::cli

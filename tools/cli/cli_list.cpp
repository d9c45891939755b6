// kestrix-cli search|add|read: the main window's terminal list from the
// command line. Each subcommand starts the main window's logic (CToolBoxDlg)
// with a console view, fills the list the way the window's search button, add
// field or list-file entry does, prints the sorted list and can save it as a
// list file.
#include "cli_arguments.h"
#include "cli_common.h"
#include "console_view.h"

#include "lan/lan_interfaces.h"
#include "mainwindow/main_dialog.h"
#include "messages/product.h"
#include "platform/file_replacement.h"
#include "protocol/t7000ip.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix::cli {
namespace {

// The longest text the window's name/address field takes.
constexpr std::size_t kMaximumAddText = 65;

struct OrderName {
    std::string_view name;
    SortOrder order;
};
constexpr std::array<OrderName, 5> kOrderNames = {{
    {"product", SortOrder::Product},
    {"serialno", SortOrder::SerialNumber},
    {"ipaddr", SortOrder::IPAddress},
    {"dnsname", SortOrder::DNSName},
    {"firmware", SortOrder::Firmware},
}};

} // namespace

std::optional<std::string> parseListOptions(const std::vector<std::string>& words, ListSource source,
                                            ListOptions& options) {
    bool operandsOnly = false;
    for (std::size_t index = 0; index < words.size(); ++index) {
        const std::string& word = words[index];
        if (operandsOnly || word.empty() || word[0] != '-') {
            options.operands.push_back(word);
            continue;
        }
        const auto value = [&]() -> std::optional<std::string> {
            if (index + 1 >= words.size())
                return std::nullopt;
            return words[++index];
        };
        if (word == "--") {
            operandsOnly = true;
        } else if (word == "--order") {
            const std::optional<std::string> name = value();
            if (!name)
                return "--order needs a value";
            const auto found = std::find_if(kOrderNames.begin(), kOrderNames.end(),
                                            [&](const OrderName& entry) { return entry.name == *name; });
            if (found == kOrderNames.end())
                return "--order takes product, serialno, ipaddr, dnsname or firmware, not '" + *name + "'";
            options.order = found->order;
        } else if (word == "--ipv6") {
            options.addresses = AddressForm::IPv6;
        } else if (word == "--short-names") {
            options.hostNames = HostNameDisplay::Short;
        } else if (word == "--format") {
            const std::optional<std::string> name = value();
            if (name == "csv")
                options.format = ExportFormat::Csv;
            else if (name == "json")
                options.format = ExportFormat::Json;
            else if (name == "table")
                options.format.reset();
            else
                return "--format takes table, csv or json" + (name ? ", not '" + *name + "'" : std::string());
        } else if (word == "--save") {
            options.saveFile = value();
            if (!options.saveFile || options.saveFile->empty())
                return "--save needs a file name";
        } else if (source == ListSource::Search && word == "--group-only") {
            options.filter = GroupFilter::CurrentGroupOnly;
        } else if (source == ListSource::Search && word == "--interface") {
            const std::optional<std::string> text = value();
            if (!text)
                return "--interface needs 'all' or an interface number";
            if (*text == "all") {
                options.selectorIndex = 0;
            } else {
                char* end = nullptr;
                errno = 0;
                const long number = std::strtol(text->c_str(), &end, 10);
                if (text->empty() || *end != '\0' || errno != 0 || number < 1 ||
                    number > LanInterfaces::kMaxEntries)
                    return "--interface takes 'all' or an interface number from 1 to " +
                           std::to_string(LanInterfaces::kMaxEntries) + ", not '" + *text + "'";
                options.selectorIndex = static_cast<int>(number);
            }
        } else {
            return "unknown option " + word;
        }
    }
    switch (source) {
    case ListSource::Search:
        if (!options.operands.empty())
            return "search takes no further words: '" + options.operands.front() + "'";
        break;
    case ListSource::Add:
        if (options.operands.empty())
            return "add needs at least one TEXT";
        for (const std::string& text : options.operands)
            if (text.empty() || text.size() > kMaximumAddText)
                return "a TEXT has 1 to 65 characters, as in the window's add field: '" + text + "'";
        break;
    case ListSource::Read:
        if (options.operands.size() != 1)
            return "read needs one FILE.rch";
        break;
    }
    return std::nullopt;
}

namespace {

// The number of characters of a UTF-8 text (the bytes that begin one).
std::size_t characterCount(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char byte) {
        return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    }));
}

std::string_view withoutPrefix(std::string_view text, std::string_view prefix) {
    if (text.starts_with(prefix))
        text.remove_prefix(prefix.size());
    return text;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// The LAN interfaces of the selector, for the message about a wrong number.
std::string interfaceChoices(const CToolBoxDlg& dialog) {
    std::string text;
    const std::vector<std::string>& entries = dialog.selectorEntries();
    for (int index = 1; index < dialog.listFileIndex() && index < static_cast<int>(entries.size()); ++index)
        text += "\n  " + std::to_string(index) + "  " + entries[static_cast<std::size_t>(index)];
    return text;
}

} // namespace

void printRows(const std::vector<TerminalRow>& rows, const CToolBoxLang& language) {
    using Line = std::array<std::string, 5>;
    std::vector<Line> lines;
    // product, kind and version, serial number, address, DNS name
    lines.push_back({language.GetText(30), language.GetText(31), language.GetText(2), language.GetText(4),
                     language.GetText(33)});
    for (const TerminalRow& row : rows)
        lines.push_back({std::string(trimmed(row.productColumn)), std::string(trimmed(row.versionColumn)),
                         std::string(trimmed(withoutPrefix(row.serialColumn, "SN: "))),
                         std::string(trimmed(row.addressLine)), std::string(trimmed(row.dnsLine))});
    std::array<std::size_t, 5> widths{};
    for (const Line& line : lines)
        for (std::size_t column = 0; column < widths.size(); ++column)
            widths[column] = std::max(widths[column], characterCount(line[column]));
    for (const Line& line : lines) {
        std::string text;
        for (std::size_t column = 0; column < widths.size(); ++column) {
            text += line[column];
            if (column + 1 < widths.size())
                text += std::string(widths[column] - characterCount(line[column]) + 2, ' ');
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        std::printf("%s\n", text.c_str());
    }
    std::fflush(stdout);
}

namespace {

int runList(const Invocation& invocation, ListSource source) {
    ListOptions options;
    if (const std::optional<std::string> error = parseListOptions(invocation.arguments, source, options))
        return usageError(invocation, *error);
    if (source == ListSource::Read) {
        if (const std::string refusal = checkRegularInput(options.operands.front()); !refusal.empty())
            return fail(refusal);
    }
    if (options.saveFile)
        if (const std::string refusal = checkReplaceableTarget(*options.saveFile); !refusal.empty())
            return fail(refusal);

    ConsoleProgressLine progress;
    ConsoleView view(progress);
    ConsoleMessageBoxes messageBoxes(progress);
    CToolBoxDlg dialog(view, messageBoxes, CommandLineSwitches{StartWarning::Suppressed, invocation.adding});
    if (!dialog.OnInitDialog())
        return kExitFailure; // the reason has been shown
    const int failuresAtStart = messageBoxes.failuresShown();
    if (invocation.groupGiven)
        dialog.engine().setT7000ipMaintGroup(invocation.maintenanceGroup);
    if (options.order)
        dialog.OnSortOrder(*options.order);
    if (options.addresses)
        dialog.OnShowIPv6(*options.addresses == AddressForm::IPv6);
    if (options.hostNames)
        dialog.OnHostNameDisplay(*options.hostNames);

    switch (source) {
    case ListSource::Search:
        if (options.selectorIndex >= dialog.listFileIndex())
            return usageError(invocation, "there is no LAN interface " +
                                              std::to_string(options.selectorIndex) +
                                              "; the interfaces are:" + interfaceChoices(dialog));
        if (options.filter)
            dialog.OnGroupFilter(*options.filter);
        dialog.OnSelectorChange(options.selectorIndex);
        dialog.OnNewTerminalList();
        break;
    case ListSource::Add:
        for (const std::string& text : options.operands) {
            messageBoxes.setSubject(text);
            dialog.OnAddIPAddr(text);
        }
        messageBoxes.setSubject("");
        break;
    case ListSource::Read:
        // A relative name is taken from the start directory, the current one.
        if (!dialog.ReadFile(options.operands.front()))
            messageBoxes.show({kProductCaption, dialog.language().GetText(20), MessageIcon::Error});
        break;
    }
    progress.clear();

    const std::vector<TerminalRow>& rows = view.rows();
    // A line of a list file left out has been named with its reason.
    const bool failed = messageBoxes.failuresShown() > failuresAtStart || view.linesLeftOut() > 0;
    if (rows.empty()) {
        if (!failed)
            std::fprintf(stderr, "kestrix-cli: no terminal found\n");
        return kExitFailure;
    }
    if (options.format) {
        std::fputs(listExportText(dialog.terminalList(), *options.format).c_str(), stdout);
        std::fflush(stdout);
    } else {
        printRows(rows, dialog.language());
    }
    if (options.saveFile) {
        view.setListFileAnswer(std::filesystem::absolute(*options.saveFile).string());
        const int warningsBefore = messageBoxes.warningsShown();
        dialog.WriteFile();
        if (messageBoxes.warningsShown() > warningsBefore)
            return kExitFailure; // "... can not be written." has been shown
    }
    return failed ? kExitFailure : kExitSuccess;
}

int searchList(const Invocation& invocation) {
    return runList(invocation, ListSource::Search);
}
int addToList(const Invocation& invocation) {
    return runList(invocation, ListSource::Add);
}
int readList(const Invocation& invocation) {
    return runList(invocation, ListSource::Read);
}

// What --help of every list subcommand ends with.
constexpr const char* kListOptionsHelp =
    "  LIST-OPTIONS:\n"
    "    --order product|serialno|ipaddr|dnsname|firmware\n"
    "                     the order of the list (default: Kestrix.ini's, else product)\n"
    "    --ipv6           show IPv6 addresses\n"
    "    --short-names    show host names up to their first \".\"\n"
    "    --save FILE.rch  also write the list as a list file (not when it is empty)\n"
    "    --format table|csv|json\n"
    "                     table (default): product, kind and version, serial\n"
    "                     number, address and DNS name of each terminal; csv: a\n"
    "                     header row and one row per terminal (RFC 4180); json:\n"
    "                     one array of objects. Both hold the list file's fields\n"
    "                     (serial_number, ipv4_address, interface_address,\n"
    "                     ipv4_dns_name, ipv6_address, ipv6_link_local,\n"
    "                     ipv6_dns_name) and product_name, kind (TCL, SRV, MON),\n"
    "                     firmware_version, monitor_version, authentication\n"
    "                     (ID-based, IP-based) and accepted (yes/no; in JSON\n"
    "                     true/false).\n"
    "  The list goes to standard output, messages to standard error as\n"
    "  \"kestrix-cli: TEXT\"; a question is answered Cancel or No. Exit code 1\n"
    "  when no terminal is listed or a failure was reported (a terminal not\n"
    "  found, a routing entry missing, an IP address used twice, a list file not\n"
    "  written).\n";

} // namespace

std::vector<Subcommand> listSubcommands() {
    // Each subcommand's own help followed by that of the list options.
    static const std::string searchHelp =
        std::string("  Searches the LAN for terminals by broadcast (\"find\" over IPv6 and IPv4, then\n"
                    "  \"echo\" over IPv4), on all LAN interfaces or on the N-th one, and locates each.\n"
                    "    --interface all|N  all LAN interfaces (default) or the N-th (1, 2, ...)\n"
                    "    --group-only       keep only the terminals of the maintenance group --group N\n"
                    "  -a: a terminal that find listed without accepted authentication is tried\n"
                    "  once more with IP-based authentication when it answers echo.\n") +
        kListOptionsHelp;
    static const std::string addHelp =
        std::string("  Locates and lists the terminal of each TEXT (at most 65 characters): an\n"
                    "  address, a DNS name, \"SN;IP;DNS\", \"SN;;\" or a line of a list file.\n"
                    "  -a: a terminal whose ID-based authentication failed is added with IP-based\n"
                    "  authentication.\n") +
        kListOptionsHelp;
    static const std::string readHelp =
        std::string("  Locates and lists the terminals of a list file, one line each (a line whose\n"
                    "  terminal does not answer is left out).\n") +
        kListOptionsHelp;
    return {
        {"search", nullptr, "[--group N] [-a] search [--interface all|N] [--group-only] [LIST-OPTIONS]",
         searchHelp.c_str(), searchList, Startup::MainDialog},
        {"add", nullptr, "[--group N] [-a] add [LIST-OPTIONS] TEXT...", addHelp.c_str(), addToList,
         Startup::MainDialog},
        {"read", nullptr, "[--group N] read [LIST-OPTIONS] FILE.rch", readHelp.c_str(), readList,
         Startup::MainDialog},
    };
}

} // namespace kestrix::cli

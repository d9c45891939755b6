// The terminal list as CSV or JSON.
#include "mainwindow/list_export.h"

#include "mainwindow/terminal_list.h"
#include "platform/record_text.h"
#include "terminal/terminal.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <vector>

namespace kestrix {

namespace {

// The names of the record's fields: the list-file line's seven, then the rest.
constexpr std::array<std::string_view, 13> kFieldNames = {
    "serial_number",   "ipv4_address",   "interface_address", "ipv4_dns_name", "ipv6_address",
    "ipv6_link_local", "ipv6_dns_name",  "product_name",      "kind",          "firmware_version",
    "monitor_version", "authentication", "accepted"};
constexpr std::size_t kAcceptedField = 12;

std::vector<std::string> recordOf(Terminal& terminal) {
    std::vector<std::string> fields;
    const std::string line = terminal.fileLine();
    std::size_t start = 0;
    for (std::size_t end = line.find(';'); end != std::string::npos; end = line.find(';', start)) {
        fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    std::string kind = terminal.kindPrefix();
    kind.erase(kind.find_last_not_of(' ') + 1);
    fields.push_back(terminal.ProductName);
    fields.push_back(kind);
    fields.push_back(terminal.FirmwareVersion);
    fields.push_back(terminal.MonitorVersion);
    fields.push_back(terminal.IDBasedAuth ? "ID-based" : "IP-based");
    fields.push_back(terminal.AuthOK ? "yes" : "no");
    return fields;
}

std::string jsonObject(const std::vector<std::string>& fields) {
    std::string text = "  {";
    for (std::size_t index = 0; index < kFieldNames.size(); ++index) {
        text += (index == 0 ? "" : ", ") + jsonString(kFieldNames[index]) + ": ";
        if (index == kAcceptedField)
            text += fields[index] == "yes" ? "true" : "false";
        else
            text += jsonString(fields[index]);
    }
    return text + "}";
}

} // namespace

std::optional<ExportFormat> exportFormatOfPath(std::string_view path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char character) { return static_cast<char>(std::tolower(character)); });
    if (extension == ".csv")
        return ExportFormat::Csv;
    if (extension == ".json")
        return ExportFormat::Json;
    return std::nullopt;
}

std::string listExportText(TerminalList& list, ExportFormat format) {
    std::string text;
    if (format == ExportFormat::Csv)
        text = csvLine(std::vector<std::string>(kFieldNames.begin(), kFieldNames.end()));
    else
        text = "[";
    for (std::size_t index = 0; index < list.size(); ++index) {
        const std::vector<std::string> fields = recordOf(list.at(index));
        if (format == ExportFormat::Csv)
            text += csvLine(fields);
        else
            text += (index == 0 ? "\n" : ",\n") + jsonObject(fields);
    }
    return format == ExportFormat::Csv ? text : text + (list.size() == 0 ? "]\n" : "\n]\n");
}

} // namespace kestrix

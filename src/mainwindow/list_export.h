#pragma once

// The terminal list for other programs: CSV with a header row or one JSON
// array of objects, one record per terminal in list order. Each record holds
// the seven fields of a list-file line and what the list shows besides:
// product name, kind, firmware and monitor versions, authentication mode and
// whether the terminal accepted the maintenance group.
//
// It writes no file and asks nothing: the main window's Export and the
// command line's --format decide where the text goes.
#include <optional>
#include <string>
#include <string_view>

namespace kestrix {

class TerminalList;

enum class ExportFormat { Csv, Json };

// The format a file name asks for by its extension (".csv" or ".json", any
// case), or nothing.
std::optional<ExportFormat> exportFormatOfPath(std::string_view path);

// The list as text of the format. DNS names still missing are looked up
// first, as for a list file.
std::string listExportText(TerminalList& list, ExportFormat format);

} // namespace kestrix

#pragma once

// The readers of the subcommands' own words that are more than a count: each
// reads words into values and answers the usage error; none runs anything.
#include "config/config_block.h"
#include "mainwindow/list_export.h"
#include "mainwindow/list_presentation.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kestrix::cli {

// Reads a subcommand's words one by one: "--name VALUE" options and operands.
class WordReader {
public:
    explicit WordReader(const std::vector<std::string>& words) : words_(words) {}
    bool done() const { return index_ >= words_.size(); }
    const std::string& next() { return words_[index_++]; }
    // The word after an option; nothing when the words end.
    std::optional<std::string> value() {
        if (done())
            return std::nullopt;
        return next();
    }

private:
    const std::vector<std::string>& words_;
    std::size_t index_ = 0;
};

// Where the list's terminals come from (search, add, read).
enum class ListSource { Search, Add, Read };

// The command line of one list subcommand. Presentation values that are not
// given stay as the settings file "Kestrix.ini" sets them.
struct ListOptions {
    std::optional<SortOrder> order;
    std::optional<AddressForm> addresses;
    std::optional<HostNameDisplay> hostNames;
    std::optional<std::string> saveFile;
    std::optional<ExportFormat> format; // --format csv|json; nothing prints the table
    int selectorIndex = 0;             // search: 0 all LAN connections, N the N-th interface
    std::optional<GroupFilter> filter; // search: --group-only
    std::vector<std::string> operands; // add: the texts; read: the file
};

// Reads a list subcommand's words into options; answers the usage error, or
// nothing when the words are right.
std::optional<std::string> parseListOptions(const std::vector<std::string>& words, ListSource source,
                                            ListOptions& options);

// The words of config convert.
struct ConvertArguments {
    std::vector<std::string> files; // IN.cfg and OUT.cfg
    std::map<std::string, std::string> options;
};

// Reads config convert's words; the text of a usage error, empty when they are right.
std::string readConvertArguments(const std::vector<std::string>& words, ConvertArguments& arguments);

// The owner described by --product, --kind, --serial and --firmware; the
// text of a usage error, empty when they are right.
std::string ownerFromProperties(std::map<std::string, std::string>& options, BlockOwner& owner);

// The words of tcl.
struct TclArguments {
    std::string terminal;
    std::optional<std::string> keyText;  // --key-text
    std::optional<std::string> password; // --password
    bool setTime = false;
    std::optional<std::string> file;
    int quietMilliseconds = 1000;
    // As the statement box would hold them: "\e" made ESC and "\\" a backslash.
    std::vector<std::string> statements;
};

// A statement as typed on the command line or read from standard input:
// "\e" stands for ESC and "\\" for a backslash; any other backslash stays.
std::string tclStatement(const std::string& word);

// Reads tcl's words; the text of a usage error, empty when they are right.
std::string readTclArguments(const std::vector<std::string>& words, TclArguments& arguments);

} // namespace kestrix::cli

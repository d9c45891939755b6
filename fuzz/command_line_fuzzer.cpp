// Reads any words as a command line: the program's switches, and what
// kestrix-cli reads before it runs anything (the options before the
// subcommand, the subcommand, and the subcommand's own words where more than
// their count is read). Checks what an accepted command line must hold.
//
// Input: the words, separated by zero bytes (as the system hands them over).
#include "mainwindow/command_line.h"
#include "terminal/terminal_fields.h"

#include "cli_arguments.h"
#include "cli_common.h"

#include "check.h"
#include "input_parts.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace kestrix;
using namespace kestrix::cli;

void readListWords(ListSource source, const std::vector<std::string>& words) {
    ListOptions options;
    if (parseListOptions(words, source, options))
        return;
    check(options.selectorIndex >= 0 && options.selectorIndex <= 10);
    check(!options.saveFile || !options.saveFile->empty());
    if (source == ListSource::Read)
        check(options.operands.size() == 1);
    for (const std::string& text : options.operands)
        check(source != ListSource::Add || (!text.empty() && text.size() <= 65));
}

void readConvertWords(const std::vector<std::string>& words) {
    ConvertArguments arguments;
    if (!readConvertArguments(words, arguments).empty())
        return;
    check(arguments.files.size() == 2 && configVersionIndex(arguments.options.at("--to")).has_value());
    if (arguments.options.contains("--terminal"))
        return;
    BlockOwner owner;
    if (ownerFromProperties(arguments.options, owner).empty())
        check(isValidSerialNumber(owner.serialNumber) && owner.productType >= 1 && owner.productType <= 18);
}

// The subcommand's own reading of its words, where it reads more than their count.
void readSubcommandWords(const Subcommand& subcommand, const std::vector<std::string>& words) {
    const std::string_view group = subcommand.group;
    const std::string_view name = subcommand.name == nullptr ? "" : subcommand.name;
    if (group == "search")
        readListWords(ListSource::Search, words);
    else if (group == "add")
        readListWords(ListSource::Add, words);
    else if (group == "read")
        readListWords(ListSource::Read, words);
    else if (group == "config" && name == "convert")
        readConvertWords(words);
    else if (group == "file" && words.size() == 3) {
        std::string address;
        if (tftpServerAddress(words[0], address))
            check(address.find(':') != std::string::npos);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> words;
    if (!bytes.empty())
        for (std::string_view word : splitAt(bytes, '\0'))
            words.emplace_back(word);

    // The program: the words as the system hands them over, and the whole
    // command line as one text.
    parseCommandLine(words);
    parseCommandLine(std::string(bytes));

    static const std::vector<Subcommand> subcommands = allSubcommands();
    const CommandLine line = readCommandLine(words, subcommands);
    switch (line.action) {
    case CommandLine::Action::Failure:
        check(!line.failure.empty());
        break;
    case CommandLine::Action::Run:
        check(line.invocation.usage == line.subcommand->usage && line.invocation.tftpPort >= 1);
        readSubcommandWords(*line.subcommand, line.invocation.arguments);
        break;
    case CommandLine::Action::ShowHelp:
        check(line.subcommand != nullptr);
        break;
    case CommandLine::Action::ListUsage:
    case CommandLine::Action::UsageError:
        break;
    }
    return 0;
}

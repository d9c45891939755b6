// kestrix-cli config fetch|info|convert: the terminal's configuration block
// (talmo.cfg) as a local file, read and converted the way the program does.
#include "cli_arguments.h"
#include "cli_common.h"
#include "cli_config.h"

#include "platform/file_replacement.h"
#include "config/user_param.h"
#include "lan/lan_interfaces.h"
#include "messages/toolbox_lang.h"
#include "protocol/t7000ip.h"
#include "terminal/product_table.h"
#include "terminal/terminal.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <map>

namespace kestrix::cli {

std::string versionOf(const UserParam& param) {
    return std::string(kConfigVersions[static_cast<std::size_t>(param.actualVersionIndex())].text);
}

std::string fetchBlock(const Terminal& terminal, UserParam& param) {
    const bool accepted = param.getTerminalUserParam(terminal);
    const std::span<const std::uint8_t> received = param.receivedBytes();
    if (!accepted && received.empty())
        return "talmo.cfg cannot be fetched by TFTP: " + param.transferError();
    if (!accepted)
        return "its talmo.cfg (" + std::to_string(received.size()) +
               " bytes) is no block the program accepts; nothing written (file get fetches it as it is)";
    return {};
}

namespace {

int configFetch(const Invocation& invocation) {
    if (invocation.arguments.size() != 2)
        return usageError(invocation, "config fetch needs TERMINAL and FILE.cfg");
    const std::string& path = invocation.arguments[1];
    // A refused FILE is known before the terminal is asked.
    FileReplacement replacement(path, FileSecrecy::OwnerOnly);
    if (!replacement.isOpen())
        return fail(replacement.error());
    return withTerminal(invocation, invocation.arguments[0], [&](Terminal& terminal) {
        UserParam param;
        const std::string name = "terminal " + terminal.SerialNumber;
        if (const std::string refusal = fetchBlock(terminal, param); !refusal.empty())
            return fail(name + ": " + refusal);
        const std::span<const std::uint8_t> received = param.receivedBytes();
        // The bytes as the terminal sent them, its secret fields enciphered.
        if (!replacement.write(received) || !replacement.commit())
            return fail(replacement.error());
        std::printf("%s: version %s, %zu bytes from %s\n", path.c_str(), versionOf(param).c_str(),
                    received.size(), name.c_str());
        return kExitSuccess;
    });
}

const std::vector<std::string> kConvertOptions = {"--to",   "--terminal", "--product",
                                                  "--kind", "--serial",   "--firmware"};
const std::vector<std::string> kPropertyOptions = {"--product", "--kind", "--serial", "--firmware"};

bool readNumber(const std::string& text, int& value) {
    if (text.empty() || text.size() > 6 ||
        !std::all_of(text.begin(), text.end(),
                     [](unsigned char character) { return std::isdigit(character) != 0; }))
        return false;
    value = std::stoi(text);
    return true;
}

} // namespace

std::string readConvertArguments(const std::vector<std::string>& words, ConvertArguments& arguments) {
    for (std::size_t index = 0; index < words.size(); ++index) {
        const std::string& word = words[index];
        if (!word.starts_with("--")) {
            arguments.files.push_back(word);
            continue;
        }
        if (std::find(kConvertOptions.begin(), kConvertOptions.end(), word) == kConvertOptions.end())
            return "unknown option " + word;
        if (index + 1 == words.size())
            return word + " needs a value";
        if (!arguments.options.emplace(word, words[++index]).second)
            return word + " is given twice";
    }
    if (arguments.files.size() != 2)
        return "config convert needs IN.cfg and OUT.cfg";
    if (!arguments.options.contains("--to"))
        return "config convert needs --to VERSION";
    if (!configVersionIndex(arguments.options["--to"])) {
        std::string known;
        for (const ConfigVersion& version : kConfigVersions)
            known += " " + std::string(version.text);
        return "unknown version " + arguments.options["--to"] + " (the versions are" + known + ")";
    }
    std::string missing;
    for (const std::string& option : kPropertyOptions)
        if (!arguments.options.contains(option))
            missing += " " + option;
    const bool anyProperty =
        std::any_of(kPropertyOptions.begin(), kPropertyOptions.end(),
                    [&](const std::string& option) { return arguments.options.contains(option); });
    if (arguments.options.contains("--terminal") && anyProperty)
        return "give either --terminal or the terminal's properties, not both";
    if (!arguments.options.contains("--terminal") && !anyProperty)
        return "the conversion needs the terminal the block belongs to: --terminal TERMINAL, or --product "
               "CODE "
               "--kind KIND --serial SN --firmware VERSION";
    if (!arguments.options.contains("--terminal") && !missing.empty())
        return "the terminal's properties need all four options; missing:" + missing;
    return {};
}

std::string ownerFromProperties(std::map<std::string, std::string>& options, BlockOwner& owner) {
    TerminalFields terminal;
    if (!readNumber(options["--product"], terminal.ProductType) ||
        productCpuName(terminal.ProductType, 0, CpuNameForm::Long) == "?")
        return "--product must be a product code of the terminal record (1 to 18)";
    terminal.PlatformGroup = productPlatformGroup(terminal.ProductType);
    const std::vector<int> kinds = {tcl_kind::Pze,          tcl_kind::Acm, tcl_kind::Et,
                                    tcl_kind::Server,       tcl_kind::Bde, tcl_kind::Monitor,
                                    tcl_kind::ServerMonitor};
    if (!readNumber(options["--kind"], terminal.TclKind) ||
        std::find(kinds.begin(), kinds.end(), terminal.TclKind) == kinds.end())
        return "--kind must be a kind code of the terminal record: 0 PZE, 1 ACM, 2 ET, 3 BSM (server), 4 "
               "BDE, "
               "10 monitor, 11 server in monitor";
    terminal.SerialNumber = options["--serial"];
    if (!isValidSerialNumber(terminal.SerialNumber))
        return "--serial must be a serial number of 1 to 16 characters";
    const std::string& firmware = options["--firmware"];
    const auto digit = [&](std::size_t at) {
        return std::isdigit(static_cast<unsigned char>(firmware[at])) != 0;
    };
    if (firmware.size() != 4 || !digit(0) || !digit(2) || !digit(3) ||
        (firmware[1] != '.' && std::isalpha(static_cast<unsigned char>(firmware[1])) == 0))
        return "--firmware must be a version such as 6.20 (or 6a12 for an intermediate version)";
    if (terminal.isMonitorMode())
        terminal.MonitorVersion = firmware;
    else
        terminal.FirmwareVersion = firmware;
    owner = blockOwnerOf(terminal);
    return {};
}

namespace {

int convertBlock(const ConvertArguments& arguments, const BlockOwner& owner) {
    const std::string& input = arguments.files[0];
    const std::string& output = arguments.files[1];
    const std::string& target = arguments.options.at("--to");
    UserParam param;
    if (!param.getFileUserParam(input, owner))
        return fail(input + " is no block the program accepts (config info tells why); nothing written");
    const bool targetBigEndian = isBigEndianVersion(target);
    if (targetBigEndian != (param.byteOrder() == BlockByteOrder::BigEndian))
        return fail(input + " is a " + (targetBigEndian ? "little" : "big") + "-endian block and " + target +
                    " a " + (targetBigEndian ? "big" : "little") +
                    "-endian version: a conversion keeps the byte order; nothing written");
    const std::string source = versionOf(param);
    if (!param.setUserParamVersion(target, owner))
        return fail("the block of version " + source + " cannot be converted to " + target +
                    "; nothing written");
    if (!param.setFileUserParam(output, owner))
        return fail(param.fileError() + "; nothing written");
    std::printf("%s: version %s converted to %s, %zu bytes\n", output.c_str(), source.c_str(), target.c_str(),
                param.actualLength());
    return kExitSuccess;
}

int configConvert(const Invocation& invocation) {
    ConvertArguments arguments;
    const std::string wrong = readConvertArguments(invocation.arguments, arguments);
    if (!wrong.empty())
        return usageError(invocation, wrong);
    // Files that cannot serve are refused before any terminal is asked.
    if (const std::string refusal = checkRegularInput(arguments.files[0]); !refusal.empty())
        return fail(refusal);
    if (const std::string refusal = checkReplaceableTarget(arguments.files[1]); !refusal.empty())
        return fail(refusal);
    if (arguments.options.contains("--terminal"))
        return withTerminal(invocation, arguments.options["--terminal"], [&](Terminal& terminal) {
            return convertBlock(arguments, blockOwnerOf(terminal));
        });
    BlockOwner owner;
    const std::string wrongProperty = ownerFromProperties(arguments.options, owner);
    if (!wrongProperty.empty())
        return usageError(invocation, wrongProperty);
    return convertBlock(arguments, owner);
}

} // namespace

std::vector<Subcommand> configSubcommands() {
    return {
        {"config", "fetch", "[--group N] [-a] config fetch TERMINAL FILE.cfg",
         "  Fetches the configuration block (talmo.cfg) of TERMINAL by TFTP and writes it\n"
         "  into FILE.cfg as the terminal sent it, its secret fields enciphered. Nothing\n"
         "  is written when the program would refuse the block.\n",
         configFetch},
        {"config", "info", "config info FILE.cfg [--show-secrets] [--server]",
         "  Shows version, length, byte order and CRC of a configuration block file and,\n"
         "  from version 6.00 on, its named parameters. Passwords and the TCL data key\n"
         "  are shown only with --show-secrets; --server says that the block is a\n"
         "  server's, whose TCL application area holds no secrets. Exit code 0 when the\n"
         "  program accepts the block, 1 when it refuses it.\n",
         configInfo, Startup::Offline},
        {"config", "convert",
         "[--group N] config convert IN.cfg --to VERSION OUT.cfg (--terminal TERMINAL | --product CODE "
         "--kind KIND "
         "--serial SN --firmware VERSION)",
         "  Converts the block in IN.cfg to VERSION, step by step, and writes it into\n"
         "  OUT.cfg, enciphered and with a new CRC; OUT.cfg is replaced only by a complete\n"
         "  file, and nothing is written on failure. Some steps read properties of the\n"
         "  terminal the block belongs to: from --terminal (located like info), or given\n"
         "  as its product code, kind code, serial number and firmware version. A block\n"
         "  keeps its byte order: VERSION must be one of the same byte order (odd last\n"
         "  digit for big-endian terminals).\n",
         configConvert, Startup::Offline},
    };
}

} // namespace kestrix::cli

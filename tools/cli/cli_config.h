#pragma once

// The parts of kestrix-cli config that live in their own source files.
#include "cli_common.h"

#include "config/block_diff.h"

#include <string>

namespace kestrix {
class CTerminalSetup;
class Terminal;
class UserParam;
}

namespace kestrix::cli {

// The version text of the block held ("6.20").
std::string versionOf(const UserParam& param);
// Fetches the terminal's block as config fetch does; empty when the program
// accepts it, else why not.
std::string fetchBlock(const Terminal& terminal, UserParam& param);

// The words of config info and config diff: the files, --show-secrets and
// --server (the block is a server's, without a TCL application area).
struct BlockFileArguments {
    std::vector<std::string> files;
    SecretDisplay secrets = SecretDisplay::Masked;
    BlockOwner owner;
};
// Reads them; the text of a usage error, empty when they are right.
std::string readBlockFileArguments(const std::vector<std::string>& words, BlockFileArguments& arguments);

// config diff A.cfg B.cfg [--show-secrets] [--server]
int configDiff(const Invocation& invocation);

// config info FILE.cfg [--show-secrets] [--server]
int configInfo(const Invocation& invocation);

// Whether config show prints passwords.
enum class SetupSecrets { Hidden, Shown };

// Prints the setup editor's tabs and the fields of its channel A, TCP/IP,
// TCL and miscellaneous pages under the names config set takes.
void printSetupPages(CTerminalSetup& editor, SetupSecrets secrets);
// The same for a block file, as a TCL terminal of grade 3 shows it; the exit code.
int printSetupFile(const std::string& path, SetupSecrets secrets);

} // namespace kestrix::cli

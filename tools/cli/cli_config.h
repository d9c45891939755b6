#pragma once

// The parts of kestrix-cli config that live in their own source files.
#include "cli_common.h"

#include <string>

namespace kestrix {
class CTerminalSetup;
}

namespace kestrix::cli {

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

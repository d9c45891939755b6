#pragma once

// The parts of kestrix-cli config that live in their own source files.
#include "cli_common.h"

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

} // namespace kestrix::cli

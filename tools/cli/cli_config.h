#pragma once

// The parts of kestrix-cli config that live in their own source files.
#include "cli_common.h"

namespace kestrix::cli {

// config info FILE.cfg [--show-secrets] [--server]
int configInfo(const Invocation& invocation);

} // namespace kestrix::cli

#pragma once

// The subcommands of kestrix-cli keyboard that live in their own source files.
#include "cli_common.h"

namespace kestrix::cli {

// keyboard convert IN OUT --format xml|map|com
int keyboardConvert(const Invocation& invocation);
// keyboard show FILE
int keyboardShow(const Invocation& invocation);

} // namespace kestrix::cli

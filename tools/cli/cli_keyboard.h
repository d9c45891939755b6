#pragma once

// kestrix-cli keyboard get|put|convert|show: the keyboard layout of a
// terminal and its files. get and put talk to a terminal
// (cli_keyboard.cpp); convert and show work on local files
// (cli_keyboard_files.cpp). keyboardSubcommands() in cli_common.h lists them.
#include "cli_common.h"

#include "keyboard/keyb_file.h"

#include <optional>
#include <string>

namespace kestrix::cli {

// keyboard get TERMINAL OUT
int keyboardGet(const Invocation& invocation);
// keyboard put TERMINAL IN [--no-reset] [--force]
int keyboardPut(const Invocation& invocation);
// keyboard convert IN OUT --format xml|map|com
int keyboardConvert(const Invocation& invocation);
// keyboard show FILE
int keyboardShow(const Invocation& invocation);

// "XML", "MAP", "COM" ("no" for none).
const char* keybFormName(KeybFileForm form);
// Loads a local file as the editor does (an input that is no regular file
// is refused first); the failure line's exit code (1) when it is refused.
std::optional<int> loadKeyboardFile(const std::string& path, KeybFile& file);

} // namespace kestrix::cli

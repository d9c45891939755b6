#pragma once

// The main window's command-line switches.
#include "mainwindow/list_presentation.h"

#include <string>
#include <vector>

namespace kestrix {

// Whether the start-up warning dialog is shown ("-e" suppresses it).
enum class StartWarning { Show, Suppressed };

struct CommandLineSwitches {
    StartWarning warning = StartWarning::Show;
    AddingMode adding = AddingMode::Normal; // "-a": Alternative

    bool operator==(const CommandLineSwitches&) const = default;
};

// Reads the switches from a command line taken as tokens by the word reader's
// rules (blanks separate tokens; single or double quotes enclose one, a
// doubled quote inside stands for one; "=" is a token of its own): a token
// beginning with "-e" suppresses the warning, one beginning with "-a" sets the
// alternative adding mode; every other token is ignored.
CommandLineSwitches parseCommandLine(const std::string& commandLine);

// The same for the words of a program's argv (after the program name): they
// are joined with blanks into one command line first.
CommandLineSwitches parseCommandLine(const std::vector<std::string>& arguments);

} // namespace kestrix

#include "mainwindow/command_line.h"

#include "protocol/word_reader.h"

namespace kestrix {

CommandLineSwitches parseCommandLine(const std::string& commandLine) {
    CommandLineSwitches switches;
    for (const std::string& token : splitWords(commandLine)) {
        if (token.starts_with("-e"))
            switches.warning = StartWarning::Suppressed;
        else if (token.starts_with("-a"))
            switches.adding = AddingMode::Alternative;
    }
    return switches;
}

CommandLineSwitches parseCommandLine(const std::vector<std::string>& arguments) {
    std::string commandLine;
    for (const std::string& argument : arguments) {
        if (!commandLine.empty())
            commandLine += ' ';
        commandLine += argument;
    }
    return parseCommandLine(commandLine);
}

} // namespace kestrix

#pragma once

#include <string>
#include <system_error>

namespace kestrix {

// The start directory: where the trace file, the settings file, the terminal
// list files, the firmware depot and the TCL test programs are taken from.
// A program run where it was built, or started from a folder that holds
// "Kestrix.ini", uses the process's current directory at start, never the
// directory of the executable. An installed program (its pages lie in the
// data folder beside its bin folder) started from any other folder uses the
// user's own folder $XDG_CONFIG_HOME/kestrix (~/.config/kestrix): the window
// for all of these files (it makes the folder when missing), the command line
// only for the settings file and the trace file, its other files being the
// ones named on its command line. The help pages and the licence page come
// from the installed data folder, or from the start directory of a program
// that is not installed.

// Who starts.
enum class StartUse {
    Window,      // keeps every file in the start directory
    CommandLine, // takes only the settings file and the trace file from there
};

// Which folder holds the settings file.
enum class StartLayout {
    CurrentFolder, // the current directory
    PerUser,       // the installed program's per-user folder
};

struct StartFolders {
    StartLayout layout = StartLayout::CurrentFolder;
    std::string files;    // the start directory
    std::string settings; // the folder of the settings file and the trace file
    std::string pages;    // the folder of the help pages and the licence page
};

// The choice, without looking at the file system: current is the current
// directory, settingsFileInCurrent whether it holds "Kestrix.ini",
// installedPages the installed data folder (empty for a program that is not
// installed), perUser the per-user folder.
StartFolders chooseStartFolders(StartUse use, const std::string& current, bool settingsFileInCurrent,
                                const std::string& installedPages, const std::string& perUser);

// The per-user folder from the values of XDG_CONFIG_HOME and HOME (null when
// unset): "<XDG_CONFIG_HOME>/kestrix" when that is an absolute path, else
// "<HOME>/.config/kestrix"; empty when neither gives a folder.
std::string perUserFolder(const char* configHome, const char* home);

// Makes the window's per-user folder (mode 0700) when missing and copies the
// TCL test programs of the pages folder into it when it has none. False with
// the system's error when the folder cannot be made; a failed copy only
// leaves the console without test programs.
bool preparePerUserFolder(const StartFolders& folders, std::error_code& error);

// Who the program is: a command-line program says so once, before the first
// initStartDirectory(); without it, the window.
void setStartUse(StartUse use);

// Reads the current directory and settles the folders for the whole run (one
// trailing slash removed); for the window, prepares a per-user folder.
// Answers false when the current directory cannot be read or the per-user
// folder cannot be made, with the system's error in *error when asked for.
bool initStartDirectory(std::error_code* error = nullptr);
// The directory settled by initStartDirectory(); empty before.
const std::string& startDirectory();
// A file name in the start directory.
std::string startDirectoryFile(const std::string& name);
// The folder of the settings file and the trace file.
const std::string& settingsDirectory();
// The settings file as it is opened and named in messages: "Kestrix.ini" in
// the current folder, its full path in the per-user folder.
std::string settingsFileName();
// A help page or the licence page by its file name.
std::string pageFile(const std::string& name);

} // namespace kestrix

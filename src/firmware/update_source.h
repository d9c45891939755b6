#pragma once

#include "firmware/update_files.h"

#include <optional>
#include <string>

namespace kestrix {

class Terminal;

// What a per-terminal update asks of the firmware update dialog's choice of
// depot versions, languages and options (the depot part implements it). The
// calls come from the update workers, two at a time: an implementation must
// not change its choice while updates run (the dialog disables it).
class UpdateSource {
public:
    virtual ~UpdateSource() = default;

    // Whether the description file of the terminal's depot has the
    // terminal's section (in the TCL depot the short CPU name will do).
    virtual bool hasSection(const Terminal& terminal) const = 0;
    // The text for a terminal without a section: "Diese TCL-Version gibt es
    // nicht für ein" (or the server text) and the terminal's product name.
    virtual std::string notConvenientText(const Terminal& terminal) const = 0;
    // The files to send to the terminal and the three version values.
    // Nothing on failure: the reason has then been shown in the slot and traced.
    virtual std::optional<UpdateFileList> GetUpdateFiles(Terminal& terminal, int slot) = 0;
    virtual UpdateOptions options() const = 0;
    // The directory the dialog was opened in (absolute): "TALMOUpdateDone.txt"
    // is written into it.
    virtual std::string programDirectory() const = 0;
    // The folder that holds the depot's "TCL", "Server" and "pcmcia" folders
    // (absolute): "FirmwareDir" in the program directory unless the command
    // line names another.
    virtual std::string depotRoot() const = 0;
};

} // namespace kestrix

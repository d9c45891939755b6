#include "firmware/firmware_remote_name.h"

#include "terminal/terminal_fields.h"

#include <algorithm>

namespace kestrix {

namespace {

constexpr std::string_view kPcmciaFolder = "pcmcia";

// The part of the path below the depot root; empty for a file that lies elsewhere.
std::string_view belowDepot(std::string_view localPath, std::string_view depotRoot) {
    while (depotRoot.ends_with('/'))
        depotRoot.remove_suffix(1);
    if (depotRoot.empty() || !localPath.starts_with(depotRoot) || localPath.size() <= depotRoot.size() ||
        localPath[depotRoot.size()] != '/')
        return {};
    return localPath.substr(depotRoot.size());
}

// The name the file is known by on the terminal, before its folder is put in front.
std::string plainName(std::string_view localPath, std::string_view depotRoot) {
    const std::string_view below = belowDepot(localPath, depotRoot);
    if (const std::size_t pcmcia = below.find(kPcmciaFolder); pcmcia != std::string_view::npos) {
        // The driver folder stays part of the name, in the terminal's form.
        std::string name(below.substr(std::min(below.size(), pcmcia + kPcmciaFolder.size() + 1)));
        for (char& character : name)
            if (character == '/')
                character = '\\';
        return name;
    }
    const std::size_t slash = localPath.rfind('/');
    return std::string(slash == std::string_view::npos ? localPath : localPath.substr(slash + 1));
}

} // namespace

std::string remoteFileName(std::string_view localPath, std::string_view depotRoot,
                           const TerminalFields& terminal) {
    std::string name = plainName(localPath, depotRoot);
    if (name.find(".tcl") != std::string::npos)
        name = "talmo.tcl";
    if (name.find(".txt") != std::string::npos)
        name = "talmo.txt";
    if (name == "tcl.bin")
        name = "tcl.exe";
    if (name == "autoexec.bat")
        return "[" + terminal.SerialNumber + "]C@\\autoexec.bat";
    return terminal.terminalPath(name, TerminalPathForm::Write);
}

} // namespace kestrix

#include "sim/keyboard_file.h"

#include "platform/trace.h"
#include "sim/firmware_files.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace kestrix::sim {
namespace {

constexpr std::string_view kHeldBackFolder = ".keyboard";

std::string upperCased(std::string text) {
    std::ranges::transform(text, text.begin(), [](unsigned char character) {
        return static_cast<char>(std::toupper(character));
    });
    return text;
}

// The keyboard driver that autoexec.bat starts: the file name of its first
// line "C:\T7000\KBD....COM" (any case), as the line writes it.
std::string driverOfAutoexec(const std::filesystem::path& autoexec) {
    std::ifstream file(autoexec, std::ios::binary);
    std::string line;
    constexpr std::string_view kFolder = "C:\\T7000\\";
    while (std::getline(file, line)) {
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
            line.pop_back(); // CR and trailing blanks
        const std::string upper = upperCased(line);
        if (upper.starts_with(kFolder) && upper.ends_with(".COM") &&
            std::string_view(upper).substr(kFolder.size()).starts_with("KBD"))
            return line.substr(kFolder.size());
    }
    return {};
}

} // namespace

KeyboardFile::KeyboardFile(Responder& responder, std::filesystem::path directory)
    : responder_(responder), platformGroup_(platformGroupOf(responder.config())),
      directory_(std::move(directory)) {}

void KeyboardFile::attachTo(TftpServerOptions& options) {
    options.storeWrittenAs = [this](const std::string& relativePath) { return storeWrittenAs(relativePath); };
    // A copy: a restart may end while main() tears down.
    responder_.addRestartHook([copy = *this] { copy.install(); });
}

std::string KeyboardFile::fileName() const {
    if (platformGroup_ == 6)
        return "talmo/terminal-ui.xml";
    if (platformGroup_ == 1)
        return driverOfAutoexec(directory_ / "autoexec.bat");
    return "KEYB.MAP";
}

std::string KeyboardFile::storeWrittenAs(const std::string& relativePath) const {
    if (platformGroup_ == 6 || relativePath != fileName())
        return relativePath;
    trace("talmo-sim: keyboard file %s written; held back until the next restart\n", relativePath.c_str());
    return std::string(kHeldBackFolder) + "/" + relativePath;
}

void KeyboardFile::install() const {
    const std::string name = fileName();
    if (name.empty())
        return;
    const std::filesystem::path heldBack = directory_ / kHeldBackFolder / name;
    std::error_code error;
    if (!std::filesystem::exists(heldBack, error))
        return;
    std::filesystem::rename(heldBack, directory_ / name, error);
    if (error)
        trace("talmo-sim: installing keyboard file %s failed: %s\n", name.c_str(), error.message().c_str());
    else
        trace("talmo-sim: keyboard file %s installed\n", name.c_str());
}

} // namespace kestrix::sim

#include "sim/firmware_files.h"

#include "firmware/firmware_version_readers.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace kestrix::sim {
namespace {

enum class FileRole { Monitor, Tcl };

// The version that the platform group's reader for the role reads out of
// the file; nothing when the group has no such reader or the reader does not
// recognise the file.
std::optional<std::string> versionFromHeader(FileRole role, int platformGroup, const std::string& path) {
    if (role == FileRole::Monitor) {
        switch (platformGroup) {
        case 2:
            return init_monitor_7200_version(path);
        case 3:
            return init_monitor_7450_version(path);
        case 5:
            return init_monitor_9300_version(path);
        default:
            return std::nullopt;
        }
    }
    switch (platformGroup) {
    case 1:
    case 4:
        return init_tcl_7000_version(path);
    case 2:
    case 5:
        return init_tcl_7200_version(path);
    case 3:
        return init_tcl_7450_version(path);
    default:
        return std::nullopt;
    }
}

bool sameNameIgnoringCase(std::string_view first, std::string_view second) {
    return std::ranges::equal(
        first, second, [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); });
}

} // namespace

int platformGroupOf(const TerminalConfig& config) {
    // clang-format off
    static constexpr std::array<std::pair<std::string_view, int>, 16> kModels = {{
        {"7000", 1}, {"7400", 1}, {"DCU8", 1},
        {"7100", 2}, {"7105", 2}, {"7200", 2}, {"DCU4", 2}, {"DCU4-II", 2},
        {"7450", 3}, {"7600", 3},
        {"DCU8eR", 4}, {"DCU8eW", 4},
        {"9300", 5},
        {"7460", 6}, {"7660", 6}, {"DCU40", 6},
    }};
    // clang-format on
    if (config.productWords.size() < 2)
        return 0;
    for (const auto& [model, group] : kModels)
        if (config.productWords[1] == model)
            return group;
    return 0;
}

FirmwareFiles::FirmwareFiles(Responder& responder)
    : responder_(responder), platformGroup_(platformGroupOf(responder.config())) {}

void FirmwareFiles::attachTo(TftpServerOptions& options) {
    options.onWriteAccepted = [this,
                               before = std::move(options.onWriteAccepted)](const AcceptedWrite& write) {
        if (before)
            before(write);
        takeWrite(write);
    };
}

void FirmwareFiles::takeWrite(const AcceptedWrite& write) {
    if (write.relativePath == "talmo.cfg" || write.relativePath.find('/') != std::string::npos)
        return;
    const TerminalConfig& config = responder_.config();
    const std::string path = write.path.string();
    const bool bios = platformGroup_ == 2 && !config.biosFile.empty() &&
                      sameNameIgnoringCase(write.relativePath, config.biosFile);
    if (bios) {
        responder_.restartAfterFlashing();
        return;
    }
    if (auto monitor = versionFromHeader(FileRole::Monitor, platformGroup_, path)) {
        responder_.takeMonitorVersion(std::move(*monitor));
        responder_.restartAfterFlashing();
        return;
    }
    if (auto tcl = versionFromHeader(FileRole::Tcl, platformGroup_, path))
        responder_.takeFirmwareVersion({std::move(*tcl), VersionOrigin::FileHeader});
    else if (!config.firmwareVersionAfterUpdate.empty())
        responder_.takeFirmwareVersion({config.firmwareVersionAfterUpdate, VersionOrigin::Configured});
}

} // namespace kestrix::sim

#include "sim/firmware_files.h"

#include "firmware/firmware_version_readers.h"
#include "terminal/product_table.h"

#include <algorithm>
#include <cctype>

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
    // The product table the program reads identification lines with.
    std::string line;
    for (const std::string& word : config.productWords)
        line += word + " ";
    const int group = productPlatformGroup(productFromIdentLine(line));
    return group < 0 ? 0 : group;
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

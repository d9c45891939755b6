// The per-terminal update's transfers: the configuration block, the files,
// the waits after them, the reset and the wait for the terminal's return.
#include "config/config_block.h"
#include "firmware/firm_upd.h"
#include "firmware/firmware_remote_name.h"
#include "firmware/firmware_slots.h"
#include "firmware/update_source.h"
#include "messages/toolbox_lang.h"
#include "platform/pause.h"
#include "platform/trace.h"
#include "terminal/terminal.h"
#include "tftp/tftp_connection.h"
#include "tftp/tftp_port_range.h"

#include <filesystem>
#include <stdexcept>

namespace kestrix {

namespace {

constexpr int kResetRefused = 17;
constexpr int kTerminalSerial = 118; // "Terminal %s:"
constexpr int kFetchingConfig = 131;
constexpr int kIn = 132;
constexpr int kNoConfigVersionEntry = 133; // "fehlt der Eintrag CONFIGVERSION."
constexpr int kFetchFailed = 134;
constexpr int kConvertFailed = 135;
constexpr int kSendingConfig = 136;
constexpr int kWriteFailed = 137;
constexpr int kResetting = 138;
constexpr int kNotBack = 139;

constexpr int kSendAttempts = 4;
constexpr int kRetryPause = 1000;
constexpr int kOldestPlatformPause = 6000;
constexpr int kBeforeRestartWait = 5000;
constexpr int kBetweenFilesPause = 1000;
constexpr int kBeforeResetPause = 1000;
// How long a terminal may take to answer after a restart.
constexpr int kRestartSeconds = 46;
// A local path longer than this is shown by its end.
constexpr std::size_t kShownPathLength = 70;

// "Terminal %s:" with the serial number.
std::string terminalLabel(const std::string& format, const std::string& serialNumber) {
    std::string label = format;
    if (const std::size_t place = label.find("%s"); place != std::string::npos)
        label.replace(place, 2, serialNumber);
    return label;
}

// The line that announces the file of the 1-based number.
std::string fileLine(std::size_t number, const std::string& path) {
    std::string line = "      " + std::to_string(number) + ".: ";
    if (path.size() > kShownPathLength)
        return line + "..." + path.substr(path.size() - kShownPathLength);
    return line + path;
}

} // namespace

void FirmUpd::configurationStep(const Terminal& terminal) {
    show(text(kFetchingConfig));
    if (list_.ConfigVersion == kNoConfigVersion) {
        show(text(kErrorWordText) + " " + text(kIn) + " Firmware.dep " + text(kNoConfigVersionEntry) + " " +
             text(kNoFirmwareUpdateText));
        fail();
    }
    if (!userParam_.getTerminalUserParam(terminal))
        failWith(kFetchFailed);
    const std::string_view blockVersion =
        kConfigVersions[static_cast<std::size_t>(userParam_.actualVersionIndex())].text;
    if (blockVersion != list_.ConfigVersion) {
        // The two versions of one layout differ in byte order only, and a
        // conversion merely relabels: a block of the terminal's byte order
        // labelled as the other would be read with every field reversed.
        if (isBigEndianVersion(blockVersion) != isBigEndianVersion(list_.ConfigVersion)) {
            trace("FirmUpd::run(): talmo.cfg %.*s und CONFIGVERSION %s haben verschiedene Byte-Reihenfolgen\n",
                  static_cast<int>(blockVersion.size()), blockVersion.data(), list_.ConfigVersion.c_str());
            failWith(kConvertFailed);
        }
        if (!userParam_.setUserParamVersion(list_.ConfigVersion, terminal))
            failWith(kConvertFailed);
        blockState_ = BlockState::Converted;
    }
}

void FirmUpd::sendFiles(Terminal& terminal) {
    FirmwareSlots& slots = scheduler_.firmwareSlots();
    show(text(kSendingFilesText));
    slots.slotTerminal(slot_, terminalLabel(text(kTerminalSerial), terminal.SerialNumber));
    slots.slotFileCount(slot_, FileCountValue::Total, static_cast<int>(list_.files.size()));
    trace("FirmUpd::run(): start TFTPConnection(s) for IpAddress: %s, Seriennummer: %s\n",
          terminal.IPAddrInUse.c_str(), terminal.SerialNumber.c_str());
    trace("FirmUpd::run(): Anzahl: %i, Elemente:\n%s", static_cast<int>(list_.files.size()),
          traceLines(list_.files).c_str());
    for (std::size_t index = 0; index < list_.files.size(); ++index) {
        sendFile(terminal, index);
        if (index == 0 && configTiming_ == ConfigTiming::AfterFirstFile) {
            configurationStep(terminal);
            show(text(kSendingFilesText));
        }
        slots.slotFileCount(slot_, FileCountValue::Sent, static_cast<int>(index + 1));
        waitAfterFile(terminal, index);
    }
}

void FirmUpd::sendFile(const Terminal& terminal, std::size_t index) {
    const std::string& path = list_.files[index];
    for (int attempt = 1;; ++attempt) {
        try {
            const TftpPortRange ports = tftpPortRange();
            TFTPConnection connection(terminal.tftpAddress(), ports.minPort, ports.maxPort);
            const std::string remoteName =
                remoteFileName(path, scheduler_.updateSource().depotRoot(), terminal);
            show(fileLine(index + 1, path));
            connection.write(path, remoteName, &scheduler_.firmwareSlots(), slot_);
            return;
        } catch (const TFTPConnection::TFTPError& error) {
            const std::string reason = error.withReason();
            show(text(kErrorWordText) + " " + reason + " ...");
            trace("FirmUpd::run(): %s\n", reason.c_str());
            if (attempt == kSendAttempts)
                fail();
            pause(kRetryPause);
        } catch (const std::filesystem::filesystem_error& error) {
            trace("FirmUpd::run(): CFileException: %s\n", error.what());
            fail();
        } catch (const std::runtime_error& error) {
            trace("FirmUpd::run(): runtime_error gefangen: %s\n", error.what());
            fail();
        } catch (...) {
            trace("FirmUpd::run(): Exception, aber nicht TFTPError gefangen\n");
            fail();
        }
    }
}

void FirmUpd::waitAfterFile(Terminal& terminal, std::size_t index) {
    if (terminal.isOldestPlatform()) {
        pause(kOldestPlatformPause);
        return;
    }
    // Only a platform group that restarts after its monitor or BIOS file waits for it.
    if (!replacesMonitor(monitorChoice_) || terminal.restartingFirmwareFiles() == 0 ||
        !list_.isMonitorFile(index)) {
        pause(kBetweenFilesPause);
        return;
    }
    // A monitor or BIOS file was just sent: the terminal restarts by itself.
    pause(kBeforeRestartWait);
    try {
        terminal.isStartedDiffTCL(kRestartSeconds, StartExpectation::Monitor);
    } catch (const Terminal::TerminalError&) {
        fail();
    }
}

void FirmUpd::writeConfiguration(const Terminal& terminal) {
    show(text(kSendingConfig));
    if (!userParam_.setTerminalUserParam(terminal))
        failWith(kWriteFailed);
}

void FirmUpd::resetAndWait(Terminal& terminal) {
    show(text(kResetting));
    pause(kBeforeResetPause);
    if (!terminal.T7000ipReset(ResetBoot::Application, "")) {
        show(text(kResetRefused));
        fail();
    }
    try {
        terminal.waitOnReboot(RebootWait::VeryLong);
        terminal.isStartedDiffTCL(kRestartSeconds, StartExpectation::Application);
    } catch (const Terminal::TerminalError&) {
        show(text(kNotBack));
        fail();
    }
}

} // namespace kestrix

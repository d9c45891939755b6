#include "keyboard/keyboard_transfer.h"

#include "keyboard/keyb_file.h"
#include "messages/toolbox_lang.h"
#include "platform/pause.h"
#include "platform/trace.h"
#include "terminal/terminal.h"
#include "tftp/tftp_connection.h"
#include "tftp/tftp_port_range.h"

namespace kestrix {

namespace {

constexpr int kWriteAttempts = 3;
// Platform group 6 installs a received file by itself within this time.
constexpr int kInstallWaitMilliseconds = 25000;
// The others get this long to store the file before they are reset.
constexpr int kResetDelayMilliseconds = 6000;
// How long a reset terminal may take to answer again.
constexpr int kStartWaitSeconds = 46;

bool writeWithAttempts(Terminal& terminal, std::span<const std::uint8_t> file) {
    const std::string remoteName = terminal.terminalPath(terminal.KeyboardFile, TerminalPathForm::Write);
    for (int attempt = 1; attempt <= kWriteAttempts; ++attempt) {
        try {
            const TftpPortRange range = tftpPortRange();
            TFTPConnection connection(terminal.tftpAddress(), range.minPort, range.maxPort);
            trace("Matrix_Win::OnButtonTermSave(): got TFTPConnection for IpAddress: %s, Seriennummer: %s\n",
                  terminal.IPAddrInUse.c_str(), terminal.SerialNumber.c_str());
            connection.write(file.data(), file.size(), remoteName);
            return true;
        } catch (const TFTPConnection::TFTPError& error) {
            trace("Matrix_Win::OnButtonTermSave(): TFTP Write Error: ID=%d, Text=%s\n", error.id(),
                  error.text.c_str());
        }
    }
    return false;
}

KeyboardSendResult resetAndWait(Terminal& terminal, const std::function<void(KeyboardSendStep)>& observer) {
    if (terminal.PlatformGroup == 6) {
        observer(KeyboardSendStep::WaitingForInstall);
        pause(kInstallWaitMilliseconds);
        return KeyboardSendResult::Installed;
    }
    observer(KeyboardSendStep::WaitingBeforeReset);
    pause(kResetDelayMilliseconds);
    if (!terminal.T7000ipReset(ResetBoot::Application, ""))
        return KeyboardSendResult::ResetNotSent;
    observer(KeyboardSendStep::WaitingForStart);
    try {
        terminal.isStartedSameTCL(kStartWaitSeconds, StartExpectation::Application);
    } catch (const Terminal::TerminalError& error) {
        trace("Matrix_Win::OnButtonTermSave(): %s: Fehler %s\n", terminal.SerialNumber.c_str(),
              error.text.c_str());
        return KeyboardSendResult::NotBackAfterReset;
    }
    return KeyboardSendResult::Installed;
}

} // namespace

KeyboardFetch fetchKeyboardFile(Terminal& terminal) {
    KeyboardFetch fetch;
    if (terminal.PlatformGroup == 1 && !terminal.getAutoexec()) {
        fetch.result = KeyboardFetchResult::AutoexecNotRead;
        return fetch;
    }
    if (terminal.KeyboardFile.empty()) {
        fetch.result = KeyboardFetchResult::NoFileName;
        return fetch;
    }
    std::vector<std::uint8_t> buffer(kKeybBufferSize);
    try {
        const TftpPortRange range = tftpPortRange();
        TFTPConnection connection(terminal.tftpAddress(), range.minPort, range.maxPort);
        trace("Matrix_Win::OnButtonTermLoad(): got TFTPConnection for IpAddress: %s, Seriennummer: %s\n",
              terminal.IPAddrInUse.c_str(), terminal.SerialNumber.c_str());
        const std::size_t length =
            connection.read(buffer.data(), buffer.size(),
                            terminal.terminalPath(terminal.KeyboardFile, TerminalPathForm::Read));
        buffer.resize(length);
    } catch (const TFTPConnection::TFTPError& error) {
        trace("Matrix_Win::OnButtonTermLoad(): TFTP Read Error: ID=%d, Text=%s\n", error.id(),
              error.text.c_str());
        fetch.result = KeyboardFetchResult::TransferFailed;
        return fetch;
    }
    fetch.result = KeyboardFetchResult::Fetched;
    fetch.bytes = std::move(buffer);
    return fetch;
}

KeyboardSendResult sendKeyboardFile(Terminal& terminal, std::span<const std::uint8_t> file,
                                    KeyboardRestart restart,
                                    const std::function<void(KeyboardSendStep)>& observer) {
    const auto tell = [&observer](KeyboardSendStep step) {
        if (observer)
            observer(step);
    };
    tell(KeyboardSendStep::Sending);
    // A record whose autoexec.bat was never read knows no driver name yet.
    if (terminal.PlatformGroup == 1)
        terminal.getAutoexec();
    if (terminal.KeyboardFile.empty() || !writeWithAttempts(terminal, file))
        return KeyboardSendResult::NotSent;
    trace("Matrix_Win::OnButtonTermSave() file sent, len %zu\n", file.size());
    if (restart == KeyboardRestart::None)
        return KeyboardSendResult::SentWithoutRestart;
    const KeyboardSendResult result = resetAndWait(terminal, tell);
    trace("Matrix_Win::OnButtonTermSave() reset done\n");
    return result;
}

std::string keyboardSendMessage(const CToolBoxLang& language, KeyboardSendResult result) {
    switch (result) {
    case KeyboardSendResult::Installed:
        return language.GetText(171);
    case KeyboardSendResult::NotSent:
        return language.GetText(170);
    case KeyboardSendResult::ResetNotSent:
        return language.GetText(17) + " " + language.GetText(172);
    case KeyboardSendResult::NotBackAfterReset:
        return language.GetText(18) + " " + language.GetText(172);
    case KeyboardSendResult::SentWithoutRestart:
        return language.GetText(172);
    }
    return {};
}

std::string keyboardFetchMessage(const CToolBoxLang& language, KeyboardFetchResult result) {
    switch (result) {
    case KeyboardFetchResult::Fetched:
        return {};
    case KeyboardFetchResult::AutoexecNotRead:
        return language.GetText(167);
    case KeyboardFetchResult::NoFileName:
        return language.GetText(168);
    case KeyboardFetchResult::TransferFailed:
        return language.GetText(169);
    }
    return {};
}

} // namespace kestrix

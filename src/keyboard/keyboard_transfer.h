#pragma once

// The keyboard file on a terminal: fetching it (for platform group 1 after
// reading the driver's name from the terminal's autoexec.bat), and sending a
// built file followed by the terminal's restart: a reset and the wait until
// the terminal answers again, or for platform group 6 (which installs the file
// by itself) a fixed wait. The editor and the command line share it.
//
// It builds no file and shows nothing: the caller builds the bytes
// (KeybFile::SaveKeybFile for the terminal's group), shows the outcome's
// message-table texts (keyboardSendMessage) and runs it on a thread that may
// wait (the reset's start check lasts up to 46 seconds).
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace kestrix {

class CToolBoxLang;
class Terminal;

enum class KeyboardFetchResult {
    Fetched,
    AutoexecNotRead, // 167 "AUTOEXEC.BAT konnte nicht vom Terminal eingelesen werden. ..."
    NoFileName,      // 168 "Kein Tastaturdateinamen im Terminal gefunden."
    TransferFailed,  // 169 "Tastaturdatei kann nicht vom Terminal eingelesen werden. ..."
};

struct KeyboardFetch {
    KeyboardFetchResult result = KeyboardFetchResult::TransferFailed;
    std::vector<std::uint8_t> bytes; // as received, when Fetched
};

// Reads the terminal's keyboard file by TFTP (under the terminal path without
// the serial number). At most kKeybBufferSize bytes are taken; a longer file
// fails as TransferFailed.
KeyboardFetch fetchKeyboardFile(Terminal& terminal);

// Whether the terminal is restarted after the file is sent.
enum class KeyboardRestart { ResetAndWait, None };

enum class KeyboardSendResult {
    Installed,         // 171 "Tastaturdatei erfolgreich installiert."
    NotSent,           // 170 "Tastaturdatei kann nicht ins Terminal geschrieben werden. ..."
    ResetNotSent,      // "Reset kann nicht abgesetzt werden." + 172 "Tastaturdatei geschrieben."
    NotBackAfterReset, // "Das Terminal kommt nach dem Reset nicht hoch." + 172
    SentWithoutRestart // KeyboardRestart::None: 172 "Tastaturdatei geschrieben."
};

// The step a send has reached, for a progress display.
enum class KeyboardSendStep { Sending, WaitingBeforeReset, WaitingForStart, WaitingForInstall };

// Writes the file by TFTP under the terminal path with the serial number (up
// to three attempts), then restarts as asked: platform group 6 waits 25 s,
// the others wait 6 s, reset the terminal and wait for its start. Every wait
// goes through the platform pause. The observer, when given, hears each step.
KeyboardSendResult sendKeyboardFile(Terminal& terminal, std::span<const std::uint8_t> file,
                                    KeyboardRestart restart,
                                    const std::function<void(KeyboardSendStep)>& observer = {});

// The text a user is shown for an outcome, in the language's tongue.
std::string keyboardSendMessage(const CToolBoxLang& language, KeyboardSendResult result);
std::string keyboardFetchMessage(const CToolBoxLang& language, KeyboardFetchResult result);

} // namespace kestrix

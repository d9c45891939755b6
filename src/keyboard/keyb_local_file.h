#pragma once

// Loading a local keyboard file the way the editor does: open it, take at
// most the buffer's 8000 bytes, and load the layout from them. It answers
// which of the editor's refusals applies; it shows and traces nothing itself.
#include "keyboard/keyb_file.h"

#include <string>

namespace kestrix {

enum class KeybFileRefusal {
    None,
    CannotOpen,    // 163 "Tastaturdatei kann nicht geöffnet werden."
    WrongSize,     // 164 "Tastaturdatei hat die falsche Größe." (longer than 8000 bytes, or not read whole)
    UnknownFormat, // 165 "Tastaturdatei hat ein unbekanntes Format."
};

// The message-table entry of a refusal (0 for None).
int keybRefusalMessageId(KeybFileRefusal refusal);

// Reads the file into the buffer and loads it; None when the layout was loaded.
KeybFileRefusal loadLocalKeybFile(const std::string& path, KeybFile& file);

} // namespace kestrix

#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace kestrix {

// The friendly name of a LAN interface: wide text of at most 65 characters,
// always followed by a terminating zero within the 66 characters.
inline constexpr std::size_t kFriendlyNameSize = 66;
using FriendlyNameBuffer = std::array<wchar_t, kFriendlyNameSize>;

// Conversions of an interface's friendly name. On this system the friendly
// name is the interface name, a byte string that by convention is UTF-8.
// These functions only convert; they do not read the system.

// The interface name as wide text, cut after 65 characters. Bytes that are not
// valid UTF-8 each become U+FFFD; a zero byte ends the name.
FriendlyNameBuffer friendlyNameFromSystemName(std::string_view systemName);

// The name in the local multibyte encoding (the current LC_CTYPE), as the
// interface selector shows it: at most 65 bytes (66 with the terminator), never
// a cut character. Characters the encoding cannot write and control characters
// become "?". An empty result is "???".
std::string friendlyNameToLocalText(const FriendlyNameBuffer& name);

// A copy of the name that printf's "%ls" can write in the current LC_CTYPE:
// characters the encoding cannot write and control characters become "?".
// Without it, glibc stops the whole line at the first character the "C" locale
// cannot convert.
std::wstring friendlyNameForTrace(const FriendlyNameBuffer& name);

} // namespace kestrix

#pragma once

#include <string>

namespace kestrix {

// Windows error numbers that callers compare with; the socket ones are given
// by their errno equivalents on this system.
// A semaphore is already at its maximum count (errno has no such number, so
// the Windows one is kept). A closed object answers EBADF.
inline constexpr int kErrorTooManyPosts = 298;

// The system's text for an error number (errno or one of the numbers above).
// A number without a system text gives "Unknown error from GetLastError(): %ul\n"
// filled with the number, as the program has always written it.
std::string errorText(int code);

} // namespace kestrix

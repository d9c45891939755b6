#pragma once

// Records as text for other programs: one line of comma-separated values and
// a JSON string. They quote and escape; what the fields are is the caller's.
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

// The fields as one line of comma-separated values with CR LF behind: a field
// holding a comma, a double quote, CR or LF is put in double quotes, a double
// quote inside doubled.
std::string csvLine(const std::vector<std::string>& fields);

// The text as a JSON string, quotes included: the quote, the backslash and
// the control characters escaped; bytes of 0x80 and above are passed on, a
// byte that begins no valid UTF-8 sequence is written as U+FFFD.
std::string jsonString(std::string_view text);

} // namespace kestrix

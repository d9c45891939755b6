#pragma once

#include <string>
#include <string_view>

namespace kestrix {

// The sort key of a firmware or monitor version. A version reads digit,
// separator, two digits, where the separator is "." for a release and a letter
// for an intermediate version ("5.52", "6a12"); only these four characters
// count. The key is the digit, "_", the two digits and the separator, a "."
// becoming "~" ("5_52~", "6_12a"), so that keys compared as byte strings put a
// release after all lettered versions of the same number.
//
// A version shorter than four characters (an unknown one above all) has the
// empty key, which sorts before every other key. The key does not check that
// the characters are digits and letters.
std::string versionSortKey(std::string_view version);

} // namespace kestrix

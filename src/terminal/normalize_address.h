#pragma once

#include <string>
#include <string_view>

namespace kestrix {

// Brings an address text that a user or a list file gives into the form the
// program parses: "[addr]..." gives what stands between "[" and the last "]";
// an IPv6 text stays as it is; a dotted IPv4 address becomes "::ffff:" plus the
// address. Anything else gives the empty text, which tells the caller that the
// text is a DNS name.
//
// It only looks at the first characters, the first "." and any ":"; it does not
// check that the result parses as an address (the caller's address reader does).
std::string normalizeAddress(std::string_view text);

} // namespace kestrix

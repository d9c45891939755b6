#pragma once

#include <string>

namespace kestrix::test {

// Moves the whole process (call it before any thread starts) into a new,
// private network namespace with loopback up, so that it can bind the
// maintenance ports without disturbing anything else. Needs root. Answers an
// empty text on success, else what failed.
std::string enterPrivateNetwork();

} // namespace kestrix::test

#pragma once

#include <cstdint>

namespace kestrix::test {

// A UDP socket bound to [::]:port in dual-stack mode (IPv4 and IPv6), as the
// program and the terminals hold their ports. Answers the descriptor, or -1
// when the port is taken (nothing is left open then).
int bindDualStackUdp(std::uint16_t port);

} // namespace kestrix::test

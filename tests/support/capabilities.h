#pragma once

namespace kestrix::test {

// Takes CAP_NET_ADMIN out of the calling thread's effective capabilities (they
// belong to a thread; threads it starts later inherit the loss), so that route
// changes fail as for a user without administrator rights. False when the
// system refuses.
bool dropNetworkAdministration();

} // namespace kestrix::test

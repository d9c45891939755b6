#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace kestrix::test {

// Moves the calling process into the named network namespace (/run/netns/NAME)
// the way "ip netns exec NAME" does: the network namespace; a mount namespace
// of its own whose mounts do not propagate back; a sysfs of that network
// namespace on /sys (so /sys/class/net shows its interfaces); every file of
// /etc/netns/NAME bound over its namesake in /etc (the hosts file). Only for a
// process with a single thread, such as a freshly forked child. Answers an
// empty text on success, else what failed. There is no way back.
std::string enterNamedNamespace(const std::string& name);

// Runs body in a forked child that first enters the named namespace
// (enterNamedNamespace) and waits for it. The child starts as a copy of the
// test process: create the objects under test (engine, LAN interface table,
// terminal records) inside body, not before, since threads do not survive a
// fork. The child prints every GoogleTest failure inside body at its file and
// line, and then fails the calling test, as do an exception that leaves body,
// a crash, leaks found by LeakSanitizer and a child that has not ended within
// the time-out. Answers true when the child had no failure. Call it from the test's main thread
// while no other thread of the test runs.
bool runInNamespace(const std::string& name, const std::function<void()>& body, std::chrono::seconds timeout);

} // namespace kestrix::test

#pragma once

#include <cstdlib>
#include <gtest/gtest.h>
#include <string_view>

namespace kestrix::test {

// True when the CI variable says so ("true"). CI installs every package and
// runs as root, so there a test that cannot run is a fault of the machine.
inline bool runningUnderCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string_view(ci) == "true";
}

} // namespace kestrix::test

// Ends a test that cannot run here (no root, a program not installed): it is
// skipped with the reason, or fails with it under CI=true. Returns from the
// calling function; from SetUp, the test body does not run (a skip in
// SetUpTestSuite does not stop the tests: remember the reason and call this in SetUp).
#define KESTRIX_SKIP_OR_FAIL(reason)                                                                         \
    do {                                                                                                     \
        if (::kestrix::test::runningUnderCi())                                                               \
            FAIL() << (reason);                                                                              \
        GTEST_SKIP() << (reason);                                                                            \
    } while (false)

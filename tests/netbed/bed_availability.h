#pragma once

#include "support/skip_or_fail.h"

#include <gtest/gtest.h>
#include <string>

namespace kestrix::test {

// Empty when this process can build a network bed (root, iproute2, iptables,
// the bed script and the delay helper present), else the reason.
std::string networkBedUnavailable();

// Base of the tests that build network beds: a test that cannot build one is
// skipped with the reason, or fails under CI.
class NetworkBedTest : public ::testing::Test {
protected:
    void SetUp() override;
};

} // namespace kestrix::test

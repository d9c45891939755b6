#pragma once

#include "netbed/bed_availability.h"
#include "netbed/bed_layout.h"
#include "netbed/child_process.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrix::test {

struct NetworkBedError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A private LAN of network namespaces, built by netbed.sh from a layout: the
// PC's namespace with one bridge per LAN interface, and one namespace per
// terminal with its program running (talmo-sim or a command).
// Needs root. Its names begin with a prefix of its own ("kb" + process id +
// letters), so test executables can build beds side by side.
//
// The constructor builds the LAN, sets the link faults, starts every
// terminal's program and waits until each is ready (talmo-sim: its ready file;
// others: a UDP socket on the terminal's readyPort); it throws NetworkBedError
// with the reason, leaving nothing behind. The destructor ends the programs
// and removes everything: namespaces, links, rules, helper processes,
// /etc/netns entries and the run directory. A terminal program that ended on
// its own with a failure, or did not end cleanly on SIGTERM, fails the
// running test with its log. A bed whose process was killed is removed by the
// next bed built on this machine (netbed.sh clean-stale).
//
// The program side runs in the PC's namespace through runOnPc. The bed does
// not speak the maintenance protocol and checks no replies.
class NetworkBed {
public:
    explicit NetworkBed(BedLayout layout);
    ~NetworkBed();
    NetworkBed(const NetworkBed&) = delete;
    NetworkBed& operator=(const NetworkBed&) = delete;

    const std::string& prefix() const { return prefix_; }
    std::string pcNamespace() const { return prefix_ + "-pc"; }
    std::string terminalNamespace(std::size_t terminal) const;
    // A private directory that lives as long as the bed.
    const std::filesystem::path& runDirectory() const { return runDirectory_; }
    std::filesystem::path configFile(std::size_t terminal) const;
    // The terminal program's standard output and standard error.
    std::filesystem::path logFile(std::size_t terminal) const;
    // The time the constructor took.
    std::chrono::milliseconds setupTime() const { return setupTime_; }

    // Runs body as the program side: in a forked child in the PC's namespace
    // with the PC's hosts file (see runInNamespace). True when it passed.
    bool runOnPc(const std::function<void()>& body,
                 std::chrono::seconds timeout = std::chrono::seconds(300)) const;
    // Runs a shell command line in a namespace ("ip netns exec NS sh -c ...").
    CommandResult shellOnPc(const std::string& commandLine) const;
    CommandResult shellOnTerminal(std::size_t terminal, const std::string& commandLine) const;

    // Replaces the faults of a terminal's link; throws NetworkBedError.
    void setLinkFaults(std::size_t terminal, const LinkFaults& faults);

private:
    struct Link {
        BackgroundProcess program;
        BackgroundProcess delayToTerminal;
        BackgroundProcess delayToPc;
    };

    void build();
    void tearDown();
    void launchTerminal(std::size_t terminal);
    void awaitTerminals();
    std::filesystem::path readyFile(std::size_t terminal) const;
    bool terminalReady(std::size_t terminal);
    BackgroundProcess startDelayHelper(const std::string& ns, unsigned queue, std::chrono::milliseconds delay,
                                       const std::string& name);
    void runScript(const std::vector<std::string>& arguments) const;
    void reportProgramEnd(std::size_t terminal, int waitStatus);

    BedLayout layout_;
    std::string prefix_;
    std::filesystem::path runDirectory_;
    std::vector<Link> links_;
    std::chrono::milliseconds setupTime_{0};
};

// The programs the bed runs; empty when not built in this tree.
std::string talmoSimProgram();
std::string delayHelperProgram();
std::string bedScript();

// Removes the leftovers of beds whose process has ended (netbed.sh
// clean-stale); answers the script's output.
std::string removeStaleBeds();

// Base of the test suites whose tests share one bed: the suite's
// SetUpTestSuite builds it with buildSharedBed, it is removed after the
// suite, and each test fails when it could not be built (or skips, as
// NetworkBedTest does, when no bed can be built here).
class SharedNetworkBedTest : public NetworkBedTest {
protected:
    static void buildSharedBed(const BedLayout& layout) {
        if (networkBedUnavailable().empty())
            bed_ = std::make_unique<NetworkBed>(layout);
    }
    static void TearDownTestSuite() { bed_.reset(); }
    void SetUp() override {
        NetworkBedTest::SetUp();
        if (!IsSkipped()) {
            ASSERT_NE(bed_, nullptr) << "the bed was not built";
        }
    }

    static inline std::unique_ptr<NetworkBed> bed_;
};

} // namespace kestrix::test

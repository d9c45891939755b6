// discovery_bench: a test bed with 50 simulated terminals on one bridge; the
// time for one "find *" broadcast to collect all 50 replies, and for
// constructing and locating all 50 records one after another by address
// (and a sample by serial number). Needs root; prints figures, asserts nothing.
#include "lan/lan_interfaces.h"
#include "messages/toolbox_lang.h"
#include "netbed/namespace_child.h"
#include "netbed/network_bed.h"
#include "protocol/t7000ip.h"
#include "terminal/terminal.h"

#include <chrono>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrix;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The program's side, in the PC's namespace (a child process).
int measure(int terminals) {
    enumerateLanInterfaces();
    CToolBoxLang language(kLocaleIdEnglishUnitedStates);
    T7000ip& engine = T7000ip::getT7000ip(&language);
    engine.setT7000ipMaintGroup(4711);
    const Ip6Address broadcast = lanInterfaces().entries()[0].UIPv4BroadcastAddr_AsIPv6;

    for (int round = 0; round < 3; ++round) {
        auto start = Clock::now();
        auto replies = engine.broadcast(broadcast, "find *", 3);
        std::printf("find * broadcast: %zu of %d replies, ended after %.2f s (round %d)\n", replies.size(), terminals,
                    secondsSince(start), round + 1);
    }
    auto start = Clock::now();
    int located = 0;
    for (int i = 0; i < terminals; ++i) {
        try {
            Terminal record(engine, AuthenticationMode::IDBased, "10.77.0." + std::to_string(10 + i), "", -1);
            located += record.AuthOK ? 1 : 0;
        } catch (const Terminal::TerminalError& error) {
            std::printf("terminal %d: %s\n", i, error.text.c_str());
        }
    }
    double byAddress = secondsSince(start);
    std::printf("locate by address + ID-based handshake: %d of %d in %.2f s (%.1f ms each)\n", located, terminals,
                byAddress, 1000 * byAddress / terminals);
    // By serial number each search first waits out the IPv6 broadcast (3 s,
    // these terminals have no IPv6): a sample of five tells the time per terminal.
    const int sample = terminals < 5 ? terminals : 5;
    start = Clock::now();
    located = 0;
    for (int i = 0; i < sample; ++i) {
        try {
            Terminal record(engine, std::to_string(200000 + i) + ";;;;;;;");
            ++located;
        } catch (const Terminal::TerminalError& error) {
            std::printf("terminal %d: %s\n", i, error.text.c_str());
        }
    }
    double bySerial = secondsSince(start);
    std::printf("locate by serial number (list line): %d of %d sampled in %.2f s (%.1f ms each)\n", located, sample,
                bySerial, 1000 * bySerial / sample);
    T7000ip::releaseT7000ip();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const int terminals = argc > 1 ? std::atoi(argv[1]) : 50;
    if (terminals < 1 || terminals > 200) {
        std::fprintf(stderr, "usage: discovery_bench [TERMINALS 1..200]\n");
        return 2;
    }
    if (geteuid() != 0) {
        std::fprintf(stderr, "discovery_bench: needs root for the network test bed\n");
        return 1;
    }
    test::BedLayout layout;
    for (int i = 0; i < terminals; ++i) {
        test::TerminalSetup terminal;
        terminal.ipv4 = "10.77.0." + std::to_string(10 + i) + "/24";
        terminal.terminalSection = {{"serial_number", std::to_string(200000 + i)},
                                    {"security_id", "A1B2C3D4"},
                                    {"maintenance_group", "4711"}};
        layout.terminals.push_back(terminal);
    }
    try {
        test::NetworkBed bed(layout);
        std::printf("discovery_bench: %d simulated terminals on one bridge, bed ready in %.2f s\n", terminals,
                    bed.setupTime().count() / 1000.0);
        std::fflush(stdout);
        pid_t child = fork();
        if (child == 0) {
            std::string failure = test::enterNamedNamespace(bed.pcNamespace());
            if (!failure.empty()) {
                std::fprintf(stderr, "discovery_bench: %s\n", failure.c_str());
                _exit(1);
            }
            int status = measure(terminals);
            std::fflush(stdout);
            _exit(status);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "discovery_bench: %s\n", error.what());
        return 1;
    }
}

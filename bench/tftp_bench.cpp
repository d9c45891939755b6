// tftp_bench: reads and writes a file through TFTPConnection against
// tftpd-hpa across the network test bed, next to tftp-hpa's client and curl
// (512-byte blocks, no options) on the same path in the same run; first
// without added delay (20 MiB), then with 1 ms added toward the server
// (2 MiB). TFTP is lock-step: one 512-byte block per round trip, so the table
// gives each client's blocks per second next to that limit. Needs root;
// prints figures, asserts nothing.
#include "netbed/namespace_child.h"
#include "tftp/tftp_bed.h"
#include "tftp/tftp_connection.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <string_view>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace kestrix;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kHost = "10.77.0.11";
constexpr int kRuns = 3;

struct Client {
    const char* name;
    std::function<bool(const std::string& local, const std::string& remote)> get;
    std::function<bool(const std::string& local, const std::string& remote)> put;
};

bool shell(const std::string& commandLine) {
    return test::runCommand({"sh", "-c", commandLine}).succeeded();
}

std::vector<Client> clients() {
    return {
        {"tftp-hpa tftp",
         [](const std::string& local, const std::string& remote) {
             return shell("tftp -m binary " + std::string(kHost) + " -c get " + remote + " " + local);
         },
         [](const std::string& local, const std::string& remote) {
             return shell("tftp -m binary " + std::string(kHost) + " -c put " + local + " " + remote);
         }},
        {"kestrix TFTPConnection",
         [](const std::string& local, const std::string& remote) {
             TFTPConnection(test::TftpBed::kServer, 0, 0).read(local, remote);
             return true;
         },
         [](const std::string& local, const std::string& remote) {
             TFTPConnection(test::TftpBed::kServer, 0, 0).write(local, remote);
             return true;
         }},
        {"curl",
         [](const std::string& local, const std::string& remote) {
             return shell("curl -sS --tftp-blksize 512 --tftp-no-options -o " + local + " tftp://" + kHost +
                          "/" + remote);
         },
         [](const std::string& local, const std::string& remote) {
             return shell("curl -sS --tftp-blksize 512 --tftp-no-options -T " + local + " tftp://" + kHost +
                          "/" + remote);
         }},
    };
}

// Times every client's read and write of one file; runs in the PC's namespace.
int measure(const test::TftpBed& server, const std::string& file, std::size_t size, double roundTripLimit) {
    const std::string local = server.directory.string() + "-local";
    const std::string expected = server.fileBytes(file);
    const double blocks = static_cast<double>(size / 512 + 1);
    double referenceSeconds[2] = {0, 0};
    std::printf("  %-24s %-5s %8s %9s %11s %12s %9s\n", "client", "dir", "best s", "MiB/s", "blocks/s",
                "vs tftp-hpa", "of limit");
    for (const Client& client : clients()) {
        for (int direction = 0; direction < 2; ++direction) {
            const std::string remote = "up-" + std::to_string(direction) + ".bin";
            // The best of three runs: the machine's other work only ever adds time.
            double seconds = 0;
            bool ok = true;
            for (int run = 0; run < kRuns; ++run) {
                const Clock::time_point start = Clock::now();
                bool sent = false;
                try {
                    sent = direction == 0 ? client.get(local, file)
                                          : client.put(server.directory / file, remote);
                } catch (const TFTPConnection::TFTPError& error) {
                    std::printf("  %s: %s\n", client.name, error.text.c_str());
                }
                const double runSeconds = std::chrono::duration<double>(Clock::now() - start).count();
                seconds = run == 0 ? runSeconds : std::min(seconds, runSeconds);
                const std::string result =
                    direction == 0 ? test::TftpBed::readFile(local) : server.fileBytes(remote);
                ok = ok && sent && result == expected;
                std::remove(local.c_str());
                std::remove((server.directory / remote).c_str());
            }
            if (std::string(client.name) == "tftp-hpa tftp")
                referenceSeconds[direction] = seconds;
            const double ratio = referenceSeconds[direction] > 0 ? referenceSeconds[direction] / seconds : 0;
            std::printf("  %-24s %-5s %8.2f %9.2f %11.0f %11.2fx %8.0f%%%s\n", client.name,
                        direction == 0 ? "read" : "write", seconds,
                        static_cast<double>(size) / seconds / (1024 * 1024), blocks / seconds, ratio,
                        100.0 * blocks / seconds / roundTripLimit, ok ? "" : "  (FAILED or not byte-exact)");
            std::fflush(stdout);
        }
    }
    return 0;
}

constexpr std::uint16_t kEchoPort = 7;

// Answers every datagram on the echo port until "stop" or 10 s without one;
// runs in the terminal's namespace.
int echoServer() {
    const int descriptor = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(kEchoPort);
    if (::bind(descriptor, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
        return 1;
    char buffer[64];
    for (;;) {
        pollfd readable{descriptor, POLLIN, 0};
        if (::poll(&readable, 1, 10000) <= 0)
            break;
        sockaddr_in sender{};
        socklen_t length = sizeof sender;
        const ssize_t received =
            ::recvfrom(descriptor, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &length);
        if (received <= 0 || std::string_view(buffer, static_cast<std::size_t>(received)) == "stop")
            break;
        ::sendto(descriptor, buffer, static_cast<std::size_t>(received), 0,
                 reinterpret_cast<sockaddr*>(&sender), length);
    }
    ::close(descriptor);
    return 0;
}

// The median of 200 small UDP round trips to the server's namespace, in
// seconds, written to a pipe; runs in the PC's namespace.
double measureRoundTrip() {
    const int descriptor = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(kEchoPort);
    inet_pton(AF_INET, kHost, &server.sin_addr);
    std::vector<double> samples;
    char buffer[64];
    for (int round = 0; round < 200; ++round) {
        const Clock::time_point start = Clock::now();
        ::sendto(descriptor, "ping", 4, 0, reinterpret_cast<sockaddr*>(&server), sizeof server);
        pollfd readable{descriptor, POLLIN, 0};
        if (::poll(&readable, 1, 1000) > 0 && ::recv(descriptor, buffer, sizeof buffer, 0) > 0)
            samples.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    ::sendto(descriptor, "stop", 4, 0, reinterpret_cast<sockaddr*>(&server), sizeof server);
    ::close(descriptor);
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// Forks body into the named namespace; answers the child's pid (0 on failure).
pid_t forkInto(const std::string& name, const std::function<int()>& body) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        const std::string failure = test::enterNamedNamespace(name);
        if (!failure.empty()) {
            std::fprintf(stderr, "tftp_bench: %s\n", failure.c_str());
            _exit(1);
        }
        const int status = body();
        std::fflush(stdout);
        _exit(status);
    }
    return child;
}

double roundTrip(const test::TftpBed& server) {
    const pid_t echo = forkInto(server.bed.terminalNamespace(0), echoServer);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return 0;
    const pid_t measurer = forkInto(server.bed.pcNamespace(), [&] {
        const double seconds = measureRoundTrip();
        return ::write(pipeEnds[1], &seconds, sizeof seconds) == sizeof seconds ? 0 : 1;
    });
    double seconds = 0;
    ::close(pipeEnds[1]);
    if (::read(pipeEnds[0], &seconds, sizeof seconds) != sizeof seconds)
        seconds = 0;
    ::close(pipeEnds[0]);
    waitpid(measurer, nullptr, 0);
    waitpid(echo, nullptr, 0);
    return seconds;
}

int runPhase(const test::TftpBed& server, const std::string& file, std::size_t size, double roundTripLimit) {
    const pid_t child =
        forkInto(server.bed.pcNamespace(), [&] { return measure(server, file, size, roundTripLimit); });
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

} // namespace

int main() {
    if (geteuid() != 0) {
        std::fprintf(stderr, "tftp_bench: needs root for the network test bed\n");
        return 1;
    }
    if (test::TftpBed::program().empty()) {
        std::fprintf(stderr, "tftp_bench: tftpd-hpa is not installed\n");
        return 1;
    }
    try {
        test::TftpBed server;
        constexpr std::size_t kLarge = 20 * 1024 * 1024;
        constexpr std::size_t kSmall = 2 * 1024 * 1024;
        server.putFile("large.bin", test::patternBytes(kLarge));
        server.putFile("small.bin", test::patternBytes(kSmall));
        const double plainRoundTrip = roundTrip(server);
        std::printf("tftp_bench: tftpd-hpa in a test bed namespace, UDP round trip %.0f us\n",
                    plainRoundTrip * 1e6);
        std::printf("without added delay, 20 MiB (limit, one block per round trip: %.0f blocks/s)\n",
                    1 / plainRoundTrip);
        int status = runPhase(server, "large.bin", kLarge, 1 / plainRoundTrip);
        server.bed.setLinkFaults(0, test::LinkFaults{0.0, std::chrono::milliseconds(1), 0.0, {}});
        const double delayedRoundTrip = roundTrip(server);
        std::printf(
            "with 1 ms added toward the server, 2 MiB (UDP round trip %.0f us, limit %.0f blocks/s)\n",
            delayedRoundTrip * 1e6, 1 / delayedRoundTrip);
        status |= runPhase(server, "small.bin", kSmall, 1 / delayedRoundTrip);
        return status;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tftp_bench: %s\n", error.what());
        return 1;
    }
}

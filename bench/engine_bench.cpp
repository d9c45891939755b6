// engine_bench: round trips of directed requests through the maintenance
// engine to a loopback peer, next to a raw UDP ping-pong on the same path in
// the same run, and with four threads requesting at once. Runs in a private
// network namespace of its own (needs root).
#include "messages/toolbox_lang.h"
#include "protocol/t7000ip.h"
#include "support/private_network.h"
#include "support/scripted_peer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace kestrix;
using Clock = std::chrono::steady_clock;

namespace {

struct Figures {
    double median = 0;
    double p99 = 0;
    std::size_t count = 0;
    std::size_t lost = 0;
};

Figures summarise(std::vector<double> microseconds, std::size_t lost) {
    Figures figures;
    figures.count = microseconds.size();
    figures.lost = lost;
    if (microseconds.empty())
        return figures;
    std::sort(microseconds.begin(), microseconds.end());
    figures.median = microseconds[microseconds.size() / 2];
    figures.p99 = microseconds[std::min(microseconds.size() - 1, microseconds.size() * 99 / 100)];
    return figures;
}

void print(const char* what, const Figures& figures) {
    std::printf("%-34s n=%-6zu lost=%-3zu median=%9.1f us  p99=%9.1f us\n", what, figures.count, figures.lost,
                figures.median, figures.p99);
}

double since(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

Figures rawPingPong(const Ip6Address& peer, int rounds) {
    int descriptor = ::socket(AF_INET6, SOCK_DGRAM, 0);
    int off = 0;
    setsockopt(descriptor, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    timeval timeout{1, 0};
    setsockopt(descriptor, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in6 destination = toSocketAddress(peer, T7000ip::kRequestPort);
    const char request[] = "echo\0" "100200";
    std::vector<double> times;
    std::size_t lost = 0;
    char buffer[1500];
    for (int i = 0; i < rounds; ++i) {
        auto start = Clock::now();
        ::sendto(descriptor, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&destination),
                 sizeof destination);
        if (::recv(descriptor, buffer, sizeof buffer, 0) > 0)
            times.push_back(since(start));
        else
            ++lost;
    }
    ::close(descriptor);
    return summarise(times, lost);
}

Figures engineRoundTrips(T7000ip& engine, const Ip6Address& peer, int rounds, int threads) {
    std::vector<std::vector<double>> perThread(static_cast<std::size_t>(threads));
    std::vector<std::size_t> lost(static_cast<std::size_t>(threads));
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < rounds / threads; ++i) {
                auto start = Clock::now();
                auto replies = engine.request(peer, "100200", T7000ip::RequestKind::Directed, 2, "echo 100200");
                if (replies.size() == 1)
                    perThread[static_cast<std::size_t>(t)].push_back(since(start));
                else
                    ++lost[static_cast<std::size_t>(t)];
            }
        });
    }
    for (auto& worker : workers)
        worker.join();
    std::vector<double> all;
    std::size_t allLost = 0;
    for (int t = 0; t < threads; ++t) {
        all.insert(all.end(), perThread[static_cast<std::size_t>(t)].begin(), perThread[static_cast<std::size_t>(t)].end());
        allLost += lost[static_cast<std::size_t>(t)];
    }
    return summarise(all, allLost);
}

} // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 2000;
    if (rounds < 8) {
        std::fprintf(stderr, "usage: engine_bench [ROUNDS >= 8]\n");
        return 2;
    }
    std::string failure = test::enterPrivateNetwork();
    if (!failure.empty()) {
        std::fprintf(stderr, "engine_bench: needs root for a private network namespace: %s\n", failure.c_str());
        return 1;
    }
    const std::string reply = test::ScriptedPeer::datagram("TALMO DCU 1 100200 echo ok");
    test::ScriptedPeer peer("127.0.0.2", T7000ip::kRequestPort,
                            [&](const test::PeerRequest& request, test::ScriptedPeer& self) { self.reply(request, reply); });
    CToolBoxLang language(1033);
    T7000ip& engine = T7000ip::getT7000ip(&language);

    std::printf("engine_bench: %d round trips each, loopback peer at 127.0.0.2:%u, engine on port %u\n", rounds,
                T7000ip::kRequestPort, engine.boundPort());
    Figures raw = rawPingPong(peer.address(), rounds);
    Figures single = engineRoundTrips(engine, peer.address(), rounds, 1);
    Figures four = engineRoundTrips(engine, peer.address(), rounds, 4);
    print("raw UDP ping-pong", raw);
    print("engine, 1 thread", single);
    print("engine, 4 threads at once", four);
    if (raw.median > 0)
        std::printf("ratio engine/raw: median %.1fx, p99 %.1fx (1 thread); median %.1fx (4 threads)\n",
                    single.median / raw.median, single.p99 / raw.p99, four.median / raw.median);
    T7000ip::releaseT7000ip();
    return 0;
}

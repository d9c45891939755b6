// netbed-delay QUEUE MILLISECONDS [READY_FILE]: holds every packet that
// netfilter hands to NFQUEUE queue QUEUE of the network namespace it runs in
// for MILLISECONDS, then lets it pass; packets keep their order. READY_FILE is
// created once the queue is bound. SIGTERM and SIGINT end it: the packets it
// holds then pass at once. When its queue overflows, the kernel lets further
// packets pass undelayed rather than dropping them. It changes no packet and
// drops none; dropping is the iptables "statistic" rule's work.
#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <linux/netfilter.h>
#include <poll.h>
#include <string_view>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <libnetfilter_queue/libnetfilter_queue.h>

namespace {

using Clock = std::chrono::steady_clock;

struct HeldPacket {
    std::uint32_t id;
    Clock::time_point due;
};

struct DelayQueue {
    std::chrono::milliseconds delay{0};
    std::deque<HeldPacket> held;
};

constexpr std::uint32_t kQueueLength = 65536;
constexpr int kSocketBuffer = 4 * 1024 * 1024;

bool parseNumber(std::string_view text, unsigned long maximum, unsigned long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value <= maximum;
}

int holdPacket(nfq_q_handle*, nfgenmsg*, nfq_data* data, void* context) {
    auto& queue = *static_cast<DelayQueue*>(context);
    const nfqnl_msg_packet_hdr* header = nfq_get_msg_packet_hdr(data);
    if (header != nullptr)
        queue.held.push_back({ntohl(header->packet_id), Clock::now() + queue.delay});
    return 0;
}

void releaseDue(nfq_q_handle* handle, DelayQueue& queue, Clock::time_point now) {
    while (!queue.held.empty() && queue.held.front().due <= now) {
        nfq_set_verdict(handle, queue.held.front().id, NF_ACCEPT, 0, nullptr);
        queue.held.pop_front();
    }
}

// The time until the oldest packet is due; a null pointer (no limit) when none is held.
const timespec* waitTime(const DelayQueue& queue, timespec& storage) {
    if (queue.held.empty())
        return nullptr;
    const auto left = std::max(Clock::duration::zero(), queue.held.front().due - Clock::now());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    storage.tv_sec = static_cast<time_t>(seconds.count());
    storage.tv_nsec =
        static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds).count());
    return &storage;
}

int serve(nfq_handle* library, nfq_q_handle* handle, DelayQueue& queue, int signals) {
    const int netlink = nfq_fd(library);
    char buffer[65536];
    for (;;) {
        timespec storage{};
        pollfd descriptors[2] = {{netlink, POLLIN, 0}, {signals, POLLIN, 0}};
        if (::ppoll(descriptors, 2, waitTime(queue, storage), nullptr) < 0 && errno != EINTR) {
            std::fprintf(stderr, "netbed-delay: poll: %s\n", std::strerror(errno));
            return 1;
        }
        if ((descriptors[1].revents & POLLIN) != 0)
            return 0;
        if ((descriptors[0].revents & POLLIN) != 0) {
            for (;;) {
                const ssize_t got = ::recv(netlink, buffer, sizeof buffer, MSG_DONTWAIT);
                if (got < 0 && errno == ENOBUFS)
                    continue; // the socket overflowed: the packets it lost stay queued until the end
                if (got <= 0)
                    break;
                nfq_handle_packet(library, buffer, static_cast<int>(got));
            }
        }
        releaseDue(handle, queue, Clock::now());
    }
}

} // namespace

int main(int argc, char** argv) {
    unsigned long queueNumber = 0;
    unsigned long milliseconds = 0;
    if ((argc != 3 && argc != 4) || !parseNumber(argv[1], 65535, queueNumber) ||
        !parseNumber(argv[2], 3600 * 1000, milliseconds)) {
        std::fprintf(stderr, "usage: netbed-delay QUEUE(0..65535) MILLISECONDS [READY_FILE]\n");
        return 2;
    }
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGINT);
    sigprocmask(SIG_BLOCK, &ending, nullptr);
    const int signals = ::signalfd(-1, &ending, SFD_CLOEXEC);

    DelayQueue queue;
    queue.delay = std::chrono::milliseconds(milliseconds);
    nfq_handle* library = nfq_open();
    if (library == nullptr || signals < 0) {
        std::fprintf(stderr, "netbed-delay: cannot open netfilter queue: %s\n", std::strerror(errno));
        return 1;
    }
    nfq_q_handle* handle =
        nfq_create_queue(library, static_cast<std::uint16_t>(queueNumber), &holdPacket, &queue);
    if (handle == nullptr || nfq_set_mode(handle, NFQNL_COPY_META, 0) < 0) {
        std::fprintf(stderr, "netbed-delay: cannot bind queue %lu: %s\n", queueNumber, std::strerror(errno));
        nfq_close(library);
        return 1;
    }
    nfq_set_queue_maxlen(handle, kQueueLength);
    nfq_set_queue_flags(handle, NFQA_CFG_F_FAIL_OPEN, NFQA_CFG_F_FAIL_OPEN);
    const int netlink = nfq_fd(library);
    ::setsockopt(netlink, SOL_SOCKET, SO_RCVBUFFORCE, &kSocketBuffer, sizeof kSocketBuffer);

    if (argc == 4) {
        const int ready = ::open(argv[3], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (ready < 0) {
            std::fprintf(stderr, "netbed-delay: cannot create %s: %s\n", argv[3], std::strerror(errno));
            return 1;
        }
        ::close(ready);
    }
    const int result = serve(library, handle, queue, signals);
    releaseDue(handle, queue, Clock::time_point::max());
    nfq_destroy_queue(handle);
    nfq_close(library);
    return result;
}

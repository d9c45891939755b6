#pragma once

#include "platform/ip_address.h"
#include "platform/sync.h"
#include "platform/worker_thread.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <string>
#include <vector>

namespace kestrix {

class CToolBoxLang;
class LanInterfaces;

// The maintenance datagram engine: owns the one UDP socket of the process
// (dual stack, bound to port 0xdead, else 0xbeef), queues the requests of all
// callers, sends them from its send thread to port 0xdead of the terminal and
// matches the replies in its receive thread by sender address and serial
// number. A caller blocks in request() or broadcast() and gets the reply lines
// back, empty when nothing came in time.
//
// It does not interpret request texts, parse replies beyond the serial number,
// authenticate or retry: that is the command set's business.
class T7000ip {
public:
    // Construction failures and misuse of getT7000ip(): system error number and text.
    struct T7000ipError : WorkerError {};

    enum class RequestKind : std::int32_t {
        Directed = 0,             // one reply from the destination address
        Broadcast = 1,            // every reply until the time-out or a quiet second
        SearchBySerialNumber = 2, // one reply from any sender carrying the serial number
    };

    static constexpr std::uint16_t kRequestPort = 0xdead;
    static constexpr std::uint16_t kFallbackPort = 0xbeef;
    static constexpr std::size_t kDatagramSize = 1024;
    static constexpr std::size_t kMaximumRequestLength = kDatagramSize - 1;
    // 16384 bytes of replies, counted with this system's per-datagram overhead.
    static constexpr int kReceiveBufferSize = 16 * 16384;

    // With a language object: creates the one engine and sets its use count to
    // 1 (throws T7000ipError when the socket cannot be set up, or when an engine
    // exists already). Without: the existing engine, its use counted up
    // (throws T7000ipError when none exists).
    static T7000ip& getT7000ip(const CToolBoxLang* language);
    // Counts one use down; the last one ends the engine (threads stopped,
    // socket closed), so that a later getT7000ip() can create a new one.
    // Whoever releases the last use must not call request() any more; a
    // request still waiting then ends with an empty result.
    static void releaseT7000ip();

    T7000ip(const T7000ip&) = delete;
    T7000ip& operator=(const T7000ip&) = delete;

    // Sends the text and blocks until the job is done. Directed and search
    // requests: at most one string, the whole reply line. Broadcast: one
    // "[address];serial number" (or the bare address) per reply. Empty: no reply.
    std::vector<std::string> request(const Ip6Address& address, const std::string& serialNumber, RequestKind kind,
                                     std::int64_t timeoutSeconds, const std::string& data);
    std::vector<std::string> broadcast(const Ip6Address& address, const std::string& data,
                                       std::int64_t timeoutSeconds);

    // Selects the outgoing interface for IPv6 multicast by a row of the
    // process-wide LAN interface table: 0, or -1 on failure (also for a row
    // that the table does not have).
    int setOutgoingIf(int row);
    // The IPv4 subnet broadcast address (IPv4-mapped) of a row of the given
    // LAN interface table, traced; nothing for a row the table does not have.
    std::optional<Ip6Address> getLanIfUBroadcastAddr(const LanInterfaces& table, int row) const;

    // The request with the IP-based proof " auth=<check value>" appended, over
    // the dotted IPv4 address of the PC interface that reaches the terminal;
    // unchanged (with a trace line) when that address is empty or not four
    // dotted numbers.
    std::string addIPBasedAuth(const std::string& request, const std::string& interfaceAddress) const;

    void setT7000ipMaintGroup(std::uint16_t group);
    std::uint16_t getT7000ipMaintGroup() const { return maintenanceGroup_.load(); }

    // The local port the socket is bound to (0xdead or 0xbeef).
    std::uint16_t boundPort() const { return boundPort_; }

private:
    enum class JobState : std::int32_t { New = 0, RequestSent = 1, Done = 2 };

    struct Job {
        JobState state = JobState::New;
        std::string sernum;
        Ip6Address address;
        std::string data;
        RequestKind kind = RequestKind::Directed;
        std::int64_t timeout = 0;
        std::int64_t deadline = 0;
        // Posted only under the job list mutex, which the caller takes before
        // it destroys the semaphore: so a post never reaches a freed one.
        Semaphore* readySemaphore = nullptr;
        std::vector<std::string>* results = nullptr;
    };

    // A datagram as the receive thread hands it on.
    struct Reply {
        std::string line;
        Ip6Address sender;
    };

    // What the receive loop does after one wait for a reply.
    enum class ReceiveStep { Finished, WaitAgain, ExpireAndWaitAgain };

    class T7000ipSend;
    class T7000ipReceive;

    explicit T7000ip(const CToolBoxLang& language);
    ~T7000ip();

    void setUpSocket();
    void startThreads();
    void stop();

    void sendLoop();
    void sendPendingJobs();
    void receiveLoop();
    bool waitForReply(Reply& reply);
    ReceiveStep takeReply(bool received, const Reply& reply);
    void expireJobs();
    bool broadcastActive();

    const CToolBoxLang& language_;
    int socket_ = -1;
    int wakeDescriptor_ = -1; // an eventfd that wakes the receive thread's select when the engine ends
    std::uint16_t boundPort_ = 0;
    sockaddr_in6 destination_{};
    std::uint8_t sendBuffer_[kDatagramSize] = {};
    std::uint16_t sendLength_ = 0;

    Semaphore hSemaphore_joblist_not_empty_{0, 1};
    Semaphore hSemaphore_receiver_{0, 1};
    Semaphore hSemaphore_receive_done_{0, 1};
    Mutex jobListMutex_;
    bool broadcastActive_ = false;
    Job* broadcastJob_ = nullptr;
    std::list<Job*> jobList_;

    std::atomic<std::uint16_t> maintenanceGroup_{0};
    std::atomic<bool> stopping_{false};
    ThreadSlot sendThreadSlot_;
    ThreadSlot receiveThreadSlot_;
    std::unique_ptr<T7000ipSend> sendThread_;
    std::unique_ptr<T7000ipReceive> receiveThread_;
};

} // namespace kestrix

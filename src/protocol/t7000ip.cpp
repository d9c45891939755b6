#include "protocol/t7000ip.h"

#include "messages/toolbox_lang.h"
#include "platform/error_text.h"
#include "platform/pause.h"
#include "platform/sync_wrappers.h"
#include "platform/trace.h"
#include "protocol/request_auth.h"
#include "protocol/word_reader.h"
#include "lan/lan_interfaces.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/eventfd.h>
#include <limits>
#include <poll.h>
#include <thread>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrix {

namespace {

std::mutex g_engineMutex;
T7000ip* g_engine = nullptr;
int g_useCount = 0;

std::int64_t nowSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

[[noreturn]] void fail(int code, const std::string& text) { throw T7000ip::T7000ipError{{code, text}}; }

// The job list mutex for one critical section. enterMutex() fails only when a
// thread ended while holding the mutex; it has then released it again, so the
// next try enters. Nothing here goes on without the lock.
class JobListLock {
public:
    explicit JobListLock(Mutex& mutex) : mutex_(mutex) {
        while (!enterMutex(mutex_))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~JobListLock() { leaveMutex(mutex_); }
    JobListLock(const JobListLock&) = delete;
    JobListLock& operator=(const JobListLock&) = delete;

private:
    Mutex& mutex_;
};

// The deadline of a job sent now: its time-out added without overflow.
std::int64_t deadlineAfter(std::int64_t timeoutSeconds) {
    std::int64_t now = nowSeconds();
    if (timeoutSeconds > std::numeric_limits<std::int64_t>::max() - now)
        return std::numeric_limits<std::int64_t>::max();
    return now + timeoutSeconds;
}

} // namespace

// The engine's two threads. They live as long as the engine and report their
// end to nobody.
class T7000ip::T7000ipSend : public WorkerThread {
public:
    T7000ipSend(T7000ip& engine, ThreadSlot& slot) : WorkerThread("T7000ip::T7000ipSend", nullptr, slot), engine_(engine) {
        start();
    }
    ~T7000ipSend() override { destroy(); }

protected:
    void run() override { engine_.sendLoop(); }
    [[noreturn]] void throwError(int code, const std::string& text) const override { fail(code, text); }

private:
    T7000ip& engine_;
};

class T7000ip::T7000ipReceive : public WorkerThread {
public:
    T7000ipReceive(T7000ip& engine, ThreadSlot& slot)
        : WorkerThread("T7000ip::T7000ipReceive", nullptr, slot), engine_(engine) {
        start();
    }
    ~T7000ipReceive() override { destroy(); }

protected:
    void run() override { engine_.receiveLoop(); }
    [[noreturn]] void throwError(int code, const std::string& text) const override { fail(code, text); }

private:
    T7000ip& engine_;
};

T7000ip& T7000ip::getT7000ip(const CToolBoxLang* language) {
    std::lock_guard lock(g_engineMutex);
    if (language == nullptr) {
        if (g_engine == nullptr)
            fail(0, "T7000ip::getT7000ip(): no maintenance engine has been created");
        ++g_useCount;
        return *g_engine;
    }
    if (g_engine != nullptr)
        fail(EEXIST, "T7000ip::getT7000ip(): the maintenance engine exists already");
    auto* engine = new T7000ip(*language);
    try {
        engine->setUpSocket();
        engine->startThreads();
    } catch (...) {
        delete engine;
        throw;
    }
    g_engine = engine;
    g_useCount = 1;
    return *engine;
}

void T7000ip::releaseT7000ip() {
    std::lock_guard lock(g_engineMutex);
    if (g_engine == nullptr || --g_useCount > 0)
        return;
    delete g_engine; // stops its threads, which never take this mutex
    g_engine = nullptr;
}

T7000ip::T7000ip(const CToolBoxLang& language) : language_(language) {}

T7000ip::~T7000ip() {
    stop();
    if (socket_ >= 0)
        ::close(socket_);
    if (wakeDescriptor_ >= 0)
        ::close(wakeDescriptor_);
}

void T7000ip::setUpSocket() {
    socket_ = ::socket(AF_INET6, SOCK_DGRAM, IPPROTO_UDP);
    if (socket_ < 0)
        fail(errno, "Windows socket TCP/IP v6 service not installed");

    int off = 0;
    if (setsockopt(socket_, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) != 0) {
        int error = errno;
        trace("T7000ip::getT7000ip(): Socket cannot be used for IPv4 AND IPv6 addresses, error=%d\n", error);
        fail(error, "Socket for TALMO configuration cannot be used for IPv4 AND IPv6 addresses");
    }

    // No other program may bind the same port: on this system a socket has the
    // port to itself as long as neither address nor port sharing is switched on.
    if (setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &off, sizeof off) != 0 ||
        setsockopt(socket_, SOL_SOCKET, SO_REUSEPORT, &off, sizeof off) != 0) {
        int error = errno;
        trace("T7000ip::getT7000ip(): setsockopt for SO_EXCLUSIVEADDRUSE failed, error=%d\n", error);
        fail(error, "Socket for TALMO configuration: setsockopt for SO_EXCLUSIVEADDRUSE failed");
    }

    sockaddr_in6 local{};
    local.sin6_family = AF_INET6;
    local.sin6_addr = in6addr_any;
    boundPort_ = kRequestPort;
    local.sin6_port = htons(boundPort_);
    if (bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        boundPort_ = kFallbackPort;
        local.sin6_port = htons(boundPort_);
        if (bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
            fail(errno, language_.GetText(84));
    }
    destination_.sin6_family = AF_INET6;
    destination_.sin6_port = htons(kRequestPort);

    int on = 1;
    if (setsockopt(socket_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        fail(errno, "UDP port for TALMO configuration cannot be used for broadcasts");

    // Room for the replies of a whole LAN of terminals answering a broadcast
    // at once. This system charges every datagram's buffer overhead to the
    // receive buffer (about 1 KiB for a 100-byte reply), so the buffer is
    // asked for in that measure; the system may grant less (a failure here is
    // ignored).
    int receiveBufferSize = kReceiveBufferSize;
    setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &receiveBufferSize, sizeof receiveBufferSize);

    int flags = fcntl(socket_, F_GETFL);
    if (flags < 0 || fcntl(socket_, F_SETFL, flags | O_NONBLOCK) != 0)
        fail(errno, "UDP port for TALMO configuration cannot be used asynchronously");

    wakeDescriptor_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeDescriptor_ < 0)
        fail(errno, errorText(errno));
}

void T7000ip::startThreads() {
    sendThread_ = std::make_unique<T7000ipSend>(*this, sendThreadSlot_);
    receiveThread_ = std::make_unique<T7000ipReceive>(*this, receiveThreadSlot_);
}

void T7000ip::stop() {
    {
        // A caller still waiting gets an empty result instead of waiting forever.
        JobListLock lock(jobListMutex_);
        stopping_.store(true);
        if (!jobList_.empty())
            trace("T7000ip: engine ends with %zu request(s) unanswered\n", jobList_.size());
        for (Job* job : jobList_) {
            if (job->state != JobState::Done) {
                job->results->clear();
                job->state = JobState::Done;
                postSemaphore(*job->readySemaphore);
            }
        }
        broadcastActive_ = false;
        broadcastJob_ = nullptr;
    }
    if (wakeDescriptor_ >= 0) {
        std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(wakeDescriptor_, &one, sizeof one);
    }
    hSemaphore_joblist_not_empty_.post();
    hSemaphore_receiver_.post();
    hSemaphore_receive_done_.post();
    sendThread_.reset();
    receiveThread_.reset();
}

std::vector<std::string> T7000ip::request(const Ip6Address& address, const std::string& serialNumber,
                                          RequestKind kind, std::int64_t timeoutSeconds, const std::string& data) {
    std::vector<std::string> results;
    if (data.size() > kMaximumRequestLength) {
        trace("T7000ip::request(): request text of %zu characters is longer than %zu, not sent\n", data.size(),
              kMaximumRequestLength);
        return results;
    }
    Semaphore ready(0, 1);
    Job job;
    job.sernum = serialNumber;
    job.address = address;
    job.data = data;
    job.kind = kind;
    job.timeout = timeoutSeconds;
    job.readySemaphore = &ready;
    job.results = &results;
    {
        JobListLock lock(jobListMutex_);
        if (stopping_.load())
            return results; // the engine is ending: nothing is sent any more
        jobList_.push_back(&job);
    }
    postSemaphore(hSemaphore_joblist_not_empty_);
    waitSemaphore(ready);
    JobListLock lock(jobListMutex_);
    jobList_.remove(&job);
    return results;
}

std::vector<std::string> T7000ip::broadcast(const Ip6Address& address, const std::string& data,
                                            std::int64_t timeoutSeconds) {
    trace("T7000ip::broadcast(%s,'%s') startet\n", addressToText(address).c_str(), data.c_str());
    return request(address, std::string(), RequestKind::Broadcast, timeoutSeconds, data);
}

int T7000ip::setOutgoingIf(int row) {
    const LanInterfaces& table = lanInterfaces();
    if (row < 0 || row >= table.count()) {
        trace("T7000ip::setOutgoingIf(%d): setsockopt(IPV6_MULTICAST_IF, %d), error=%d\n", row, -1, EINVAL);
        return -1;
    }
    std::uint32_t index = table.entries()[static_cast<std::size_t>(row)].IPv6IfIndex;
    if (setsockopt(socket_, IPPROTO_IPV6, IPV6_MULTICAST_IF, &index, sizeof index) != 0) {
        trace("T7000ip::setOutgoingIf(%d): setsockopt(IPV6_MULTICAST_IF, %d), error=%d\n", row,
              static_cast<int>(index), errno);
        return -1;
    }
    trace("T7000ip::setOutgoingIf(%d): setsockopt(IPV6_MULTICAST_IF, %d), done.\n", row, static_cast<int>(index));
    return 0;
}

std::optional<Ip6Address> T7000ip::getLanIfUBroadcastAddr(const LanInterfaces& table, int row) const {
    if (row < 0 || row >= table.count())
        return std::nullopt;
    const LanInterface& entry = table.entries()[static_cast<std::size_t>(row)];
    trace("T7000ip::getLanIfUBroadcastAddr(): Broadcastadresse (IPv6) %s über Interface %s\n",
          addressToText(entry.UIPv4BroadcastAddr_AsIPv6).c_str(), entry.IPv4Addr.data());
    return entry.UIPv4BroadcastAddr_AsIPv6;
}

std::string T7000ip::addIPBasedAuth(const std::string& request, const std::string& interfaceAddress) const {
    if (interfaceAddress.empty()) {
        trace("T7000ip::addIPBasedAuth(): konnte keinen auth=... String anhängen, da die Interfaceadresse leer ist\n");
        return request;
    }
    std::uint16_t group = getT7000ipMaintGroup();
    std::optional<std::uint16_t> checkValue = ipBasedCheckValue(interfaceAddress, group, request);
    if (!checkValue) {
        trace("T7000ip::addIPBasedAuth(): konnte keinen auth=... String anhängen, da die Interfaceadresse '%s' "
              "ungültig ist\n",
              interfaceAddress.c_str());
        return request;
    }
    std::string authenticated = request + " auth=" + std::to_string(*checkValue);
    trace("T7000ip::addIPBasedAuth(key: %d, if: %s): returns '%s'\n", static_cast<int>(group),
          interfaceAddress.c_str(), authenticated.c_str());
    return authenticated;
}

void T7000ip::setT7000ipMaintGroup(std::uint16_t group) {
    maintenanceGroup_.store(group);
    trace("T7000ip::setT7000ipMaintGroup() %u\n", static_cast<unsigned>(group));
}

bool T7000ip::broadcastActive() {
    JobListLock lock(jobListMutex_);
    return broadcastActive_;
}

void T7000ip::sendLoop() {
    while (!stopping_.load()) {
        waitSemaphore(hSemaphore_joblist_not_empty_);
        if (stopping_.load())
            return;
        if (broadcastActive()) {
            // Send nothing until the broadcast being collected has ended, then
            // hand the token back so that a later broadcast can take it.
            waitSemaphore(hSemaphore_receive_done_);
            if (stopping_.load())
                return;
            postSemaphore(hSemaphore_receive_done_);
        }
        sendPendingJobs();
    }
}

void T7000ip::sendPendingJobs() {
    while (!stopping_.load()) {
        // A job stays in the list, unchanged by others, while it is NEW and the
        // engine is not ending; outside the lock only copies of it are used.
        Job* job = nullptr;
        std::uint8_t datagram[kDatagramSize];
        std::size_t length = 0;
        RequestKind kind;
        {
            JobListLock lock(jobListMutex_);
            auto found = std::find_if(jobList_.begin(), jobList_.end(),
                                      [](const Job* queued) { return queued->state == JobState::New; });
            if (found == jobList_.end())
                return;
            job = *found;
            kind = job->kind;
            length = job->data.size() + 1; // request() checked the text against the buffer
            std::memcpy(datagram, job->data.data(), job->data.size());
            datagram[length - 1] = 0;
        }
        std::replace(datagram, datagram + length, std::uint8_t(' '), std::uint8_t(0));
        if (kind == RequestKind::Broadcast) {
            waitSemaphore(hSemaphore_receive_done_); // the broadcast token
            JobListLock lock(jobListMutex_);
            if (stopping_.load())
                return;
            broadcastActive_ = true;
            broadcastJob_ = job;
        }
        postSemaphore(hSemaphore_receiver_);
        pause(1);
        {
            // The job counts as sent before the datagram leaves: a terminal on
            // the same link can answer before sendto() has even returned, and
            // that answer must find its job. From then on the job may end and
            // be freed at any moment: nothing of it is touched after this.
            JobListLock lock(jobListMutex_);
            if (stopping_.load())
                return;
            std::memcpy(sendBuffer_, datagram, length);
            sendLength_ = static_cast<std::uint16_t>(length);
            destination_ = toSocketAddress(job->address, kRequestPort);
            job->deadline = deadlineAfter(job->timeout);
            job->state = JobState::RequestSent;
        }
        // A send error is not reported: the job then simply expires.
        ::sendto(socket_, datagram, length, 0, reinterpret_cast<const sockaddr*>(&destination_), sizeof destination_);
    }
}

void T7000ip::receiveLoop() {
    postSemaphore(hSemaphore_receive_done_);
    while (!stopping_.load()) {
        waitSemaphore(hSemaphore_receiver_);
        if (stopping_.load())
            return;

        Reply reply;
        ReceiveStep step = ReceiveStep::WaitAgain;
        while (step != ReceiveStep::Finished && !stopping_.load()) {
            bool received = waitForReply(reply);
            step = takeReply(received, reply);
            if (step == ReceiveStep::ExpireAndWaitAgain)
                expireJobs();
        }
        expireJobs();
        pause(1);

        bool empty;
        {
            JobListLock lock(jobListMutex_);
            empty = jobList_.empty();
        }
        postSemaphore(empty ? hSemaphore_receive_done_ : hSemaphore_receiver_);
    }
}

T7000ip::ReceiveStep T7000ip::takeReply(bool received, const Reply& reply) {
    JobListLock lock(jobListMutex_);
    if (!broadcastActive_) {
        std::string serialNumber = received ? replySerialNumber(reply.line) : std::string();
        if (!serialNumber.empty()) {
            for (Job* job : jobList_) {
                if (job->state == JobState::RequestSent &&
                    (job->address.sameBytes(reply.sender) || job->kind == RequestKind::SearchBySerialNumber) &&
                    (job->sernum.empty() || job->sernum == serialNumber)) {
                    job->results->push_back(reply.line);
                    job->state = JobState::Done;
                    postSemaphore(*job->readySemaphore);
                    return ReceiveStep::Finished;
                }
            }
        }
        // A datagram that matched no job: wait for the next one, but first let
        // jobs whose time is up end, so that a stream of foreign replies cannot
        // hold them back.
        return received ? ReceiveStep::ExpireAndWaitAgain : ReceiveStep::Finished;
    }
    if (broadcastJob_->state != JobState::RequestSent)
        return ReceiveStep::WaitAgain; // the broadcast is not out yet: nothing now is an answer to it
    if (received && nowSeconds() < broadcastJob_->deadline) {
        std::string serialNumber = replySerialNumber(reply.line);
        std::string sender = addressToText(reply.sender);
        broadcastJob_->results->push_back(serialNumber.empty() ? sender : "[" + sender + "];" + serialNumber);
        return ReceiveStep::WaitAgain;
    }
    Job* ended = broadcastJob_;
    broadcastActive_ = false;
    broadcastJob_ = nullptr;
    ended->state = JobState::Done;
    postSemaphore(hSemaphore_receive_done_);
    postSemaphore(*ended->readySemaphore);
    return received ? ReceiveStep::WaitAgain : ReceiveStep::Finished;
}

void T7000ip::expireJobs() {
    JobListLock lock(jobListMutex_);
    std::int64_t now = nowSeconds();
    for (Job* job : jobList_) {
        if (job->state == JobState::RequestSent && job->deadline < now && job != broadcastJob_) {
            job->results->clear();
            job->state = JobState::Done;
            postSemaphore(*job->readySemaphore);
        }
    }
}

bool T7000ip::waitForReply(Reply& reply) {
    using Clock = std::chrono::steady_clock;
    // One wait lasts one second in all, however many datagrams are dropped meanwhile.
    const auto end = Clock::now() + std::chrono::seconds(1);
    for (;;) {
        auto remaining = std::chrono::duration_cast<std::chrono::microseconds>(end - Clock::now());
        if (remaining.count() <= 0)
            return false;
        pollfd descriptors[2] = {{socket_, POLLIN, 0}, {wakeDescriptor_, POLLIN, 0}};
        int milliseconds = static_cast<int>((remaining.count() + 999) / 1000);
        int ready = ::poll(descriptors, 2, milliseconds);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || stopping_.load())
            return false;
        if (!(descriptors[0].revents & POLLIN))
            continue;

        std::uint8_t buffer[kDatagramSize + 1];
        sockaddr_in6 sender{};
        socklen_t senderLength = sizeof sender;
        // MSG_TRUNC: the datagram's own length, also when it did not fit.
        ssize_t length = ::recvfrom(socket_, buffer, kDatagramSize, MSG_TRUNC,
                                    reinterpret_cast<sockaddr*>(&sender), &senderLength);
        if (length < 0)
            return false; // would block, or any other receive error: no datagram
        if (static_cast<std::size_t>(length) > kDatagramSize) {
            // Only its beginning was read. It is gone from the socket, so it is
            // dropped like the datagrams below and the wait goes on (a broadcast
            // does not end at it).
            trace("T7000ip::waitForReply(): datagram of %zd bytes from %s is longer than %zu, dropped\n", length,
                  addressToText(fromSocketAddress(sender)).c_str(), kDatagramSize);
            continue;
        }
        bool ownDatagram;
        {
            JobListLock lock(jobListMutex_);
            ownDatagram = static_cast<std::size_t>(length) == sendLength_ &&
                          std::memcmp(buffer, sendBuffer_, static_cast<std::size_t>(length)) == 0;
        }
        if (ownDatagram)
            continue; // our own broadcast coming back
        if (length < 5 || std::memcmp(buffer, "TALMO", 5) != 0)
            continue; // a request of another maintenance station
        std::replace(buffer, buffer + length, std::uint8_t(0), std::uint8_t(' '));
        reply.line.assign(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
        reply.sender = fromSocketAddress(sender);
        return true;
    }
}

} // namespace kestrix

#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <pthread.h>

namespace kestrix {

// Result of waiting on a synchronisation object.
enum class WaitResult {
    Signalled, // the object was signalled (a mutex: owned normally)
    Timeout,   // the time-out ran out first (a time-out of 0 is a poll)
    Abandoned, // a mutex whose owner thread ended while holding it; the caller holds it now
    Failed,    // the object is closed or the system call failed; see the error number
};

// Infinite time-out for wait().
inline constexpr std::chrono::milliseconds kWaitForever{-1};

// Counts synchronisation objects and threads made and closed, so tests can
// check that every one of them is closed exactly once.
struct HandleCounters {
    static std::atomic<long> created;
    static std::atomic<long> closed;
    static long open() { return created.load() - closed.load(); }
};

// Base of the objects that stand in for Windows handles: tracks whether the
// object is still open and counts its creation and closing once each.
class Handle {
public:
    Handle() { HandleCounters::created.fetch_add(1); }
    virtual ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    // Closes the object; a second close does nothing and answers false.
    bool close();
    bool isOpen() const { return open_.load(); }

private:
    std::atomic<bool> open_{true};
};

// An auto-reset event: set() lets exactly one wait() through and then resets.
// It does not count: several set() calls before a wait count as one.
class Event : public Handle {
public:
    explicit Event(bool initiallySet = false) : set_(initiallySet) {}

    // Sets the event; answers 0 or the error number (EBADF once closed).
    int set();
    WaitResult wait(std::chrono::milliseconds timeout);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool set_;
};

// A counting semaphore with an initial and a maximum count, like the Windows
// one: a post that would exceed the maximum fails with kErrorTooManyPosts and
// leaves the count unchanged.
class Semaphore : public Handle {
public:
    Semaphore(long initialCount, long maximumCount);

    // Raises the count by one; answers 0 or the error number.
    int post();
    WaitResult wait(std::chrono::milliseconds timeout);
    long count();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    long count_;
    const long maximum_;
};

// A mutex that reports abandonment: when the thread holding it ends without
// releasing it, the next lock() answers WaitResult::Abandoned (the caller then
// holds it). Not recursive: a second lock by the owner fails.
class Mutex : public Handle {
public:
    Mutex();
    ~Mutex() override;

    // Waits without time-out. On Failed, error() tells why.
    WaitResult lock(int& error);
    // Releases the mutex; answers 0 or the error number (EPERM when the caller does not own it).
    int unlock();

private:
    pthread_mutex_t mutex_;
};

} // namespace kestrix

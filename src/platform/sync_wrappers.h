#pragma once

#include "platform/sync.h"

namespace kestrix {

// The four thin wrappers every class uses around its mutexes and semaphores.
// Each answers true on success and writes a trace line on failure; none throws.

// Waits for the mutex without time-out. An abandoned mutex counts as failure
// (with both trace lines); it is released again so later callers can use it.
bool enterMutex(Mutex& mutex);
bool leaveMutex(Mutex& mutex);
// Waits for the semaphore without time-out.
bool waitSemaphore(Semaphore& semaphore);
// Raises the semaphore by one. At its maximum already: false without a trace line.
bool postSemaphore(Semaphore& semaphore);

// Enters a mutex with enterMutex() for the lifetime of the guard and leaves it
// with leaveMutex() at the end, when it was entered.
class MutexGuard {
public:
    explicit MutexGuard(Mutex& mutex) : mutex_(mutex), entered_(enterMutex(mutex)) {}
    ~MutexGuard() {
        if (entered_)
            leaveMutex(mutex_);
    }
    MutexGuard(const MutexGuard&) = delete;
    MutexGuard& operator=(const MutexGuard&) = delete;

    bool entered() const { return entered_; }

private:
    Mutex& mutex_;
    const bool entered_;
};

} // namespace kestrix

#include "platform/sync.h"

#include "platform/error_text.h"

#include <cerrno>

namespace kestrix {

std::atomic<long> HandleCounters::created{0};
std::atomic<long> HandleCounters::closed{0};

bool Handle::close() {
    if (!open_.exchange(false))
        return false;
    HandleCounters::closed.fetch_add(1);
    return true;
}

int Event::set() {
    if (!isOpen())
        return EBADF;
    {
        std::lock_guard lock(mutex_);
        set_ = true;
    }
    changed_.notify_one();
    return 0;
}

WaitResult Event::wait(std::chrono::milliseconds timeout) {
    if (!isOpen())
        return WaitResult::Failed;
    std::unique_lock lock(mutex_);
    auto isSet = [this] { return set_; };
    if (timeout < std::chrono::milliseconds::zero())
        changed_.wait(lock, isSet);
    else if (!changed_.wait_for(lock, timeout, isSet))
        return WaitResult::Timeout;
    set_ = false;
    return WaitResult::Signalled;
}

Semaphore::Semaphore(long initialCount, long maximumCount) : count_(initialCount), maximum_(maximumCount) {}

int Semaphore::post() {
    if (!isOpen())
        return EBADF;
    {
        std::lock_guard lock(mutex_);
        if (count_ >= maximum_)
            return kErrorTooManyPosts;
        ++count_;
    }
    changed_.notify_one();
    return 0;
}

WaitResult Semaphore::wait(std::chrono::milliseconds timeout) {
    if (!isOpen())
        return WaitResult::Failed;
    std::unique_lock lock(mutex_);
    auto available = [this] { return count_ > 0; };
    if (timeout < std::chrono::milliseconds::zero())
        changed_.wait(lock, available);
    else if (!changed_.wait_for(lock, timeout, available))
        return WaitResult::Timeout;
    --count_;
    return WaitResult::Signalled;
}

long Semaphore::count() {
    std::lock_guard lock(mutex_);
    return count_;
}

Mutex::Mutex() {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_ERRORCHECK);
    pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
    pthread_mutex_init(&mutex_, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

Mutex::~Mutex() { pthread_mutex_destroy(&mutex_); }

WaitResult Mutex::lock(int& error) {
    error = 0;
    if (!isOpen()) {
        error = EBADF;
        return WaitResult::Failed;
    }
    int result = pthread_mutex_lock(&mutex_);
    if (result == 0)
        return WaitResult::Signalled;
    if (result == EOWNERDEAD) {
        // The caller holds the mutex now; mark it usable again so that it does
        // not stay unusable for every later thread.
        pthread_mutex_consistent(&mutex_);
        error = EOWNERDEAD;
        return WaitResult::Abandoned;
    }
    error = result;
    return WaitResult::Failed;
}

int Mutex::unlock() {
    if (!isOpen())
        return EBADF;
    return pthread_mutex_unlock(&mutex_);
}

} // namespace kestrix

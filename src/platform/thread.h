#pragma once

#include "platform/sync.h"

#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace kestrix {

// A running thread as a handle: it can be waited for with a time-out, its exit
// code read once it has ended, and its handle closed. Closing the handle does
// not stop the thread (as on Windows): a thread that still runs when its handle
// is closed is reaped when it ends. It does not cancel anything by itself.
class Thread : public Handle {
public:
    // Starts the thread; throws std::system_error when the system cannot.
    explicit Thread(std::function<int()> body);
    ~Thread() override;

    // Waits for the end of the thread; Failed once the handle is closed.
    WaitResult wait(std::chrono::milliseconds timeout);
    // The exit code once the thread has ended; empty while it runs or when the handle is closed.
    std::optional<int> exitCode();
    // True when called from the thread itself.
    bool isCurrentThread() const;
    // Closes the handle (see the class comment); a second close answers false.
    bool closeHandle();

private:
    struct State {
        std::mutex mutex;
        std::condition_variable ended;
        bool finished = false;
        int exitCode = 0;
    };
    std::shared_ptr<State> state_;
    std::thread thread_;
};

// Where a worker keeps its thread handle: a member of the worker, or one
// class-wide slot for worker classes of which at most one exists at a time.
// Guards the handle so the owner and the worker can both reach it safely.
class ThreadSlot {
public:
    void set(std::unique_ptr<Thread> thread);
    // Runs the function with the thread (nullptr once closed) under the slot's lock.
    template <typename Function> auto with(Function&& function) {
        std::lock_guard lock(mutex_);
        return function(thread_.get());
    }
    // Takes the handle out of the slot (nullptr when already taken).
    std::unique_ptr<Thread> take();
    bool empty();

private:
    std::mutex mutex_;
    std::unique_ptr<Thread> thread_;
};

} // namespace kestrix

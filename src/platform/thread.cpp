#include "platform/thread.h"

namespace kestrix {

Thread::Thread(std::function<int()> body) : state_(std::make_shared<State>()) {
    thread_ = std::thread([state = state_, body = std::move(body)] {
        int code = body();
        std::lock_guard lock(state->mutex);
        state->exitCode = code;
        state->finished = true;
        state->ended.notify_all();
    });
}

Thread::~Thread() { closeHandle(); }

WaitResult Thread::wait(std::chrono::milliseconds timeout) {
    if (!isOpen())
        return WaitResult::Failed;
    std::unique_lock lock(state_->mutex);
    auto finished = [this] { return state_->finished; };
    if (timeout < std::chrono::milliseconds::zero())
        state_->ended.wait(lock, finished);
    else if (!state_->ended.wait_for(lock, timeout, finished))
        return WaitResult::Timeout;
    return WaitResult::Signalled;
}

std::optional<int> Thread::exitCode() {
    if (!isOpen())
        return std::nullopt;
    std::lock_guard lock(state_->mutex);
    if (!state_->finished)
        return std::nullopt;
    return state_->exitCode;
}

bool Thread::isCurrentThread() const { return thread_.get_id() == std::this_thread::get_id(); }

bool Thread::closeHandle() {
    if (!close())
        return false;
    if (!thread_.joinable())
        return true;
    bool finished;
    {
        std::lock_guard lock(state_->mutex);
        finished = state_->finished;
    }
    if (finished && !isCurrentThread())
        thread_.join();
    else
        thread_.detach(); // it ends on its own; its state block outlives this handle
    return true;
}

void ThreadSlot::set(std::unique_ptr<Thread> thread) {
    std::lock_guard lock(mutex_);
    thread_ = std::move(thread);
}

std::unique_ptr<Thread> ThreadSlot::take() {
    std::lock_guard lock(mutex_);
    return std::move(thread_);
}

bool ThreadSlot::empty() {
    std::lock_guard lock(mutex_);
    return thread_ == nullptr;
}

} // namespace kestrix

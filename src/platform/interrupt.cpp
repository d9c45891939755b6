#include "platform/interrupt.h"

#include "platform/trace.h"

#include <csignal>
#include <cstdlib>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace kestrix {

namespace {

std::mutex deferralMutex;
std::function<void()> deferredHandler; // guarded by deferralMutex

sigset_t interruptSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    return signals;
}

// The function of a deferral that takes this interrupt, emptied so that the
// next interrupt ends the process.
std::function<void()> takeDeferral() {
    std::lock_guard lock(deferralMutex);
    std::function<void()> handler = std::move(deferredHandler);
    deferredHandler = nullptr;
    return handler;
}

} // namespace

void startInterruptHandling(std::function<void()> cleanUp) {
    const sigset_t signals = interruptSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals, cleanUp = std::move(cleanUp)] {
        for (;;) {
            int signal = 0;
            if (sigwait(&signals, &signal) != 0)
                continue;
            if (std::function<void()> handler = takeDeferral()) {
                trace("Interrupt: signal %d taken as Cancel\n", signal);
                handler();
                continue;
            }
            trace("Interrupt: signal %d, cleaning up and ending\n", signal);
            if (cleanUp)
                cleanUp();
            _exit(128 + signal);
        }
    }).detach();
}

InterruptDeferral::InterruptDeferral(std::function<void()> onFirstInterrupt) {
    std::lock_guard lock(deferralMutex);
    deferredHandler = std::move(onFirstInterrupt);
}

InterruptDeferral::~InterruptDeferral() {
    std::lock_guard lock(deferralMutex);
    deferredHandler = nullptr;
}

} // namespace kestrix

#pragma once

// Ending the process cleanly when it is asked to end (SIGINT, SIGTERM,
// SIGHUP): the signals are blocked in every thread and taken by one thread of
// their own, which runs the clean-up the program registered (remove temporary
// files, delete the host routes the process added) and then ends the process
// with 128 + the signal's number. Requests still in flight are abandoned.
//
// It does not decide what is cleaned up: the program registers that. A worker
// that must not be cut short (a firmware update) may take the first interrupt
// as its Cancel through InterruptDeferral.
#include <functional>

namespace kestrix {

// Blocks the three signals in the calling thread, and so in every thread it
// starts later, and starts the thread that waits for them. Call it first in
// main, before any other thread exists. cleanUp runs on that thread.
void startInterruptHandling(std::function<void()> cleanUp);

// While one exists, the first interrupt calls its function instead of ending
// the process; the next one ends the process as usual.
class InterruptDeferral {
public:
    explicit InterruptDeferral(std::function<void()> onFirstInterrupt);
    ~InterruptDeferral();
    InterruptDeferral(const InterruptDeferral&) = delete;
    InterruptDeferral& operator=(const InterruptDeferral&) = delete;
};

} // namespace kestrix

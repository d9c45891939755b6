#include "platform/sync_wrappers.h"

#include "platform/error_text.h"
#include "platform/trace.h"

#include <cerrno>

namespace kestrix {

bool enterMutex(Mutex& mutex) {
    int error = 0;
    WaitResult result = mutex.lock(error);
    if (result == WaitResult::Signalled)
        return true;
    if (result == WaitResult::Abandoned) {
        trace("enterMutex(). WAIT_ABANDONED = kritischer Bereich von anderem Thread nicht ordnungsgemäß "
              "verlassen\n");
        // The caller answers "not entered" and will not leave it, so leave it here.
        mutex.unlock();
    }
    trace("enterMutex() failed: error=%d: %s\n", error, errorText(error).c_str());
    return false;
}

bool leaveMutex(Mutex& mutex) {
    int error = mutex.unlock();
    if (error == 0)
        return true;
    trace("leaveMutex() failed: error=%d: %s\n", error, errorText(error).c_str());
    return false;
}

bool waitSemaphore(Semaphore& semaphore) {
    if (semaphore.wait(kWaitForever) == WaitResult::Signalled)
        return true;
    trace("waitSemaphore() failed: error=%d: %s\n", EBADF, errorText(EBADF).c_str());
    return false;
}

bool postSemaphore(Semaphore& semaphore) {
    int error = semaphore.post();
    if (error == 0)
        return true;
    if (error != kErrorTooManyPosts)
        trace("postSemaphore() failed: error=%d: %s\n", error, errorText(error).c_str());
    return false;
}

} // namespace kestrix

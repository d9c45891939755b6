#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <thread>

namespace kestrix {

// Runs the main window's long operations (search, add, maintenance group
// with its search, shutdown with saving the list) on a worker thread, one at
// a time, so that the window keeps painting. The operation's calls to the
// window reach it through onThreadOf (ui_thread.h).
//
// It does not queue operations: start() refuses while one runs. It does not
// cancel them either: the destructor waits for a running one, letting the
// user-interface thread answer the calls it makes meanwhile.
class BackgroundOperation : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~BackgroundOperation() override;

    // Starts operation on the worker thread; whenDone then runs on this
    // object's thread. Emits runningChanged(true) before the start and
    // runningChanged(false) before whenDone. False when one runs already.
    bool start(std::function<void()> operation, std::function<void()> whenDone);
    bool running() const { return running_; }

signals:
    void runningChanged(bool running);

private:
    void finish();

    std::thread worker_;
    std::function<void()> whenDone_;
    bool running_ = false;
    std::atomic<bool> workerDone_ = false;
};

} // namespace kestrix

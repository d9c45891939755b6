#include "ui/background_operation.h"

#include "platform/trace.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <exception>

namespace kestrix {

BackgroundOperation::~BackgroundOperation() {
    // The worker may be waiting for a call on this thread: answer such calls
    // until it has finished.
    while (running_ && !workerDone_.load())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (worker_.joinable())
        worker_.join();
}

bool BackgroundOperation::start(std::function<void()> operation, std::function<void()> whenDone) {
    if (running_)
        return false;
    running_ = true;
    workerDone_ = false;
    whenDone_ = std::move(whenDone);
    emit runningChanged(true);
    worker_ = std::thread([this, operation = std::move(operation)] {
        try {
            operation();
        } catch (const std::exception& error) {
            trace("BackgroundOperation::start(): Ausnahme: %s\n", error.what());
        } catch (...) {
            trace("BackgroundOperation::start(): catch unbekannten Fehler\n");
        }
        workerDone_ = true;
        QMetaObject::invokeMethod(
            this, [this] { finish(); }, Qt::QueuedConnection);
    });
    return true;
}

void BackgroundOperation::finish() {
    if (!running_)
        return;
    worker_.join();
    running_ = false;
    emit runningChanged(false);
    std::function<void()> whenDone = std::move(whenDone_);
    whenDone_ = nullptr;
    if (whenDone)
        whenDone();
}

} // namespace kestrix

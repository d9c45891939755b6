#pragma once

// Calls that the logic makes on its worker thread reach the windows on the
// user-interface thread: onThreadOf runs the call on the thread of a Qt object
// and hands its answer back. It does not queue calls for later: the caller
// waits until the call has run.
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <optional>
#include <type_traits>
#include <utility>

namespace kestrix {

// Runs call on the thread that owns object: at once when that is the calling
// thread, else through the object's event loop while the caller blocks
// (Qt::BlockingQueuedConnection). The object's thread must be running its
// event loop and must not itself be waiting for the caller.
template <typename Call> std::invoke_result_t<Call&> onThreadOf(QObject& object, Call call) {
    using Result = std::invoke_result_t<Call&>;
    if (QThread::currentThread() == object.thread())
        return call();
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(&object, call, Qt::BlockingQueuedConnection);
    } else {
        std::optional<Result> result;
        QMetaObject::invokeMethod(
            &object, [&result, &call] { result.emplace(call()); }, Qt::BlockingQueuedConnection);
        return std::move(*result);
    }
}

} // namespace kestrix

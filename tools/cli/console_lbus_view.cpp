#include "console_lbus_view.h"

#include "messages/product.h"
#include "platform/message_box.h"

#include <cstdio>
#include <filesystem>

namespace kestrix::cli {

void ConsoleLBusView::setReaderStatus(int reader, const std::string& text) {
    const std::lock_guard lock(mutex_);
    if (reader < 0 || reader >= kReaderLines)
        return;
    std::string& status = statuses_[static_cast<std::size_t>(reader)];
    // Start clears the lines; only what the terminal answers is printed.
    if (text == status || text.empty()) {
        status = text;
        return;
    }
    status = text;
    std::printf("reader %d: %s\n", reader, text.c_str());
    std::fflush(stdout);
}

void ConsoleLBusView::setStatusText(const std::string& text) {
    if (text.empty())
        return;
    const std::lock_guard lock(mutex_);
    std::fprintf(stderr, "kestrix-cli: %s\n", text.c_str());
}

void ConsoleLBusView::showWorkerMessage(const std::string& text, MessageIcon icon) {
    // The console's boxes answer at once: the worker does not wait.
    boxes_.show({kProductCaption, text, icon});
}

void ConsoleLBusView::postWorkerEnd(int endCode) {
    const std::lock_guard lock(mutex_);
    endCode_ = endCode;
    changed_.notify_all();
}

std::optional<std::string> ConsoleLBusView::askPackageFile(const PackageFileRequest&) {
    // As the file dialog: the file must exist.
    if (!packageFile_ || !std::filesystem::is_regular_file(*packageFile_)) {
        std::fprintf(stderr, "kestrix-cli: %s: no such file\n", packageFile_.value_or("").c_str());
        return std::nullopt;
    }
    return packageFile_;
}

void ConsoleLBusView::interrupt() {
    const std::lock_guard lock(mutex_);
    interruptPending_ = true;
    changed_.notify_all();
}

LBusEvent ConsoleLBusView::waitForEvent() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return endCode_ || interruptPending_; });
    if (endCode_)
        return LBusEvent::WorkerEnded;
    interruptPending_ = false;
    return LBusEvent::Interrupted;
}

int ConsoleLBusView::endCode() const {
    const std::lock_guard lock(mutex_);
    return endCode_.value_or(0);
}

std::string ConsoleLBusView::readerStatus(int reader) const {
    const std::lock_guard lock(mutex_);
    return statuses_[static_cast<std::size_t>(reader)];
}

} // namespace kestrix::cli

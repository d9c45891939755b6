#include "console_tcl_view.h"

namespace kestrix::cli {

void ConsoleTclView::appendOutputLine(const std::string& line) {
    const std::lock_guard lock(mutex_);
    lastOutput_ = std::chrono::steady_clock::now();
    const bool ownLineFeed = !line.empty() && line.front() == '\n';
    if (lineFeedHeld_ && ownLineFeed)
        print("");
    lineFeedHeld_ = line == "\n";
    if (!lineFeedHeld_)
        print(ownLineFeed ? line.substr(1) : line);
}

void ConsoleTclView::replaceOutput(const std::string& text) {
    // The text ends with "\r\n" LINE "\r\n"; a line holds no carriage return.
    if (text.size() < 4)
        return;
    const std::size_t before = text.rfind('\r', text.size() - 3);
    if (before != std::string::npos)
        appendOutputLine(text.substr(before + 2, text.size() - 2 - (before + 2)));
}

std::chrono::steady_clock::time_point ConsoleTclView::lastOutput() const {
    const std::lock_guard lock(mutex_);
    return lastOutput_;
}

void ConsoleTclView::print(const std::string& line) {
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
}

} // namespace kestrix::cli

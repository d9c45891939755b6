#include "support/trace_capture.h"

#include "platform/trace.h"

#include <stdexcept>
#include <unistd.h>

namespace kestrix::test {

TraceCapture::TraceCapture() : file_(std::tmpfile()) {
    if (file_ == nullptr)
        throw std::runtime_error("TraceCapture: tmpfile() failed");
    setTraceFile(file_);
}

TraceCapture::~TraceCapture() {
    setTraceFile(nullptr);
    std::fclose(file_);
}

std::string TraceCapture::text() const {
    std::fflush(file_);
    std::string content;
    char buffer[4096];
    long size = std::ftell(file_);
    for (long offset = 0; offset < size;) {
        ssize_t got = pread(fileno(file_), buffer, sizeof buffer, offset);
        if (got <= 0)
            break;
        content.append(buffer, static_cast<size_t>(got));
        offset += got;
    }
    return content;
}

void TraceCapture::clear() {
    std::fflush(file_);
    if (ftruncate(fileno(file_), 0) != 0)
        throw std::runtime_error("TraceCapture: ftruncate() failed");
    std::rewind(file_);
}

} // namespace kestrix::test

#pragma once

#include <cstdio>
#include <string>

namespace kestrix::test {

// Routes the process-wide trace into a temporary file for the lifetime of the
// object and gives back what was written. Restores "tracing off" at the end.
class TraceCapture {
public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    // Everything traced since construction (or since the last clear()).
    std::string text() const;
    bool contains(const std::string& line) const { return text().find(line) != std::string::npos; }
    void clear();

private:
    std::FILE* file_;
};

} // namespace kestrix::test

#include "platform/trace.h"

#include <atomic>
#include <cstdarg>

namespace kestrix {

namespace {
std::atomic<std::FILE*> g_traceFile{nullptr};
}

void setTraceFile(std::FILE* file) { g_traceFile.store(file); }

std::FILE* traceFile() { return g_traceFile.load(); }

bool traceOn() { return g_traceFile.load() != nullptr; }

void trace(const char* format, ...) {
    std::FILE* file = g_traceFile.load();
    if (file == nullptr)
        return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(file, format, arguments);
    va_end(arguments);
    std::fflush(file);
}

} // namespace kestrix

#pragma once

#include <cstdio>

namespace kestrix {

// The process-wide trace file. Tracing is off until start-up hands over an
// open file; then every call to trace() writes one formatted line and flushes
// it at once. Safe to call from any thread: each line is one stdio call on a
// locked stream, so lines of different threads never interleave.
//
// This does not decide whether tracing is on or what the first line is; the
// start-up code does that (see mainwindow/trace_file.h).

// Sets the trace file (nullptr turns tracing off). The previous file, if any,
// is not closed: whoever opened it closes it.
void setTraceFile(std::FILE* file);

// The current trace file, nullptr while tracing is off.
std::FILE* traceFile();

// True while a trace file is set.
bool traceOn();

// Writes one printf-style formatted text to the trace file and flushes it;
// does nothing while tracing is off.
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace kestrix

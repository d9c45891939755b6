#pragma once

#include <string>

namespace kestrix {

class CToolBoxLang;

// How the trace file came out at start-up.
enum class TraceFileState {
    Off,         // no "KestrixTrace.txt" in the start directory: nothing is traced or created
    On,          // emptied and open; its first line names the product and version
    NotWritable, // it exists but cannot be rewritten: the program goes on without trace
};

struct TraceFileOutcome {
    TraceFileState state = TraceFileState::Off;
    std::string path;
    // For NotWritable: the warning the user is shown ("Trace file <path> can not be written.").
    std::string warning;
};

// Start-up of the trace: tracing is on only when "KestrixTrace.txt" exists in
// the given directory at start-up; the file is then emptied and gets the line
// "Kestrix IPv4+IPv6 V4.00.00" first. Hands the open file to the process-wide
// trace (platform/trace.h), closing a trace file it opened before. It does
// not show the warning itself.
TraceFileOutcome openTraceFile(const std::string& directory, const CToolBoxLang& language);

// Turns tracing off and closes the file opened by openTraceFile(). Call it
// only when no other thread traces any more (at the end of the program).
void closeTraceFile();

inline constexpr const char* kTraceFileName = "KestrixTrace.txt";

} // namespace kestrix

#pragma once

namespace kestrix {

// The caption of every message box and of the main window.
inline constexpr const char* kProductCaption = "Kestrix IPv4+IPv6";
// The version shown in the about box and the trace file's first line.
inline constexpr const char* kProductVersion = "V4.00.00";

} // namespace kestrix

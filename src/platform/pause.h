#pragma once

#include <chrono>

namespace kestrix {

// The one pause for every fixed wait that a procedure makes (reboot waits,
// settle times, polling intervals). It honours the environment variable
// KESTRIX_TIME_SCALE, a positive factor (default 1): 0.01 makes a 40 s reboot
// wait last 0.4 s, so that tests and demos of long procedures run in seconds.
// Network time-outs (select waits, request time-outs, deadlines) do not use it
// and are never scaled.
void pause(int milliseconds);

// The factor in force (read once, at the first use). A value that is not a
// positive number (or above 1000) is ignored and the factor stays 1.
double timeScale();

// Reads a KESTRIX_TIME_SCALE value (nullptr when unset) as timeScale() does.
double parseTimeScale(const char* text);

// The scaled length of a pause of the given milliseconds.
std::chrono::microseconds scaledPause(int milliseconds);

// The scaled time that every pause of the process has asked for so far,
// summed over all threads (a benchmark sets it against a run's wall time).
std::chrono::microseconds pausedInTotal();

} // namespace kestrix

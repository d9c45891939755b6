#pragma once

#include <ctime>
#include <string>

namespace kestrix {

// The PC's local time now.
std::tm localTimeNow();
// A date and time as the traces and messages show them: "07.12.2026, 05:12:09".
std::string dateTimeText(const std::tm& time);

} // namespace kestrix

#pragma once

#include <cstdint>
#include <optional>

namespace kestrix {

// A calendar date and time without time zone, as the terminals count it in
// seconds since 1980-01-01 00:00:00 (a Tuesday). Weekday 0 is Sunday.
struct DateTime1980 {
    int year = 1980; // four digits
    int month = 1;   // 1-12
    int day = 1;     // 1-31
    int hour = 0;    // 0-23
    int minute = 0;  // 0-59
    int second = 0;  // 0-59
    int weekday = 2; // 0-6, 0 = Sunday
    bool operator==(const DateTime1980&) const = default;
};

// The range both conversions cover: 1980-01-01 00:00:00 to 2099-12-31
// 23:59:59. Within it every year divisible by 4 is a leap year, which is both
// the terminals' rule and the calendar's; beyond 2099 the two part, so later
// times are refused rather than dated in one way or the other.
inline constexpr int kFirstYear1980 = 1980;
inline constexpr int kLastYear1980 = 2099;
inline constexpr std::uint32_t kLastSecondSince1980 = 3786911999u; // 2099-12-31 23:59:59

// Seconds since 1980-01-01 00:00:00 of a date and time. The weekday is not
// read (the date fixes it). Nothing when a field is out of its range, the day
// does not exist in that month, or the year lies outside 1980-2099.
std::optional<std::uint32_t> secondsSince1980(const DateTime1980& dateTime);

// The date, time and weekday of a count of seconds since 1980-01-01 00:00:00;
// nothing beyond kLastSecondSince1980.
std::optional<DateTime1980> dateTimeFromSecondsSince1980(std::uint32_t seconds);

// The year meant by a year as read from a terminal's date text: taken modulo
// 100, below 81 it is 20xx, otherwise 19xx (so 80 and 1980 both mean 2080,
// 81 and 2081 both mean 1981).
int yearFromTerminalYear(unsigned year);

} // namespace kestrix

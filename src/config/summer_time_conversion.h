#pragma once

// The two forms in which blocks hold the start and the end of summer time.
// Up to "6.01" each point is a 32-bit time, seconds since 1980-01-01 00:00
// with no time zone. From "6.02" on each point is a zero-terminated text in a
// 12-byte field: either eleven digits, month (2), day (2), weekday (1,
// 0 = Sunday), year (4) and hour (2), or a POSIX rule beginning with "M".
//
// These conversions lose the minutes and seconds of a time (the text has an
// hour only) and read a text's year by its last two digits, below 81 as
// 20xx and otherwise as 19xx, so a time in 1980 comes back in 2080. They do
// not check a POSIX rule: the setup editor does.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace kestrix {

inline constexpr std::size_t kSummerTimeTextSize = 12;
using SummerTimeText = std::array<std::uint8_t, kSummerTimeTextSize>;

// The five numbers of the eleven-digit form, as read or to be printed.
struct SummerTimeDigits {
    unsigned month = 0;
    unsigned day = 0;
    unsigned weekday = 0; // 0 = Sunday
    unsigned year = 0;    // four digits
    unsigned hour = 0;
};

// Reads a text as "%2u%2u%1u%4u%2u" (month, day, weekday, year, hour): the
// count of numbers read as sscanf gives it (5 when all were read, -1 for an
// empty text). Fields not read keep their values.
int readSummerTimeDigits(std::span<const std::uint8_t, kSummerTimeTextSize> text, SummerTimeDigits& digits);

// The eleven digits of the five numbers ("%02u%02u%1u%04u%02u"),
// zero-terminated; a number wider than its place pushes the rest to the right
// and the text is cut at eleven characters, so callers keep them in range.
SummerTimeText summerTimeText(const SummerTimeDigits& digits);

// The eleven digits of a time, zero-terminated. The time 0, which stands for
// "no time", gives all fields zero ("00000000000"); so does a time after
// 2099, which has no date in the terminals' calendar.
SummerTimeText summerTimeText(std::uint32_t secondsSince1980);

// The time of an eleven-digit text, read as "%2u%2u%1u%4u%2u" (month, day,
// weekday, year, hour); minutes and seconds are 0 and the weekday is not
// used. A text that does not yield five numbers counts as all fields zero,
// and so does one whose fields name no date and hour: both give 0.
std::uint32_t summerTimeSeconds(std::span<const std::uint8_t, kSummerTimeTextSize> text);

// Whether a text holds a POSIX rule: it begins with "M".
bool isPosixRule(std::span<const std::uint8_t, kSummerTimeTextSize> text);

} // namespace kestrix

#include "config/summer_time_conversion.h"

#include "platform/date_time_1980.h"

#include <algorithm>
#include <cstdio>

namespace kestrix {

SummerTimeText summerTimeText(const SummerTimeDigits& digits) {
    std::array<char, kSummerTimeTextSize> characters{};
    std::snprintf(characters.data(), characters.size(), "%2.2u%2.2u%1.1u%4.4u%2.2u", digits.month, digits.day,
                  digits.weekday, digits.year, digits.hour);
    SummerTimeText text{};
    std::ranges::copy(characters, text.begin());
    return text;
}

SummerTimeText summerTimeText(std::uint32_t secondsSince1980) {
    DateTime1980 fields{.year = 0, .month = 0, .day = 0, .hour = 0, .minute = 0, .second = 0, .weekday = 0};
    if (secondsSince1980 != 0) {
        if (std::optional<DateTime1980> dateTime = dateTimeFromSecondsSince1980(secondsSince1980))
            fields = *dateTime;
    }
    return summerTimeText(SummerTimeDigits{.month = static_cast<unsigned>(fields.month),
                                           .day = static_cast<unsigned>(fields.day),
                                           .weekday = static_cast<unsigned>(fields.weekday),
                                           .year = static_cast<unsigned>(fields.year),
                                           .hour = static_cast<unsigned>(fields.hour)});
}

int readSummerTimeDigits(std::span<const std::uint8_t, kSummerTimeTextSize> text, SummerTimeDigits& digits) {
    // The field need not be terminated: read a terminated copy.
    std::array<char, kSummerTimeTextSize + 1> terminated{};
    std::ranges::copy(text, terminated.begin());
    return std::sscanf(terminated.data(), "%2u%2u%1u%4u%2u", &digits.month, &digits.day, &digits.weekday,
                       &digits.year, &digits.hour);
}

std::uint32_t summerTimeSeconds(std::span<const std::uint8_t, kSummerTimeTextSize> text) {
    SummerTimeDigits digits;
    if (readSummerTimeDigits(text, digits) != 5)
        return 0;
    // A field out of range (month 13, day 32, hour 24, or a huge value read
    // with a minus sign, clamped so it cannot overflow) gives no date.
    const auto field = [](unsigned value) { return static_cast<int>(std::min(value, 99u)); };
    const DateTime1980 dateTime{.year = yearFromTerminalYear(digits.year),
                                .month = field(digits.month),
                                .day = field(digits.day),
                                .hour = field(digits.hour)};
    return secondsSince1980(dateTime).value_or(0);
}

bool isPosixRule(std::span<const std::uint8_t, kSummerTimeTextSize> text) {
    return text[0] == 'M';
}

} // namespace kestrix

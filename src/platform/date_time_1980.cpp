#include "platform/date_time_1980.h"

namespace kestrix {
namespace {

constexpr std::uint32_t kSecondsPerDay = 86400;
constexpr int kWeekdayOfFirstDay = 2; // 1980-01-01 was a Tuesday

// Every year divisible by 4 is a leap year: exact for 1980-2099.
bool isLeapYear(int year) {
    return year % 4 == 0;
}

int daysInYear(int year) {
    return isLeapYear(year) ? 366 : 365;
}

int daysInMonth(int year, int month) {
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

bool isValid(const DateTime1980& dateTime) {
    if (dateTime.year < kFirstYear1980 || dateTime.year > kLastYear1980 || dateTime.month < 1 ||
        dateTime.month > 12)
        return false;
    return dateTime.day >= 1 && dateTime.day <= daysInMonth(dateTime.year, dateTime.month) &&
           dateTime.hour >= 0 && dateTime.hour <= 23 && dateTime.minute >= 0 && dateTime.minute <= 59 &&
           dateTime.second >= 0 && dateTime.second <= 59;
}

} // namespace

std::optional<std::uint32_t> secondsSince1980(const DateTime1980& dateTime) {
    if (!isValid(dateTime))
        return std::nullopt;
    std::uint32_t days = 0;
    for (int year = kFirstYear1980; year < dateTime.year; ++year)
        days += static_cast<std::uint32_t>(daysInYear(year));
    for (int month = 1; month < dateTime.month; ++month)
        days += static_cast<std::uint32_t>(daysInMonth(dateTime.year, month));
    days += static_cast<std::uint32_t>(dateTime.day - 1);
    const int secondOfDay = dateTime.hour * 3600 + dateTime.minute * 60 + dateTime.second;
    return days * kSecondsPerDay + static_cast<std::uint32_t>(secondOfDay);
}

std::optional<DateTime1980> dateTimeFromSecondsSince1980(std::uint32_t seconds) {
    if (seconds > kLastSecondSince1980)
        return std::nullopt;
    DateTime1980 result;
    int days = static_cast<int>(seconds / kSecondsPerDay);
    const int secondOfDay = static_cast<int>(seconds % kSecondsPerDay);
    result.hour = secondOfDay / 3600;
    result.minute = secondOfDay / 60 % 60;
    result.second = secondOfDay % 60;
    result.weekday = (days + kWeekdayOfFirstDay) % 7;
    result.year = kFirstYear1980;
    while (days >= daysInYear(result.year)) {
        days -= daysInYear(result.year);
        ++result.year;
    }
    result.month = 1;
    while (days >= daysInMonth(result.year, result.month)) {
        days -= daysInMonth(result.year, result.month);
        ++result.month;
    }
    result.day = days + 1;
    return result;
}

int yearFromTerminalYear(unsigned year) {
    const int lastTwoDigits = static_cast<int>(year % 100);
    return lastTwoDigits < 81 ? 2000 + lastTwoDigits : 1900 + lastTwoDigits;
}

} // namespace kestrix

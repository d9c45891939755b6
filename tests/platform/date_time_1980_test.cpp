#include "platform/date_time_1980.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

// Counts worked out independently (calendar arithmetic outside this program);
// weekday 0 is Sunday.
TEST(DateTime1980, KnownDatesBothWaysAndEveryDayRoundTrips) {
    struct Case {
        DateTime1980 dateTime;
        std::uint32_t seconds;
    } cases[] = {
        {{1980, 1, 1, 0, 0, 0, 2}, 0u},
        {{1980, 2, 29, 12, 0, 0, 5}, 5140800u}, // leap day of the first year
        {{1981, 1, 1, 0, 0, 0, 4}, 31622400u},  // after a 366-day year
        {{1999, 12, 31, 23, 59, 59, 5}, 631151999u},
        {{2000, 2, 29, 2, 0, 0, 2}, 636256800u}, // 2000 is a leap year
        {{2000, 3, 1, 0, 0, 0, 3}, 636336000u},
        {{2024, 3, 31, 2, 0, 0, 0}, 1396317600u},     // a summer-time start
        {{2080, 12, 31, 23, 59, 59, 2}, 3187382399u}, // last year a two-digit year reaches
        {{2099, 12, 31, 23, 59, 59, 4}, 3786911999u}, // end of range
    };
    for (const Case& c : cases) {
        EXPECT_EQ(secondsSince1980(c.dateTime), c.seconds) << c.seconds;
        EXPECT_EQ(dateTimeFromSecondsSince1980(c.seconds), c.dateTime) << c.seconds;
    }
    EXPECT_EQ(kLastSecondSince1980, 3786911999u);
    int expectedWeekday = 2;
    for (std::uint32_t day = 0; day <= kLastSecondSince1980 / 86400; ++day) {
        const std::uint32_t seconds = day * 86400 + 3723; // 01:02:03
        const auto dateTime = dateTimeFromSecondsSince1980(seconds);
        ASSERT_TRUE(dateTime) << day;
        ASSERT_EQ(dateTime->weekday, expectedWeekday) << day;
        ASSERT_EQ(secondsSince1980(*dateTime), seconds) << day;
        expectedWeekday = (expectedWeekday + 1) % 7;
    }
}

TEST(DateTime1980, InvalidDatesAndTimesAreRefused) {
    const DateTime1980 invalid[] = {
        {1979, 12, 31, 23, 59, 59, 1},       {2100, 1, 1, 0, 0, 0, 5},  {2023, 2, 29, 0, 0, 0, 0},
        {2024, 2, 30, 0, 0, 0, 0},           {2024, 4, 31, 0, 0, 0, 0}, {2024, 0, 1, 0, 0, 0, 0},
        {2024, 13, 1, 0, 0, 0, 0},           {2024, 1, 0, 0, 0, 0, 0},  {2024, 1, 1, 24, 0, 0, 0},
        {2024, 1, 1, 0, 60, 0, 0},           {2024, 1, 1, 0, 0, 60, 0}, {2024, 1, 1, -1, 0, 0, 0},
        {-2147483647 - 1, 1, 1, 0, 0, 0, 0},
    };
    for (const DateTime1980& dateTime : invalid)
        EXPECT_FALSE(secondsSince1980(dateTime))
            << dateTime.year << "-" << dateTime.month << "-" << dateTime.day;
    EXPECT_FALSE(dateTimeFromSecondsSince1980(kLastSecondSince1980 + 1));
}

TEST(DateTime1980, TerminalYearsPivotAtEightyOne) {
    const std::pair<unsigned, int> cases[] = {{0, 2000},    {80, 2080},   {81, 1981},  {99, 1999},
                                              {1980, 2080}, {2081, 1981}, {9999, 1999}};
    for (const auto& [year, meant] : cases)
        EXPECT_EQ(yearFromTerminalYear(year), meant) << year;
}

} // namespace
} // namespace kestrix

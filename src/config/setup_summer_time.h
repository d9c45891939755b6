#pragma once

#include "config/setup_page.h"
#include "config/setup_spin_range.h"
#include "config/summer_time_conversion.h"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace kestrix {

// The radio buttons of the GMT deviation.
enum class DeviationSign {
    East, // "'-' negative (östliche) Differenz": the block holds a negative number
    West, // "'+' positive (westliche) Differenz"
};

// How a point of the summer-time change-over is given.
enum class SummerTimeForm {
    Calendar, // "jährlich über Kalender": a date and an hour, valid for one year
    Posix,    // "immerwährend mit POSIX-TZ": a rule Mm.w.d[/t], valid every year
};

// The controls of one change-over point (start or end).
struct SummerTimePoint {
    SummerTimeForm form = SummerTimeForm::Calendar;
    std::chrono::year_month_day date{}; // the date control
    int hour = 0;                       // the hour control, 0-23
    std::string posixRule;              // the rule as typed
};

// The controls of the time zone and summer time.
struct SummerTimeValues {
    int deviationHours = 0; // "GMT Abweichung in Stunden"
    DeviationSign sign = DeviationSign::West;
    bool automatic = false; // "automatisch durch das Terminal"
    SummerTimePoint start;  // "Sommerzeitanfang"
    SummerTimePoint end;    // "Sommerzeitende"
};

// The GMT deviation and the summer-time change-over of the "Sonstiges" page:
// the deviation in whole hours east or west of Greenwich (the block holds
// signed minutes, positive west), the automatic change-over and its two
// points, each as a calendar date and hour or as a POSIX rule. A POSIX rule
// that fails the check switches the automatic change-over off with a
// message; the rest of the configuration is still written.
//
// It is part of the "Sonstiges" page and does not stop OK.
class SetupSummerTime {
public:
    // Today's date in the PC's local time (shown when a point has no date).
    using Today = std::function<std::chrono::year_month_day()>;
    static std::chrono::year_month_day localToday();

    static constexpr SpinRange kDeviationHours{0, 14, 1};
    static constexpr std::size_t kPosixRuleLimit = 11;

    explicit SetupSummerTime(const SetupContext& context, Today today = localToday);

    void Get(const SetupBlock& block);
    void Put(SetupBlock& block);

    // The hours the deviation control offers (after Get: widened to the shown value).
    SpinRange deviationHoursRange() const { return deviationHoursRange_; }

    SummerTimeValues values;

private:
    void getPoint(const SetupBlock& block, const BlockField& field, SummerTimePoint& point) const;
    // Stores a point; false when it has no valid date and hour or fails the POSIX check.
    bool putPoint(SetupBlock& block, const BlockField& field, const SummerTimePoint& point) const;

    const SetupContext& context_;
    Today today_;
    SpinRange deviationHoursRange_ = kDeviationHours;
};

// Reads the calendar form ("%2u%2u%1u%4u%2u": month, day, weekday, year,
// hour). Fewer than five numbers zero all fields, trace why and give false.
bool get_summer_time(std::span<const std::uint8_t, kSummerTimeTextSize> text, SummerTimeDigits& digits);

// Whether a text is a POSIX rule the terminal takes: "M" month "." week "."
// day, with "/" hour unless the text has 6 or 7 characters (then the hour is
// 2); month 1-12 (one or two digits), week 1-5, day 0-6, hour 0-23 (one or two
// digits). The whole text must be the rule: no blanks, signs or characters
// after it. Traces the numbers it read.
bool Chk_POSIX_TZ(std::string_view rule);

} // namespace kestrix

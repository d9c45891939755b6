#include "config/setup_summer_time.h"

#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"
#include "platform/trace.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace kestrix {

namespace {

constexpr int kPosixRuleError = 469; // "Fehler in der POSIX-TZ Zeitangabe (Mm.w.d/t), ..."
constexpr std::uint8_t kAutomaticChangeOver = 2;
constexpr std::uint8_t kNoChangeOver = 0;
constexpr int kMinutesPerHour = 60;
constexpr int kLastYear = 9999; // the calendar form holds four digits

// Reads a POSIX rule strictly: literal characters and numbers of one up to
// their width of digits, nothing skipped. Counts the numbers read the way
// sscanf does: -1 when the text ends before the first number.
class RuleReader {
public:
    explicit RuleReader(std::string_view text) : text_(text) {}

    bool literal(char character) {
        if (position_ < text_.size() && text_[position_] == character) {
            ++position_;
            return true;
        }
        if (position_ == text_.size() && count_ == 0)
            count_ = -1;
        return false;
    }
    bool number(std::size_t width, unsigned& value) {
        if (position_ == text_.size() && count_ == 0)
            count_ = -1;
        std::size_t digits = 0;
        unsigned read = 0;
        while (digits < width && position_ < text_.size() && text_[position_] >= '0' &&
               text_[position_] <= '9') {
            read = read * 10 + static_cast<unsigned>(text_[position_] - '0');
            ++position_;
            ++digits;
        }
        if (digits == 0)
            return false;
        value = read;
        ++count_;
        return true;
    }
    bool atEnd() const { return position_ == text_.size(); }
    int count() const { return count_; }

private:
    std::string_view text_;
    std::size_t position_ = 0;
    int count_ = 0;
};

} // namespace

std::chrono::year_month_day SetupSummerTime::localToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return std::chrono::year_month_day{std::chrono::year{local.tm_year + 1900},
                                       std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                                       std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
}

bool get_summer_time(std::span<const std::uint8_t, kSummerTimeTextSize> text, SummerTimeDigits& digits) {
    const int read = readSummerTimeDigits(text, digits);
    if (read == 5)
        return true;
    digits = SummerTimeDigits{};
    trace("CTerminalSetup::get_summer_time(): Umwandlungsfehler in sscanf(), ret: %d:\n", read);
    trace("\tkeine automatische SoWi-Zeitumschaltung jährlich über Datum eingetragen.\n");
    return false;
}

bool Chk_POSIX_TZ(std::string_view rule) {
    const std::string text(rule);
    const bool withHour = rule.size() != 6 && rule.size() != 7;
    unsigned month = 0, week = 0, day = 0, hour = withHour ? 0 : 2;
    RuleReader reader(rule);
    bool read = reader.literal('M') && reader.number(2, month) && reader.literal('.') &&
                reader.number(1, week) && reader.literal('.') && reader.number(1, day);
    if (withHour)
        read = read && reader.literal('/') && reader.number(2, hour);
    // Unlike a scan that stops after the last number, a rule with anything
    // after it is not taken: the terminal would read the text differently.
    if (!read || !reader.atEnd()) {
        if (withHour)
            trace("Chk_POSIX_TZ(): Error '%s%%: i: %d,  m: %u, w: %u, d: %u, h: %u\n", text.c_str(),
                  reader.count(), month, week, day, hour);
        else
            trace("Chk_POSIX_TZ(): Error '%s%%: i: %d,  m: %u, w: %u, d: %u\n", text.c_str(), reader.count(),
                  month, week, day);
        return false;
    }
    trace("Chk_POSIX_TZ(): OK '%s%%: m: %u, w: %u, d: %u, h: %u\n", text.c_str(), month, week, day, hour);
    return month >= 1 && month <= 12 && week >= 1 && week <= 5 && day <= 6 && hour <= 23;
}

SetupSummerTime::SetupSummerTime(const SetupContext& context, Today today)
    : context_(context), today_(std::move(today)) {}

void SetupSummerTime::Get(const SetupBlock& block) {
    const int deviation = static_cast<std::int16_t>(block.unsigned16(setup_field::GmtDeviation.offset));
    values.deviationHours = std::abs(deviation) / kMinutesPerHour;
    values.sign = deviation >= 0 ? DeviationSign::West : DeviationSign::East;
    deviationHoursRange_ = kDeviationHours.including(values.deviationHours);
    values.automatic = block.byte(setup_field::SummerTimeMode.offset) == kAutomaticChangeOver;
    getPoint(block, setup_field::SummerTimeStart, values.start);
    getPoint(block, setup_field::SummerTimeEnd, values.end);
}

void SetupSummerTime::getPoint(const SetupBlock& block, const BlockField& field,
                               SummerTimePoint& point) const {
    point = SummerTimePoint{.form = SummerTimeForm::Calendar, .date = today_(), .hour = 0, .posixRule = {}};
    const std::span<const std::uint8_t, kSummerTimeTextSize> text =
        block.span(field.offset, field.width).first<kSummerTimeTextSize>();
    if (isPosixRule(text)) {
        point.form = SummerTimeForm::Posix;
        point.posixRule = block.text(field);
        return;
    }
    SummerTimeDigits digits;
    if (!get_summer_time(text, digits))
        return;
    const std::chrono::year_month_day date{std::chrono::year{static_cast<int>(digits.year)},
                                           std::chrono::month{digits.month}, std::chrono::day{digits.day}};
    // Digits that name no date or hour show as a point without a date.
    if (date.ok() && digits.hour <= 23) {
        point.date = date;
        point.hour = static_cast<int>(digits.hour);
    }
}

void SetupSummerTime::Put(SetupBlock& block) {
    int minutes = deviationHoursRange_.clamp(values.deviationHours) * kMinutesPerHour;
    if (values.sign == DeviationSign::East)
        minutes = -minutes;
    block.setUnsigned16(setup_field::GmtDeviation.offset,
                        static_cast<std::uint16_t>(static_cast<std::int16_t>(minutes)));
    if (!values.automatic) {
        block.setByte(setup_field::SummerTimeMode.offset, kNoChangeOver);
        return;
    }
    const bool startStored = putPoint(block, setup_field::SummerTimeStart, values.start);
    const bool endStored = putPoint(block, setup_field::SummerTimeEnd, values.end);
    const bool automatic = startStored && endStored;
    block.setByte(setup_field::SummerTimeMode.offset, automatic ? kAutomaticChangeOver : kNoChangeOver);
    if (!automatic)
        context_.messageBoxes.show(
            {kProductCaption, context_.language.GetText(kPosixRuleError), MessageIcon::Error});
}

bool SetupSummerTime::putPoint(SetupBlock& block, const BlockField& field,
                               const SummerTimePoint& point) const {
    if (point.form == SummerTimeForm::Posix) {
        const std::string_view rule = std::string_view(point.posixRule).substr(0, kPosixRuleLimit);
        if (!Chk_POSIX_TZ(rule))
            return false;
        block.setText(field, rule);
        return true;
    }
    const int year = static_cast<int>(point.date.year());
    if (!point.date.ok() || year < 1 || year > kLastYear || point.hour < 0 || point.hour > 23)
        return false;
    // The weekday follows from the date, whatever the block held before.
    const std::chrono::weekday weekday{std::chrono::sys_days{point.date}};
    const SummerTimeText text = summerTimeText(SummerTimeDigits{.month = unsigned{point.date.month()},
                                                                .day = unsigned{point.date.day()},
                                                                .weekday = weekday.c_encoding(),
                                                                .year = static_cast<unsigned>(year),
                                                                .hour = static_cast<unsigned>(point.hour)});
    std::ranges::copy(text, block.span(field.offset, field.width).begin());
    return true;
}

} // namespace kestrix

#include "ui/setup_summer_time_view.h"

#include "ui/setup_controls.h"

#include <QCheckBox>
#include <QDate>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kestrix {

namespace {

constexpr int kTimeZone = 459;
constexpr int kDeviationHours = 460;
constexpr int kEast = 461;
constexpr int kWest = 462;
constexpr int kChangeOver = 463;
constexpr int kAutomatic = 464;
constexpr int kCalendar = 465;
constexpr int kPosix = 466;
constexpr int kStart = 467;
constexpr int kEnd = 468;
constexpr SpinRange kHours{0, 23, 1};

QRadioButton* radio(const QString& text, const QString& name, QWidget* parent) {
    auto* button = new QRadioButton(text, parent);
    button->setObjectName(name);
    return button;
}

QDate qtDate(const std::chrono::year_month_day& date) {
    return QDate(static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
                 static_cast<int>(static_cast<unsigned>(date.day())));
}

std::chrono::year_month_day chronoDate(const QDate& date) {
    return std::chrono::year_month_day{std::chrono::year{date.year()},
                                       std::chrono::month{static_cast<unsigned>(date.month())},
                                       std::chrono::day{static_cast<unsigned>(date.day())}};
}

} // namespace

SetupSummerTimeView::SetupSummerTimeView(SetupSummerTime& summerTime, const CToolBoxLang& language,
                                         QWidget* parent)
    : QGroupBox(setupText(language, kTimeZone), parent), summerTime_(summerTime),
      deviationHours_(setupSpinBox(summerTime.deviationHoursRange(), "deviationHours", this)),
      east_(radio(setupText(language, kEast), QStringLiteral("east"), this)),
      west_(radio(setupText(language, kWest), QStringLiteral("west"), this)),
      automatic_(setupCheckBox(setupText(language, kAutomatic), "automatic", this)) {
    setObjectName(QStringLiteral("timeZone"));
    auto* deviation = new QGridLayout;
    addSetupRow(*deviation, setupText(language, kDeviationHours), deviationHours_);
    deviation->addWidget(east_, 0, 2);
    deviation->addWidget(west_, 1, 2);
    deviation->setColumnStretch(3, 1);

    auto* changeOver = new QGroupBox(setupText(language, kChangeOver), this);
    changeOver->setObjectName(QStringLiteral("changeOver"));
    auto* points = new QHBoxLayout;
    points->addWidget(buildPoint(language, kStart, "start", start_));
    points->addWidget(buildPoint(language, kEnd, "end", end_));
    auto* changeOverLayout = new QVBoxLayout(changeOver);
    automatic_->setParent(changeOver);
    changeOverLayout->addWidget(automatic_);
    changeOverLayout->addLayout(points);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(deviation);
    layout->addWidget(changeOver);
}

QGroupBox* SetupSummerTimeView::buildPoint(const CToolBoxLang& language, int title, const char* name,
                                          PointControls& controls) {
    auto* group = new QGroupBox(setupText(language, title), this);
    const QString prefix = QString::fromLatin1(name);
    group->setObjectName(prefix);
    controls.calendar = radio(setupText(language, kCalendar), prefix + QStringLiteral("Calendar"), group);
    controls.posix = radio(setupText(language, kPosix), prefix + QStringLiteral("Posix"), group);
    controls.date = new QDateEdit(group);
    controls.date->setObjectName(prefix + QStringLiteral("Date"));
    controls.date->setCalendarPopup(true);
    controls.hour = setupSpinBox(kHours, "hour", group);
    controls.hour->setObjectName(prefix + QStringLiteral("Hour"));
    controls.posixRule = setupLineEdit(static_cast<int>(SetupSummerTime::kPosixRuleLimit), "posixRule", group);
    controls.posixRule->setObjectName(prefix + QStringLiteral("PosixRule"));

    auto* grid = new QGridLayout(group);
    grid->addWidget(controls.calendar, 0, 0, 1, 2);
    grid->addWidget(controls.date, 1, 0);
    grid->addWidget(controls.hour, 1, 1);
    grid->addWidget(controls.posix, 2, 0, 1, 2);
    grid->addWidget(controls.posixRule, 3, 0, 1, 2);
    return group;
}

void SetupSummerTimeView::load() {
    const SummerTimeValues& values = summerTime_.values;
    const SpinRange range = summerTime_.deviationHoursRange();
    deviationHours_->setRange(range.minimum, range.maximum);
    deviationHours_->setValue(values.deviationHours);
    east_->setChecked(values.sign == DeviationSign::East);
    west_->setChecked(values.sign == DeviationSign::West);
    automatic_->setChecked(values.automatic);
    loadPoint(values.start, start_);
    loadPoint(values.end, end_);
}

void SetupSummerTimeView::store() {
    SummerTimeValues& values = summerTime_.values;
    values.deviationHours = deviationHours_->value();
    values.sign = east_->isChecked() ? DeviationSign::East : DeviationSign::West;
    values.automatic = automatic_->isChecked();
    storePoint(start_, values.start);
    storePoint(end_, values.end);
}

void SetupSummerTimeView::loadPoint(const SummerTimePoint& point, PointControls& controls) {
    controls.calendar->setChecked(point.form == SummerTimeForm::Calendar);
    controls.posix->setChecked(point.form == SummerTimeForm::Posix);
    controls.date->setDate(qtDate(point.date));
    controls.hour->setValue(point.hour);
    controls.posixRule->setText(qtText(point.posixRule));
}

void SetupSummerTimeView::storePoint(const PointControls& controls, SummerTimePoint& point) {
    point.form = controls.posix->isChecked() ? SummerTimeForm::Posix : SummerTimeForm::Calendar;
    point.date = chronoDate(controls.date->date());
    point.hour = controls.hour->value();
    point.posixRule = plainText(controls.posixRule->text());
}

} // namespace kestrix

#pragma once

#include "config/setup_summer_time.h"

#include <QGroupBox>

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace kestrix {

class CToolBoxLang;

// The "Zeitzone und Sommerzeit" group of the "Sonstiges" page: the GMT
// deviation with its sign, the automatic change-over and its start and end,
// each as a calendar date and hour or as a POSIX rule. The checks are the
// logic's (at OK); this group only binds the values.
class SetupSummerTimeView : public QGroupBox {
    Q_OBJECT
public:
    SetupSummerTimeView(SetupSummerTime& summerTime, const CToolBoxLang& language, QWidget* parent);
    void load();
    void store();

private:
    // The controls of one change-over point.
    struct PointControls {
        QRadioButton* calendar;
        QRadioButton* posix;
        QDateEdit* date;
        QSpinBox* hour;
        QLineEdit* posixRule;
    };
    QGroupBox* buildPoint(const CToolBoxLang& language, int title, const char* name, PointControls& controls);
    static void loadPoint(const SummerTimePoint& point, PointControls& controls);
    static void storePoint(const PointControls& controls, SummerTimePoint& point);

    SetupSummerTime& summerTime_;
    QSpinBox* deviationHours_;
    QRadioButton* east_;
    QRadioButton* west_;
    QCheckBox* automatic_;
    PointControls start_{};
    PointControls end_{};
};

} // namespace kestrix

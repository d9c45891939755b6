#pragma once

#include "config/setup_page_misc.h"
#include "ui/setup_page_view.h"

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace kestrix {

class SetupSummerTimeView;

// The "Sonstiges" page's view: the display's character set, the setup
// passwords (each changed through its password dialog, enabled as the page
// says), the maintenance group, backlight, key clicks, buzzer, blue LED, the
// DCU4 AKKU button and the time zone with summer time. Unchecking the
// backlight lets the page ask first.
class SetupMiscView : public SetupPageView {
    Q_OBJECT
public:
    SetupMiscView(SetupPageMisc& page, const CToolBoxLang& language, QWidget* parent);
    void load() override;
    void store() override;

private:
    QWidget* buildPasswords(const CToolBoxLang& language);
    void changePassword(int grade);

    SetupPageMisc& page_;
    const CToolBoxLang& language_;
    QComboBox* characterSet_;
    QLineEdit* maintenanceGroup_;
    QCheckBox* backlightDims_;
    QCheckBox* functionKeyClicks_;
    QCheckBox* otherKeyClicks_;
    QCheckBox* noBuzzer_;
    QSpinBox* blueLed_;
    QCheckBox* dcu4Button_;
    std::array<QPushButton*, 3> passwordButtons_{};
    SetupSummerTimeView* summerTime_;
    bool loading_ = false;
};

} // namespace kestrix

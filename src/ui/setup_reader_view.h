#pragma once

#include "config/setup_page_reader.h"
#include "ui/setup_page_view.h"

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace kestrix {

// The "Interner Leser" page's view: the reader type and mode lists (the
// modes follow the type: another type selects its first mode), the further
// option and the two chipcard parameters, enabled as the page says.
class SetupReaderView : public SetupPageView {
    Q_OBJECT
public:
    SetupReaderView(SetupPageReader& page, const CToolBoxLang& language, QWidget* parent);
    void load() override;
    void store() override;

private:
    void fillModes();
    void enableChipcard();

    SetupPageReader& page_;
    QComboBox* type_;
    QComboBox* mode_;
    QCheckBox* furtherOption_;
    QSpinBox* chipcard1_;
    QSpinBox* chipcard2_;
    bool loading_ = false;
};

} // namespace kestrix

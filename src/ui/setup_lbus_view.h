#pragma once

#include "config/setup_page_lbus.h"
#include "ui/setup_page_view.h"

#include <array>

class QCheckBox;
class QComboBox;

namespace kestrix {

// An LBus page's view ("LBus1", "LBus2"): the bus's reader type and its
// eight reader boxes ("Leser 1" to "Leser 8", or 9 to 16), or only the
// page's text when the terminal cannot use this bus.
//
// The key dialog of the bus is not part of this view.
class SetupLbusView : public SetupPageView {
    Q_OBJECT
public:
    SetupLbusView(SetupPageLbus& page, const CToolBoxLang& language, QWidget* parent);
    void load() override;
    void store() override;

private:
    SetupPageLbus& page_;
    QComboBox* readerType_ = nullptr;
    std::array<QCheckBox*, kReadersPerBus> readers_{};
};

} // namespace kestrix

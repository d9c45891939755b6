#pragma once

#include "config/setup_page_lbus.h"
#include "ui/setup_page_view.h"

#include <array>

class QCheckBox;
class QComboBox;
class QPushButton;

namespace kestrix {

// An LBus page's view ("LBus1", "LBus2"): the bus's reader type and its
// eight reader boxes ("Leser 1" to "Leser 8", or 9 to 16), or only the
// page's text when the terminal cannot use this bus.
//
// "LBus-Schlüssel erzeugen" (grade 3) makes the bus's key, which the editor
// holds until OK writes it.
class SetupLbusView : public SetupPageView {
    Q_OBJECT
public:
    SetupLbusView(SetupPageLbus& page, CTerminalSetup& editor, const CToolBoxLang& language, QWidget* parent);
    void load() override;
    void store() override;

private:
    void makeKey();

    SetupPageLbus& page_;
    SetupPendingKeys& keys_;
    const CToolBoxLang& language_;
    QPushButton* key_ = nullptr;
    QComboBox* readerType_ = nullptr;
    std::array<QCheckBox*, kReadersPerBus> readers_{};
};

} // namespace kestrix

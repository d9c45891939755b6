#pragma once

#include "address_reset/reset_exe.h"

#include <QWidget>

#include <array>
#include <functional>

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace kestrix {

// The reset dialog in the detail pane: the question with the terminal, the
// start-up mode radios (enabled and shown as the logic offers them, warm
// start checked), the force-reboot box (unchecked), OK and Cancel (Cancel the
// default). OK hands the reset to runLong, which runs it on a worker while the
// window stays responsive, and disables both buttons until the dialog ends;
// Cancel ends the dialog.
//
// It decides nothing: the modes offered, the texts and the layout are the
// logic's; the frame destroys the view when the dialog has sent its idle message.
class ResetDialogView : public QWidget {
    Q_OBJECT
public:
    ResetDialogView(ResetExe& dialog, std::function<void(std::function<void()>)> runLong, QWidget* parent);

private:
    void onOK();
    ResetMode checkedMode() const;

    ResetExe& dialog_;
    std::function<void(std::function<void()>)> runLong_;
    std::array<QRadioButton*, 5> modes_{};
    QCheckBox* forceReboot_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

} // namespace kestrix

#pragma once

#include "config/setup_page_channel.h"
#include "ui/setup_page_view.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace kestrix {

// One channel page's view ("Kanal A" to "Kanal D"): the buffer sizes, baud
// rate and data format lists of this terminal, the line options, the
// timeouts and ids, and on channel A the host address and TCP port. The
// lists, ranges and every rule are the page's.
class SetupChannelView : public SetupPageView {
    Q_OBJECT
public:
    SetupChannelView(SetupPageChannel& page, const CToolBoxLang& language, QWidget* parent);
    void load() override;
    void store() override;

private:
    QWidget* buildHostChannel(const CToolBoxLang& language);

    SetupPageChannel& page_;
    QSpinBox* transmitBuffer_;
    QSpinBox* receiveBuffer_;
    QComboBox* baudRate_;
    QComboBox* dataFormat_;
    QCheckBox* ignoreEndOfLine_;
    QCheckBox* suppressCharacters_;
    QCheckBox* processing_;
    QSpinBox* eofCounter_;
    QSpinBox* delayTime_;
    QSpinBox* groupId_;
    QSpinBox* deviceId_;
    QSpinBox* padNumber_;
    QSpinBox* pollTimeout_;
    QSpinBox* dataTimeout_;
    QSpinBox* transmitDelay_;
    QSpinBox* quitTimeout_;
    QLineEdit* hostAddress_ = nullptr;
    QLineEdit* port_ = nullptr;
};

} // namespace kestrix

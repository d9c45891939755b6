#include "ui/setup_channel_view.h"

#include "ui/setup_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kestrix {

namespace {

constexpr int kBufferSize = 351;
constexpr int kTransmit = 352;
constexpr int kReceive = 353;
constexpr int kBaudRate = 354;
constexpr int kDataFormat = 355;
constexpr int kIgnoreEndOfLine = 356;
constexpr int kSuppressCharacters = 357;
constexpr int kProcessing = 358;
constexpr int kEofCounter = 359;
constexpr int kDelayTime = 360;
constexpr int kGroupId = 361;
constexpr int kDeviceId = 362;
constexpr int kPadNumber = 363;
constexpr int kPollTimeout = 364;
constexpr int kDataTimeout = 365;
constexpr int kTransmitDelay = 366;
constexpr int kQuitTimeout = 367;
constexpr int kHostAddress = 441;
constexpr int kPort = 442;
constexpr SpinRange kId{0, SetupPageChannel::kHighestId, 1};

void fillList(QComboBox& list, const std::vector<std::string_view>& names) {
    list.clear();
    for (std::string_view name : names)
        list.addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

void setRange(QSpinBox& spin, SpinRange range) {
    spin.setRange(range.minimum, range.maximum);
    spin.setSingleStep(range.step);
}

} // namespace

SetupChannelView::SetupChannelView(SetupPageChannel& page, const CToolBoxLang& language, QWidget* parent)
    : SetupPageView(parent), page_(page),
      transmitBuffer_(setupSpinBox(SetupPageChannel::kBuffer, "transmitBuffer", this)),
      receiveBuffer_(setupSpinBox(SetupPageChannel::kBuffer, "receiveBuffer", this)),
      baudRate_(new QComboBox(this)), dataFormat_(new QComboBox(this)),
      ignoreEndOfLine_(setupCheckBox(setupText(language, kIgnoreEndOfLine), "ignoreEndOfLine", this)),
      suppressCharacters_(setupCheckBox(setupText(language, kSuppressCharacters), "suppressCharacters", this)),
      processing_(setupCheckBox(setupText(language, kProcessing), "processing", this)),
      eofCounter_(setupSpinBox(SetupPageChannel::kByte, "eofCounter", this)),
      delayTime_(setupSpinBox(SetupPageChannel::kDelayTime, "delayTime", this)),
      groupId_(setupSpinBox(kId, "groupId", this)), deviceId_(setupSpinBox(kId, "deviceId", this)),
      padNumber_(setupSpinBox(SetupPageChannel::kPadNumber, "padNumber", this)),
      pollTimeout_(setupSpinBox(page.pollTimeoutRange(), "pollTimeout", this)),
      dataTimeout_(setupSpinBox(page.dataTimeoutRange(), "dataTimeout", this)),
      transmitDelay_(setupSpinBox(SetupPageChannel::kByte, "transmitDelay", this)),
      quitTimeout_(setupSpinBox(SetupPageChannel::kQuitTimeout, "quitTimeout", this)) {
    baudRate_->setObjectName(QStringLiteral("baudRate"));
    dataFormat_->setObjectName(QStringLiteral("dataFormat"));

    auto* buffers = new QGroupBox(setupText(language, kBufferSize), this);
    buffers->setObjectName(QStringLiteral("bufferSize"));
    auto* bufferGrid = new QGridLayout(buffers);
    transmitBuffer_->setParent(buffers);
    receiveBuffer_->setParent(buffers);
    addSetupRow(*bufferGrid, setupText(language, kTransmit), transmitBuffer_);
    addSetupRow(*bufferGrid, setupText(language, kReceive), receiveBuffer_);

    auto* line = new QGridLayout;
    addSetupRow(*line, setupText(language, kBaudRate), baudRate_);
    addSetupRow(*line, setupText(language, kDataFormat), dataFormat_);
    addSetupRow(*line, setupText(language, kEofCounter), eofCounter_);
    addSetupRow(*line, setupText(language, kDelayTime), delayTime_);
    addSetupRow(*line, setupText(language, kTransmitDelay), transmitDelay_);
    auto* options = new QVBoxLayout;
    for (QCheckBox* box : {ignoreEndOfLine_, suppressCharacters_, processing_})
        options->addWidget(box);
    options->addStretch(1);

    auto* bus = new QGridLayout;
    addSetupRow(*bus, setupText(language, kGroupId), groupId_);
    addSetupRow(*bus, setupText(language, kDeviceId), deviceId_);
    addSetupRow(*bus, setupText(language, kPadNumber), padNumber_);
    addSetupRow(*bus, setupText(language, kPollTimeout), pollTimeout_);
    addSetupRow(*bus, setupText(language, kDataTimeout), dataTimeout_);
    addSetupRow(*bus, setupText(language, kQuitTimeout), quitTimeout_);

    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(buffers);
    left->addLayout(options);
    columns->addLayout(left);
    columns->addLayout(line);
    columns->addLayout(bus);
    columns->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    if (page_.hostChannel())
        layout->addWidget(buildHostChannel(language));
    layout->addLayout(columns);
    layout->addStretch(1);
}

QWidget* SetupChannelView::buildHostChannel(const CToolBoxLang& language) {
    auto* host = new QWidget(this);
    hostAddress_ = setupLineEdit(static_cast<int>(HostChannelSettings::kAddressTextLimit), "hostAddress", host);
    port_ = setupLineEdit(static_cast<int>(HostChannelSettings::kPortTextLimit), "port", host);
    auto* grid = new QGridLayout(host);
    grid->setContentsMargins(0, 0, 0, 0);
    addSetupRow(*grid, setupText(language, kHostAddress), hostAddress_);
    addSetupRow(*grid, setupText(language, kPort), port_);
    grid->setColumnStretch(1, 1);
    return host;
}

void SetupChannelView::load() {
    const ChannelPageValues& values = page_.values;
    fillList(*baudRate_, page_.baudRateNames());
    fillList(*dataFormat_, page_.dataFormatNames());
    setRange(*pollTimeout_, page_.pollTimeoutRange());
    setRange(*dataTimeout_, page_.dataTimeoutRange());
    transmitBuffer_->setValue(values.transmitBuffer);
    receiveBuffer_->setValue(values.receiveBuffer);
    baudRate_->setCurrentIndex(values.baudRate);
    dataFormat_->setCurrentIndex(values.dataFormat);
    ignoreEndOfLine_->setChecked(values.ignoreEndOfLine);
    suppressCharacters_->setChecked(values.suppressCharacters);
    processing_->setChecked(values.processing);
    eofCounter_->setValue(values.eofCounter);
    delayTime_->setValue(values.delayTime);
    groupId_->setValue(values.groupId);
    deviceId_->setValue(values.deviceId);
    padNumber_->setValue(values.padNumber);
    pollTimeout_->setValue(values.pollTimeout);
    dataTimeout_->setValue(values.dataTimeout);
    transmitDelay_->setValue(values.transmitDelay);
    quitTimeout_->setValue(values.quitTimeout);
    if (HostChannelSettings* host = page_.hostChannel()) {
        hostAddress_->setText(qtText(host->values.hostAddress));
        port_->setText(qtText(host->values.port));
    }
}

void SetupChannelView::store() {
    ChannelPageValues& values = page_.values;
    values.transmitBuffer = transmitBuffer_->value();
    values.receiveBuffer = receiveBuffer_->value();
    values.baudRate = baudRate_->currentIndex();
    values.dataFormat = dataFormat_->currentIndex();
    values.ignoreEndOfLine = ignoreEndOfLine_->isChecked();
    values.suppressCharacters = suppressCharacters_->isChecked();
    values.processing = processing_->isChecked();
    values.eofCounter = eofCounter_->value();
    values.delayTime = delayTime_->value();
    values.groupId = groupId_->value();
    values.deviceId = deviceId_->value();
    values.padNumber = padNumber_->value();
    values.pollTimeout = pollTimeout_->value();
    values.dataTimeout = dataTimeout_->value();
    values.transmitDelay = transmitDelay_->value();
    values.quitTimeout = quitTimeout_->value();
    if (HostChannelSettings* host = page_.hostChannel()) {
        host->values.hostAddress = plainText(hostAddress_->text());
        host->values.port = plainText(port_->text());
    }
}

} // namespace kestrix

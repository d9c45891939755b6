#include "ui/terminal_tcl_view.h"

#include "messages/toolbox_lang.h"
#include "ui/plain_label.h"
#include "ui/ui_thread.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QValidator>

#include <utility>

namespace kestrix {

namespace {

// Message table entries of the console's controls.
constexpr int kEditStatementTip = 471;
constexpr int kEscapeTip = 472;
constexpr int kSendTip = 473;
constexpr int kChooseFileTip = 474;
constexpr int kFileListTip = 475;
constexpr int kDownloadTip = 476;
constexpr int kPreviewTip = 477;
constexpr int kOutputTip = 478;
constexpr int kDateTimeTip = 479;
constexpr int kConnectionTip = 480;
constexpr int kStatementLabel = 481; // "TCL-Anweisung"
constexpr int kFileLabel = 482;      // "TCL-Datei"
constexpr int kSend = 483;
constexpr int kChooseFile = 484; // "Datei..."
constexpr int kDownload = 485;
constexpr int kDateTime = 486;
constexpr int kDisconnect = 487; // "Trennen"
constexpr int kConnect = 488;    // "Verbinden"
constexpr int kConnecting = 489; // "Verbindung wird aufgebaut..."

// The statement box takes what the user types up to the limit. A text the
// logic sets (a statement with ESC appended, a history entry) is shown whole,
// as a length limit would cut its end.
class LengthLimit : public QValidator {
public:
    LengthLimit(qsizetype limit, QObject* parent) : QValidator(parent), limit_(limit) {}
    State validate(QString& input, int& /*position*/) const override {
        return input.size() <= limit_ ? Acceptable : Invalid;
    }

private:
    qsizetype limit_;
};

QString text(const CToolBoxLang& language, int id) {
    return QString::fromStdString(language.GetText(id));
}

QString decodedLine(std::string_view line) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8(QByteArrayView(line.data(), static_cast<qsizetype>(line.size())));
    if (utf8.hasError())
        return QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
    return decoded;
}

QFont outputFont() {
    QFont font = QFontDatabase::families().contains(QStringLiteral("Courier New"))
                     ? QFont(QStringLiteral("Courier New"))
                     : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace

QString outputDisplayText(std::string_view text) {
    QString display;
    std::size_t lineStart = 0;
    std::string line;
    for (std::size_t position = 0; position < text.size(); ++position) {
        if (text[position] == '\r' && position + 1 < text.size() && text[position + 1] == '\n') {
            display += decodedLine(line + std::string(text.substr(lineStart, position - lineStart)));
            display += QLatin1Char('\n');
            line.clear();
            lineStart = ++position + 1;
        } else if (text[position] == '\r' || text[position] == '\n') {
            line += text.substr(lineStart, position - lineStart);
            lineStart = position + 1;
        }
    }
    display += decodedLine(line + std::string(text.substr(lineStart)));
    return display;
}

TerminalTclView::TerminalTclView(CTerminalTCL& dialog, const CToolBoxLang& language,
                                 LongOperationRunner runLong, std::function<bool()> operationRunning,
                                 QWidget* parent)
    : QWidget(parent), dialog_(dialog), runLong_(std::move(runLong)),
      operationRunning_(std::move(operationRunning)), connectText_(text(language, kConnect)),
      disconnectText_(text(language, kDisconnect)) {
    buildControls(language);
    buildLayout(language);
    setConnectedControlsEnabled(false);
    setFocusProxy(statement_);
    dialog_.attachView(*this);
}

TerminalTclView::~TerminalTclView() {
    // From here on the connection's worker reaches no longer this widget;
    // output it queued before is dropped with it.
    dialog_.detachView();
}

void TerminalTclView::buildControls(const CToolBoxLang& language) {
    header_ = plainLabel(language.GetText(kConnecting), this);
    header_->setObjectName(QStringLiteral("header"));
    QFont bold = header_->font();
    bold.setBold(true);
    header_->setFont(bold);

    close_ = new QToolButton(this);
    close_->setObjectName(QStringLiteral("close"));
    close_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close_->setAutoRaise(true);
    close_->setFocusPolicy(Qt::NoFocus);

    output_ = new QPlainTextEdit(this);
    output_->setObjectName(QStringLiteral("output"));
    output_->setReadOnly(true);
    output_->setFont(outputFont());
    output_->setLineWrapMode(QPlainTextEdit::NoWrap);
    output_->setToolTip(text(language, kOutputTip));

    statement_ = new QComboBox(this);
    statement_->setObjectName(QStringLiteral("statement"));
    statement_->setEditable(true);
    statement_->setInsertPolicy(QComboBox::NoInsert);
    statement_->setValidator(
        new LengthLimit(static_cast<qsizetype>(CTerminalTCL::kStatementLimit), statement_));
    statement_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    statement_->setMinimumContentsLength(16);
    statement_->setToolTip(text(language, kEditStatementTip));

    escape_ = new QPushButton(QStringLiteral("ESC"), this);
    escape_->setObjectName(QStringLiteral("escape"));
    escape_->setToolTip(text(language, kEscapeTip));
    send_ = new QPushButton(text(language, kSend), this);
    send_->setObjectName(QStringLiteral("send"));
    send_->setToolTip(text(language, kSendTip));
    send_->setDefault(true);

    files_ = new QComboBox(this);
    files_->setObjectName(QStringLiteral("files"));
    files_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    files_->setMinimumContentsLength(16);
    files_->setToolTip(text(language, kFileListTip));
    chooseFile_ = new QPushButton(text(language, kChooseFile), this);
    chooseFile_->setObjectName(QStringLiteral("chooseFile"));
    chooseFile_->setToolTip(text(language, kChooseFileTip));
    preview_ = new QLabel(this);
    preview_->setObjectName(QStringLiteral("preview"));
    preview_->setTextFormat(Qt::PlainText);
    preview_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Long lines are cut at the pane's edge instead of widening it.
    preview_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    preview_->setMinimumHeight(2 * preview_->fontMetrics().lineSpacing());
    preview_->setToolTip(text(language, kPreviewTip));

    download_ = new QPushButton(text(language, kDownload), this);
    download_->setObjectName(QStringLiteral("download"));
    download_->setToolTip(text(language, kDownloadTip));
    dateTime_ = new QPushButton(text(language, kDateTime), this);
    dateTime_->setObjectName(QStringLiteral("dateTime"));
    dateTime_->setToolTip(text(language, kDateTimeTip));
    connection_ = new QPushButton(this);
    connection_->setObjectName(QStringLiteral("connection"));
    connection_->setToolTip(text(language, kConnectionTip));
    for (QPushButton* button : {escape_, chooseFile_, download_, dateTime_, connection_})
        button->setAutoDefault(false);

    pollTimer_ = new QTimer(this);
    pollTimer_->setInterval(CTerminalTCL::kPollPeriodMilliseconds);
    connect(pollTimer_, &QTimer::timeout, this, &TerminalTclView::onPollTick);

    // The worker needs the logic only, which outlives this widget.
    CTerminalTCL& logic = dialog_;
    connect(send_, &QPushButton::clicked, this, [this, &logic] {
        const std::string statement = statement_->currentText().toStdString();
        runLong_([&logic, statement] { logic.OnButtonSend(statement); });
    });
    connect(download_, &QPushButton::clicked, this,
            [this, &logic] { runLong_([&logic] { logic.OnButtonDownload(); }); });
    connect(dateTime_, &QPushButton::clicked, this,
            [this, &logic] { runLong_([&logic] { logic.OnButtonDateTime(); }); });
    connect(connection_, &QPushButton::clicked, this,
            [this, &logic] { runLong_([&logic] { logic.OnButtonConn(); }); });
    connect(close_, &QToolButton::clicked, this, [this, &logic] { runLong_([&logic] { logic.OnClose(); }); });
    connect(escape_, &QPushButton::clicked, this, [this] {
        callHere([this] { dialog_.OnButtonEsc(statement_->currentText().toStdString()); });
        statement_->setFocus();
    });
    connect(files_, &QComboBox::activated, this,
            [this](int index) { callHere([this, index] { dialog_.OnSelectFile(index); }); });
    connect(chooseFile_, &QPushButton::clicked, this,
            [this] { callHere([this] { dialog_.OnButtonFile(); }); });
}

void TerminalTclView::buildLayout(const CToolBoxLang& language) {
    auto* top = new QHBoxLayout;
    top->addWidget(header_, 1);
    top->addWidget(close_, 0, Qt::AlignTop);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(12, 8, 12, 12);
    layout->setColumnStretch(0, 1);
    layout->addLayout(top, 0, 0, 1, 3);
    layout->addWidget(output_, 1, 0, 1, 3);
    layout->setRowStretch(1, 1);
    layout->addWidget(plainLabel(language.GetText(kStatementLabel), this), 2, 0, 1, 3);
    layout->addWidget(statement_, 3, 0);
    layout->addWidget(escape_, 3, 1);
    layout->addWidget(send_, 3, 2);
    layout->addWidget(plainLabel(language.GetText(kFileLabel), this), 4, 0, 1, 3);
    layout->addWidget(files_, 5, 0);
    layout->addWidget(chooseFile_, 5, 1);
    layout->addWidget(download_, 5, 2);
    layout->addWidget(preview_, 6, 0, 1, 3);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(dateTime_);
    bottom->addWidget(connection_);
    layout->addLayout(bottom, 7, 0, 1, 3);
}

void TerminalTclView::callHere(const std::function<void()>& call) {
    if (callingLogic_ || operationRunning_())
        return;
    callingLogic_ = true;
    call();
    callingLogic_ = false;
}

void TerminalTclView::onPollTick() {
    callHere([this] { dialog_.OnTimer(CTerminalTCL::kPollTimerId); });
}

void TerminalTclView::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Handled here: which button of the window is its default
            // changes with the focus.
            if (send_->isEnabled())
                send_->click();
            return;
        case Qt::Key_Escape:
            close_->click();
            return;
        default:
            break;
        }
    }
    QWidget::keyPressEvent(event);
}

void TerminalTclView::setHeader(const std::string& text) {
    onThreadOf(*this, [this, &text] { header_->setText(QString::fromStdString(text)); });
}

void TerminalTclView::setConnectedControlsEnabled(bool enabled) {
    onThreadOf(*this, [this, enabled] {
        for (QPushButton* button : {send_, download_, dateTime_})
            button->setEnabled(enabled);
        connection_->setText(enabled ? disconnectText_ : connectText_);
    });
}

void TerminalTclView::appendOutputLine(const std::string& line) {
    // From the connection's worker: queued, never waiting (the window's
    // worker may be waiting for that worker's end).
    QMetaObject::invokeMethod(
        this, [this, lines = outputDisplayText(line)] { appendHere(lines); }, Qt::QueuedConnection);
}

void TerminalTclView::replaceOutput(const std::string& text) {
    QMetaObject::invokeMethod(
        this, [this, whole = outputDisplayText(text)] { replaceHere(whole); }, Qt::QueuedConnection);
}

void TerminalTclView::appendHere(const QString& lines) {
    QTextCursor cursor(output_->document());
    cursor.movePosition(QTextCursor::End);
    // The logic's text begins with a line end; each line is followed by one.
    if (output_->document()->isEmpty())
        cursor.insertText(QStringLiteral("\n"));
    cursor.insertText(lines + QLatin1Char('\n'));
    scrollToEnd();
}

void TerminalTclView::replaceHere(const QString& text) {
    output_->setPlainText(text);
    scrollToEnd();
}

void TerminalTclView::scrollToEnd() {
    output_->moveCursor(QTextCursor::End);
    output_->ensureCursorVisible();
}

void TerminalTclView::showStatementHistory(const std::vector<std::string>& history) {
    onThreadOf(*this, [this, &history] {
        statement_->clear();
        for (const std::string& entry : history)
            statement_->addItem(QString::fromStdString(entry));
        statement_->setCurrentIndex(history.empty() ? -1 : 0);
    });
}

void TerminalTclView::setStatementText(const std::string& text) {
    onThreadOf(*this, [this, &text] { statement_->setEditText(QString::fromStdString(text)); });
}

void TerminalTclView::showFileList(const std::vector<std::string>& names, int selected) {
    onThreadOf(*this, [this, &names, selected] {
        files_->clear();
        for (const std::string& name : names)
            files_->addItem(QString::fromStdString(name));
        files_->setCurrentIndex(selected);
    });
}

void TerminalTclView::setPreview(const std::string& text) {
    onThreadOf(*this, [this, &text] {
        QString preview = QString::fromStdString(text);
        if (preview.endsWith(QLatin1Char('\n')))
            preview.chop(1);
        preview_->setText(preview);
    });
}

bool TerminalTclView::startPollTimer() {
    return onThreadOf(*this, [this] {
        pollTimer_->start();
        return pollTimer_->isActive();
    });
}

void TerminalTclView::stopPollTimer() {
    onThreadOf(*this, [this] { pollTimer_->stop(); });
}

std::optional<std::string> TerminalTclView::askTclFile(const std::string& directory,
                                                       const std::string& filter) {
    return onThreadOf(*this, [this, &directory, &filter]() -> std::optional<std::string> {
        QFileDialog chooser(this);
        chooser.setAcceptMode(QFileDialog::AcceptOpen);
        chooser.setFileMode(QFileDialog::ExistingFile);
        chooser.setDirectory(QString::fromStdString(directory));
        chooser.setNameFilter(QString::fromStdString(filter));
        chooser.setDefaultSuffix(QStringLiteral("tcl"));
        if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
            return std::nullopt;
        return chooser.selectedFiles().constFirst().toStdString();
    });
}

} // namespace kestrix

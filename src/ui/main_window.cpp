#include "ui/main_window.h"

#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "ui/idle_picture.h"
#include "ui/list_box_terminal.h"
#include "ui/local_page.h"
#include "ui/set_ip_address_view.h"
#include "ui/show_terminal.h"
#include "ui/toolbox_wait.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTextBrowser>

#include <array>

namespace kestrix {
namespace {

// A control's text and tool tip from the message table.
void setTexts(QAbstractButton& button, const CToolBoxLang& language, int textId, int toolTipId) {
    button.setText(QString::fromStdString(language.GetText(textId)));
    button.setToolTip(QString::fromStdString(language.GetText(toolTipId)));
}

// The search button's picture: a magnifying glass. The message table has a
// tool tip for the search but no short button text in both languages.
QIcon magnifierIcon() {
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(40, 40, 40), 2.2));
    painter.setBrush(QColor(190, 220, 255));
    painter.drawEllipse(QRectF(2.5, 2.5, 10.5, 10.5));
    painter.setPen(QPen(QColor(40, 40, 40), 3.2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(12.5, 12.5), QPointF(17.5, 17.5));
    return QIcon(pixmap);
}

} // namespace

MainWindow::MainWindow() : QDialog(nullptr) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_QuitOnClose);
    setWindowTitle(QString::fromUtf8(kProductCaption));
    // Its dialogs and message boxes show it too (they take their parent's).
    setWindowIcon(programIcon());
    buildControls();
    buildLayout();
    connectControls();
}

MainWindow::~MainWindow() {
    setWaitCursor(false);
}

void MainWindow::applyTexts(const CToolBoxLang& language) {
    setWindowTitle(QString::fromUtf8(kProductCaption));
    search_->setIcon(magnifierIcon());
    search_->setText({});
    search_->setToolTip(QString::fromStdString(language.GetText(37)));
    constexpr std::array<std::pair<SortOrder, int>, 5> sortTexts = {{{SortOrder::Product, 30},
                                                                     {SortOrder::SerialNumber, 2},
                                                                     {SortOrder::IPAddress, 4},
                                                                     {SortOrder::DNSName, 33},
                                                                     {SortOrder::Firmware, 31}}};
    for (const auto& [order, textId] : sortTexts)
        sortButtons_->button(static_cast<int>(order))
            ->setText(QString::fromStdString(language.GetText(textId)));
    groupFilter_->setText(QString::fromStdString(language.GetText(79)));
    showIPv6_->setText(QString::fromStdString(language.GetText(80)));
    list_->setToolTip(QString::fromStdString(language.GetText(41)));
    nameField_->setToolTip(QString::fromStdString(language.GetText(42)));
    setTexts(*add_, language, 34, 43);
    setTexts(*clear_, language, 38, 38);
    setTexts(*remove_, language, 40, 40);
    export_->setText(QStringLiteral("Export..."));
    setTexts(*status_, language, 10, 10);
    setTexts(*help_, language, 27, 27);
    setTexts(*information_, language, 32, 32);
    setTexts(*maintenanceGroup_, language, 39, 39);
    // The action buttons: the tool tip is the button's text.
    setTexts(*reset_, language, 87, 87);
    reset_->setToolTip(QStringLiteral("Reset"));
    setTexts(*setup_, language, 29, 29);
    setup_->setToolTip(QStringLiteral("Setup"));
    setTexts(*tcl_, language, 25, 25);
    setTexts(*lbus_, language, 26, 26);
    setTexts(*setipa_, language, 28, 28);
    setTexts(*firmware_, language, 23, 23);
    setTexts(*keyboard_, language, 24, 24);
}

void MainWindow::placeAndShow() {
    resize(kWidth, kHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().topLeft());
    show();
    add_->setFocus();
}

DialogFontSize MainWindow::fontSize() const {
    const QFontMetrics metrics(font());
    return {metrics.height(), metrics.maxWidth(), metrics.averageCharWidth()};
}

void MainWindow::setSelectorEntries(const std::vector<std::string>& entries, int current) {
    const QSignalBlocker blocker(selector_);
    selector_->clear();
    for (const std::string& entry : entries)
        selector_->addItem(QString::fromStdString(entry));
    selector_->setCurrentIndex(current);
}

void MainWindow::setPresentation(const ListPresentation& presentation) {
    const QSignalBlocker groupBlocker(groupFilter_);
    const QSignalBlocker ipv6Blocker(showIPv6_);
    if (QAbstractButton* sortButton = sortButtons_->button(static_cast<int>(presentation.order)))
        sortButton->setChecked(true);
    groupFilter_->setChecked(presentation.filter == GroupFilter::CurrentGroupOnly);
    showIPv6_->setChecked(presentation.addresses == AddressForm::IPv6);
}

void MainWindow::showRows(const std::vector<TerminalRow>& rows, const std::vector<std::size_t>& selected) {
    list_->showRows(rows, selected);
}

void MainWindow::setControlsEnabled(bool enabled) {
    controlsEnabled_ = enabled;
    updateEnabled();
}

void MainWindow::setActionButtonsEnabled(bool enabled) {
    actionButtonsEnabled_ = enabled;
    updateEnabled();
}

void MainWindow::holdTerminalActions(bool held) {
    terminalActionsHeld_ = held;
    updateEnabled();
}

void MainWindow::setWaitCursor(bool waiting) {
    if (waiting == waitCursor_)
        return;
    waitCursor_ = waiting;
    if (waiting)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void MainWindow::showIdlePicture() {
    showDetail(idlePicture_);
}

void MainWindow::showTerminalDetails(const ShowTerminalText& text) {
    showTerminal_->showTerminal(text);
    showDetail(showTerminal_);
}

void MainWindow::showWaitWindow(const std::string& title, const std::string& pleaseWait) {
    waitWindow_->setTexts(title, pleaseWait);
    showDetail(waitWindow_);
}

void MainWindow::setProgressLine(const std::string& text) {
    waitWindow_->setProgressLine(text);
}

bool MainWindow::showPage(const std::string& url) {
    const std::optional<QUrl> page = existingLocalPage(url);
    if (!page)
        return false;
    if (page_->source() == *page)
        page_->reload();
    else
        page_->setSource(*page);
    showDetail(page_);
    return true;
}

void MainWindow::showActionWidget(QWidget* view) {
    closeActionWidget();
    actionWidget_ = view;
    // A view shown by a running operation (the TCL console, connecting) is
    // the user's once the operation has ended.
    view->setEnabled(!operationRunning_);
    detailStack_->addWidget(view);
    showDetail(view);
}

void MainWindow::closeActionWidget() {
    if (actionWidget_ == nullptr)
        return;
    detailStack_->removeWidget(actionWidget_);
    // The dialog logic it shows ends right after: nothing may reach it later.
    delete actionWidget_;
    actionWidget_ = nullptr;
}

void MainWindow::setActionStatusLine(const std::string& text) {
    if (auto* view = qobject_cast<SetIPAddressDialogView*>(actionWidget_))
        view->setStatusLine(text);
}

void MainWindow::setOperationRunning(bool running) {
    if (running == operationRunning_)
        return;
    if (running)
        focusBeforeOperation_ = focusWidget();
    operationRunning_ = running;
    updateEnabled();
    if (!running && focusBeforeOperation_ != nullptr && focusBeforeOperation_->isEnabled())
        focusBeforeOperation_->setFocus();
}

void MainWindow::closeForGood() {
    closeAllowed_ = true;
    setWaitCursor(false);
    close();
}

QWidget* MainWindow::shownDetail() const {
    return detailStack_->currentWidget();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closeAllowed_) {
        event->accept();
        return;
    }
    event->ignore();
    emit closeRequested(CloseRequest::Close);
}

void MainWindow::reject() {
    emit closeRequested(CloseRequest::Cancel);
}

void MainWindow::updateEnabled() {
    const bool logicControls = controlsEnabled_ && !operationRunning_;
    for (QWidget* control :
         {static_cast<QWidget*>(selector_), static_cast<QWidget*>(search_), static_cast<QWidget*>(clear_),
          static_cast<QWidget*>(remove_), static_cast<QWidget*>(export_), static_cast<QWidget*>(nameField_), static_cast<QWidget*>(add_),
          static_cast<QWidget*>(maintenanceGroup_), static_cast<QWidget*>(list_)})
        control->setEnabled(logicControls);
    for (QAbstractButton* radio : sortButtons_->buttons())
        radio->setEnabled(logicControls);
    for (QWidget* control :
         {static_cast<QWidget*>(groupFilter_), static_cast<QWidget*>(showIPv6_),
          static_cast<QWidget*>(status_), static_cast<QWidget*>(help_), static_cast<QWidget*>(information_),
          static_cast<QWidget*>(tcl_), static_cast<QWidget*>(setipa_)})
        control->setEnabled(!operationRunning_);
    for (QWidget* action : {static_cast<QWidget*>(reset_), static_cast<QWidget*>(setup_),
                            static_cast<QWidget*>(lbus_), static_cast<QWidget*>(keyboard_),
                            static_cast<QWidget*>(firmware_)})
        action->setEnabled(actionButtonsEnabled_ && !operationRunning_ && !terminalActionsHeld_);
    if (terminalActionsHeld_)
        for (QWidget* control :
             {static_cast<QWidget*>(status_), static_cast<QWidget*>(tcl_), static_cast<QWidget*>(setipa_)})
            control->setEnabled(false);
    // An action dialog's view is the user's while its operation does not run.
    if (actionWidget_ != nullptr)
        actionWidget_->setEnabled(!operationRunning_);
}

void MainWindow::showDetail(QWidget* page) {
    detailStack_->setCurrentWidget(page);
}

} // namespace kestrix

#pragma once

#include "mainwindow/list_presentation.h"
#include "mainwindow/main_view.h"
#include "ui/product_icons.h"

#include <QDialog>
#include <QPointer>

#include <cstddef>
#include <string>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTextBrowser;

namespace kestrix {

class CIdlePicture;
class CListBoxTerminal;
class CShowTerminal;
class CToolBoxLang;
class CToolBoxWait;

// The main window: the interface and list-file selector with the search
// button, the five sort buttons, the two check boxes, the terminal list, the
// clear and remove buttons, the name/address field with the Add button
// (default button), the action buttons (Reset, Setup, TCL, LBus security,
// IPv4 Setup, Firmware update, Keyboard layout; an action whose dialog the
// program does not have is not shown), the Status, Help, Information and
// maintenance-group buttons, and the detail pane (idle picture, one terminal,
// the wait window of a search, a help page, or an action dialog's view).
//
// It shows what it is told and reports what the user does as signals; it
// holds no terminal records and calls no logic. All its functions run on the
// user-interface thread. Closing (close button, Escape) is only a request
// (closeRequested, saying which way) until closeForGood().
class MainWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 1084;
    static constexpr int kHeight = 725;
    static constexpr int kNameFieldLength = 65;

    MainWindow();
    ~MainWindow() override;

    // --- What the logic shows ---
    // The control texts and tool tips in the language, the caption.
    void applyTexts(const CToolBoxLang& language);
    // Top left of the screen, 1084 x 725, shown.
    void placeAndShow();
    DialogFontSize fontSize() const;
    void setSelectorEntries(const std::vector<std::string>& entries, int current);
    void setPresentation(const ListPresentation& presentation);
    void showRows(const std::vector<TerminalRow>& rows, const std::vector<std::size_t>& selected);
    void setControlsEnabled(bool enabled);
    void setActionButtonsEnabled(bool enabled);
    void holdTerminalActions(bool held);
    void setWaitCursor(bool waiting);
    void showIdlePicture();
    void showTerminalDetails(const ShowTerminalText& text);
    void showWaitWindow(const std::string& title, const std::string& pleaseWait);
    void setProgressLine(const std::string& text);
    // False when the page's file does not exist.
    bool showPage(const std::string& url);
    // Shows an action dialog's view in the detail pane; the window owns it
    // from now on. closeActionWidget deletes it.
    void showActionWidget(QWidget* view);
    void closeActionWidget();
    // The status line of the action dialog shown, if it has one.
    void setActionStatusLine(const std::string& text);

    // While a long operation runs on the worker thread, every control that
    // reaches the logic is disabled (the list keeps painting).
    void setOperationRunning(bool running);
    // Lets the next close through and closes the window.
    void closeForGood();

    // --- Widgets, for the program and its tests ---
    CListBoxTerminal& terminalList() { return *list_; }
    QPushButton& searchButton() { return *search_; }
    // The page the detail pane shows now.
    QWidget* shownDetail() const;
    bool actionButtonsEnabled() const { return actionButtonsEnabled_; }
    QPushButton& resetButton() { return *reset_; }
    QPushButton& setipaButton() { return *setipa_; }
    QPushButton& tclButton() { return *tcl_; }
    QPushButton& setupButton() { return *setup_; }
    QPushButton& firmwareButton() { return *firmware_; }
    QPushButton& lbusButton() { return *lbus_; }
    QPushButton& keyboardButton() { return *keyboard_; }

signals:
    void searchClicked();
    void clearClicked();
    void removeClicked();
    void exportClicked();
    void addClicked(const std::string& text);
    void statusClicked();
    void helpClicked();
    void informationClicked();
    void maintenanceGroupClicked();
    void resetClicked();
    void setipaClicked();
    void tclClicked();
    void setupClicked();
    void firmwareClicked();
    void lbusClicked();
    void keyboardClicked();
    void selectionChanged(const std::vector<std::size_t>& selected);
    void selectorChanged(int index);
    void sortOrderChosen(SortOrder order);
    void groupFilterChosen(GroupFilter filter);
    void ipv6Shown(bool shown);
    void closeRequested(CloseRequest way);

protected:
    void closeEvent(QCloseEvent* event) override;
    // Escape: a close request of the Cancel way.
    void reject() override;

private:
    // main_window_layout.cpp
    void buildControls();
    void buildLayout();
    void connectControls();

    void updateEnabled();
    void showDetail(QWidget* page);

    ProductIcons icons_;
    QComboBox* selector_ = nullptr;
    QPushButton* search_ = nullptr;
    QButtonGroup* sortButtons_ = nullptr;
    QCheckBox* groupFilter_ = nullptr;
    QCheckBox* showIPv6_ = nullptr;
    CListBoxTerminal* list_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* export_ = nullptr;
    QLineEdit* nameField_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* status_ = nullptr;
    QPushButton* help_ = nullptr;
    QPushButton* information_ = nullptr;
    QPushButton* maintenanceGroup_ = nullptr;
    // The action buttons; the first five follow the selection.
    QPushButton* reset_ = nullptr;
    QPushButton* setup_ = nullptr;
    QPushButton* lbus_ = nullptr;
    QPushButton* keyboard_ = nullptr;
    QPushButton* firmware_ = nullptr;
    QPushButton* tcl_ = nullptr;
    QPushButton* setipa_ = nullptr;
    QWidget* actionWidget_ = nullptr;
    QWidget* detailPane_ = nullptr;
    QStackedWidget* detailStack_ = nullptr;
    CIdlePicture* idlePicture_ = nullptr;
    CShowTerminal* showTerminal_ = nullptr;
    CToolBoxWait* waitWindow_ = nullptr;
    QTextBrowser* page_ = nullptr;

    bool controlsEnabled_ = true;
    bool actionButtonsEnabled_ = true;
    bool terminalActionsHeld_ = false;
    bool operationRunning_ = false;
    bool waitCursor_ = false;
    bool closeAllowed_ = false;
    QPointer<QWidget> focusBeforeOperation_;
};

} // namespace kestrix

#pragma once

#include "config/terminal_setup.h"

#include <QWidget>

#include <functional>
#include <map>

class QLabel;
class QPushButton;
class QTabWidget;

namespace kestrix {

class CToolBoxLang;
class SetupPageView;

// The setup editor in the detail pane: the title, a tab per page the editor
// shows (each with its page view), the buttons Load file, Save file,
// Defaults, OK and Cancel with the editor's texts, and the progress line.
//
// Before OK and before saving, every page view stores its controls into its
// page; after the editor filled the pages again (load, defaults, a refused
// OK) they are loaded into the controls. OK runs on the window's worker
// through runLong, with the buttons disabled until it ends; the editor's
// calls from there run on this widget's thread while the worker waits.
//
// It decides nothing: which tabs, the texts and every rule are the editor's.
// It attaches itself to the editor when made and detaches before it goes;
// the frame destroys it when the editor has ended.
class SetupEditorWidget : public QWidget, public SetupEditorView {
    Q_OBJECT
public:
    using LongOperationRunner = std::function<void(std::function<void()>)>;

    SetupEditorWidget(CTerminalSetup& editor, const CToolBoxLang& language, LongOperationRunner runLong,
                      QWidget* parent);
    ~SetupEditorWidget() override;

    // SetupEditorView
    void showPages(const std::vector<SetupTabEntry>& tabs) override;
    void selectTab(SetupTab tab) override;
    void refreshPages() override;
    void setProgressLine(const std::string& text) override;

private:
    void storePages();
    void loadPages();
    void setButtonsEnabled(bool enabled);
    void onLoad();
    void onSave();
    void onOK();

    CTerminalSetup& editor_;
    const CToolBoxLang& language_;
    LongOperationRunner runLong_;
    QTabWidget* tabs_;
    std::map<SetupTab, SetupPageView*> views_;
    QPushButton* load_;
    QPushButton* save_;
    QPushButton* defaults_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QLabel* progress_;
};

} // namespace kestrix

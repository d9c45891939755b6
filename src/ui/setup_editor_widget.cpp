#include "ui/setup_editor_widget.h"

#include "messages/toolbox_lang.h"
#include "ui/plain_label.h"
#include "ui/setup_controls.h"
#include "ui/setup_page_view.h"
#include "ui/ui_thread.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <utility>

namespace kestrix {

namespace {

constexpr int kCancel = 0;
constexpr int kFileFilter = 393;

QPushButton* editorButton(const std::string& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(qtText(text), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

SetupEditorWidget::SetupEditorWidget(CTerminalSetup& editor, const CToolBoxLang& language,
                                     LongOperationRunner runLong, QWidget* parent)
    : QWidget(parent), editor_(editor), language_(language), runLong_(std::move(runLong)),
      tabs_(new QTabWidget(this)) {
    QLabel* title = plainLabel(editor_.title(), this);
    title->setObjectName(QStringLiteral("title"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    tabs_->setObjectName(QStringLiteral("pages"));
    tabs_->setUsesScrollButtons(true);

    load_ = editorButton(editor_.loadButtonText(), "load", this);
    save_ = editorButton(editor_.saveButtonText(), "save", this);
    defaults_ = editorButton(editor_.defaultsButtonText(), "defaults", this);
    ok_ = editorButton("OK", "ok", this);
    cancel_ = editorButton(language_.GetText(kCancel), "cancel", this);
    connect(load_, &QPushButton::clicked, this, &SetupEditorWidget::onLoad);
    connect(save_, &QPushButton::clicked, this, &SetupEditorWidget::onSave);
    connect(defaults_, &QPushButton::clicked, this, [this] { editor_.OnButtonDefaults(); });
    connect(ok_, &QPushButton::clicked, this, &SetupEditorWidget::onOK);
    connect(cancel_, &QPushButton::clicked, this, [this] { editor_.OnCancel(); });

    progress_ = plainLabel(std::string(), this);
    progress_->setObjectName(QStringLiteral("progressLine"));

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {load_, save_, defaults_})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(title);
    layout->addWidget(tabs_, 1);
    layout->addWidget(progress_);
    layout->addLayout(buttons);
    setFocusProxy(tabs_);
    editor_.attachView(*this);
    loadPages();
}

SetupEditorWidget::~SetupEditorWidget() {
    editor_.detachView();
}

void SetupEditorWidget::showPages(const std::vector<SetupTabEntry>& tabs) {
    onThreadOf(*this, [this, &tabs] {
        tabs_->clear();
        for (auto& [tab, view] : views_)
            view->deleteLater();
        views_.clear();
        for (const SetupTabEntry& entry : tabs) {
            SetupPage* page = editor_.page(entry.tab);
            SetupPageView* view = page ? makeSetupPageView(entry.tab, *page, editor_, language_, tabs_) : nullptr;
            if (!view)
                continue;
            views_[entry.tab] = view;
            tabs_->addTab(view, qtText(entry.label));
        }
    });
}

void SetupEditorWidget::selectTab(SetupTab tab) {
    onThreadOf(*this, [this, tab] {
        if (const auto found = views_.find(tab); found != views_.end())
            tabs_->setCurrentWidget(found->second);
    });
}

void SetupEditorWidget::refreshPages() {
    onThreadOf(*this, [this] { loadPages(); });
}

void SetupEditorWidget::setProgressLine(const std::string& text) {
    onThreadOf(*this, [this, &text] { progress_->setText(qtText(text)); });
}

void SetupEditorWidget::storePages() {
    for (auto& [tab, view] : views_)
        view->store();
}

void SetupEditorWidget::loadPages() {
    for (auto& [tab, view] : views_)
        view->load();
}

void SetupEditorWidget::setButtonsEnabled(bool enabled) {
    for (QPushButton* button : {load_, save_, defaults_, ok_, cancel_})
        button->setEnabled(enabled);
}

void SetupEditorWidget::onLoad() {
    const QString path = QFileDialog::getOpenFileName(this, qtText(editor_.loadButtonText()), QString(),
                                                      setupText(language_, kFileFilter));
    if (!path.isEmpty())
        editor_.OnButtonRdfile(plainText(path));
}

void SetupEditorWidget::onSave() {
    const QString path = QFileDialog::getSaveFileName(this, qtText(editor_.saveButtonText()), QString(),
                                                      setupText(language_, kFileFilter));
    if (path.isEmpty())
        return;
    storePages();
    editor_.OnButtonWrfile(plainText(path));
}

void SetupEditorWidget::onOK() {
    storePages();
    setButtonsEnabled(false);
    CTerminalSetup& editor = editor_;
    // While the editor stays (a page refused, the cold boot was declined) this
    // widget stays too and takes the buttons back; otherwise the frame
    // destroys it when the editor has ended.
    runLong_([&editor, this] {
        if (editor.OnButtonOk() == SetupOkOutcome::Stayed)
            QMetaObject::invokeMethod(this, [this] { setButtonsEnabled(true); }, Qt::QueuedConnection);
    });
}

} // namespace kestrix

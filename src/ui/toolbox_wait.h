#pragma once

#include <QWidget>

#include <string>

class QLabel;

namespace kestrix {

// The wait window of a search in the detail pane (`CToolBoxWait`): two fixed
// lines (what runs, please wait), a moving busy bar and the progress line that
// the search sets step by step. It only shows texts.
class CToolBoxWait : public QWidget {
    Q_OBJECT
public:
    explicit CToolBoxWait(QWidget* parent);

    void setTexts(const std::string& title, const std::string& pleaseWait);
    void setProgressLine(const std::string& text);

private:
    QLabel* title_;
    QLabel* pleaseWait_;
    QLabel* progress_;
};

} // namespace kestrix

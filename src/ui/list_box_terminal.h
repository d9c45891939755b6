#pragma once

#include "mainwindow/main_view.h"

#include <QListView>

#include <cstddef>
#include <vector>

namespace kestrix {

class ProductIcons;
class TerminalRowDelegate;
class TerminalRowModel;

// The terminal list `CListBoxTerminal`: a list view with extended selection
// over the rows the logic published, drawn by TerminalRowDelegate. It reports
// selections the user makes (userSelectionChanged, indexes in list order) and
// not those the logic sets through showRows. It keeps no terminal records.
class CListBoxTerminal : public QListView {
    Q_OBJECT
public:
    CListBoxTerminal(const ProductIcons& icons, QWidget* parent);

    // Shows these rows with these entries (indexes into rows) selected.
    void showRows(const std::vector<TerminalRow>& rows, const std::vector<std::size_t>& selected);
    const TerminalRowModel& rowModel() const { return *model_; }
    // The selected entries in list order.
    std::vector<std::size_t> selectedRows() const;

signals:
    void userSelectionChanged(const std::vector<std::size_t>& selected);

private:
    void onSelectionChanged();

    TerminalRowModel* model_;
    TerminalRowDelegate* delegate_;
    bool settingRows_ = false;
};

} // namespace kestrix

#include "ui/list_box_terminal.h"

#include "ui/terminal_row_delegate.h"
#include "ui/terminal_row_model.h"

#include <QItemSelection>
#include <QItemSelectionModel>

#include <algorithm>

namespace kestrix {

CListBoxTerminal::CListBoxTerminal(const ProductIcons& icons, QWidget* parent)
    : QListView(parent), model_(new TerminalRowModel(this)), delegate_(new TerminalRowDelegate(icons, this)) {
    setModel(model_);
    setItemDelegate(delegate_);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { onSelectionChanged(); });
}

void CListBoxTerminal::showRows(const std::vector<TerminalRow>& rows,
                                const std::vector<std::size_t>& selected) {
    settingRows_ = true;
    model_->setRows(rows);
    QItemSelection selection;
    for (std::size_t row : selected) {
        if (row >= rows.size())
            continue;
        const QModelIndex index = model_->index(static_cast<int>(row));
        selection.select(index, index);
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!selected.empty() && selected.front() < rows.size())
        selectionModel()->setCurrentIndex(model_->index(static_cast<int>(selected.front())),
                                          QItemSelectionModel::NoUpdate);
    settingRows_ = false;
}

std::vector<std::size_t> CListBoxTerminal::selectedRows() const {
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
        rows.push_back(static_cast<std::size_t>(index.row()));
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void CListBoxTerminal::onSelectionChanged() {
    if (settingRows_)
        return;
    emit userSelectionChanged(selectedRows());
}

} // namespace kestrix

#include "ui/terminal_row_model.h"

namespace kestrix {

void TerminalRowModel::setRows(const std::vector<TerminalRow>& rows) {
    beginResetModel();
    rows_ = rows;
    endResetModel();
}

int TerminalRowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant TerminalRowModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || static_cast<std::size_t>(index.row()) >= rows_.size())
        return {};
    const TerminalRow& row = rows_[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(row.productColumn + "  " + row.versionColumn + "  " + row.serialColumn +
                                      "\n" + row.addressLine + "\n" + row.dnsLine);
    case IconIndexRole:
        return row.iconIndex;
    case ProductRole:
        return QString::fromStdString(row.productColumn);
    case VersionRole:
        return QString::fromStdString(row.versionColumn);
    case SerialRole:
        return QString::fromStdString(row.serialColumn);
    case AddressRole:
        return QString::fromStdString(row.addressLine);
    case DnsRole:
        return QString::fromStdString(row.dnsLine);
    default:
        return {};
    }
}

} // namespace kestrix

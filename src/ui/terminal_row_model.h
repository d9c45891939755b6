#pragma once

#include "mainwindow/main_view.h"

#include <QAbstractListModel>

#include <vector>

namespace kestrix {

// The terminal list's rows as a Qt model: copies of the TerminalRow values the
// logic published, in list order. Each row offers its texts by role; the
// display role is the row's lines joined by line feeds. It holds no terminal
// records and never changes the rows on its own.
class TerminalRowModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        IconIndexRole = Qt::UserRole + 1, // int
        ProductRole,                      // " " + product name
        VersionRole,                      // kind prefix + version
        SerialRole,                       // "SN: " + serial number
        AddressRole,                      // the address line
        DnsRole,                          // the DNS line
    };

    using QAbstractListModel::QAbstractListModel;

    // Replaces every row (a model reset).
    void setRows(const std::vector<TerminalRow>& rows);
    const std::vector<TerminalRow>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    std::vector<TerminalRow> rows_;
};

} // namespace kestrix

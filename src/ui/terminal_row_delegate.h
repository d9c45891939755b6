#pragma once

#include <QStyledItemDelegate>

class QFontMetrics;

namespace kestrix {

class ProductIcons;

// Draws one entry of the terminal list (CListBoxTerminal) from the model's
// roles: four text lines high, the 38 x 38 product icon at the left; line one
// in three columns (product and version together 330 pixels, serial number
// 300 pixels, cut at the list's edge), the address line (310 pixels), the DNS
// line. A selected entry is drawn inverted, the focused one gets a focus
// rectangle. It draws only; selection and data are the view's and model's.
class TerminalRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // The product and version columns share 110 + 220 pixels: a product name
    // with its kind ("TALMO 7450-ACM") needs more than 110 pixels in today's
    // fonts, a version ("TCL 6.12") far less than 220.
    static constexpr int kProductWidth = 150;
    static constexpr int kVersionWidth = 180;
    static constexpr int kSerialWidth = 300;
    static constexpr int kAddressWidth = 310;
    // Space left and right of the icon.
    static constexpr int kIconMargin = 4;

    TerminalRowDelegate(const ProductIcons& icons, QObject* parent);

    // The height of four text lines in the font ("1. Zeile" ... "4. Zeile").
    static int rowHeight(const QFontMetrics& metrics);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    void paintContents(QPainter& painter, const QStyleOptionViewItem& option, const QModelIndex& index,
                       const QRect& area) const;

    const ProductIcons& icons_;
};

} // namespace kestrix

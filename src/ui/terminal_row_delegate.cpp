#include "ui/terminal_row_delegate.h"

#include "ui/product_icons.h"
#include "ui/terminal_row_model.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>

namespace kestrix {
namespace {

// The text that the height of an entry is measured with.
const char* const kFourLines = "1. Zeile\n2. Zeile\n3. Zeile\n4. Zeile";

constexpr int kTextLeft = 2 * TerminalRowDelegate::kIconMargin + ProductIcons::kSize;

// Draws text left-aligned in the cell, cut with "..." when it is too wide.
void drawCell(QPainter& painter, const QRect& cell, const QString& text) {
    if (cell.width() <= 0)
        return;
    const QString shown = painter.fontMetrics().elidedText(text, Qt::ElideRight, cell.width() - 4);
    painter.drawText(cell, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

} // namespace

TerminalRowDelegate::TerminalRowDelegate(const ProductIcons& icons, QObject* parent)
    : QStyledItemDelegate(parent), icons_(icons) {}

int TerminalRowDelegate::rowHeight(const QFontMetrics& metrics) {
    const QRect fourLines = metrics.boundingRect(QRect(0, 0, 10000, 10000), Qt::AlignLeft | Qt::AlignTop,
                                                 QString::fromUtf8(kFourLines));
    // A very small font still leaves room for the icon.
    return std::max(fourLines.height(), ProductIcons::kSize + 2 * kIconMargin);
}

QSize TerminalRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return {kTextLeft + kProductWidth + kVersionWidth + kSerialWidth, rowHeight(option.fontMetrics)};
}

void TerminalRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    const QRect rect = option.rect;
    if (rect.isEmpty())
        return;
    // The entry is drawn into an image first, so that a selected entry can be
    // inverted pixel by pixel, icon included.
    const qreal ratio = painter->device()->devicePixelRatioF();
    QImage image(rect.size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(option.palette.color(QPalette::Active, QPalette::Base));
    {
        QPainter imagePainter(&image);
        imagePainter.setFont(option.font);
        paintContents(imagePainter, option, index, QRect(QPoint(0, 0), rect.size()));
    }
    if (option.state & QStyle::State_Selected)
        image.invertPixels();
    painter->drawImage(rect.topLeft(), image);

    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.initFrom(option.widget);
        focus.rect = rect.adjusted(1, 1, -1, -1);
        focus.state = option.state | QStyle::State_KeyboardFocusChange | QStyle::State_Item;
        focus.backgroundColor = option.palette.color(QPalette::Base);
        QStyle* style = option.widget != nullptr ? option.widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
    }
}

void TerminalRowDelegate::paintContents(QPainter& painter, const QStyleOptionViewItem& option,
                                        const QModelIndex& index, const QRect& area) const {
    const QFontMetrics metrics(option.font);
    const int lineHeight = metrics.lineSpacing();

    const int iconIndex = index.data(TerminalRowModel::IconIndexRole).toInt();
    painter.drawPixmap(kIconMargin, area.top() + (area.height() - ProductIcons::kSize) / 2,
                       icons_.icon(iconIndex));

    const QPalette::ColorGroup group =
        (option.state & QStyle::State_Enabled) ? QPalette::Active : QPalette::Disabled;
    painter.setPen(option.palette.color(group, QPalette::Text));

    // Three text lines, centred in the four-line entry.
    const int top = area.top() + (area.height() - 3 * lineHeight) / 2;
    const int right = area.right() + 1;
    auto cell = [&](int left, int width, int line) {
        const int clippedWidth = std::min(width, right - left);
        return QRect(left, top + line * lineHeight, std::max(clippedWidth, 0), lineHeight);
    };
    const int versionLeft = kTextLeft + kProductWidth;
    const int serialLeft = versionLeft + kVersionWidth;
    drawCell(painter, cell(kTextLeft, kProductWidth, 0),
             index.data(TerminalRowModel::ProductRole).toString());
    drawCell(painter, cell(versionLeft, kVersionWidth, 0),
             index.data(TerminalRowModel::VersionRole).toString());
    drawCell(painter, cell(serialLeft, kSerialWidth, 0), index.data(TerminalRowModel::SerialRole).toString());
    drawCell(painter, cell(kTextLeft, kAddressWidth, 1),
             index.data(TerminalRowModel::AddressRole).toString());
    drawCell(painter, cell(kTextLeft, right - kTextLeft, 2),
             index.data(TerminalRowModel::DnsRole).toString());

    // A thin line between entries.
    painter.setPen(option.palette.color(QPalette::Midlight));
    painter.drawLine(area.left(), area.bottom(), area.right(), area.bottom());
}

} // namespace kestrix

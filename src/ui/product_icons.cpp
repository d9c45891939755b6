#include "ui/product_icons.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>

namespace kestrix {
namespace {

enum class Silhouette {
    Unknown,    // a dashed box with a question mark
    Terminal,   // a wall terminal: display, keypad, label
    Controller, // a rail-mounted controller: terminal blocks, LEDs, label
    Server,     // a tower: drive slots, label
};

struct IconLook {
    Silhouette silhouette;
    QRgb colour;
    const char* label;
};

// Indexed by the product table's icon index.
constexpr std::array<IconLook, ProductIcons::kCount> kLooks = {{
    {Silhouette::Unknown, 0x7f8c8d, "?"},
    {Silhouette::Terminal, 0x1f6fb2, "7100"},
    {Silhouette::Terminal, 0x2a9d8f, "7200"},
    {Silhouette::Terminal, 0x3d5a80, "7300"},
    {Silhouette::Terminal, 0x6a4c93, "7400"},
    {Silhouette::Terminal, 0xc0392b, "7450"},
    {Silhouette::Terminal, 0xd35400, "7600"},
    {Silhouette::Terminal, 0x7b8d1e, "9300"},
    {Silhouette::Controller, 0x8e44ad, "ACM"},
    {Silhouette::Controller, 0x16803c, "DCU4"},
    {Silhouette::Controller, 0x0e6655, "DCU8"},
    {Silhouette::Controller, 0x1b4f72, "DCU8W"},
    {Silhouette::Server, 0x5d4037, "7000"},
    {Silhouette::Server, 0x922b21, "7450"},
}};

// Draws the label centred in box, in the largest bold size from 9 pixels
// down to 5 that fits its width.
void drawLabel(QPainter& painter, const QRectF& box, const char* label, const QColor& colour) {
    QFont font = painter.font();
    font.setBold(true);
    const QString text = QString::fromLatin1(label);
    for (int pixels = 9; pixels >= 5; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetricsF(font).horizontalAdvance(text) <= box.width())
            break;
    }
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(box, Qt::AlignCenter, text);
}

void drawUnknown(QPainter& painter, const IconLook& look) {
    painter.setPen(QPen(QColor::fromRgb(look.colour), 2, Qt::DashLine));
    painter.setBrush(QColor(0xec, 0xf0, 0xf1));
    painter.drawRoundedRect(QRectF(4, 3, 30, 32), 4, 4);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(24);
    painter.setFont(font);
    painter.setPen(QColor::fromRgb(look.colour));
    painter.drawText(QRectF(4, 3, 30, 32), Qt::AlignCenter, QStringLiteral("?"));
}

void drawTerminal(QPainter& painter, const IconLook& look) {
    const QColor body = QColor::fromRgb(look.colour);
    painter.setPen(QPen(body.darker(160), 1));
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(3.5, 1.5, 31, 35), 4, 4);
    // The display.
    painter.setPen(QPen(body.darker(200), 1));
    painter.setBrush(QColor(0xd6, 0xf5, 0xe3));
    painter.drawRect(QRectF(7.5, 5.5, 23, 9));
    // The keypad: two rows of four keys.
    painter.setPen(Qt::NoPen);
    painter.setBrush(body.lighter(170));
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 4; ++column)
            painter.drawRect(QRectF(8 + column * 6, 17 + row * 4, 4, 2.5));
    drawLabel(painter, QRectF(4, 25, 30, 10), look.label, Qt::white);
}

void drawController(QPainter& painter, const IconLook& look) {
    const QColor body = QColor::fromRgb(look.colour);
    // Terminal blocks along the top and bottom edges.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x95, 0xa5, 0xa6));
    for (int block = 0; block < 4; ++block) {
        painter.drawRect(QRectF(6 + block * 7, 1, 5, 4));
        painter.drawRect(QRectF(6 + block * 7, 33, 5, 4));
    }
    painter.setPen(QPen(body.darker(160), 1));
    painter.setBrush(body);
    painter.drawRect(QRectF(2.5, 4.5, 33, 29));
    // Three LEDs.
    painter.setPen(Qt::NoPen);
    const std::array<QColor, 3> leds = {QColor(0x2e, 0xcc, 0x71), QColor(0xf1, 0xc4, 0x0f),
                                        QColor(0xe7, 0x4c, 0x3c)};
    for (std::size_t led = 0; led < leds.size(); ++led) {
        painter.setBrush(leds[led]);
        painter.drawEllipse(QRectF(7 + static_cast<double>(led) * 6, 9, 4, 4));
    }
    drawLabel(painter, QRectF(3, 17, 32, 14), look.label, Qt::white);
}

void drawServer(QPainter& painter, const IconLook& look) {
    const QColor body = QColor::fromRgb(look.colour);
    painter.setPen(QPen(body.darker(160), 1));
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(5.5, 0.5, 27, 37), 2, 2);
    // Drive slots and a power light.
    painter.setPen(QPen(body.lighter(180), 1.5));
    for (int slot = 0; slot < 3; ++slot)
        painter.drawLine(QPointF(9, 5 + slot * 4), QPointF(29, 5 + slot * 4));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2e, 0xcc, 0x71));
    painter.drawEllipse(QRectF(25, 16, 3, 3));
    drawLabel(painter, QRectF(6, 20, 26, 8), "SRV", body.lighter(190));
    drawLabel(painter, QRectF(6, 27, 26, 10), look.label, Qt::white);
}

QPixmap paintIcon(int index) {
    QPixmap pixmap(ProductIcons::kSize, ProductIcons::kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    drawProductIcon(painter, QRectF(0, 0, ProductIcons::kSize, ProductIcons::kSize), index);
    return pixmap;
}

// The program's own icon: a terminal of its own colour labelled "KX".
constexpr IconLook kProgramLook = {Silhouette::Terminal, 0x117a65, "KX"};

void drawLook(QPainter& painter, const QRectF& target, const IconLook& look) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(target.topLeft());
    painter.scale(target.width() / ProductIcons::kSize, target.height() / ProductIcons::kSize);
    switch (look.silhouette) {
    case Silhouette::Unknown:
        drawUnknown(painter, look);
        break;
    case Silhouette::Terminal:
        drawTerminal(painter, look);
        break;
    case Silhouette::Controller:
        drawController(painter, look);
        break;
    case Silhouette::Server:
        drawServer(painter, look);
        break;
    }
    painter.restore();
}

} // namespace

void drawProductIcon(QPainter& painter, const QRectF& target, int index) {
    drawLook(painter, target,
             kLooks[index >= 0 && index < ProductIcons::kCount ? static_cast<std::size_t>(index) : 0]);
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        drawLook(painter, QRectF(0, 0, size, size), kProgramLook);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

ProductIcons::ProductIcons() {
    for (int index = 0; index < kCount; ++index)
        icons_[static_cast<std::size_t>(index)] = paintIcon(index);
}

const QPixmap& ProductIcons::icon(int index) const {
    return icons_[index >= 0 && index < kCount ? static_cast<std::size_t>(index) : 0];
}

} // namespace kestrix

#include "ui/idle_picture.h"

#include "messages/product.h"
#include "ui/product_icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <array>

namespace kestrix {
namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;

void drawPersonalComputer(QPainter& painter, const QRectF& box) {
    // The screen with its stand and a keyboard.
    painter.setPen(QPen(QColor(0x2c, 0x3e, 0x50), 2));
    painter.setBrush(QColor(0x34, 0x49, 0x5e));
    const QRectF screen(box.left(), box.top(), box.width(), box.height() * 0.62);
    painter.drawRoundedRect(screen, 5, 5);
    painter.setBrush(QColor(0x85, 0xc1, 0xe9));
    painter.drawRect(screen.adjusted(6, 6, -6, -6));
    painter.setBrush(QColor(0x2c, 0x3e, 0x50));
    const double middle = screen.center().x();
    painter.drawRect(QRectF(middle - 5, screen.bottom(), 10, box.height() * 0.12));
    painter.drawRoundedRect(QRectF(box.left() + 4, box.top() + box.height() * 0.78, box.width() - 8, 10), 3,
                            3);
    // A list on the screen.
    painter.setPen(QPen(QColor(0x1b, 0x4f, 0x72), 2));
    for (int line = 0; line < 4; ++line) {
        const double y = screen.top() + 14 + line * 9;
        painter.drawLine(QPointF(screen.left() + 12, y), QPointF(screen.right() - 12 - (line % 2) * 14, y));
    }
}

QPixmap drawPicture() {
    QPixmap pixmap(kWidth, kHeight);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient background(0, 0, 0, kHeight);
    background.setColorAt(0, QColor(0xf4, 0xf8, 0xfb));
    background.setColorAt(1, QColor(0xd6, 0xe4, 0xf0));
    painter.setPen(QPen(QColor(0xa9, 0xc4, 0xdb), 1));
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(0.5, 0.5, kWidth - 1, kHeight - 1), 12, 12);

    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(26);
    painter.setFont(font);
    painter.setPen(QColor(0x1b, 0x4f, 0x72));
    painter.drawText(QRectF(0, 18, kWidth, 40), Qt::AlignCenter, QString::fromUtf8(kProductCaption));

    // The LAN: a backbone with a drop to every device.
    const double backbone = 196;
    painter.setPen(QPen(QColor(0x27, 0xae, 0x60), 4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(40, backbone), QPointF(kWidth - 40, backbone));

    drawPersonalComputer(painter, QRectF(34, 78, 96, 90));
    painter.setPen(QPen(QColor(0x27, 0xae, 0x60), 3));
    painter.drawLine(QPointF(82, 168), QPointF(82, backbone));

    // Three terminals of different families below the backbone.
    constexpr std::array<int, 3> icons = {5, 9, 13};
    for (std::size_t terminal = 0; terminal < icons.size(); ++terminal) {
        const double left = 150 + static_cast<double>(terminal) * 80;
        painter.setPen(QPen(QColor(0x27, 0xae, 0x60), 3));
        painter.drawLine(QPointF(left + 33, backbone), QPointF(left + 33, backbone + 18));
        drawProductIcon(painter, QRectF(left, backbone + 18, 66, 66), icons[terminal]);
    }
    // Datagrams on their way.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xf3, 0x9c, 0x12));
    for (int packet = 0; packet < 3; ++packet)
        painter.drawEllipse(QPointF(140 + packet * 80, backbone), 5, 5);
    return pixmap;
}

} // namespace

CIdlePicture::CIdlePicture(QWidget* parent) : QWidget(parent), picture_(drawPicture()) {}

void CIdlePicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(kLeft, kTop, picture_);
}

} // namespace kestrix

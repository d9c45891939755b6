#pragma once

#include <QIcon>
#include <QPixmap>

#include <array>

class QPainter;
class QRectF;

namespace kestrix {

// The terminal list's image list: one 38 x 38 icon per icon index of the
// product table (0 unknown, 1-7 terminals, 8-11 controllers, 12-13 servers),
// drawn with QPainter at start-up: a silhouette of the device family in a
// colour of its own with a short label. It loads no image files and knows
// nothing of products beyond the index.
class ProductIcons {
public:
    static constexpr int kCount = 14;
    static constexpr int kSize = 38;

    // Needs a QGuiApplication.
    ProductIcons();

    // The icon of the index; an index outside 0..13 gets the unknown icon 0.
    const QPixmap& icon(int index) const;

private:
    std::array<QPixmap, kCount> icons_;
};

// Draws the icon of the index scaled into target (any size; the icon's own
// coordinates are 38 x 38). Index outside 0..13: the unknown icon.
void drawProductIcon(QPainter& painter, const QRectF& target, int index);

// The program's own icon (the window's big and small icon), drawn the same
// way in sizes from 16 to 128 pixels. Needs a QGuiApplication.
QIcon programIcon();

} // namespace kestrix

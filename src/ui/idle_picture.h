#pragma once

#include <QPixmap>
#include <QWidget>

namespace kestrix {

// The detail pane while nothing is selected and no action runs
// (`CIdlePicture`): one fixed picture at the position 12, 14, drawn once when
// the pane is made: a PC and three terminals on a LAN under the product
// caption. It has no controls and no state.
class CIdlePicture : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLeft = 12;
    static constexpr int kTop = 14;

    explicit CIdlePicture(QWidget* parent);

    const QPixmap& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
};

} // namespace kestrix

// The ring gauge of the home volume: a faint track, an arc from 12 o'clock clockwise over the
// used part in the colour of the disk's health, and the used percentage over "used" in the
// middle. Strokes and type scale with the ring's size. In nightfall the arc glows in its colour.
// A new reading eases the arc and rolls the number's digits over 1.2 s while transitions are
// allowed.
#pragma once

#include <cstdint>

#include <QColor>
#include <QWidget>

#include "appearance/number_transition.h"
#include "appearance/skin.h"
#include "engine/health.h"

namespace bramwick {

namespace DiskRingValues {
// (total − available) ÷ max(total, 1). Not clamped: the store never reports more free than total.
double usedFraction(const DiskFigures& disk);
// The fraction as a whole percentage, halves away from zero.
std::int64_t percent(double fraction);
inline double strokeWidth(double size) {
    return size * 0.105;
}
// "75%".
QString percentText(double fraction);
} // namespace DiskRingValues

// Draws the ring in `square` with the arc over a used fraction and `percent` in the middle.
void paintDiskRing(QPainter& painter, const QRectF& square, Skin skin, double fraction,
                   const NumberTransitions::RollFrame& percent, const QColor& arc,
                   const QColor& primary, const QColor& secondary);

class DiskRing : public QWidget {
    Q_OBJECT

  public:
    explicit DiskRing(qreal size = 84, QWidget* parent = nullptr);
    void setDisk(const DiskFigures& disk);
    const DiskFigures& disk() const { return disk_; }
    double shownFraction() const { return ease_->motion().shownValue(); }
    // The arc and the number move together, keyed to the used fraction.
    NumberTransition& transition() { return *ease_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    qreal size_;
    DiskFigures disk_;
    NumberTransition* ease_;
};

} // namespace bramwick

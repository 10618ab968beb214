// Work in progress, in the skin's colours: the scan ring, the sweep over a row being measured
// and the cleaning bar under a row being cleaned.
//
// `ScanRing` shows the part of a scan done: 36 ticks around the edge (tick i lit while
// i/36 < fraction, tick 0 at 12 o'clock, numbered clockwise), a faint track, a gradient arc
// growing clockwise from 12 o'clock (never shorter than 0.02 of the circle), a dashed inner ring
// and a drive badge at the centre. Its ticks turn clockwise every 18 s, the inner ring counter-
// clockwise every 9 s and the badge's glow swells and fades every 2.6 s each way, while looping
// motion is allowed (motion.h); otherwise it stands still with the glow at its bright state. A
// new fraction eases in over 0.6 s unless all motion is switched off. A fraction that is not a
// number or is negative counts as 0, one above 1 as 1: the painter never sees anything else.
//
// `SkinSweep` (put it over a row, same geometry; it takes no clicks) sends a band of light across
// every 1.6 s; `SkinCleaningBar` is a 6-point bar with a shine running along it every 1.2 s.
// Without looping motion the band and the shine are parked past the trailing edge; both follow a
// change of the setting while they are shown.
//
// The ring, the bar and the ticks' glows draw outside their shapes: the widgets keep margins.
#pragma once

#include <QConicalGradient>
#include <QGradientStops>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

#include "appearance/skin.h"

namespace bramwick {

namespace Ring {
inline constexpr int tickCount = 36;
// NaN and negatives → 0, above 1 → 1.
double clampFraction(double fraction);
bool tickLit(int tick, double fraction);
int litTicks(double fraction);
// Where the arc ends, as a part of the circle: the fraction, but at least 0.02.
double arcSpan(double fraction);
// The turn of tick `tick` from 12 o'clock, clockwise, in degrees.
double tickAngle(int tick);
// A conical gradient whose stops run clockwise from `startClockwiseFromTop` degrees (0 = 12
// o'clock); Qt's own runs counter-clockwise from 3 o'clock.
QConicalGradient clockwiseGradient(QPointF centre, qreal startClockwiseFromTop,
                                   const QGradientStops& stops);
// The arc's gradient stops in a skin, evenly spaced.
QGradientStops arcStops(Skin skin);
// The margin the ring keeps around its square for the ticks and their glow.
qreal margin(qreal size);
} // namespace Ring

// The moving parts of the ring at one moment.
struct RingMotion {
    qreal tickTurn = 360;    // degrees, clockwise
    qreal innerTurn = -360;  // degrees, clockwise (negative: counter-clockwise)
    qreal glowOpacity = 0.6; // of the badge's glow
    qreal glowRadius = 16;
};

// Draws the ring in the square `square` (its side is the ring's size). `primary` is the
// scheme's primary text colour (white in dark schemes, black in light ones).
void paintScanRing(QPainter& painter, const QRectF& square, Skin skin, double fraction,
                   const RingMotion& motion, const QColor& primary);

class ScanRing : public QWidget {
    Q_OBJECT
  public:
    explicit ScanRing(qreal size = 160, QWidget* parent = nullptr);
    // Clamped on entry; eases to the new value.
    void setFraction(double fraction);
    double fraction() const { return target_; }
    double shownFraction() const { return shown_; }
    const RingMotion& motion() const { return motion_; }
    bool looping() const;
    void setRingSize(qreal size);
    QSize sizeHint() const override;

  protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void startLoops();
    void stopLoops();
    qreal size_;
    double target_ = 0;
    double shown_ = 0;
    bool spin_ = false;
    RingMotion motion_;
    QVariantAnimation ease_;
    QVariantAnimation ticks_;
    QVariantAnimation inner_;
    QVariantAnimation glow_;
};

// The band of the sweep at a point of its loop (0 → parked before the leading edge, 1 → past
// the trailing edge) for a view of width `width` and height `height`.
QRectF sweepBand(qreal width, qreal height, qreal progress);
void paintSweep(QPainter& painter, const QRectF& rect, Skin skin, qreal progress);

class SkinSweep : public QWidget {
    Q_OBJECT
  public:
    explicit SkinSweep(QWidget* parent = nullptr);
    qreal progress() const { return progress_; }
    bool looping() const { return loop_.state() == QAbstractAnimation::Running; }

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    qreal progress_ = 0;
    QVariantAnimation loop_;
};

// The cleaning bar in `bar` (the 6-point capsule itself), its shine at `progress` (0 → parked
// before the start, 1 → past the end).
void paintCleaningBar(QPainter& painter, const QRectF& bar, Skin skin, qreal progress,
                      const QColor& primary);
inline constexpr qreal cleaningBarHeight = 6;
inline constexpr qreal cleaningBarMargin = 6;

class SkinCleaningBar : public QWidget {
    Q_OBJECT
  public:
    explicit SkinCleaningBar(QWidget* parent = nullptr);
    qreal progress() const { return progress_; }
    bool looping() const { return loop_.state() == QAbstractAnimation::Running; }
    QSize sizeHint() const override;

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    qreal progress_ = 0;
    QVariantAnimation loop_;
};

} // namespace bramwick

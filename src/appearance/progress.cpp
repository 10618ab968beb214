#include "appearance/progress.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include <QCache>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "appearance/icons.h"
#include "appearance/motion.h"
#include "appearance/paint_kit.h"
#include "appearance/window_dressing.h"

namespace bramwick {

namespace Ring {

double clampFraction(double fraction) {
    if (!(fraction > 0)) // NaN too
        return 0;
    return std::min(fraction, 1.0);
}

bool tickLit(int tick, double fraction) {
    return static_cast<double>(tick) / tickCount < clampFraction(fraction);
}

int litTicks(double fraction) {
    int lit = 0;
    for (int i = 0; i < tickCount; ++i)
        lit += tickLit(i, fraction) ? 1 : 0;
    return lit;
}

double arcSpan(double fraction) {
    return std::max(clampFraction(fraction), 0.02);
}

double tickAngle(int tick) {
    return tick * 360.0 / tickCount;
}

QConicalGradient clockwiseGradient(QPointF centre, qreal startClockwiseFromTop,
                                   const QGradientStops& stops) {
    // Qt measures counter-clockwise from 3 o'clock: 12 o'clock is 90, and a stop p of the way
    // round clockwise sits at 1 − p of Qt's way round.
    QConicalGradient gradient(centre, 90 - startClockwiseFromTop);
    for (const auto& [position, color] : stops)
        gradient.setColorAt(1 - position, color);
    return gradient;
}

QGradientStops arcStops(Skin skin) {
    if (skin == Skin::nightfall)
        return {{0, Nightfall::cyan},
                {1.0 / 3, Nightfall::blue},
                {2.0 / 3, Nightfall::violet},
                {1, Nightfall::cyan}};
    return {{0, Hibernia::green}, {0.5, Hibernia::deepGreen}, {1, Hibernia::green}};
}

qreal margin(qreal size) {
    return std::ceil(size * 0.0375 + 5);
}

} // namespace Ring

namespace {

// A layer of the ring, drawn once into a square pixmap of side `side` centred on the ring and
// kept: while the ring turns only these blits and the badge's glow are drawn per frame.
const QPixmap& ringLayer(const QString& key, qreal side, qreal ratio,
                         const std::function<void(QPainter&, QPointF centre)>& draw) {
    static QCache<QString, QPixmap> cache(160);
    if (QPixmap* hit = cache.object(key)) return *hit;
    QImage image(QSizeF(side * ratio, side * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        draw(p, QPointF(side / 2, side / 2));
    }
    auto* pixmap = new QPixmap(QPixmap::fromImage(std::move(image)));
    cache.insert(key, pixmap);
    return *pixmap;
}

void drawLayer(QPainter& painter, const QPixmap& layer, QPointF centre, qreal turn, qreal side) {
    const qreal rest = std::fmod(turn, 360.0);
    painter.save();
    // Smooth sampling, but no antialiased edges: the layer's edges are transparent anyway, and
    // an antialiased textured polygon costs several times a plain transformed blit.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.translate(centre);
    if (std::abs(rest) > 1e-6) painter.rotate(rest);
    painter.drawPixmap(QRectF(-side / 2, -side / 2, side, side), layer,
                       QRectF(QPointF(0, 0), QSizeF(layer.size())));
    painter.restore();
}

} // namespace

void paintScanRing(QPainter& painter, const QRectF& square, Skin skin, double fraction,
                   const RingMotion& motion, const QColor& primary) {
    fraction = Ring::clampFraction(fraction);
    const qreal size = std::min(square.width(), square.height());
    const QPointF centre = square.center();
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const qreal side = size + 2 * Ring::margin(size);
    const QString look = QStringLiteral("%1|%2|%3|%4")
                             .arg(static_cast<int>(skin))
                             .arg(size)
                             .arg(primary.rgba())
                             .arg(ratio);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    // 1. Ticks. A capsule of width w is a line with round caps drawn with a pen of width w; the
    // lit ones' glow is two wider, fainter pens under them.
    const int lit = Ring::litTicks(fraction);
    const QPixmap& ticks = ringLayer(
        QStringLiteral("ticks|%1|%2").arg(look).arg(lit), side, ratio,
        [&](QPainter& painter, QPointF centre) {
            QVector<QLineF> litLines, unlitLines;
            const qreal turn = 0;
            for (int i = 0; i < Ring::tickCount; ++i) {
                const bool lit = Ring::tickLit(i, fraction);
                const qreal width = lit ? 2.5 : 2;
                const qreal half = ((lit ? size * 0.075 : size * 0.05) - width) / 2;
                const qreal angle = (Ring::tickAngle(i) + turn) * M_PI / 180;
                // Clockwise from 12 o'clock on a screen whose y grows downward.
                const QPointF direction(std::sin(angle), -std::cos(angle));
                const QPointF middle = centre + direction * (size * 0.5);
                (lit ? litLines : unlitLines)
                    .append(QLineF(middle - direction * half, middle + direction * half));
            }
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(withOpacity(primary, 0.16), 2, Qt::SolidLine, Qt::RoundCap));
            painter.drawLines(unlitLines);
            if (skin == Skin::nightfall) {
                painter.setPen(QPen(withOpacity(Nightfall::cyan, 0.8 * 0.16), 2.5 + 6,
                                    Qt::SolidLine, Qt::RoundCap));
                painter.drawLines(litLines);
                painter.setPen(QPen(withOpacity(Nightfall::cyan, 0.8 * 0.3), 2.5 + 3, Qt::SolidLine,
                                    Qt::RoundCap));
                painter.drawLines(litLines);
            }
            painter.setPen(QPen(Skins::palette(skin).tint, 2.5, Qt::SolidLine, Qt::RoundCap));
            painter.drawLines(litLines);
        });
    // Drawn once per lit count and turned as one layer while the ring spins.
    drawLayer(painter, ticks, centre, motion.tickTurn, side);

    // 2, 3 and the badge of 5: the track, the arc from 12 o'clock clockwise and the badge do not
    // move while the ring turns, so they are one layer, drawn again only for a new fraction, on
    // a kept copy of the track and badge. (Nothing that moves lies between them: the dashed ring
    // and the badge's glow fall in the gap between the arc and the badge.)
    const qreal diameter = size * 0.72;
    const qreal line = size * 0.065;
    const qreal badge = size * 0.4;
    const QPixmap& base =
        ringLayer(QStringLiteral("base|%1").arg(look), side, ratio, [&](QPainter& p, QPointF c) {
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(withOpacity(primary, 0.08), line, Qt::SolidLine, Qt::FlatCap));
            p.drawEllipse(c, diameter / 2, diameter / 2);
            p.setPen(Qt::NoPen);
            p.setBrush(skin == Skin::nightfall ? withOpacity(Nightfall::deep, 0.9)
                                               : withOpacity(Qt::white, 0.85));
            p.drawEllipse(c, badge / 2, badge / 2);
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(withOpacity(Qt::white, skin == Skin::nightfall ? 0.28 : 0.9), 1));
            p.drawEllipse(c, badge / 2 - 0.5, badge / 2 - 0.5);
            const QRectF badgeBox(c.x() - badge / 2, c.y() - badge / 2, badge, badge);
            Icons::paintSymbol(p, badgeBox, "internaldrive", Skins::palette(skin).tint,
                               size * 0.18);
        });
    const QPixmap& still = ringLayer(
        QStringLiteral("still|%1|%2").arg(look).arg(fraction, 0, 'g', 17), side, ratio,
        [&](QPainter& p, QPointF c) {
            p.drawPixmap(QPointF(0, 0), base);
            const QRectF box(c.x() - diameter / 2, c.y() - diameter / 2, diameter, diameter);
            QPainterPath arc;
            arc.arcMoveTo(box, 90);
            arc.arcTo(box, 90, -Ring::arcSpan(fraction) * 360);
            if (skin == Skin::nightfall)
                PaintKit::strokeGlow(p, arc, withOpacity(Nightfall::blue, 0.8), line, 6,
                                     Qt::RoundCap, 3);
            p.setPen(QPen(QBrush(Ring::clockwiseGradient(c, 0, Ring::arcStops(skin))), line,
                          Qt::SolidLine, Qt::RoundCap));
            p.drawPath(arc);
        });
    drawLayer(painter, still, centre, 0, side);

    // 4. The dashed inner ring, a small layer turned the other way.
    const qreal innerSide = std::ceil(size * 0.56 + 6);
    const QPixmap& inner = ringLayer(
        QStringLiteral("inner|%1").arg(look), innerSide, ratio, [&](QPainter& p, QPointF c) {
            const qreal width = 1.5;
            QPen dashed(skin == Skin::nightfall ? withOpacity(Nightfall::violet, 0.8)
                                                : withOpacity(Hibernia::navy, 0.35),
                        width, Qt::CustomDashLine, Qt::RoundCap);
            dashed.setDashPattern({4 / width, 6 / width});
            p.setPen(dashed);
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(c, size * 0.28, size * 0.28);
        });
    drawLayer(painter, inner, centre, motion.innerTurn, innerSide);

    // 5. The badge's pulsing glow, around the badge (it would not show through it).
    const QColor glowColor = skin == Skin::nightfall  ? Nightfall::blue
                             : skin == Skin::hibernia ? Hibernia::green
                                                      : QColor(Qt::transparent);
    if (glowColor.alpha() > 0 && motion.glowOpacity > 0) {
        // Kept per step of the swell (a hundredth of opacity, a quarter point of radius): the
        // pulse passes through a few dozen looks and each is drawn once.
        const qreal opacity = std::round(motion.glowOpacity * 100) / 100;
        const qreal spread = std::round(motion.glowRadius * 4) / 4;
        const qreal r = badge / 2;
        const qreal outer = r + spread;
        const qreal haloSide = std::ceil(2 * outer + 2);
        const QPixmap& halo =
            ringLayer(QStringLiteral("halo|%1|%2|%3").arg(look).arg(opacity).arg(spread), haloSide,
                      ratio, [&](QPainter& p, QPointF c) {
                          // The soft shadow of a disc: half its strength at the disc's edge, gone a
                          // radius beyond; only the part around the badge, which would hide the
                          // rest.
                          QRadialGradient glow(c, outer);
                          const QColor tint = withOpacity(glowColor, opacity);
                          glow.setColorAt(0, tint);
                          glow.setColorAt(std::max(0.0, (r - spread / 2) / outer), tint);
                          glow.setColorAt(r / outer, withOpacity(tint, 0.5));
                          glow.setColorAt((r + spread / 2) / outer, withOpacity(tint, 0.12));
                          glow.setColorAt(1, withOpacity(tint, 0));
                          p.setPen(Qt::NoPen);
                          p.setBrush(glow);
                          QPainterPath ring;
                          ring.addEllipse(c, outer, outer);
                          ring.addEllipse(c, r - 0.5, r - 0.5);
                          p.drawPath(ring);
                      });
        drawLayer(painter, halo, centre, 0, haloSide);
    }
    painter.restore();
}

ScanRing::ScanRing(qreal size, QWidget* parent) : QWidget(parent), size_(size) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    ease_.setDuration(600);
    ease_.setEasingCurve(Motion::easeOut());
    connect(&ease_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        shown_ = Ring::clampFraction(v.toDouble());
        update();
    });
    auto loop = [this](QVariantAnimation& a, int ms, qreal to) {
        a.setStartValue(0.0);
        a.setEndValue(to);
        a.setDuration(ms);
        a.setLoopCount(-1);
        a.setEasingCurve(Motion::linear());
    };
    loop(ticks_, 18000, 360);
    loop(inner_, 9000, -360);
    loop(glow_, 5200, 1);
    connect(&ticks_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        motion_.tickTurn = v.toDouble();
        update();
    });
    connect(&inner_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& v) { motion_.innerTurn = v.toDouble(); });
    connect(&glow_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        const double swell = Motion::autoreversed(v.toDouble(), Motion::easeInOut());
        motion_.glowOpacity = 0.3 + 0.3 * swell;
        motion_.glowRadius = 8 + 8 * swell;
    });
    connect(&SkinSettings::instance(), &SkinSettings::animateScansChanged, this, [this] {
        if (!spin_) return;
        if (Motion::loopsAllowed())
            startLoops();
        else
            stopLoops();
    });
    // Before it is first shown the ring stands at rest with a dim glow.
    motion_ = {0, 0, 0.3, 8};
}

void ScanRing::setFraction(double fraction) {
    fraction = Ring::clampFraction(fraction);
    if (fraction == target_) return;
    target_ = fraction;
    ease_.stop();
    if (Motion::transitionsAllowed() && isVisible()) {
        ease_.setStartValue(shown_);
        ease_.setEndValue(target_);
        ease_.start();
    } else {
        shown_ = target_;
        update();
    }
}

bool ScanRing::looping() const {
    return ticks_.state() == QAbstractAnimation::Running;
}

void ScanRing::setRingSize(qreal size) {
    size_ = size;
    updateGeometry();
    update();
}

QSize ScanRing::sizeHint() const {
    const qreal side = size_ + 2 * Ring::margin(size_);
    return QSizeF(side, side).toSize();
}

void ScanRing::startLoops() {
    if (looping()) return;
    ticks_.start();
    inner_.start();
    glow_.start();
}

void ScanRing::stopLoops() {
    ticks_.stop();
    inner_.stop();
    glow_.stop();
    motion_ = RingMotion{};
    update();
}

void ScanRing::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (spin_) return;
    spin_ = true;
    if (Motion::loopsAllowed())
        startLoops();
    else
        stopLoops();
}

void ScanRing::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF square((width() - size_) / 2, (height() - size_) / 2, size_, size_);
    const Skin skin = skinOf(this);
    paintScanRing(painter, square, skin, shown_, motion_, Skins::palette(skin, palette()).text);
}

QRectF sweepBand(qreal width, qreal height, qreal progress) {
    const qreal offset = width * (-0.5 + 1.7 * std::clamp<qreal>(progress, 0, 1));
    return QRectF(offset, 0, width * 0.45, height);
}

void paintSweep(QPainter& painter, const QRectF& rect, Skin skin, qreal progress) {
    QRectF band = sweepBand(rect.width(), rect.height(), progress).translated(rect.topLeft());
    if (!band.intersects(rect)) return;
    const QColor tint =
        withOpacity(Skins::palette(skin).tint, skin == Skin::nightfall ? 0.16 : 0.22);
    QLinearGradient gradient(band.left(), 0, band.right(), 0);
    gradient.setColorAt(0, Qt::transparent);
    gradient.setColorAt(0.5, tint);
    gradient.setColorAt(1, Qt::transparent);
    painter.fillRect(band, gradient);
}

namespace {

// Runs a view's loop from its start, or parks it past its end (its band out of sight), as looping
// motion is allowed now.
void runOrPark(QWidget* view, QVariantAnimation& loop, qreal& progress) {
    if (Motion::loopsAllowed()) {
        if (loop.state() == QAbstractAnimation::Running) return;
        progress = 0;
        loop.start();
    } else {
        loop.stop();
        progress = 1;
        view->update();
    }
}

// A looping view's loop, set up to follow the setting while the view is shown.
void setUpLoop(QWidget* view, QVariantAnimation& loop, qreal& progress, int ms,
               const QEasingCurve& curve) {
    loop.setStartValue(0.0);
    loop.setEndValue(1.0);
    loop.setDuration(ms);
    loop.setLoopCount(-1);
    loop.setEasingCurve(curve);
    QObject::connect(&SkinSettings::instance(), &SkinSettings::animateScansChanged, view,
                     [view, &loop, &progress] {
                         if (view->isVisible()) runOrPark(view, loop, progress);
                     });
}

} // namespace

SkinSweep::SkinSweep(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setUpLoop(this, loop_, progress_, 1600, Motion::easeInOut());
    connect(&loop_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        progress_ = v.toDouble();
        update();
    });
}

void SkinSweep::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    runOrPark(this, loop_, progress_);
}

void SkinSweep::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    loop_.stop();
    progress_ = 0;
}

void SkinSweep::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintSweep(painter, rect(), skinOf(this), progress_);
}

void paintCleaningBar(QPainter& painter, const QRectF& bar, Skin skin, qreal progress,
                      const QColor& primary) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = PaintKit::capsule(bar);
    if (skin == Skin::nightfall)
        PaintKit::drawShadow(painter, shape, withOpacity(Nightfall::green, 0.8), 6);
    painter.fillPath(shape, withOpacity(primary, 0.08));
    QLinearGradient fill = skin == Skin::nightfall ? Nightfall::clean(bar)
                                                   : QLinearGradient(bar.left(), 0, bar.right(), 0);
    if (skin != Skin::nightfall) {
        fill.setColorAt(0, Hibernia::green);
        fill.setColorAt(1, Hibernia::deepGreen);
    }
    painter.fillPath(shape, fill);
    const qreal w = bar.width();
    const QRectF shine(bar.left() + w * (-0.25 + 1.25 * std::clamp<qreal>(progress, 0, 1)),
                       bar.top(), w * 0.25, bar.height());
    if (shine.intersects(bar)) {
        painter.setClipPath(shape);
        QLinearGradient light(shine.left(), 0, shine.right(), 0);
        light.setColorAt(0, Qt::transparent);
        light.setColorAt(0.5, withOpacity(Qt::white, 0.75));
        light.setColorAt(1, Qt::transparent);
        painter.fillRect(shine, light);
    }
    painter.restore();
}

SkinCleaningBar::SkinCleaningBar(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setUpLoop(this, loop_, progress_, 1200, Motion::linear());
    connect(&loop_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        progress_ = v.toDouble();
        update();
    });
}

QSize SkinCleaningBar::sizeHint() const {
    return QSize(120, static_cast<int>(cleaningBarHeight + 2 * cleaningBarMargin));
}

void SkinCleaningBar::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    runOrPark(this, loop_, progress_);
}

void SkinCleaningBar::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    loop_.stop();
    progress_ = 0;
}

void SkinCleaningBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const Skin skin = skinOf(this);
    const QRectF bar(cleaningBarMargin, (height() - cleaningBarHeight) / 2,
                     width() - 2 * cleaningBarMargin, cleaningBarHeight);
    paintCleaningBar(painter, bar, skin, progress_, Skins::palette(skin, palette()).text);
}

} // namespace bramwick

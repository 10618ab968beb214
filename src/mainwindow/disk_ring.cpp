#include "mainwindow/disk_ring.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QPainterPath>

#include "appearance/progress.h"
#include "appearance/window_dressing.h"

namespace bramwick {

namespace DiskRingValues {

double usedFraction(const DiskFigures& disk) {
    const std::int64_t used = disk.total - disk.available;
    return double(used) / double(std::max<std::int64_t>(disk.total, 1));
}

std::int64_t percent(double fraction) {
    if (!std::isfinite(fraction)) return 0;
    return std::llround(fraction * 100.0);
}

QString percentText(double fraction) {
    return QString::number(percent(fraction)) + "%";
}

} // namespace DiskRingValues

void paintDiskRing(QPainter& painter, const QRectF& square, Skin skin, double fraction,
                   const NumberTransitions::RollFrame& percent, const QColor& arc,
                   const QColor& primary, const QColor& secondary) {
    const qreal size = square.width();
    const qreal w = DiskRingValues::strokeWidth(size);
    const QRectF circle = square.adjusted(w / 2, w / 2, -w / 2, -w / 2);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    QPen track(withOpacity(primary, 0.08), w, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    painter.setPen(track);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(circle);

    const double span = std::clamp(std::isfinite(fraction) ? fraction : 0.0, 0.0, 1.0);
    if (span > 0) {
        // Qt counts sixteenths of a degree counter-clockwise from 3 o'clock.
        const int start = 90 * 16;
        const int extent = -int(std::lround(span * 360 * 16));
        if (skin == Skin::nightfall) {
            for (int i = 3; i >= 1; --i) {
                QPen glow(withOpacity(arc, 0.7 * 0.18), w + i * 4, Qt::SolidLine, Qt::RoundCap,
                          Qt::MiterJoin);
                painter.setPen(glow);
                painter.drawArc(circle, start, extent);
            }
        }
        QPen pen(arc, w, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
        painter.setPen(pen);
        painter.drawArc(circle, start, extent);
    }

    QFont big = painter.font();
    big.setPixelSize(std::max(1, int(std::lround(size * 0.21))));
    big.setBold(true);
    QFont small = painter.font();
    small.setPixelSize(std::max(1, int(std::lround(size * 0.12))));
    const QFontMetricsF bigMetrics(big), smallMetrics(small);
    const qreal blockHeight = bigMetrics.height() + 2 + smallMetrics.height();
    qreal top = square.center().y() - blockHeight / 2;
    painter.setFont(big);
    painter.setPen(primary);
    NumberTransitions::paintRolling(painter, QRectF(square.left(), top, size, bigMetrics.height()),
                                    Qt::AlignCenter, percent);
    top += bigMetrics.height() + 2;
    painter.setFont(small);
    painter.setPen(secondary);
    painter.drawText(QRectF(square.left(), top, size, smallMetrics.height()), Qt::AlignCenter,
                     QStringLiteral("used"));
    painter.restore();
}

DiskRing::DiskRing(qreal size, QWidget* parent)
    : QWidget(parent), size_(size), ease_(new NumberTransition(NumberTransitions::Kind::roll, 1200,
                                                               DiskRingValues::percentText, this)) {
    setObjectName(QStringLiteral("diskRing"));
}

void DiskRing::setDisk(const DiskFigures& disk) {
    if (disk != disk_) update(); // the colour follows at once
    disk_ = disk;
    ease_->setValue(DiskRingValues::usedFraction(disk));
}

QSize DiskRing::sizeHint() const {
    const int side = int(std::ceil(size_)) + 8;
    return {side, side};
}

void DiskRing::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const Skin skin = skinOf(this);
    const bool dark = isDark(palette());
    const QRectF square(QPointF((width() - size_) / 2, (height() - size_) / 2),
                        QSizeF(size_, size_));
    const QColor arc = healthColor(DiskHealths::rate(disk_), dark);
    const Skins::Palette colours = Skins::palette(skin, palette());
    paintDiskRing(painter, square, skin, shownFraction(), ease_->motion().frame(), arc,
                  colours.text, colours.secondaryText);
}

} // namespace bramwick

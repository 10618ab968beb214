#include "mainwindow/vital_meter.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QPainterPath>
#include <fmt/format.h>

#include "appearance/progress.h"
#include "appearance/typography.h"
#include "appearance/window_dressing.h"
#include "base/text.h"
#include "mainwindow/disk_ring.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace VitalMeters {

namespace {

bool throttling(const Vitals& vitals) {
    return vitals.thermal == Vitals::Thermal::serious ||
           vitals.thermal == Vitals::Thermal::critical;
}

} // namespace

bool hasState(Kind kind, const Vitals& vitals) {
    return kind == Kind::memory ? vitals.sampled : vitals.cpuMeasured;
}

DiskHealth health(Kind kind, const Vitals& vitals) {
    if (kind == Kind::memory) {
        switch (vitals.pressure) {
        case Vitals::Pressure::normal:
            return DiskHealth::healthy;
        case Vitals::Pressure::warning:
            return DiskHealth::gettingFull;
        case Vitals::Pressure::critical:
            return DiskHealth::almostFull;
        }
        return DiskHealth::healthy;
    }
    if (throttling(vitals) || vitals.loadPerCore >= 1.0) return DiskHealth::almostFull;
    if (vitals.loadPerCore >= 0.7) return DiskHealth::gettingFull;
    return DiskHealth::healthy;
}

std::string title(Kind kind, const Vitals& vitals) {
    if (kind == Kind::memory) return "Memory";
    if (!hasState(kind, vitals)) return "CPU";
    const double busy = std::isfinite(vitals.cpuBusy) ? vitals.cpuBusy : 0;
    return "CPU " + std::to_string(std::llround(busy * 100.0)) + "%";
}

std::string word(Kind kind, const Vitals& vitals) {
    if (!hasState(kind, vitals)) return {};
    if (kind == Kind::memory) {
        switch (vitals.pressure) {
        case Vitals::Pressure::normal:
            return "normal pressure";
        case Vitals::Pressure::warning:
            return "under pressure";
        case Vitals::Pressure::critical:
            return "out of memory";
        }
        return "normal pressure";
    }
    if (throttling(vitals)) return "throttling";
    if (vitals.loadPerCore >= 1.0) return "overloaded";
    if (vitals.loadPerCore >= 0.7) return "busy";
    return "normal";
}

std::string caption(Kind kind, const Vitals& vitals) {
    if (kind == Kind::cpu) {
        if (vitals.topCPU && vitals.topCPU->cpu >= 1.0)
            return fmt::format("{} {:.0f}%", vitals.topCPU->name, vitals.topCPU->cpu);
        return fmt::format("Load {:.2f} per core", vitals.loadPerCore);
    }
    std::string text;
    if (vitals.swapRate >= 1)
        text = "Swapping " + Text::byteCount(vitals.swapRate) + "/s";
    else if (vitals.compressorBytes >= 1 && vitals.compressorBytes < vitals.compressedBytes)
        text = Text::byteCount(vitals.compressedBytes) + " held in " +
               Text::byteCount(vitals.compressorBytes);
    else if (vitals.swapUsed < 1)
        text = "Nothing swapped";
    else
        text = Text::byteCount(vitals.swapUsed) + " swapped";
    if (vitals.topMemory) text += " \u00b7 " + vitals.topMemory->name;
    return text;
}

const std::vector<double>& history(Kind kind, const Vitals& vitals) {
    return kind == Kind::cpu ? vitals.cpuHistory : vitals.swapHistory;
}

std::vector<QPointF> sparklinePositions(const std::vector<double>& values, QSizeF size) {
    std::vector<QPointF> points;
    if (values.empty()) return points;
    const double w = size.width(), h = size.height();
    const double step = w / double(historyLength - 1);
    const double n = double(values.size());
    points.reserve(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double v = values[i];
        const double c = std::isnan(v) ? 1.0 : std::clamp(v, 0.0, 1.0);
        points.emplace_back(w - step * (n - 1) + step * double(i), (h - 2) - (h - 5) * c);
    }
    return points;
}

QRectF sparklineEndDot(const std::vector<double>& values, const QRectF& rect) {
    if (values.size() < 2) return {};
    const QPointF end = sparklinePositions(values, rect.size()).back() + rect.topLeft();
    return {end.x() - 2.5, end.y() - 2.5, 5, 5};
}

} // namespace VitalMeters

void paintSparkline(QPainter& painter, const QRectF& rect, const std::vector<double>& values,
                    const QColor& color, const QColor& secondary) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect.topLeft());
    if (values.size() < 2) {
        painter.setPen(
            QPen(withOpacity(secondary, 0.3), 2, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin));
        painter.drawLine(QPointF(0, rect.height() - 2), QPointF(rect.width(), rect.height() - 2));
        painter.restore();
        return;
    }
    const auto points = VitalMeters::sparklinePositions(values, rect.size());
    painter.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(points.data(), int(points.size()));
    painter.restore();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(VitalMeters::sparklineEndDot(values, rect));
    painter.restore();
}

VitalMeter::VitalMeter(VitalMeters::Kind kind, QWidget* parent)
    : QAbstractButton(parent), kind_(kind) {
    setObjectName(kind == VitalMeters::Kind::cpu ? QStringLiteral("meter-cpu")
                                                 : QStringLiteral("meter-memory"));
    setToolTip(QStringLiteral("Show what is running"));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
}

void VitalMeter::setVitals(const Vitals& vitals) {
    vitals_ = vitals;
    const std::string word = VitalMeters::word(kind_, vitals_);
    setAccessibleName(
        toQString(VitalMeters::title(kind_, vitals_) + (word.empty() ? "" : ", " + word)));
    update();
}

QSize VitalMeter::sizeHint() const {
    const QFontMetrics title(textFont(TextStyle::callout, QFont::DemiBold));
    const QFontMetrics caption(textFont(TextStyle::caption));
    return {VitalMeters::width + VitalMeters::endDotRoom,
            title.height() + 4 + VitalMeters::sparklineHeight + 4 + caption.height()};
}

void VitalMeter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Skin skin = skinOf(this);
    const Skins::Palette colours = Skins::palette(skin, palette());
    const QColor primary = colours.text;
    const QColor secondary = colours.secondaryText;
    const QColor color = VitalMeters::hasState(kind_, vitals_)
                             ? healthColor(VitalMeters::health(kind_, vitals_), isDark(palette()))
                             : withOpacity(secondary, 0.5);
    const qreal w = VitalMeters::width;

    const QFont titleFont = textFont(TextStyle::callout, QFont::DemiBold);
    const QFont captionFont = textFont(TextStyle::caption);
    const QFontMetricsF titleMetrics(titleFont), captionMetrics(captionFont);
    qreal y = 0;
    const qreal row = titleMetrics.height();
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(0, y + (row - 8) / 2, 8, 8));
    const QString title = toQString(VitalMeters::title(kind_, vitals_));
    painter.setFont(titleFont);
    painter.setPen(primary);
    const qreal titleWidth = titleMetrics.horizontalAdvance(title);
    painter.drawText(QRectF(14, y, titleWidth + 1, row), Qt::AlignLeft | Qt::AlignVCenter, title);
    // The word is set a little smaller before it is cut ("normal pressure" beside "Memory").
    const qreal wordLeft = 14 + titleWidth + 6;
    const qreal wordRoom = std::max<qreal>(0, w - wordLeft);
    const QString word = toQString(VitalMeters::word(kind_, vitals_));
    const QFont wordFont = fittedFont(captionFont, word, wordRoom);
    painter.setFont(wordFont);
    painter.setPen(secondary);
    painter.drawText(QRectF(wordLeft, y, wordRoom, row), Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetricsF(wordFont).elidedText(word, Qt::ElideRight, wordRoom));
    painter.setFont(captionFont);
    y += row + 4;
    paintSparkline(painter, QRectF(0, y, w, VitalMeters::sparklineHeight),
                   VitalMeters::history(kind_, vitals_), color, secondary);
    y += VitalMeters::sparklineHeight + 4;
    painter.drawText(QRectF(0, y, w, captionMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     captionMetrics.elidedText(toQString(VitalMeters::caption(kind_, vitals_)),
                                               Qt::ElideRight, w));
}

} // namespace bramwick

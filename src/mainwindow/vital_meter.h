// The two vital meters of the disk header, CPU and memory: a dot and a title in the colour of
// their health, a state word, a sparkline of the last minute and a one-line caption. A meter is
// one flat button; the header decides what a click opens. Everything it shows is computed by the
// plain functions below from one `Vitals` value.
#pragma once

#include <string>
#include <vector>

#include <QAbstractButton>
#include <QPointF>
#include <QSizeF>

#include "appearance/skin.h"
#include "engine/health.h"
#include "system/vitals.h"

namespace bramwick {

namespace VitalMeters {

enum class Kind { cpu, memory };

inline constexpr int width = 168;
inline constexpr int sparklineHeight = 22;
inline constexpr std::size_t historyLength = 30;

// Whether the meter has a state to show: the CPU's only once its busy share was measured (the
// first sample has nothing to measure it against), the memory's from the first sample. Until
// then the meter shows no colour, no number and no word.
bool hasState(Kind kind, const Vitals& vitals);
// Memory: the pressure. CPU: throttling or a load of a whole core each is critical, 0.7 of one
// a warning.
DiskHealth health(Kind kind, const Vitals& vitals);
// "CPU 38%" ("CPU" before it has a state) or "Memory".
std::string title(Kind kind, const Vitals& vitals);
// Empty while the meter has no state.
std::string word(Kind kind, const Vitals& vitals);
std::string caption(Kind kind, const Vitals& vitals);
// The history the sparkline draws: the CPU's busy share, or the swap rate's.
const std::vector<double>& history(Kind kind, const Vitals& vitals);

// One point per value in a frame of `size`: the newest on the right edge, 29 steps across for
// 30 values, 0 two points above the bottom and 1 three below the top (clamped; NaN counts as 1).
std::vector<QPointF> sparklinePositions(const std::vector<double>& values, QSizeF size);
// The end dot, 5 across, centred on the newest point of a sparkline drawn in `rect`; empty
// under two values. It reaches 2.5 past the right edge, where the newest point lies: the meter
// keeps that room beside its column.
QRectF sparklineEndDot(const std::vector<double>& values, const QRectF& rect);
inline constexpr int endDotRoom = 3;

} // namespace VitalMeters

// Draws a sparkline in `rect`: under two values a faint flat line, else the line and an end dot.
void paintSparkline(QPainter& painter, const QRectF& rect, const std::vector<double>& values,
                    const QColor& color, const QColor& secondary);

class VitalMeter : public QAbstractButton {
    Q_OBJECT

  public:
    VitalMeter(VitalMeters::Kind kind, QWidget* parent = nullptr);
    void setVitals(const Vitals& vitals);
    const Vitals& vitals() const { return vitals_; }
    VitalMeters::Kind kind() const { return kind_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    VitalMeters::Kind kind_;
    Vitals vitals_;
};

} // namespace bramwick

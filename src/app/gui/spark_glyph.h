// The tray icon: two circling arrows around a lightning bolt, in one colour, drawn in an
// 18 × 18 space (origin top left, y down) with lines, fills and round caps only, so it is sharp
// at any scale. The colour is never replaced by the tray (it is not a template image).
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPainter>

namespace bramwick::SparkGlyph {

inline constexpr int side = 18;

// Draws the glyph into the painter's 18 × 18 space.
void paint(QPainter& painter, const QColor& colour);
// The glyph at `scale` device pixels per point (18·scale pixels square, its ratio set).
QImage image(const QColor& colour, qreal scale = 1);
// The tray's icon: the glyph at 1×, 2× and the screen's own scale.
QIcon icon(const QColor& colour, qreal screenScale = 1);

} // namespace bramwick::SparkGlyph

// Small drawing tools shared by every skinned part: the card shapes, a fast blur, and soft
// shadows drawn from cached pixmaps so repainting a card costs a few blits.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRectF>

namespace bramwick::PaintKit {

// A rounded rectangle whose corners ease into the sides (the "continuous" corner): smoother than
// a circular arc of the same radius. A radius of 0 gives the plain rectangle.
QPainterPath continuousRect(const QRectF& rect, qreal radius);
// A capsule: ends are half circles of half the shorter side.
QPainterPath capsule(const QRectF& rect);

// Blurs a premultiplied ARGB image in place with three box passes, close to a Gaussian of
// standard deviation `sigma` (in pixels). Any other format is converted first.
void blur(QImage& image, qreal sigma);

// A soft shadow of `shape` filled with `color`, blurred by `radius` points (a shadow radius in
// the usual sense: it spreads about that far), drawn offset by `offset`. Shadows are cached by
// shape size, radius, colour and device pixel ratio, so a card repainted at the same size only
// blits a pixmap.
void drawShadow(QPainter& painter, const QPainterPath& shape, const QColor& color, qreal radius,
                QPointF offset = {});

// The margins a shadow of this radius and offset needs around its shape so that nothing of it
// is clipped: left, top, right, bottom.
QMarginsF shadowMargins(qreal radius, QPointF offset = {});

// A glow of a capsule or circle-like stroke drawn cheaply as widening translucent strokes, for
// shapes that change every frame (the ring's arc) and cannot be cached.
void strokeGlow(QPainter& painter, const QPainterPath& path, const QColor& color, qreal width,
                qreal radius, Qt::PenCapStyle cap = Qt::RoundCap, int steps = 5);

} // namespace bramwick::PaintKit

#include "app/gui/spark_glyph.h"

#include <cmath>
#include <numbers>

#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace bramwick::SparkGlyph {

namespace {

constexpr double centre = 9;
constexpr double radius = 6.4;
constexpr int segments = 26;

struct Arc {
    double start, end; // degrees, growing clockwise on screen
};
constexpr Arc arcs[] = {{190, 320}, {10, 140}};

constexpr QPointF bolt[] = {{10.1, 4.5}, {7.2, 9.4},  {8.9, 9.4},
                            {7.8, 13.5}, {11.0, 8.2}, {9.3, 8.2}};

QPointF at(double degrees) {
    double a = degrees * std::numbers::pi / 180;
    return {centre + radius * std::cos(a), centre + radius * std::sin(a)};
}

} // namespace

void paint(QPainter& painter, const QColor& colour) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    for (const Arc& arc : arcs) {
        // A polyline of 27 points, not a true arc.
        QPainterPath path(at(arc.start));
        for (int i = 1; i <= segments; ++i)
            path.lineTo(at(arc.start + (arc.end - arc.start) * i / segments));
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);

        // The arrowhead: its base along the radius, its tip along the arc's travel.
        double a = arc.end * std::numbers::pi / 180;
        double c = std::cos(a), n = std::sin(a);
        QPointF end(centre + radius * c, centre + radius * n);
        QPolygonF head{end + 2.16 * QPointF(c, n), end + 2.88 * QPointF(-n, c),
                       end - 2.16 * QPointF(c, n)};
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawPolygon(head);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPolygon(bolt, static_cast<int>(std::size(bolt)));
    painter.restore();
}

QImage image(const QColor& colour, qreal scale) {
    int pixels = static_cast<int>(std::lround(side * scale));
    QImage made(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    made.fill(Qt::transparent);
    made.setDevicePixelRatio(scale);
    QPainter painter(&made);
    paint(painter, colour);
    return made;
}

QIcon icon(const QColor& colour, qreal screenScale) {
    QIcon made;
    for (qreal scale : {qreal(1), qreal(2), screenScale})
        made.addPixmap(QPixmap::fromImage(image(colour, scale)));
    return made;
}

} // namespace bramwick::SparkGlyph

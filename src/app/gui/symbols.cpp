#include "app/gui/symbols.h"

#include <cmath>
#include <functional>

#include <QPainter>
#include <QPainterPath>

namespace bramwick::Symbols {

namespace {

void circleWith(QPainter& p, const QColor& colour, const std::function<void(QPainter&)>& mark) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    mark(p);
}

void draw(QPainter& p, const QString& name, const QColor& colour) {
    QPen line(colour, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(line);
    p.setBrush(Qt::NoBrush);
    if (name == "checkmark.circle.fill") {
        circleWith(p, colour, [](QPainter& q) {
            q.drawPolyline(QPolygonF{{4.8, 8.2}, {7, 10.4}, {11.2, 5.8}});
        });
    } else if (name == "exclamationmark.circle.fill") {
        circleWith(p, colour, [](QPainter& q) {
            q.drawLine(QPointF(8, 4.4), QPointF(8, 8.8));
            q.drawPoint(QPointF(8, 11.4));
        });
    } else if (name == "xmark") {
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
    } else if (name == "cpu") {
        p.drawRoundedRect(QRectF(3.5, 3.5, 9, 9), 1.5, 1.5);
        p.drawRect(QRectF(6.3, 6.3, 3.4, 3.4));
        for (double x : {6.0, 8.0, 10.0}) {
            p.drawLine(QPointF(x, 1.2), QPointF(x, 3.5));
            p.drawLine(QPointF(x, 12.5), QPointF(x, 14.8));
            p.drawLine(QPointF(1.2, x), QPointF(3.5, x));
            p.drawLine(QPointF(12.5, x), QPointF(14.8, x));
        }
    } else if (name == "chevron.right") {
        p.drawPolyline(QPolygonF{{6, 3.5}, {10.5, 8}, {6, 12.5}});
    } else if (name == "lock.shield") {
        QPainterPath shield;
        shield.moveTo(8, 1.5);
        shield.lineTo(13.5, 3.5);
        shield.cubicTo(13.5, 9.5, 11, 13, 8, 14.5);
        shield.cubicTo(5, 13, 2.5, 9.5, 2.5, 3.5);
        shield.closeSubpath();
        p.drawPath(shield);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawRect(QRectF(5.8, 7.5, 4.4, 3.5));
        p.setPen(QPen(colour, 1.1));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(6.5, 5.2, 3, 4), 0, 180 * 16);
    } else if (name.startsWith("clock")) {
        p.drawEllipse(QRectF(2, 2, 12, 12));
        p.drawPolyline(QPolygonF{{8, 4.8}, {8, 8}, {10.4, 9.4}});
        if (name == "clock.badge.checkmark") {
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawEllipse(QRectF(9.5, 9.5, 6.5, 6.5));
        } else {
            p.drawPolyline(QPolygonF{{0.8, 6}, {2, 8}, {3.6, 6.2}});
        }
    } else if (name == "arrow.clockwise") {
        p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 300 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPolygon(QPolygonF{{9.6, 0.8}, {13.6, 3.4}, {9.4, 5.6}});
    } else if (name == "gearshape") {
        QPainterPath gear;
        for (int tooth = 0; tooth < 8; ++tooth) {
            double a = tooth * M_PI / 4;
            QPointF c(8 + 5.3 * std::cos(a), 8 + 5.3 * std::sin(a));
            gear.addEllipse(c, 1.6, 1.6);
        }
        gear.addEllipse(QPointF(8, 8), 5, 5);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        QPainterPath hole;
        hole.addEllipse(QPointF(8, 8), 2.1, 2.1);
        p.drawPath(gear.simplified().subtracted(hole));
    } else if (name == "power") {
        p.drawArc(QRectF(2.5, 3, 11, 11), 120 * 16, 300 * 16);
        p.drawLine(QPointF(8, 1.5), QPointF(8, 7.5));
    } else if (name == "arrow.down.circle") {
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.drawLine(QPointF(8, 4.5), QPointF(8, 11));
        p.drawPolyline(QPolygonF{{5, 8.2}, {8, 11.2}, {11, 8.2}});
    } else if (name == "magnifyingglass") {
        p.drawEllipse(QRectF(2, 2, 8.5, 8.5));
        p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9.6, 9.6), QPointF(14, 14));
    } else if (name == "sparkles") {
        auto star = [&](QPointF c, double r) {
            QPainterPath s;
            s.moveTo(c.x(), c.y() - r);
            s.quadTo(c, QPointF(c.x() + r, c.y()));
            s.quadTo(c, QPointF(c.x(), c.y() + r));
            s.quadTo(c, QPointF(c.x() - r, c.y()));
            s.quadTo(c, QPointF(c.x(), c.y() - r));
            p.drawPath(s);
        };
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        star({6.5, 9}, 5.5);
        star({12.5, 3.5}, 3);
    }
}

} // namespace

QPixmap pixmap(const QString& name, const QColor& colour, int size, qreal scale) {
    QPixmap made(QSize(size, size) * scale);
    made.setDevicePixelRatio(scale);
    made.fill(Qt::transparent);
    QPainter p(&made);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    draw(p, name, colour);
    return made;
}

QIcon icon(const QString& name, const QColor& colour, int size) {
    QIcon made;
    made.addPixmap(pixmap(name, colour, size, 1));
    made.addPixmap(pixmap(name, colour, size, 2));
    return made;
}

} // namespace bramwick::Symbols

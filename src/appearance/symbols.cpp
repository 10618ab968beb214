#include "appearance/symbols.h"

#include <QPainter>

#include "appearance/icons.h"

namespace bramwick {

QPixmap symbolPixmap(const std::string& name, const QColor& colour, int size) {
    const qreal scale = 2;
    QPixmap made(QSize(size, size) * scale);
    made.setDevicePixelRatio(scale);
    made.fill(Qt::transparent);
    QPainter painter(&made);
    painter.setRenderHint(QPainter::Antialiasing);
    Icons::paintSymbol(painter, QRectF(0, 0, size, size), name, colour, size);
    return made;
}

} // namespace bramwick

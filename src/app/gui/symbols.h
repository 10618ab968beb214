// The small symbols of the tray's panel and its buttons, drawn with lines and fills in a 16 × 16
// space so they stay sharp at any scale. Unknown names draw nothing.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace bramwick::Symbols {

// `name` is one of: "checkmark.circle.fill", "exclamationmark.circle.fill", "xmark", "cpu",
// "chevron.right", "lock.shield", "clock.arrow.trianglehead.counterclockwise.rotate.90",
// "clock.badge.checkmark", "arrow.clockwise", "gearshape", "power", "arrow.down.circle",
// "magnifyingglass", "sparkles".
QPixmap pixmap(const QString& name, const QColor& colour, int size = 16, qreal scale = 2);
QIcon icon(const QString& name, const QColor& colour, int size = 16);

} // namespace bramwick::Symbols

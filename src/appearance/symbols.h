// The skins' symbols as pieces to build with: a pixmap of one for a label or an icon.
#pragma once

#include <string>

#include <QColor>
#include <QPixmap>

namespace bramwick {

// A symbol of the skins' icon font in one colour, `size` points square, sharp at twice that.
QPixmap symbolPixmap(const std::string& name, const QColor& colour, int size);

} // namespace bramwick

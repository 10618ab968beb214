// The look of the category list in each skin, in one place over the skins' own blocks: the
// level colours, the text colours, the symbols and the fonts the list uses.
#pragma once

#include <optional>
#include <string>

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QWidget>

#include "appearance/skin.h"
#include "appearance/typography.h"
#include "engine/models.h"

namespace bramwick::ListLook {

using Look = Skin;

// The level colours of Skin, with classic's following the desktop's light or dark scheme.
QColor levelColor(Look look, Level level);
QColor levelDot(Look look, Level level);
// The fixed highlight of a level section's header under a drag (not the skin's colours).
QColor dropHighlight(Level level);
// The All chip's accent.
QColor accent(Look look);
QColor text(Look look);
QColor secondaryText(Look look);

// A symbol at `pixelSize`, centred in `rect`.
void paintSymbol(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color,
                 qreal pixelSize);

// Whether looping motion may run (off in tests and screenshots).
bool loopsAllowed();

} // namespace bramwick::ListLook

// The look of the category list in each skin: the level colours, the chip and row fills, the
// symbol glyphs, the sweep over a row being measured and the bar under a row being cleaned.
// Everything the list paints goes through here, so the list follows the skins in one place.
#pragma once

#include <optional>
#include <string>

#include <QColor>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QWidget>

#include "engine/models.h"

namespace bramwick::ListLook {

enum class Look { classic, nightfall, hibernia };
// The stored "skin": exactly "classic", "nightfall" or "hibernia"; anything else is nightfall.
Look fromStored(const std::optional<std::string>& stored);
inline constexpr const char* skinKey = "skin";

// Level-coloured text and fills, and the level dots of markers and chips.
QColor levelColor(Look look, Level level);
QColor levelDot(Look look, Level level);
// The fixed highlight of a level section's header under a drag (not the skin's colours).
QColor dropHighlight(Level level);
// The All chip's accent.
QColor accent(Look look);
QColor text(Look look);
QColor secondaryText(Look look);
inline constexpr QColor badgePurple{175, 82, 222};

// Gives a root widget the skin's colours (classic keeps the desktop's).
void dress(QWidget* root, Look look);
// The window's background.
void paintBackdrop(QPainter& painter, const QRectF& rect, Look look);
// The plate behind one row: a rounded white (or glass) card in the painted skins, nothing in
// classic.
void paintRowPlate(QPainter& painter, const QRectF& rect, Look look);
// A symbol of the catalog or the level table, drawn as a simple glyph.
void paintSymbol(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color);
// A light band at `phase` (0…1) across a row being measured.
void paintSweep(QPainter& painter, const QRectF& rect, Look look, qreal phase);
// A thin bar with a shine at `phase` under a row being cleaned.
void paintCleaningBar(QPainter& painter, const QRectF& rect, Look look, qreal phase);
// A capsule button: prominent (the green Clean) or a plain pill, in each skin.
void paintPill(QPainter& painter, const QRectF& rect, Look look, bool prominent, bool enabled,
               bool down, const QString& label, const QFont& font);

// Whether anything moves: off for tests and screenshots.
bool animationsEnabled();
void setAnimationsEnabled(bool enabled);

} // namespace bramwick::ListLook

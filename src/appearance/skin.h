// The three skins, their palettes and the colours of the cleanup levels in each.
//
// `Skin` is what a window is dressed in. The stored setting "skin" chooses it: an exact,
// case-sensitive "classic", "nightfall" or "hibernia"; anything else (missing, empty,
// "Nightfall", "dark") reads as nightfall, the default. Every widget finds the skin of its window
// with `skinOf(widget)` (see window_dressing.h), never by reading the stored string itself.
//
// The palette colours are process-wide constants; classic has no palette and uses the desktop's
// standard colours, which follow its light or dark scheme.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include <QColor>
#include <QLinearGradient>
#include <QPalette>
#include <QString>

#include "engine/models.h"

namespace bramwick {

enum class Skin { classic, nightfall, hibernia };

namespace Skins {
// In the order the settings window lists them: classic first, though nightfall is the default.
inline constexpr std::array<Skin, 3> allCases{Skin::classic, Skin::nightfall, Skin::hibernia};
inline constexpr Skin fallback = Skin::nightfall;

// The exact raw value, or none.
std::optional<Skin> fromRawValue(std::string_view raw);
// The stored string turned into a skin: anything unknown or missing is nightfall.
Skin fromStored(const std::optional<std::string>& stored);
QString rawValue(Skin skin);
} // namespace Skins

namespace Nightfall {
inline const QColor ink = QColor::fromRgbF(0.02f, 0.027f, 0.063f);
inline const QColor deep = QColor::fromRgbF(0.043f, 0.071f, 0.188f);
inline const QColor cyan = QColor::fromRgbF(0.169f, 0.835f, 1.0f);
inline const QColor blue = QColor::fromRgbF(0.31f, 0.549f, 1.0f);
inline const QColor violet = QColor::fromRgbF(0.545f, 0.361f, 0.965f);
inline const QColor mint = QColor::fromRgbF(0.169f, 0.941f, 0.784f);
inline const QColor green = QColor::fromRgbF(0.239f, 0.863f, 0.518f);
inline const QColor amber = QColor::fromRgbF(0.961f, 0.698f, 0.239f);
inline const QColor red = QColor::fromRgbF(1.0f, 0.361f, 0.431f);
inline const QColor grey = QColor::fromRgbF(0.604f, 0.639f, 0.71f);
// Mint to green, leading to trailing, across `rect`: the prominent button's fill.
QLinearGradient clean(const QRectF& rect);
} // namespace Nightfall

namespace Hibernia {
inline const QColor page = QColor::fromRgbF(0.961f, 0.969f, 0.98f);
inline const QColor ink = QColor::fromRgbF(0.169f, 0.204f, 0.271f);
inline const QColor navy = QColor::fromRgbF(0.141f, 0.188f, 0.267f);
inline const QColor green = QColor::fromRgbF(0.455f, 0.8f, 0.518f);
inline const QColor deepGreen = QColor::fromRgbF(0.184f, 0.549f, 0.271f);
inline const QColor amber = QColor::fromRgbF(0.851f, 0.584f, 0.122f);
inline const QColor red = QColor::fromRgbF(0.761f, 0.267f, 0.29f);
inline const QColor grey = QColor::fromRgbF(0.42f, 0.447f, 0.502f);
} // namespace Hibernia

// The desktop's standard named colours, in their light or dark variant.
enum class SystemColor { green, yellow, red, gray, blue, orange };
QColor systemColor(SystemColor color, bool dark);
// Whether a palette is a dark scheme (its window colour is darker than its text).
bool isDark(const QPalette& palette);

// The colour of a level in a skin, for level-coloured text and fills. `darkScheme` only matters
// for classic, whose colours follow the desktop.
QColor levelColor(Skin skin, Level level, bool darkScheme = false);
// The same, except the lighter green for a safe dot in hibernia: level dots and filter chips.
QColor levelDot(Skin skin, Level level, bool darkScheme = false);

// The colour of secondary text in a skin over a widget's palette: dimmed primary text.
QColor secondaryText(Skin skin, const QPalette& palette);

// `color` with its alpha multiplied by `opacity`.
QColor withOpacity(QColor color, double opacity);

// `over` laid on the opaque `under` by its alpha: the colour the eye gets.
QColor composited(const QColor& over, const QColor& under);
// The contrast of two opaque colours as the accessibility guidelines measure it, from 1:1 (the
// same) to 21:1 (black on white); 4.5:1 is what small text needs to be read.
double contrastRatio(const QColor& a, const QColor& b);
// `tint`, darkened on a light `background` or lightened on a dark one (its hue kept), just enough
// to reach `ratio` against it; `tint` itself when it already does. Opaque.
QColor readableOn(const QColor& tint, const QColor& background, double ratio = 4.5);

} // namespace bramwick

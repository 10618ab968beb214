// The three skins and their colours: the skins' named colours, the desktop's standard ones, and
// each skin's palette, what the windows colour their text, symbols and levels with.
//
// `Skin` is what a window is dressed in. The stored setting "skin" chooses it: an exact,
// case-sensitive "classic", "nightfall" or "hibernia"; anything else (missing, empty,
// "Nightfall", "dark") reads as nightfall, the default. Every widget finds the skin of its window
// with `skinOf(widget)` (see window_dressing.h), never by reading the stored string itself.
//
// The named colours of nightfall and hibernia are process-wide constants; classic has none and
// uses the desktop's palette and standard colours, which follow its light or dark scheme.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include <QColor>
#include <QLinearGradient>
#include <QPalette>
#include <QString>

#include "engine/health.h"
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

namespace Skins {

// The colours of a skin by what they colour. Nightfall's and hibernia's are the skin's own;
// classic's come from the desktop's palette: its text, its highlight, and the standard colours
// in its light or dark variant.
struct Palette {
    // Text: white, black, the desktop's; secondary, dimmed: white at 60 %, ink at 70 % (so small
    // text still reads on the page), the desktop's at 55 %.
    QColor text;
    QColor secondaryText;
    // The category list's: white, ink, the desktop's; white at 60 %, grey, the desktop's at 55 %.
    QColor listText;
    QColor listSecondaryText;
    // Symbol badges, rings and sweeps: cyan, deep green, and the light blue in either scheme.
    QColor tint;
    QColor accent;    // the sheets' symbols: cyan, deep green, the desktop's blue
    QColor safe;      // what can go safely: mint, deep green, the desktop's green
    QColor selection; // the list's chosen filter: blue, navy, the desktop's highlight
    // By `Level`: level-coloured text and fills, and the level dots and filter chips (the same,
    // but for hibernia's lighter safe green).
    std::array<QColor, 4> levels;
    std::array<QColor, 4> levelDots;

    QColor level(Level level) const { return levels[static_cast<std::size_t>(level)]; }
    QColor levelDot(Level level) const { return levelDots[static_cast<std::size_t>(level)]; }
};

// The palette of `skin` over `desktop`, the palette of the widget it colours (a classic window
// keeps the desktop's), or over the application's.
Palette palette(Skin skin, const QPalette& desktop);
Palette palette(Skin skin);

} // namespace Skins

// The colour of a disk's health in a window: the engine's healthy green, then the desktop's
// orange and red.
QColor healthColor(DiskHealth health, bool darkScheme);
// The tray's own: its icon keeps one colour on a panel of any colour (the tray never recolours
// it), so its orange and red are brighter fixed ones, beside the same green. Plain sRGB values,
// as the tray's model decides in them.
namespace TrayColours {
inline constexpr Colour orange{1.0, 0.584, 0.0, 1};
inline constexpr Colour red{1.0, 0.231, 0.188, 1};
// The icon before the disk was first read: a grey that reads on light and dark trays.
inline constexpr Colour secondary{0.56, 0.56, 0.58, 1};
Colour rating(DiskHealth rating);
} // namespace TrayColours
// A plain sRGB colour as Qt paints it.
QColor toQColor(const Colour& colour);

// The fixed highlight of a level's section under a drag, the same in every skin.
QColor dropHighlight(Level level);

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

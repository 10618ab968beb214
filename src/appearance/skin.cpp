#include "appearance/skin.h"

#include <algorithm>
#include <cmath>

#include <QApplication>

namespace bramwick {

namespace Skins {

std::optional<Skin> fromRawValue(std::string_view raw) {
    if (raw == "classic") return Skin::classic;
    if (raw == "nightfall") return Skin::nightfall;
    if (raw == "hibernia") return Skin::hibernia;
    return std::nullopt;
}

Skin fromStored(const std::optional<std::string>& stored) {
    if (!stored) return fallback;
    return fromRawValue(*stored).value_or(fallback);
}

QString rawValue(Skin skin) {
    switch (skin) {
    case Skin::classic:
        return QStringLiteral("classic");
    case Skin::nightfall:
        return QStringLiteral("nightfall");
    case Skin::hibernia:
        break;
    }
    return QStringLiteral("hibernia");
}

} // namespace Skins

QLinearGradient Nightfall::clean(const QRectF& rect) {
    QLinearGradient gradient(rect.left(), rect.center().y(), rect.right(), rect.center().y());
    gradient.setColorAt(0, mint);
    gradient.setColorAt(1, green);
    return gradient;
}

QColor systemColor(SystemColor color, bool dark) {
    switch (color) {
    case SystemColor::green:
        return dark ? QColor(48, 209, 88) : QColor(40, 180, 70);
    case SystemColor::yellow:
        return dark ? QColor(255, 214, 10) : QColor(235, 190, 0);
    case SystemColor::red:
        return dark ? QColor(255, 69, 58) : QColor(230, 50, 45);
    case SystemColor::gray:
        return dark ? QColor(152, 152, 157) : QColor(142, 142, 147);
    case SystemColor::blue:
        return dark ? QColor(10, 132, 255) : QColor(0, 110, 230);
    case SystemColor::orange:
        break;
    }
    return dark ? QColor(255, 159, 10) : QColor(245, 140, 0);
}

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() <
           palette.color(QPalette::WindowText).lightness();
}

namespace Skins {

Palette palette(Skin skin, const QPalette& desktop) {
    // Each colour as classic, nightfall and hibernia have it.
    auto pick = [skin](const QColor& classic, const QColor& nightfall, const QColor& hibernia) {
        return skin == Skin::classic ? classic : skin == Skin::nightfall ? nightfall : hibernia;
    };
    const bool dark = isDark(desktop);
    const QColor text = desktop.color(QPalette::WindowText);
    Palette p;
    p.text = pick(text, Qt::white, Qt::black);
    p.secondaryText =
        pick(withOpacity(text, 0.55), withOpacity(Qt::white, 0.6), withOpacity(Hibernia::ink, 0.7));
    p.listText = pick(text, Qt::white, Hibernia::ink);
    p.listSecondaryText =
        pick(withOpacity(text, 0.55), withOpacity(Qt::white, 0.6), Hibernia::grey);
    p.tint = pick(systemColor(SystemColor::blue, false), Nightfall::cyan, Hibernia::deepGreen);
    p.accent = pick(systemColor(SystemColor::blue, dark), Nightfall::cyan, Hibernia::deepGreen);
    p.safe = pick(systemColor(SystemColor::green, dark), Nightfall::mint, Hibernia::deepGreen);
    p.selection = pick(desktop.color(QPalette::Highlight), Nightfall::blue, Hibernia::navy);
    p.levels = {pick(systemColor(SystemColor::green, dark), Nightfall::green, Hibernia::deepGreen),
                pick(systemColor(SystemColor::yellow, dark), Nightfall::amber, Hibernia::amber),
                pick(systemColor(SystemColor::red, dark), Nightfall::red, Hibernia::red),
                pick(systemColor(SystemColor::gray, dark), Nightfall::grey, Hibernia::grey)};
    p.levelDots = p.levels;
    if (skin == Skin::hibernia)
        p.levelDots[static_cast<std::size_t>(Level::safe)] = Hibernia::green;
    return p;
}

Palette palette(Skin skin) {
    return palette(skin, QApplication::palette());
}

} // namespace Skins

QColor healthColor(DiskHealth health, bool darkScheme) {
    switch (health) {
    case DiskHealth::healthy:
        return toQColor(DiskHealths::healthyGreen);
    case DiskHealth::gettingFull:
        return systemColor(SystemColor::orange, darkScheme);
    case DiskHealth::almostFull:
        break;
    }
    return systemColor(SystemColor::red, darkScheme);
}

Colour TrayColours::rating(DiskHealth rating) {
    switch (rating) {
    case DiskHealth::healthy:
        return DiskHealths::healthyGreen;
    case DiskHealth::gettingFull:
        return orange;
    case DiskHealth::almostFull:
        break;
    }
    return red;
}

QColor toQColor(const Colour& c) {
    return QColor::fromRgbF(static_cast<float>(c.red), static_cast<float>(c.green),
                            static_cast<float>(c.blue), static_cast<float>(c.opacity));
}

QColor dropHighlight(Level level) {
    switch (level) {
    case Level::safe:
        return withOpacity(systemColor(SystemColor::green, false), 0.18);
    case Level::warning:
        return withOpacity(systemColor(SystemColor::yellow, false), 0.18);
    case Level::redFlag:
        return withOpacity(systemColor(SystemColor::red, false), 0.18);
    case Level::protected_:
        break;
    }
    return Qt::transparent;
}

QColor withOpacity(QColor color, double opacity) {
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return color;
}

QColor composited(const QColor& over, const QColor& under) {
    const double a = over.alphaF();
    auto mix = [a](double top, double bottom) { return top * a + bottom * (1 - a); };
    return QColor::fromRgbF(float(mix(over.redF(), under.redF())),
                            float(mix(over.greenF(), under.greenF())),
                            float(mix(over.blueF(), under.blueF())));
}

namespace {

double luminance(const QColor& color) {
    auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) +
           0.0722 * linear(color.blueF());
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor& tint, const QColor& background, double ratio) {
    QColor opaque = tint;
    opaque.setAlphaF(1);
    if (contrastRatio(opaque, background) >= ratio) return opaque;
    // Towards black or white, whichever lies farther from the background, in small steps of
    // lightness: the first that reads is the closest to the tint.
    const bool darken = luminance(background) > 0.18;
    float h, s, l, a;
    opaque.getHslF(&h, &s, &l, &a);
    for (int step = 1; step <= 100; ++step) {
        const float lightness =
            darken ? l * float(100 - step) / 100 : l + (1 - l) * float(step) / 100;
        const QColor candidate = QColor::fromHslF(h, s, lightness);
        if (contrastRatio(candidate, background) >= ratio) return candidate;
    }
    return darken ? QColor(Qt::black) : QColor(Qt::white);
}

} // namespace bramwick

#include "appearance/skin.h"

#include <algorithm>
#include <cmath>

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

QColor levelColor(Skin skin, Level level, bool darkScheme) {
    switch (skin) {
    case Skin::classic:
        switch (level) {
        case Level::safe:
            return systemColor(SystemColor::green, darkScheme);
        case Level::warning:
            return systemColor(SystemColor::yellow, darkScheme);
        case Level::redFlag:
            return systemColor(SystemColor::red, darkScheme);
        case Level::protected_:
            return systemColor(SystemColor::gray, darkScheme);
        }
        break;
    case Skin::nightfall:
        switch (level) {
        case Level::safe:
            return Nightfall::green;
        case Level::warning:
            return Nightfall::amber;
        case Level::redFlag:
            return Nightfall::red;
        case Level::protected_:
            return Nightfall::grey;
        }
        break;
    case Skin::hibernia:
        switch (level) {
        case Level::safe:
            return Hibernia::deepGreen;
        case Level::warning:
            return Hibernia::amber;
        case Level::redFlag:
            return Hibernia::red;
        case Level::protected_:
            return Hibernia::grey;
        }
        break;
    }
    return Nightfall::grey;
}

QColor levelDot(Skin skin, Level level, bool darkScheme) {
    if (skin == Skin::hibernia && level == Level::safe) return Hibernia::green;
    return levelColor(skin, level, darkScheme);
}

QColor secondaryText(Skin skin, const QPalette& palette) {
    switch (skin) {
    case Skin::nightfall:
        return withOpacity(Qt::white, 0.6);
    case Skin::hibernia:
        // Dimmed no further than small text still reads on the page (4.5:1 and more).
        return withOpacity(Hibernia::ink, 0.7);
    case Skin::classic:
        break;
    }
    return withOpacity(palette.color(QPalette::WindowText), 0.55);
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

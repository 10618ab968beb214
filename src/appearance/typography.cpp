#include "appearance/typography.h"

#include <QFontMetricsF>
#include <QGuiApplication>

namespace bramwick {

QFont textFont(TextStyle style, std::optional<QFont::Weight> weight) {
    QFont font = QGuiApplication::font();
    int pixels = 13;
    QFont::Weight natural = QFont::Normal;
    switch (style) {
    case TextStyle::caption2:
        pixels = 10;
        break;
    case TextStyle::caption:
        pixels = 11;
        break;
    case TextStyle::footnote:
        pixels = 12;
        break;
    case TextStyle::callout:
        pixels = 13;
        break;
    case TextStyle::body:
        pixels = 14;
        break;
    case TextStyle::headline:
        pixels = 14;
        natural = QFont::Bold;
        break;
    case TextStyle::title3:
        pixels = 17;
        break;
    case TextStyle::title2:
        pixels = 19;
        break;
    case TextStyle::title:
        pixels = 24;
        break;
    }
    font.setPixelSize(pixels);
    font.setWeight(weight.value_or(natural));
    return font;
}

QFont fittedFont(QFont font, const QString& text, qreal room) {
    const int full = font.pixelSize();
    while (QFontMetricsF(font).horizontalAdvance(text) > room &&
           (font.pixelSize() - 1) * 5 >= full * 4)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

} // namespace bramwick

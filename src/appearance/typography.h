// The text styles the windows use, as fonts built on the application font's family.
#pragma once

#include <optional>

#include <QFont>
#include <QString>

namespace bramwick {

enum class TextStyle {
    caption2,
    caption,
    footnote,
    callout,
    body,
    headline,
    title3,
    title2,
    title
};

// The font of a text style in pixels, with an optional weight (headline is bold by default).
QFont textFont(TextStyle style, std::optional<QFont::Weight> weight = std::nullopt);

// `font` made up to a fifth smaller, a pixel at a time, until `text` fits in `room` pixels; a
// text that fits at no size keeps the smallest, for the caller to cut.
QFont fittedFont(QFont font, const QString& text, qreal room);

} // namespace bramwick

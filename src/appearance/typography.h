// The text styles the windows use, as fonts built on the application font's family.
#pragma once

#include <optional>

#include <QFont>

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

} // namespace bramwick

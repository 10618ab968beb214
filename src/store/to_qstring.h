// The core keeps its text as UTF-8 in std::string; Qt shows QString. The store and every window
// turn one into the other here, so the text reads the same UTF-8 wherever it is shown.
#pragma once

#include <string_view>

#include <QString>

namespace bramwick {

// `text` read as UTF-8 (a std::string, a literal or a view of either).
inline QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace bramwick

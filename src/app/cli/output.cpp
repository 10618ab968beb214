#include "app/cli/output.h"

#include "base/text.h"

namespace bramwick::Cli {

std::string size(std::int64_t bytes) {
    return Text::byteCount(bytes);
}

std::string pad(std::string_view text, std::size_t width) {
    return Text::pad(text, width);
}

std::string label(const CleanupCategory& category) {
    return std::string(Levels::title(category.level()));
}

} // namespace bramwick::Cli

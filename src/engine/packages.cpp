#include "engine/packages.h"

#include <array>

#include "base/text.h"

namespace bramwick::Packages {

bool isPackageName(std::string_view name) {
    static constexpr std::array<std::string_view, 6> extensions{
        ".app", ".photoslibrary", ".bundle", ".framework", ".plugin", ".xcarchive"};
    auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return false;
    std::string extension = Text::asciiLowercased(name.substr(dot));
    for (auto e : extensions)
        if (extension == e) return true;
    return false;
}

} // namespace bramwick::Packages

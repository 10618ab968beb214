// The folders the finder modes search, as the user's own places in the home folder.
#pragma once

#include <string>
#include <vector>

namespace bramwick::Cli {

inline const std::vector<std::string>& searchRoots() {
    static const std::vector<std::string> roots{"~/Downloads", "~/Desktop",  "~/Documents",
                                                "~/Movies",    "~/Pictures", "~/Music"};
    return roots;
}

} // namespace bramwick::Cli

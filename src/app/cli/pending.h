// For modes whose engine parts are still being built: they say so and fail.
#pragma once

#include <iostream>

namespace bramwick::Cli {
inline int notYetAvailable(const char* flag) {
    std::cerr << "bramwick: " << flag << " is not available in this build yet\n";
    return 1;
}
} // namespace bramwick::Cli

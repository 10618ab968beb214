// Scratch folders left by coding-assistant sessions, and the build folders inside them.
#pragma once

#include <vector>

#include "engine/models.h"

namespace bramwick::Scanner {

std::vector<ScanItem> claudeScratchpads();
std::vector<ScanItem> claudeScratchpadBuilds();

} // namespace bramwick::Scanner

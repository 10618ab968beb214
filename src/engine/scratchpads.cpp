#include "engine/scratchpads.h"

namespace bramwick::Scanner {

// Not measured yet.
std::vector<ScanItem> claudeScratchpads() { return {}; }
std::vector<ScanItem> claudeScratchpadBuilds() { return {}; }

} // namespace bramwick::Scanner

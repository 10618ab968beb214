#include "engine/simulators.h"

namespace bramwick::Scanner {

// Not measured yet.
std::vector<ScanItem> simulatorDevices() { return {}; }
std::vector<ScanItem> simulatorRuntimes() { return {}; }

} // namespace bramwick::Scanner

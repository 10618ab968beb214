// Simulator devices and runtimes.
#pragma once

#include <vector>

#include "engine/models.h"

namespace bramwick::Scanner {

std::vector<ScanItem> simulatorDevices();
std::vector<ScanItem> simulatorRuntimes();

} // namespace bramwick::Scanner

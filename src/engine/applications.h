// Installed applications, and which of them count as unused.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/models.h"

namespace bramwick::Scanner {

std::vector<ScanItem> applications();
std::vector<ScanItem> unusedApplications(const std::vector<ScanItem>& apps, std::int64_t days);

} // namespace bramwick::Scanner

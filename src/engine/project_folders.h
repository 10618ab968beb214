// Rebuildable build folders of projects, and large files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/models.h"

namespace bramwick::Scanner {

std::vector<ScanItem> projectArtifacts(const std::vector<std::string>& roots);
std::vector<ScanItem> largeFiles(const std::vector<std::string>& roots, std::int64_t minimumBytes);

} // namespace bramwick::Scanner

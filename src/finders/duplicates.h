// Byte-identical copies of files, one copy of each kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/models.h"

namespace bramwick::Duplicates {

std::vector<ScanItem> items(const std::vector<std::string>& roots, std::int64_t minimumBytes);

} // namespace bramwick::Duplicates

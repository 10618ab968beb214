// The same picture saved more than once, the best copy kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/models.h"

namespace bramwick::SimilarImages {

std::vector<ScanItem> items(const std::vector<std::string>& roots, std::int64_t minimumBytes);

} // namespace bramwick::SimilarImages

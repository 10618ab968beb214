// The items of any category: the scanner's own sources and the finders' (duplicate files,
// repeated pictures) behind one call, for the store and the command line.
#pragma once

#include <vector>

#include "engine/models.h"

namespace bramwick::CategoryItems {

// The items of one category, sorted by size, larger first, as Scanner::items sorts them.
std::vector<ScanItem> items(const CleanupCategory& category);

} // namespace bramwick::CategoryItems

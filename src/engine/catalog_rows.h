// The catalog's table as written: every row's name, texts, group, risk, places and action, in
// display order, with this platform's places added. Catalog::all() builds it once; everything
// else reads the catalog through there.
#pragma once

#include <vector>

#include "engine/models.h"

namespace bramwick::Catalog {

// The 45 rows, built afresh on every call.
std::vector<CleanupCategory> rows();

} // namespace bramwick::Catalog

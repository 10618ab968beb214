#include "finders/category_items.h"

#include "engine/scanner.h"
#include "finders/duplicates.h"
#include "finders/similar_images.h"

namespace bramwick::CategoryItems {

std::vector<ScanItem> items(const CleanupCategory& category) {
    const Source& source = category.source;
    switch (source.kind) {
    case Source::Kind::duplicateFiles:
        return Scanner::keepAndSort(Duplicates::items(source.paths, source.minimumBytes));
    case Source::Kind::repeatedPictures:
        return Scanner::keepAndSort(SimilarImages::items(source.paths, source.minimumBytes));
    default:
        return Scanner::items(category);
    }
}

} // namespace bramwick::CategoryItems

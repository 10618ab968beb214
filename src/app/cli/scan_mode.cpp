#include <cstdint>

#include "app/cli/modes.h"
#include "app/cli/output.h"
#include "base/text.h"
#include "engine/catalog.h"
#include "engine/scanner.h"
#include "finders/category_items.h"

namespace bramwick::Cli {

int scanMode(const std::string& rawTerm, std::ostream& out) {
    std::string term = Text::lowercased(rawTerm);
    std::vector<const CleanupCategory*> matches;
    for (const auto& category : Catalog::all())
        if (Text::contains(category.id, term) ||
            Text::contains(Text::lowercased(category.name), term))
            matches.push_back(&category);
    if (matches.empty()) {
        out << "no category matching " << term << "\n";
        return 1;
    }
    for (const auto* category : matches) {
        auto items = CategoryItems::items(*category); // applications: all of them, unfiltered
        std::int64_t total = 0;
        for (const auto& item : items)
            total += item.size;
        out << "\n"
            << Text::printable(category->name) << dash << category->id << dash << label(*category)
            << dash << items.size() << " items, " << size(total) << "\n";
        for (const auto& item : items) {
            out << "  " << pad(size(item.size), 10) << " " << Text::printable(item.name) << "\n";
            if (item.note) out << std::string(13, ' ') << Text::printable(*item.note) << "\n";
        }
        out.flush();
    }
    return 0;
}

} // namespace bramwick::Cli

#include <unordered_set>

#include "app/cli/modes.h"
#include "app/cli/output.h"
#include "base/text.h"
#include "engine/applications.h"
#include "engine/catalog.h"
#include "engine/scanner.h"
#include "platform/settings.h"
#include "finders/category_items.h"

namespace bramwick::Cli {

int reportMode(std::ostream& out) {
    for (const auto& category : Catalog::all()) {
        auto items = CategoryItems::items(category);
        bool applications = category.id == "applications";
        auto counted =
            applications ? Scanner::unusedApplications(items, Catalog::unusedAppDays(Settings::standard())) : items;
        std::int64_t total = 0;
        for (const auto& item : counted)
            total += item.size;
        out << pad(label(category), 16) << " " << pad(size(total), 10) << " "
            << Text::printable(category.name) << " (" << counted.size() << " items)\n";
        if (applications) {
            std::unordered_set<std::string> unused;
            for (const auto& item : counted)
                unused.insert(item.id);
            for (const auto& app : items)
                out << "    " << (unused.count(app.id) ? "unused" : "      ") << " "
                    << (app.lastUsed ? Text::numericDate(*app.lastUsed) : "no record") << "  "
                    << Text::printable(app.name) << "\n";
        }
        out.flush(); // every category takes a while; show each as it is done
    }
    return 0;
}

} // namespace bramwick::Cli

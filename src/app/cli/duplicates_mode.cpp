#include <chrono>

#include <fmt/format.h>

#include "app/cli/modes.h"
#include "app/cli/output.h"
#include "base/text.h"
#include "engine/catalog.h"
#include "finders/duplicates.h"

namespace bramwick::Cli {

int duplicatesMode(std::ostream& out) {
    auto start = std::chrono::steady_clock::now();
    auto items = Duplicates::items(Catalog::searchedPersonalFolders(), 1'000'000);
    std::int64_t total = 0;
    for (const auto& item : items) {
        out << pad(size(item.size), 10) << " " << Text::printable(item.name) << "\n"
            << std::string(11, ' ') << Text::printable(item.note.value_or("")) << "\n";
        total += item.size;
    }
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    out << "\n"
        << items.size() << " redundant copies, " << size(total) << " reclaimable, found in "
        << fmt::format("{:.1f}", took.count()) << "s\n";
    return 0;
}

} // namespace bramwick::Cli

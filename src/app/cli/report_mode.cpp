#include <algorithm>
#include <climits>
#include <cstdint>
#include <mutex>
#include <optional>
#include <sstream>
#include <unordered_set>

#include <tbb/task_group.h>

#include "app/cli/modes.h"
#include "app/cli/output.h"
#include "base/text.h"
#include "engine/applications.h"
#include "engine/catalog.h"
#include "engine/scanner.h"
#include "finders/category_items.h"
#include "finders/file_walk.h"
#include "platform/settings.h"

namespace bramwick::Cli {

namespace {

// The lines of one category: its row, and for the applications every one with its last use.
std::string reportLines(const CleanupCategory& category) {
    auto items = CategoryItems::items(category);
    bool applications = category.id == "applications";
    auto counted =
        applications
            ? Scanner::unusedApplications(items, Catalog::unusedAppDays(Settings::standard()))
            : items;
    std::int64_t total = 0;
    for (const auto& item : counted)
        total += item.size;
    std::ostringstream out;
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
    return out.str();
}

// The finders that walk the user's own folders take longest: they start first.
bool walksTheUsersFolders(const CleanupCategory& category) {
    switch (category.source.kind) {
    case Source::Kind::duplicateFiles:
    case Source::Kind::repeatedPictures:
    case Source::Kind::largeFiles:
    case Source::Kind::projectArtifacts:
        return true;
    default:
        return false;
    }
}

} // namespace

int reportMode(std::ostream& out) {
    // Every category is measured at once on the one pool, so no category waits for the slow ones
    // before it and each walk runs as wide as the pool lets it. The rows still come in the
    // catalog's order, each as soon as it and every one before it are done.
    const auto& categories = Catalog::all();
    // The duplicate files and the repeated pictures look through the same folders: they are
    // walked once, for both.
    std::int64_t floor = INT64_MAX;
    for (const auto& category : categories)
        if (category.source.kind == Source::Kind::duplicateFiles ||
            category.source.kind == Source::Kind::repeatedPictures)
            floor = std::min(floor, category.source.minimumBytes);
    FileWalk::SharedWalks sharedWalks(floor);
    std::vector<std::optional<std::string>> lines(categories.size());
    std::size_t next = 0;
    std::mutex mutex;
    tbb::task_group group;
    auto measure = [&](std::size_t i) {
        group.run([&, i] {
            std::string text = reportLines(categories[i]);
            std::lock_guard lock(mutex);
            lines[i] = std::move(text);
            for (; next < lines.size() && lines[next]; ++next) {
                out << *lines[next];
                out.flush();
            }
        });
    };
    for (bool first : {true, false})
        for (std::size_t i = 0; i < categories.size(); ++i)
            if (walksTheUsersFolders(categories[i]) == first) measure(i);
    group.wait();
    return 0;
}

} // namespace bramwick::Cli

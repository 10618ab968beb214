#include <chrono>

#include <fmt/format.h>

#include "app/cli/modes.h"
#include "app/cli/output.h"
#include "base/text.h"
#include "engine/catalog.h"
#include "finders/similar_images.h"

namespace bramwick::Cli {

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::string columns(const SimilarImages::Candidate& picture) {
    return pad(fmt::format("{}\u00d7{}", picture.width, picture.height), 11) + " " +
           pad(size(picture.size), 10) + " " + Text::printable(Text::homeShortened(picture.url));
}

} // namespace

int picturesMode(std::ostream& out) {
    constexpr std::int64_t minimum = 100'000;
    auto t0 = Clock::now();
    auto candidates = SimilarImages::collect(Catalog::searchedPersonalFolders(), minimum);
    auto representatives = SimilarImages::representatives(candidates);
    auto t1 = Clock::now();
    auto outlines = SimilarImages::outlines(representatives);
    auto t2 = Clock::now();
    std::size_t unreadable = 0;
    for (const auto& outline : outlines)
        if (!outline) ++unreadable;

    auto groups = SimilarImages::groups(representatives, outlines);
    std::int64_t reclaimable = 0;
    std::size_t repeats = 0;
    for (const auto& group : groups) {
        out << "\nkeep " << columns(group.keeper) << "\n";
        for (const auto& copy : group.copies) {
            out << "     " << columns(copy) << "\n";
            reclaimable += copy.size;
        }
        repeats += group.copies.size();
    }
    out << "\n"
        << candidates.size() << " pictures over " << size(minimum) << ", "
        << candidates.size() - representatives.size()
        << " of them exact duplicates left to Duplicate Files, " << unreadable << " unreadable\n"
        << groups.size() << " pictures saved more than once, " << repeats << " repeats, "
        << size(reclaimable) << " reclaimable\n"
        << fmt::format("walk {:.1f}s \u00b7 sketch {:.1f}s \u00b7 compare {:.1f}s",
                       seconds(t1 - t0), seconds(t2 - t1), seconds(Clock::now() - t2))
        << "\n";
    return 0;
}

} // namespace bramwick::Cli

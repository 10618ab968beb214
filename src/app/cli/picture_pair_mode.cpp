#include <cstdlib>

#include <fmt/format.h>

#include "app/cli/modes.h"
#include "base/paths.h"
#include "engine/catalog.h"
#include "finders/similar_images.h"

namespace bramwick::Cli {

namespace {

// The two paths are the user's own choice, so a link given here is followed (the finder itself
// never follows one).
std::string resolved(const std::string& path) {
    std::string expanded = Catalog::expand(path);
    return Paths::resolved(expanded).value_or(expanded);
}

} // namespace

int picturePairMode(const std::string& first, const std::string& second, std::ostream& out) {
    using namespace SimilarImages;
    std::string a = resolved(first), b = resolved(second);
    auto d1 = detail(a);
    auto d2 = d1 ? detail(b) : std::nullopt;
    if (!d1 || !d2) {
        out << "could not read both pictures\n";
        return 1;
    }
    auto o1 = outline(a), o2 = outline(b);
    if (o1 && o2)
        out << fmt::format(
                   "sketch difference {:.2f} \u2014 the shortlist takes anything under {:.1f}",
                   o1->meanDifference(*o2), shortlistDifference)
            << "\n";
    std::size_t changed = 0, total = d1->size() / 4;
    for (std::size_t p = 0; p + 3 < d1->size() && p + 3 < d2->size(); p += 4)
        for (std::size_t c = 0; c < 3; ++c)
            if (std::abs(int((*d1)[p + c]) - int((*d2)[p + c])) > colourTolerance) {
                ++changed;
                break;
            }
    double share = total ? 100.0 * static_cast<double>(changed) / static_cast<double>(total) : 0.0;
    out << fmt::format("{:.4f}% of the picture changed ({} of {}) \u2014 the line is {:.4f}%, so "
                       "this is {}",
                       share, changed, total, changedShare * 100.0,
                       sameContent(*d1, *d2) ? "the same picture" : "a different picture")
        << "\n";
    return 0;
}

} // namespace bramwick::Cli

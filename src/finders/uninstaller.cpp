#include "finders/uninstaller.h"

#include <algorithm>
#include <functional>
#include <sys/stat.h>
#include <unordered_set>

#include "base/paths.h"
#include "base/text.h"
#include "engine/scanner.h"
#include "finders/uninstaller_judgements.h"
#include "finders/uninstaller_linux.h"
#include "finders/uninstaller_places.h"

namespace bramwick {

std::int64_t UninstallPlan::leftoverBytes() const {
    std::int64_t total = 0;
    for (const auto& leftover : leftovers)
        total += leftover.size;
    return total;
}

namespace Uninstaller {

namespace {

std::vector<std::string> uniqued(const std::vector<std::string>& texts) {
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    for (const auto& text : texts)
        if (seen.insert(text).second) out.push_back(text);
    return out;
}

// The candidates that exist, each place once (as its first finding says, a kept place too):
// removable ones as leftovers, largest first, the others kept with the reason.
void addLeftovers(UninstallPlan& plan, std::vector<Candidate> found, const Roots& roots,
                  const Environment& environment) {
    std::unordered_set<std::string> seen;
    for (auto& candidate : found) {
        struct stat st {};
        if (::stat(candidate.path.c_str(), &st) != 0) continue;
        auto found = Scanner::foundAt(candidate.path);
        if (!seen.insert(Paths::standardised(candidate.path)).second) continue;
        if (Cleaner::isRemovable(candidate.path, environment.cleaner.ownBundle)) {
            std::int64_t size = Scanner::allocatedSize(candidate.path);
            plan.leftovers.push_back({candidate.path, candidate.path, std::move(candidate.kind),
                                      size, candidate.ownership, found});
        } else {
            plan.kept.push_back({Text::homeShortened(candidate.path, roots.home()),
                                 keptReason(candidate.path, roots)});
        }
    }
    std::stable_sort(plan.leftovers.begin(), plan.leftovers.end(),
                     [](const AppLeftover& a, const AppLeftover& b) { return a.size > b.size; });
}

} // namespace

UninstallPlan plan(const ScanItem& app, const Environment& environment) {
    Roots roots(environment);
    UninstallPlan plan;
    plan.id = Text::newUuid();
    plan.app = app;
    auto linuxApp = LinuxApplications::identify(app.url, placesOf(environment));
    plan.bundleID = linuxApp ? linuxApp->id : bundleIdentifier(app.url);
    if (linuxApp) {
        if (plan.bundleID) plan.identifiers = {*plan.bundleID};
        plan.isRunning = isRunning(*linuxApp, environment);
        addLeftovers(plan, linuxCandidates(*linuxApp, app.name, roots), roots, environment);
        return plan;
    }

    std::vector<std::string> identifiers;
    if (plan.bundleID) identifiers.push_back(*plan.bundleID);
    if (app.url.starts_with('/'))
        for (auto& helper : helperIdentifiers(app.url))
            identifiers.push_back(std::move(helper));
    plan.identifiers = uniqued(identifiers);
    plan.isRunning = isRunning(app.url, environment);
    plan.isSystemApp = isSystemApplication(app.url, plan.bundleID, roots);
    if (plan.isSystemApp) return plan;

    addLeftovers(plan, candidates(plan.identifiers, app.name, roots), roots, environment);
    return plan;
}

} // namespace Uninstaller

} // namespace bramwick

std::size_t
std::hash<bramwick::AppLeftover>::operator()(const bramwick::AppLeftover& leftover) const noexcept {
    std::size_t seed = 0;
    auto mix = [&seed](std::size_t value) {
        seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    };
    std::hash<std::string> text;
    mix(text(leftover.id));
    mix(text(leftover.url));
    mix(text(leftover.kind));
    mix(std::hash<std::int64_t>{}(leftover.size));
    mix(static_cast<std::size_t>(leftover.ownership));
    return seed;
}

#include "finders/uninstaller.h"

#include <functional>

#include "engine/text.h"

namespace bramwick {

std::int64_t UninstallPlan::leftoverBytes() const {
    std::int64_t total = 0;
    for (const auto& leftover : leftovers)
        total += leftover.size;
    return total;
}

namespace Uninstaller {

UninstallPlan plan(const ScanItem& app, const Environment&) {
    UninstallPlan plan;
    plan.id = Text::newUuid();
    plan.app = app;
    return plan;
}

Cleaner::Outcome uninstall(const ScanItem& app, const std::vector<AppLeftover>& leftovers,
                           const Environment&) {
    // Not built yet: nothing is removed, and nothing is said to be.
    Cleaner::Outcome outcome;
    outcome.failures.push_back({app, "Uninstalling is not available yet"});
    for (const auto& leftover : leftovers) {
        ScanItem item;
        item.id = leftover.url;
        item.url = leftover.url;
        item.name = leftover.kind;
        item.size = leftover.size;
        outcome.failures.push_back({item, "Uninstalling is not available yet"});
    }
    return outcome;
}

} // namespace Uninstaller

} // namespace bramwick

std::size_t std::hash<bramwick::AppLeftover>::operator()(
    const bramwick::AppLeftover& leftover) const noexcept {
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

#include "finders/uninstaller.h"

#include <optional>

#include "base/text.h"
#include "finders/uninstaller_judgements.h"
#include "finders/uninstaller_linux.h"
#include "finders/uninstaller_places.h"

namespace bramwick::Uninstaller {

namespace {

constexpr const char* runningReason = "Running — quit it first";
constexpr const char* systemReason = "Part of the system — Bramwick won't uninstall it";

CleanupCategory removalCategory(CleanAction::Kind action) {
    CleanupCategory category;
    category.id = "uninstall";
    category.name = "Uninstall";
    category.symbol = "trash";
    category.group = CategoryGroup::apps;
    category.risk = Risk::danger;
    category.source.kind = Source::Kind::paths;
    category.action.kind = action;
    return category;
}

ScanItem leftoverItem(const AppLeftover& leftover, const Roots& roots) {
    ScanItem item;
    item.id = leftover.url;
    item.url = leftover.url;
    item.found = leftover.found;
    item.name = leftover.kind + " — " + Text::homeShortened(leftover.url, roots.home());
    item.size = leftover.size;
    return item;
}

} // namespace

Cleaner::Outcome uninstall(const ScanItem& app, const std::vector<AppLeftover>& leftovers,
                           const Environment& environment) {
    Roots roots(environment);
    auto linuxApp = LinuxApplications::identify(app.url, placesOf(environment));
    std::vector<ScanItem> userItems{app};
    // A Flatpak application goes through flatpak, whatever command the item came with; an
    // AppImage, like a bundle, to the Trash.
    userItems.front().command =
        linuxApp ? LinuxApplications::uninstallCommand(*linuxApp) : std::nullopt;
    std::vector<ScanItem> systemItems;
    for (const auto& leftover : leftovers)
        (leftover.ownership == Ownership::user ? userItems : systemItems)
            .push_back(leftoverItem(leftover, roots));

    // Asked again now: the plan may be old, and a caller may never have looked.
    std::optional<std::string> refusal;
    if (linuxApp ? isRunning(*linuxApp, environment) : false)
        refusal = runningReason;
    else if (!linuxApp && isSystemApplication(app.url, bundleIdentifier(app.url), roots))
        refusal = systemReason;
    else if (!linuxApp && isRunning(app.url, environment))
        refusal = runningReason;
    if (refusal) {
        Cleaner::Outcome outcome;
        for (const auto* items : {&userItems, &systemItems})
            for (const auto& item : *items)
                outcome.failures.push_back({item, *refusal});
        return outcome;
    }

    // The application first, alone: what it left goes only once it is gone. The data of an
    // application still installed (a failed flatpak uninstall, a bundle that could not be
    // trashed) would leave it reset, its settings and sign-ins lost.
    auto outcome = Cleaner::clean({userItems.front()}, removalCategory(CleanAction::Kind::trash),
                                  environment.cleaner);
    if (outcome.cleaned.empty()) return outcome;
    userItems.erase(userItems.begin());
    if (!userItems.empty()) {
        auto leftoversOut = Cleaner::clean(userItems, removalCategory(CleanAction::Kind::trash),
                                           environment.cleaner);
        outcome.cleaned.insert(outcome.cleaned.end(), leftoversOut.cleaned.begin(),
                               leftoversOut.cleaned.end());
        outcome.failures.insert(outcome.failures.end(), leftoversOut.failures.begin(),
                                leftoversOut.failures.end());
    }
    if (!systemItems.empty()) {
        auto second = Cleaner::clean(systemItems, removalCategory(CleanAction::Kind::admin),
                                     environment.cleaner);
        outcome.cleaned.insert(outcome.cleaned.end(), second.cleaned.begin(), second.cleaned.end());
        outcome.failures.insert(outcome.failures.end(), second.failures.begin(),
                                second.failures.end());
    }
    return outcome;
}

} // namespace bramwick::Uninstaller

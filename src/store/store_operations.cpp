// The store's long operations beyond scanning: cleans and moves, Clean All Safe and the
// automatic clean.
#include <algorithm>
#include <limits>
#include <unordered_set>

#include "base/paths.h"
#include "engine/auto_clean.h"
#include "store/store.h"

namespace bramwick {

namespace {

// Whether a listed path is one of `paths`, lies inside one, or holds one.
bool overlaps(const std::string& listed, const std::set<std::string>& paths) {
    if (paths.contains(listed)) return true;
    const std::string folder = listed + "/";
    if (auto after = paths.lower_bound(folder); after != paths.end() && after->starts_with(folder))
        return true;
    for (std::string at = listed, up = Paths::parent(at); up != at; at = up, up = Paths::parent(at))
        if (paths.contains(up)) return true;
    return false;
}

// How many of the failures are items left only because the program is ending.
std::size_t leftForEnding(const std::vector<Cleaner::Failure>& failures) {
    return static_cast<std::size_t>(
        std::count_if(failures.begin(), failures.end(), Cleaner::leftForEnding));
}

} // namespace

// Cleaning and moving

ItemList Store::listed(const CleanupCategory& category, bool everyApplication) const {
    if (everyApplication && category.source.kind == Source::Kind::applications)
        return allApplications_;
    const CategoryState* found = state(category.id);
    return found ? found->items : ItemList();
}

QCoro::Task<> Store::cleanStillListed(CleanupCategory category, std::vector<ScanItem> items,
                                      bool everyApplication) {
    std::unordered_set<std::string> ids;
    for (const ScanItem& item : listed(category, everyApplication))
        ids.insert(item.id);
    std::erase_if(items, [&](const ScanItem& item) { return !ids.contains(item.id); });
    return clean(std::move(category), std::move(items));
}

QCoro::Task<> Store::clean(CleanupCategory category, std::vector<ScanItem> items) {
    if (items.empty() || ending_) co_return;
    if (refusedWhileCleaning(category)) co_return;
    try {
        setCleaning(category.id, true);
        auto cleaning = clearOnExit([this, id = category.id] { setCleaning(id, false); });
        const auto before = available();
        auto outcomeWork = onUserPool(
            [clean = services_.clean, items, category] { return clean(items, category); });
        auto outcome = co_await outcomeWork;
        cleaning.now();
        // An item that went by its own command (a Flatpak uninstalled) is not in the Trash.
        const bool byCommand = std::any_of(outcome.cleaned.begin(), outcome.cleaned.end(),
                                           [](const ScanItem& item) { return item.command; });
        const bool toTrash = category.action.kind == CleanAction::Kind::trash && !byCommand;
        auto finishing = finish(category, std::move(outcome),
                                StoreText::cleanVerb(category, byCommand), toTrash, before);
        co_await finishing;
    } catch (const StoreWork::Closed&) {
        throw;
    } catch (...) {
        reportFailure(category.name);
    }
}

QCoro::Task<> Store::move(CleanupCategory category, std::vector<ScanItem> items,
                          std::string destination) {
    if (items.empty() || ending_) co_return;
    if (refusedWhileCleaning(category)) co_return;
    try {
        setCleaning(category.id, true);
        auto cleaning = clearOnExit([this, id = category.id] { setCleaning(id, false); });
        const auto before = available();
        auto outcomeWork = onUserPool(
            [move = services_.move, items, destination] { return move(items, destination); });
        auto outcome = co_await outcomeWork;
        cleaning.now();
        // Moved items went to the chosen folder, not to the Trash, whatever the category's action.
        auto finishing =
            finish(category, std::move(outcome), StoreText::moveVerb(destination), false, before);
        co_await finishing;
    } catch (const StoreWork::Closed&) {
        throw;
    } catch (...) {
        reportFailure(category.name);
    }
}

std::vector<CleanupCategory> Store::outdateListingsOf(const Cleaner::Outcome& outcome,
                                                      const std::set<std::string>& measured) {
    std::set<std::string> paths;
    for (const auto& item : outcome.cleaned)
        paths.insert(Paths::standardised(item.url));
    // A failed item may be gone in part (a folder emptied halfway).
    for (const auto& failure : outcome.failures)
        paths.insert(Paths::standardised(failure.item.url));
    std::vector<CleanupCategory> stale;
    if (paths.empty()) return stale;
    for (const auto& category : categories_) {
        if (measured.contains(category.id)) continue;
        const CategoryState* listed = state(category.id);
        if (!listed) continue;
        if (std::any_of(listed->items.begin(), listed->items.end(), [&](const ScanItem& item) {
                return overlaps(Paths::standardised(item.url), paths);
            })) {
            outdateListing(category.id);
            stale.push_back(category);
        }
    }
    return stale;
}

QCoro::Task<> Store::scanEach(std::vector<CleanupCategory> categories) {
    for (const auto& category : categories) {
        // Ending: measuring could outlast the few seconds the program has left.
        if (ending_) co_return;
        auto scanning = scan(category);
        co_await scanning;
    }
}

QCoro::Task<> Store::finish(CleanupCategory category, Cleaner::Outcome outcome, std::string verb,
                            bool wentToTrash, std::optional<std::int64_t> before) {
    // What went is recorded (and saved) at once: the record needs no measurement, and the
    // program may be asked to end while the categories are measured again. Only the report
    // waits for the free space those measurements end with.
    if (!outcome.cleaned.empty()) {
        auto entry = StoreText::cleanRecord(category, outcome.cleaned);
        record(entry.title, entry.detail);
    }
    // The Trash got what went there at the same moment the category lost it, and every other
    // category that listed one of the items lost it too.
    std::optional<CleanupCategory> trash;
    if (category.action.kind == CleanAction::Kind::trash)
        if (const CleanupCategory* found = findCategory(trashId)) trash = *found;
    outdateListing(category.id);
    if (trash) outdateListing(trash->id);
    std::set<std::string> measured{category.id};
    if (trash) measured.insert(trash->id);
    auto others = outdateListingsOf(outcome, measured);
    // Ending: what went is recorded now; measuring again could outlast the few seconds left.
    if (!ending_) {
        auto scanning = scan(category);
        co_await scanning;
    }
    if (trash && !ending_) {
        auto scanning = scan(*trash);
        co_await scanning;
    }
    auto rescanning = scanEach(std::move(others));
    co_await rescanning;
    refreshDisk();
    const std::int64_t gain = gainSince(before);
    const std::int64_t freed = StoreText::totalSize(outcome.cleaned);
    std::string message =
        StoreText::cleanMessage(verb, outcome.cleaned.size(), freed, wentToTrash, gain,
                                outcome.failures, outcome.extraCommandProblem, outcome.notKept);
    setReport({category.name, message, !outcome.failures.empty()});
}

// Clean All Safe and the automatic clean

QCoro::Task<std::optional<Cleaner::Outcome>> Store::cleanWhatIsListed(CleanupCategory category,
                                                                      bool background) {
    // Ending: no clean starts, so the run can record what went.
    if (ending_) co_return std::nullopt;
    // Read afresh: a scan that ended meanwhile decides what is cleaned.
    const CategoryState* current = state(category.id);
    if (!current || current->items.empty() || cleanUnderway(category.id)) co_return std::nullopt;
    std::vector<ScanItem> items = current->items;
    leaveOutCustomFolders(category.id, items);
    if (items.empty()) co_return std::nullopt;
    setCleaning(category.id, true);
    auto cleaning = clearOnExit([this, id = category.id] { setCleaning(id, false); });
    auto job = [clean = services_.clean, items, category] { return clean(items, category); };
    auto outcomeWork = background ? onBackgroundPool(job) : onUserPool(job);
    auto outcome = co_await outcomeWork;
    outdateListing(category.id); // the caller rescans it next
    co_return outcome;
}

QCoro::Task<> Store::rescanTrashAfterRun(bool wentToTrash) {
    const CleanupCategory* found = wentToTrash && !ending_ ? findCategory(trashId) : nullptr;
    if (!found) co_return;
    const CleanupCategory trash = *found;
    outdateListing(trash.id);
    auto scanning = scan(trash);
    co_await scanning;
}

bool Store::cleanedByCleanAllSafe(const CleanupCategory& category) {
    if (category.risk != Risk::safe) return false;
    switch (category.action.kind) {
    case CleanAction::Kind::delete_:
        return true;
    case CleanAction::Kind::trash:
    case CleanAction::Kind::command:
        // Only where the user put it in Safe to Remove.
        return category.movedFrom.has_value() || category.customFolder.has_value();
    case CleanAction::Kind::admin:
    case CleanAction::Kind::reviewOnly:
        return false;
    }
    return false;
}

std::int64_t Store::safeTotal() const {
    std::int64_t sum = 0;
    for (const auto& category : categories_)
        if (cleanedByCleanAllSafe(category)) sum = StoreText::add(sum, total(category.id));
    return sum;
}

std::vector<std::string> Store::yoursInSafe() const {
    std::vector<std::string> names;
    for (const auto& category : categories_)
        if (cleanedByCleanAllSafe(category) && (category.movedFrom || category.customFolder) &&
            total(category.id) >= 1)
            names.push_back(category.name);
    return names;
}

StoreText::TrashContents Store::trashInSafe() const {
    const CleanupCategory* trash = findCategory(trashId);
    const CategoryState* listed = state(trashId);
    if (!trash || !listed || !cleanedByCleanAllSafe(*trash)) return {};
    return {listed->items.size(), listed->total};
}

std::string Store::allSafeWarning(std::int64_t total, const std::vector<std::string>& yours,
                                  const StoreText::TrashContents& trash) {
    return StoreText::allSafeWarning(total, yours, trash);
}

QCoro::Task<> Store::cleanAllSafe() {
    if (cleaningAll_ || ending_) co_return; // one run at a time
    cleaningAll_ = true;
    emit cleaningAllChanged();
    auto cleaningAll = clearOnExit([this] {
        cleaningAll_ = false;
        emit cleaningAllChanged();
    });
    try {
        auto running = cleanEverySafeCategory();
        co_await running;
    } catch (const StoreWork::Closed&) {
        throw;
    } catch (...) {
        reportFailure("Clean All Safe");
    }
}

QCoro::Task<> Store::cleanEverySafeCategory() {
    std::vector<CleanupCategory> selected;
    std::copy_if(categories_.begin(), categories_.end(), std::back_inserter(selected),
                 cleanedByCleanAllSafe);
    const auto before = available();
    std::int64_t freed = 0;
    std::size_t failures = 0;
    bool openFileLimit = false;
    std::vector<std::string> extraCommandProblems;
    bool wentToTrash = false;
    bool stopped = false; // the program is ending: something was left uncleaned
    for (std::size_t next = 0; next < selected.size(); ++next) {
        const CleanupCategory& category = selected[next];
        if (ending_) {
            stopped = true; // the categories not reached stay as they are
            break;
        }
        auto cleaning = cleanWhatIsListed(category, false);
        auto outcome = co_await cleaning;
        if (!outcome) continue;
        freed = StoreText::add(freed, StoreText::totalSize(outcome->cleaned));
        // Items left because the program is ending are no app's open files.
        const std::size_t left = leftForEnding(outcome->failures);
        failures += outcome->failures.size() - left;
        stopped = stopped || left > 0 || (ending_ && next + 1 < selected.size());
        openFileLimit = openFileLimit || StoreText::reachedOpenFileLimit(outcome->failures);
        if (!outcome->extraCommandProblem.empty())
            extraCommandProblems.push_back(outcome->extraCommandProblem);
        wentToTrash = wentToTrash || (category.action.kind == CleanAction::Kind::trash &&
                                      !outcome->cleaned.empty());
        auto others = outdateListingsOf(*outcome, {category.id, trashId});
        if (ending_) break; // the categories not reached stay as they are
        auto scanning = scan(category);
        co_await scanning;
        auto rescanning = scanEach(std::move(others));
        co_await rescanning;
    }
    auto trashing = rescanTrashAfterRun(wentToTrash);
    co_await trashing;
    refreshDisk();
    const std::int64_t gain = gainSince(before);
    auto entry = StoreText::allSafeRecord(freed, gain);
    record(entry.title, entry.detail);
    setReport(
        StoreText::allSafeReport(freed, failures, extraCommandProblems, openFileLimit, stopped));
}

// The automatic clean

QCoro::Task<> Store::checkAutoClean() {
    Settings& settings = *services_.settings;
    if (!AutoClean::isEnabled(settings) || ending_) co_return;
    if (isBusy()) co_return; // the next tick tries again
    const std::int64_t freeBytes =
        disk_ ? disk_->available : std::numeric_limits<std::int64_t>::max();
    auto reason = AutoClean::reason(freeBytes, settings, services_.now());
    if (reason) {
        auto run = runAutomatic(*reason);
        co_await run;
    }
}

QCoro::Task<> Store::runAutomatic(std::string reason) {
    autoCleaning_ = true;
    emit autoCleaningChanged();
    auto autoCleaning = clearOnExit([this] {
        autoCleaning_ = false;
        emit autoCleaningChanged();
    });
    try {
        auto running = cleanAutomatically(std::move(reason));
        co_await running;
    } catch (const StoreWork::Closed&) {
        throw;
    } catch (...) {
        reportFailure("Automatic clean");
    }
}

QCoro::Task<> Store::cleanAutomatically(std::string reason) {
    Settings& settings = *services_.settings;

    // Made once: an application opened or a level changed during the run changes nothing.
    const AutoClean::Plan plan =
        AutoClean::plan(categories_, AutoClean::runningApplications(applications()), settings);
    std::int64_t freed = 0;
    std::int64_t inUse = 0;
    bool wentToTrash = false;
    for (const auto& category : plan.categories) {
        if (ending_) break;
        auto scanning = scan(category);
        co_await scanning;
        auto cleaning = cleanWhatIsListed(category, true);
        auto outcome = co_await cleaning;
        if (!outcome) continue;
        freed = StoreText::add(freed, StoreText::totalSize(outcome->cleaned));
        // Items left because the program is ending were not in use.
        const std::size_t held = outcome->failures.size() - leftForEnding(outcome->failures);
        inUse = StoreText::add(inUse, static_cast<std::int64_t>(held));
        wentToTrash = wentToTrash || (category.action.kind == CleanAction::Kind::trash &&
                                      !outcome->cleaned.empty());
        auto others = outdateListingsOf(*outcome, {category.id, trashId});
        if (ending_) break;
        auto rescanning = scan(category);
        co_await rescanning;
        auto rescanningOthers = scanEach(std::move(others));
        co_await rescanningOthers;
    }
    auto trashing = rescanTrashAfterRun(wentToTrash);
    co_await trashing;
    refreshDisk();

    const Date now = services_.now();
    AutoClean::setLastRun(now, settings);
    AutoClean::setLastFreed(freed, settings);
    lastAutoClean_ = AutoCleanRun{now, freed};
    emit lastAutoCleanChanged();
    record(AutoClean::recordTitle(reason, freed), AutoClean::recordDetail(plan, freed, inUse));
    AutoClean::postNotification(freed, reason, notifier(), settings);
}

} // namespace bramwick

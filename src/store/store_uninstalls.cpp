#include "store/store_uninstalls.h"

#include <algorithm>

#include "base/paths.h"
#include "store/store.h"

namespace bramwick {

StoreUninstalls::StoreUninstalls(Store& store) : store_(store) {}

void StoreUninstalls::setPlan(std::optional<UninstallPlan> plan) {
    plan_ = std::move(plan);
    emit planChanged();
}

QCoro::Task<> StoreUninstalls::findLeftovers(ScanItem app) {
    // Lookups may overlap (the footer and a row's menu): the flag stays up until the last one
    // ends, and only the plan of the one asked for last is shown, whichever ends first.
    const std::uint64_t request = ++requests_;
    ++lookupsOut_;
    findingLeftovers_ = app.id;
    emit findingLeftoversChanged();
    auto finding = store_.clearOnExit([this] {
        if (--lookupsOut_ > 0) return;
        findingLeftovers_.reset();
        emit findingLeftoversChanged();
    });
    try {
        auto planWork =
            store_.onUserPool([plan = store_.services_.uninstallPlan, app] { return plan(app); });
        auto plan = co_await planWork;
        if (request == requests_) setPlan(std::move(plan));
    } catch (const StoreWork::Closed&) {
        throw;
    } catch (...) {
        store_.reportFailure(app.name);
    }
}

QCoro::Task<> StoreUninstalls::perform(UninstallPlan plan, std::vector<AppLeftover> leftovers) {
    if (store_.ending_) co_return;
    try {
        auto uninstalling = uninstallWith(plan, std::move(leftovers));
        co_await uninstalling;
    } catch (const StoreWork::Closed&) {
        throw;
    } catch (...) {
        store_.reportFailure(plan.app.name);
    }
}

QCoro::Task<> StoreUninstalls::uninstallWith(UninstallPlan plan,
                                             std::vector<AppLeftover> leftovers) {
    uninstalling_ = true;
    emit uninstallingChanged();
    auto uninstalling = store_.clearOnExit([this] {
        uninstalling_ = false;
        emit uninstallingChanged();
    });
    auto outcomeWork = store_.onUserPool([uninstall = store_.services_.uninstall, app = plan.app,
                                          leftovers] { return uninstall(app, leftovers); });
    auto outcome = co_await outcomeWork;
    uninstalling.now();
    // Only its own plan: one the user asked for meanwhile stays on screen.
    if (plan_ && plan_->id == plan.id) setPlan(std::nullopt);
    // Recorded (and saved) at once, before anything is measured again: the program may be asked
    // to end meanwhile, and the record counts only what the uninstaller removed.
    auto count = StoreText::uninstallCount(plan, leftovers, outcome);
    if (auto entry = StoreText::uninstallRecord(plan.app.name, count))
        store_.record(entry->title, entry->detail);

    std::vector<CleanupCategory> changed;
    for (const char* id : {Store::applicationsId, Store::trashId})
        if (const CleanupCategory* found = store_.findCategory(id)) changed.push_back(*found);
    for (const auto& category : changed)
        store_.outdateListing(category.id);
    // Those that listed the application's data (its container, its caches) lost it too.
    for (auto& other : store_.outdateListingsOf(outcome, {Store::applicationsId, Store::trashId}))
        changed.push_back(std::move(other));
    auto scanning = store_.scanEach(std::move(changed));
    co_await scanning;
    // Nothing is freed until the Trash is emptied, so no gain is measured.
    store_.refreshDisk();
    store_.setReport(StoreText::uninstallReport(plan.app.name, count, outcome.failures));
}

void StoreUninstalls::quit(const ScanItem& item) {
    RunningApplications& provider = store_.applications();
    // The file as written and with its links resolved, as the uninstaller matched it.
    std::vector<std::string> forms{Paths::standardised(item.url)};
    if (auto real = Paths::resolved(item.url)) forms.push_back(*real);
    auto isItem = [&](const std::string& path) {
        return !path.empty() &&
               std::find(forms.begin(), forms.end(), Paths::standardised(path)) != forms.end();
    };
    std::optional<std::string> id;
    if (plan_ && plan_->app.id == item.id) id = plan_->bundleID;
    for (const auto& application : provider.list())
        if (isItem(application.bundlePath) || isItem(application.executablePath) ||
            (application.bundlePath.empty() && id && !id->empty() &&
             application.bundleIdentifier == *id))
            provider.requestQuit(application); // polite; the application may decline
}

void StoreUninstalls::reveal(const ScanItem& app) {
    store_.reveal({app});
}

} // namespace bramwick

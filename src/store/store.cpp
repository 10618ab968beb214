#include "store/store.h"

#include <algorithm>
#include <limits>

#include "base/ending.h"
#include "base/text.h"
#include "engine/auto_clean.h"
#include "engine/catalog.h"
#include "engine/settings_keys.h"
#include "store/stored_lists.h"
#include "store/to_qstring.h"

namespace bramwick {

Store::Store(StoreServices services, QObject* parent)
    : QObject(parent), services_(std::move(services)),
      waits_(std::make_shared<StoreWork::Waits>()) {
    if (!services_.settings) services_.settings = &Settings::standard();
    Settings& settings = *services_.settings;

    categories_ = services_.catalog();
    auto overrides = StoredLists::levelOverrides(settings);
    levelOverrides_ = std::move(overrides.value);
    unreadableOverrides_ = std::move(overrides.unreadable);
    auto folders = StoredLists::customFolders(settings);
    customFolders_ = std::move(folders.value);
    unreadableFolders_ = std::move(folders.unreadable);
    unusedAppDays_ = Catalog::unusedAppDays(settings);

    auto history = StoredLists::history(settings);
    log_ = std::move(history.value);
    unreadableLog_ = std::move(history.unreadable);

    rebuildCategories();
    refreshDisk();
    setHasFullDiskAccess(services_.fullDiskAccess());
    if (auto last = AutoClean::lastRun(settings))
        lastAutoClean_ = AutoCleanRun{*last, AutoClean::lastFreed(settings)};
    // Defaults stand in for everything the user set: say so rather than show them silently.
    if (auto problem = settings.loadProblem())
        setReport(StoreText::unreadableSettingsReport(*problem));

    // The first scan starts once creation is over and the event loop is free.
    firstScanWanted_ =
        hasFullDiskAccess_ || settings.boolean(SettingsKeys::skippedFullDiskAccess).value_or(false);
    releaseFirstScan();

    // The history is written in the background (StoredLists::saveHistory): how each write went
    // comes from the writer's thread, and is taken on the store's.
    writesToken_ = settings.subscribeToWrites([this](const std::optional<std::string>& problem) {
        QMetaObject::invokeMethod(
            this, [this, problem] { historyWritten(problem); }, Qt::QueuedConnection);
    });

    diskTimer_.setInterval(diskInterval);
    connect(&diskTimer_, &QTimer::timeout, this, [this] { diskTick(); });
    diskTimer_.start();
    autoCleanTimer_.setInterval(autoCleanInterval);
    connect(&autoCleanTimer_, &QTimer::timeout, this, [this] { autoCleanTick(); });
    startAutoCleanTimer();
}

Store::~Store() {
    // Waits for a call under way; what it posted goes with this object.
    services_.settings->unsubscribe(writesToken_);
    // Work still out on the pools finds no one to hand its result to.
    waits_->close();
}

// State helpers

const Store::CategoryState* Store::state(std::string_view id) const {
    auto found = states_.find(std::string(id));
    return found == states_.end() ? nullptr : &found->second;
}

Store::CategoryState& Store::stateFor(const std::string& id) {
    return states_[id];
}

void Store::outdateListing(const std::string& id) {
    ++work_[id].changes;
}

bool Store::cleanUnderway(const std::string& id) const {
    if (const CategoryState* current = state(id); current && current->cleaning) return true;
    const auto work = work_.find(id);
    return work != work_.end() && work->second.listedAt != work->second.changes;
}

bool Store::refusedWhileCleaning(const CleanupCategory& category) {
    if (!cleanUnderway(category.id)) return false;
    // Another clean of it is deleting or measuring again: what it lists is about to change.
    setReport(StoreText::busyReport(category.name));
    return true;
}

void Store::publishState(const std::string& id) {
    // Every change of a state comes through here: its total is summed here, once.
    if (auto changed = states_.find(id); changed != states_.end())
        changed->second.total = StoreText::totalSize(changed->second.items);
    emit statesChanged();
    emit categoryStateChanged(toQString(id));
}

void Store::setCleaning(const std::string& id, bool cleaning) {
    stateFor(id).cleaning = cleaning;
    publishState(id);
}

void Store::setReport(const StoreText::ReportText& text) {
    const StoreText::ReportText shown =
        historyUnsaved_ ? StoreText::withUnsavedHistory(text, *historyUnsaved_) : text;
    report_ = Report{Text::newUuid(), shown.title, shown.message, shown.hasFailures};
    emit reportChanged();
}

void Store::reportFailure(std::string_view title) {
    std::string what;
    try {
        throw;
    } catch (const std::exception& error) {
        what = error.what();
    } catch (...) {
    }
    setReport(StoreText::failedReport(title, what));
}

void Store::dismissReport() {
    report_.reset();
    emit reportChanged();
}

void Store::setHasFullDiskAccess(bool granted) {
    if (granted == hasFullDiskAccess_) return;
    hasFullDiskAccess_ = granted;
    emit hasFullDiskAccessChanged();
}

std::optional<std::int64_t> Store::available() const {
    if (!disk_) return std::nullopt;
    return disk_->available;
}

std::int64_t Store::gainSince(std::optional<std::int64_t> before) const {
    auto after = available();
    return before && after ? StoreText::subtract(*after, *before) : 0;
}

RunningApplications& Store::applications() const {
    return services_.applications ? *services_.applications : RunningApplications::system();
}

Notifier& Store::notifier() const {
    return services_.notifier ? *services_.notifier : Notifier::system();
}

const CleanupCategory* Store::findCategory(std::string_view id) const {
    auto found = std::find_if(categories_.begin(), categories_.end(),
                              [&](const CleanupCategory& category) { return category.id == id; });
    return found == categories_.end() ? nullptr : &*found;
}

std::int64_t Store::total(std::string_view id) const {
    const CategoryState* found = state(id);
    return found ? found->total : 0;
}

void Store::endWork() {
    ending_ = true;
    Ending::request();
    // A measurement can outlast the few seconds the program has left, and what a clean removed
    // is recorded without one: the runs waiting for one go on to their record now.
    waits_->giveUp();
}

bool Store::cleansUnderway() const {
    return cleaningAll_ || autoCleaning_ || uninstalls_.uninstalling() ||
           maintenance_.runningTask() ||
           std::any_of(states_.begin(), states_.end(),
                       [](const auto& entry) { return entry.second.cleaning; });
}

bool Store::isBusy() const {
    return scanningAll_ || cleaningAll_ || autoCleaning_ || uninstalls_.uninstalling() ||
           maintenance_.runningTask() ||
           std::any_of(states_.begin(), states_.end(),
                       [](const auto& entry) { return entry.second.cleaning; });
}

// Disk and timers

void Store::refreshDisk() {
    auto figures = services_.diskFigures();
    if (!figures) return; // the last figures stay
    figures->availableIncludingPurgeable =
        std::max(figures->availableIncludingPurgeable, figures->available);
    disk_ = *figures;
    emit diskChanged();
}

void Store::startAutoCleanTimer() {
    if (!autoCleanTimer_.isActive()) autoCleanTimer_.start();
}

QCoro::Task<> Store::diskTick() {
    refreshDisk();
    auto checking = checkAutoClean();
    co_await checking;
}

QCoro::Task<> Store::autoCleanTick() {
    auto checking = checkAutoClean();
    co_await checking;
}

// Scans

void Store::prepareWorkers() {
    if (services_.prepareWorkers) services_.prepareWorkers();
}

void Store::holdFirstScan() {
    firstScanHeld_ = true;
}

void Store::releaseFirstScan() {
    firstScanHeld_ = false;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (firstScanHeld_ || !firstScanWanted_) return;
            scanAll();
        },
        Qt::QueuedConnection);
}

QCoro::Task<> Store::scanAll() {
    if (firstScanHeld_) {
        firstScanWanted_ = true; // starts when released
        co_return;
    }
    firstScanWanted_ = false; // any full scan is the first one
    if (scanningAll_) co_return;
    scannedThisPass_.clear();
    emit scannedThisPassChanged();
    scanningAll_ = true;
    emit scanningAllChanged();
    auto scanningAll = clearOnExit([this] {
        scanningAll_ = false;
        emit scanningAllChanged();
    });
    try {
        auto scanning = scanEveryCategory();
        co_await scanning;
    } catch (const StoreWork::Closed&) {
        throw;
    } catch (...) {
        reportFailure("Scan");
    }
}

QCoro::Task<> Store::scanEveryCategory() {
    setHasFullDiskAccess(services_.fullDiskAccess());

    // Categories added or moved during the pass wait for the next one.
    const std::vector<CleanupCategory> pass = categories_;
    int active = 0;
    StoreWork::Wakeup slotFreed(*waits_);
    for (const auto& category : pass) {
        while (active >= fullScanWindow)
            co_await slotFreed.wait();
        ++active;
        scanInWindow(category, &active, &slotFreed);
    }
    while (active > 0)
        co_await slotFreed.wait();

    refreshDisk();
    auto refreshing = vitals_.refreshRunning();
    co_await refreshing;
    lastScan_ = services_.now();
    emit lastScanChanged();
}

QCoro::Task<> Store::scanInWindow(CleanupCategory category, int* active,
                                  StoreWork::Wakeup* slotFreed) {
    auto scanning = scan(category);
    co_await scanning;
    scannedThisPass_.insert(category.id);
    emit scannedThisPassChanged();
    --*active;
    // The full scan may run on (and even end) inside this call: touch nothing of it after.
    slotFreed->notify();
}

QCoro::Task<> Store::scan(CleanupCategory category) {
    if (ending_) co_return;
    const std::string id = category.id;
    const std::uint64_t measuredAt = work_[id].changes;
    ++work_[id].scansOut;
    stateFor(id).scanning = true;
    publishState(id);
    // A failed measure keeps what the category listed before, unless a clean has ended since;
    // the report says why. Another scan of the category still out keeps it scanning.
    auto scanning = clearOnExit([this, id] {
        CategoryWork& work = work_[id];
        work.scansOut = std::max(work.scansOut - 1, 0);
        stateFor(id).scanning = work.scansOut > 0;
        publishState(id);
    });
    std::vector<ScanItem> items;
    try {
        auto itemsWork = StoreWork::run(
            waits_, services_.userWork,
            [measure = services_.items, category] { return measure(category); },
            StoreWork::Patience::untilGivenUp);
        items = co_await itemsWork;
    } catch (const StoreWork::Closed&) {
        throw;
    } catch (const StoreWork::GaveUp&) {
        co_return; // the program is ending: what is listed stays as it is
    } catch (...) {
        // What was listed before a clean ended may hold what it removed: nothing stays listed,
        // so no total counts it and no clean takes it, until a scan succeeds.
        if (const CategoryWork& work = work_[id]; work.listedAt != work.changes)
            stateFor(id).items = {};
        reportFailure(category.name);
        co_return;
    }
    // A clean ended while this measured, so it may list what the clean removed: the rescan that
    // followed the clean lists the category. Two scans of unchanged files may still overlap; the
    // one that ends last is listed.
    if (work_[id].changes != measuredAt) co_return;

    // A clean may have started or ended meanwhile: its flag and message stay as they are now.
    CategoryState next;
    if (const CategoryState* current = state(id)) {
        next.cleaning = current->cleaning;
        next.message = current->message;
    }
    if (id == applicationsId) {
        allApplications_ = items;
        emit allApplicationsChanged();
        items = services_.unusedApplications(allApplications_, unusedAppDays_);
    }
    leaveOutCustomFolders(id, items);
    next.items = std::move(items);
    next.scanned = true;
    states_[id] = std::move(next);
    work_[id].listedAt = measuredAt;
    scanning.now();
}

QCoro::Task<> Store::rescan(SuggestedFolder folder) {
    const std::vector<CleanupCategory> list = categories_;
    for (const auto& category : list) {
        bool needs = category.needsFolder == folder.id;
        bool widened = std::find(category.widenedBy.begin(), category.widenedBy.end(), folder.id) !=
                       category.widenedBy.end();
        if (needs || widened) {
            auto scanning = scan(category);
            co_await scanning;
        }
    }
    refreshDisk();
}

void Store::setUnusedAppDays(std::int64_t days) {
    unusedAppDays_ = std::max<std::int64_t>(days, 1);
    emit unusedAppDaysChanged();
    services_.settings->set(SettingsKeys::unusedAppDays, unusedAppDays_);
    auto found = states_.find(applicationsId);
    if (found == states_.end() || !found->second.scanned) return;
    auto unused = services_.unusedApplications(allApplications_, unusedAppDays_);
    leaveOutCustomFolders(applicationsId, unused);
    found->second.items = std::move(unused);
    publishState(applicationsId);
}

// Levels and folders

void Store::rebuildCategories() {
    std::vector<CleanupCategory> list;
    for (CleanupCategory row : services_.catalog()) {
        auto override_ = levelOverrides_.find(row.id);
        if (row.action.kind != CleanAction::Kind::reviewOnly &&
            override_ != levelOverrides_.end()) {
            auto risk = riskForLevel(override_->second); // none for Protected: ignored
            if (risk && *risk != row.risk) {
                row.movedFrom = levelForRisk(row.risk);
                row.risk = *risk;
            }
        }
        list.push_back(std::move(row));
    }
    for (const auto& folder : customFolders_)
        list.push_back(CustomFolders::category(folder));
    categories_ = std::move(list);
    emit categoriesChanged();
}

void Store::leaveOutCustomFolders(const std::string& id, std::vector<ScanItem>& items) const {
    // Every folder but the category's own: one added inside another added folder is left out
    // of the outer one too.
    std::vector<CustomFolder> others;
    for (const auto& folder : customFolders_)
        if (folder.id != id) others.push_back(folder);
    if (others.empty()) return;
    std::unordered_map<std::string, std::optional<std::string>> parents;
    std::erase_if(items, [&](const ScanItem& item) {
        return CustomFolders::touches(item.url, others, parents);
    });
}

void Store::saveLevels() {
    Settings& settings = *services_.settings;
    // A value that could not be read is copied aside first; if even that fails, it is not
    // written over.
    if (!StoredLists::keepAside(settings, SettingsKeys::levelOverrides, unreadableOverrides_))
        LevelOverrides::save(levelOverrides_, settings);
    if (!StoredLists::keepAside(settings, SettingsKeys::customFolders, unreadableFolders_))
        CustomFolders::save(customFolders_, settings);
}

void Store::move(const std::vector<std::string>& ids, Level level) {
    auto risk = riskForLevel(level);
    if (!risk) return; // nothing is ever moved to Protected
    const auto catalog = services_.catalog();
    for (const auto& id : ids) {
        auto folder = std::find_if(customFolders_.begin(), customFolders_.end(),
                                   [&](const CustomFolder& f) { return f.id == id; });
        if (folder != customFolders_.end()) {
            folder->level = std::string(Levels::rawValue(level));
            continue;
        }
        auto row = std::find_if(catalog.begin(), catalog.end(),
                                [&](const CleanupCategory& c) { return c.id == id; });
        if (row == catalog.end() || row->action.kind == CleanAction::Kind::reviewOnly) continue;
        if (row->risk == *risk)
            levelOverrides_.erase(id);
        else
            levelOverrides_[id] = level;
    }
    saveLevels();
    rebuildCategories();
}

void Store::moveBack(const std::string& id) {
    levelOverrides_.erase(id);
    Settings& settings = *services_.settings;
    if (!StoredLists::keepAside(settings, SettingsKeys::levelOverrides, unreadableOverrides_))
        LevelOverrides::save(levelOverrides_, settings);
    rebuildCategories();
}

void Store::removeCustomFolder(const CleanupCategory& category) {
    auto matches = [&](const CustomFolder& folder) { return folder.id == category.id; };
    if (std::none_of(customFolders_.begin(), customFolders_.end(), matches)) return;
    std::erase_if(customFolders_, matches);
    Settings& settings = *services_.settings;
    if (!StoredLists::keepAside(settings, SettingsKeys::customFolders, unreadableFolders_))
        CustomFolders::save(customFolders_, settings);
    if (states_.erase(category.id)) publishState(category.id);
    rebuildCategories();
}

QCoro::Task<> Store::addFolders(Level level) {
    auto chosenWork = StoreWork::reply<std::vector<std::string>>(
        waits_, [choose = services_.chooseFolders,
                 level](std::function<void(std::vector<std::string>)> done) {
            choose(level, std::move(done));
        });
    auto chosen = co_await chosenWork;
    if (chosen.empty()) co_return;

    auto choice = CustomFolders::choose(level, customFolders_, chosen);
    if (!choice.refusedNames.empty())
        services_.alert(CustomFolders::refusedMessage(choice.refusedNames),
                        CustomFolders::refusedInformation);
    if (choice.added.empty()) co_return;

    customFolders_.insert(customFolders_.end(), choice.added.begin(), choice.added.end());
    Settings& settings = *services_.settings;
    if (!StoredLists::keepAside(settings, SettingsKeys::customFolders, unreadableFolders_))
        CustomFolders::save(customFolders_, settings);
    rebuildCategories();
    // What the other categories listed in the new folders leaves their lists at once, before a
    // clean of theirs could take it.
    for (auto& [id, state] : states_) {
        std::vector<ScanItem> items = state.items;
        leaveOutCustomFolders(id, items);
        if (items.size() == state.items.size()) continue;
        state.items = std::move(items);
        publishState(id);
    }
    for (const auto& folder : choice.added) {
        auto scanning = scan(CustomFolders::category(folder));
        co_await scanning;
    }
}

// History

void Store::record(const std::string& title, const std::string& detail) {
    log_.insert(log_.begin(), CleanupRecord{Text::newUuid(), services_.now(), title, detail});
    emit logChanged();
    // A failed save keeps the record in memory; the next one writes the whole list again.
    Settings& settings = *services_.settings;
    if (!StoredLists::keepAside(settings, SettingsKeys::history, unreadableLog_))
        StoredLists::saveHistory(log_, settings);
}

void Store::historyWritten(const std::optional<std::string>& problem) {
    const bool newlyUnsaved = problem && !historyUnsaved_;
    historyUnsaved_ = problem;
    if (!newlyUnsaved) return;
    // The report on screen says so too; with none, one of its own.
    setReport(report_
                  ? StoreText::ReportText{report_->title, report_->message, report_->hasFailures}
                  : StoreText::ReportText{"History not saved", "", true});
}

// Desktop actions

void Store::relaunch() {
    services_.relaunch();
    services_.quitApplication();
}

void Store::openFullDiskAccessSettings() {
    services_.openFullDiskAccessSettings();
}

void Store::openApp(const std::string& id) {
    services_.openApp(id);
}

void Store::reveal(const std::vector<ScanItem>& items) {
    std::vector<std::string> paths;
    for (const auto& item : items)
        paths.push_back(item.url);
    services_.reveal(paths);
}

} // namespace bramwick

#include "store_harness.h"

#include <algorithm>

#include "engine/applications.h"
#include "support/fixture.h"

namespace bramwick::test {

void ensureApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "store_tests";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv); // lives as long as the process
}

void deliver() {
    // A delivery can post another (a coroutine finishing wakes its caller the same way).
    for (int round = 0; round < 4; ++round)
        QCoreApplication::sendPostedEvents();
}

void ManualExecutor::run(std::size_t index) {
    if (index >= jobs_.size()) return;
    StoreWork::Job job = std::move(jobs_[index]);
    jobs_.erase(jobs_.begin() + static_cast<std::ptrdiff_t>(index));
    job();
    deliver();
}

void ManualExecutor::runAll() {
    while (!jobs_.empty())
        run();
}

CleanupCategory category(const std::string& id, Risk risk, CleanAction::Kind action) {
    CleanupCategory made;
    made.id = id;
    made.name = "Category " + id;
    made.risk = risk;
    made.action.kind = action;
    made.source.kind = Source::Kind::contents;
    return made;
}

ScanItem item(const std::string& name, std::int64_t size) {
    ScanItem made;
    made.id = "/fixture/" + name;
    made.url = made.id;
    made.name = name;
    made.size = size;
    return made;
}

StoreHarness::StoreHarness() {
    ensureApplication();
    folder = makeTemporaryFolder("store");
    settings = std::make_unique<Settings>(folder + "/settings.json");
}

StoreHarness::~StoreHarness() {
    removeTree(folder);
}

StoreServices StoreHarness::services() {
    StoreServices s;
    s.userWork = user.executor();
    s.backgroundWork = background.executor();
    s.settings = settings.get();
    s.now = [this] { return now; };
    s.catalog = [this] { return catalog; };
    s.items = [this](const CleanupCategory& c) {
        scans.push_back(c.id);
        return contents[c.id];
    };
    s.unusedApplications = [](const std::vector<ScanItem>& apps, std::int64_t days) {
        return Scanner::unusedApplications(apps, days);
    };
    auto takeOut = [this](const std::vector<ScanItem>& items, const std::string& id) {
        Cleaner::Outcome outcome;
        for (const auto& it : items) {
            if (failing.contains(it.name)) {
                outcome.failures.push_back({it, "It is in use"});
                continue;
            }
            outcome.cleaned.push_back(it);
            auto& left = contents[id];
            std::erase(left, it);
            if (freesSpace && disk) disk->available += it.size;
        }
        return outcome;
    };
    s.clean = [this, takeOut](const std::vector<ScanItem>& items, const CleanupCategory& c) {
        cleans.emplace_back(c.id, items);
        return takeOut(items, c.id);
    };
    s.move = [this, takeOut](const std::vector<ScanItem>& items, const std::string& folder) {
        moves.emplace_back(items, folder);
        // The items leave whichever category lists them.
        Cleaner::Outcome outcome;
        for (auto& [id, listed] : contents)
            for (const auto& it : items)
                if (std::find(listed.begin(), listed.end(), it) != listed.end()) {
                    auto part = takeOut({it}, id);
                    outcome.cleaned.insert(outcome.cleaned.end(), part.cleaned.begin(),
                                           part.cleaned.end());
                    outcome.failures.insert(outcome.failures.end(), part.failures.begin(),
                                            part.failures.end());
                }
        return outcome;
    };
    s.runningSnapshot = [this] {
        ++snapshots;
        return snapshot;
    };
    s.stop = [this](const RunningItem& it) { return stop ? stop(it) : Shell::Result{0, ""}; };
    s.sampleVitals = [this](bool top) {
        samples.push_back(top);
        return reading;
    };
    s.runMaintenance = [this](const MaintenanceTask&) {
        if (disk) disk->available += maintenanceFrees;
        return maintenance;
    };
    s.diskFigures = [this] { return disk; };
    s.fullDiskAccess = [this] { return access; };
    s.applications = &applications;
    s.notifier = &notifier;
    s.reveal = [this](const std::vector<std::string>& paths) { revealed.push_back(paths); };
    s.openApp = [](const std::string&) { return true; };
    s.openFullDiskAccessSettings = [] {};
    s.relaunch = [] {};
    s.quitApplication = [] {};
    s.chooseFolders = [this](Level, std::function<void(std::vector<std::string>)> done) {
        done(chosenFolders);
    };
    s.alert = [this](const std::string& message, const std::string& information) {
        alerts.emplace_back(message, information);
    };
    return s;
}

void StoreHarness::runToTheEnd() {
    while (user.pending() + background.pending() > 0) {
        if (user.pending()) {
            user.run();
        } else {
            background.run();
        }
    }
}

std::unique_ptr<Store> StoreHarness::make() {
    auto store = std::make_unique<Store>(services());
    deliver();
    user.runAll();
    return store;
}

} // namespace bramwick::test

// A store with every outside service faked: worker jobs wait in manual executors until a test
// runs them, scans find what the test put in `contents`, cleans take items out of it, and the
// disk, the clock, the running applications and the notifier are the test's own.
#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <QCoreApplication>

#include "platform/notifier.h"
#include "platform/running_apps.h"
#include "platform/settings.h"
#include "store/store.h"
#include "support/fake_notifier.h"

namespace bramwick::test {

// The store's thread needs an application object; the tests make one, once per process.
void ensureApplication();
// Delivers what workers handed back to the store.
void deliver();

class ManualExecutor {
  public:
    StoreWork::Executor executor() {
        return [this](StoreWork::Job job) { jobs_.push_back(std::move(job)); };
    }
    std::size_t pending() const { return jobs_.size(); }
    // Runs the job queued at `index` (the oldest by default) and delivers its result.
    void run(std::size_t index = 0);
    // Runs jobs until none is left, delivering each result before the next job.
    void runAll();

  private:
    std::deque<StoreWork::Job> jobs_;
};

class FakeApplications : public RunningApplications {
  public:
    std::vector<RunningApplication> running;
    std::vector<RunningApplication> askedToQuit;
    std::vector<RunningApplication> list() const override { return running; }
    bool activate(const RunningApplication&) override { return true; }
    std::optional<std::string> requestQuit(const RunningApplication& application) override {
        askedToQuit.push_back(application);
        return std::nullopt;
    }
};

CleanupCategory category(const std::string& id, Risk risk = Risk::safe,
                         CleanAction::Kind action = CleanAction::Kind::delete_);
ScanItem item(const std::string& name, std::int64_t size);

class StoreHarness {
  public:
    StoreHarness();
    ~StoreHarness();

    ManualExecutor user;
    ManualExecutor background;
    std::string folder; // a temporary folder of this harness
    std::unique_ptr<Settings> settings;
    std::vector<CleanupCategory> catalog;
    // What a scan of each category finds now; cleans take items out.
    std::map<std::string, std::vector<ScanItem>> contents;
    std::vector<std::string> scans;                                    // ids, as measured
    std::vector<std::pair<std::string, std::vector<ScanItem>>> cleans; // id, items, as cleaned
    std::vector<std::pair<std::vector<ScanItem>, std::string>> moves;  // items, folder
    std::set<std::string> failing; // names of items a clean or move cannot remove
    std::optional<DiskFigures> disk =
        DiskFigures{1'000'000'000'000, 100'000'000'000, 100'000'000'000};
    bool freesSpace = false; // cleaned bytes show at once in the disk's available space
    bool access = true;
    // Whole seconds, so a date survives the settings' seconds-since-2001 unchanged.
    Date now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    RunningSnapshot snapshot;
    int snapshots = 0;
    std::function<Shell::Result(const RunningItem&)> stop;
    VitalsReader::Reading reading;
    std::vector<bool> samples; // whether each vitals sample asked for the top processes
    Maintenance::Result maintenance{true, ""};
    std::int64_t maintenanceFrees = 0;
    std::vector<std::string> chosenFolders;
    std::vector<std::pair<std::string, std::string>> alerts;
    std::vector<std::vector<std::string>> revealed;
    FakeApplications applications;
    FakeNotifier notifier;

    StoreServices services();
    // Runs the queued jobs until none is left, the user pool's first: a job of the background
    // pool runs only while the user pool has none.
    void runToTheEnd();
    // A store over these services that has finished its first full scan (when it started one).
    std::unique_ptr<Store> make();
};

} // namespace bramwick::test

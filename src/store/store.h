// The one state object of the windowed program: the categories with their scan state, the disk
// figures, the history, the banner report, and every long operation that changes them (scans,
// cleans, moves, Clean All Safe and the automatic clean). Three facets of it keep state of their
// own, each with its operations and its signals: the live vitals and the running processes
// (`vitals()`), uninstalling (`uninstalls()`) and maintenance (`maintenance()`).
//
// It lives on the thread of the windows. Each long operation is a coroutine: it sets its busy
// flags, hands the engine work to a worker pool and applies the result when it comes back
// through the event loop, so every change (and every change signal) happens on the store's
// thread. Views start an operation and may drop the returned task; it runs to its end anyway.
//
// The compiler we build with (GCC 12) mishandles temporaries of class type inside a co_await
// expression (they can be copied bitwise and destroyed twice). So every awaited task or job is
// made in a statement of its own and awaited by name: `auto scanning = scan(c); co_await
// scanning;`, never `co_await scan(c)`.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <QObject>
#include <QString>
#include <QTimer>
#include <qcoro/qcorotask.h>

#include "engine/catalog.h"
#include "engine/custom_folders.h"
#include "engine/folder_access.h"
#include "engine/level_overrides.h"
#include "store/item_list.h"
#include "store/messages.h"
#include "store/store_maintenance.h"
#include "store/store_services.h"
#include "store/store_uninstalls.h"
#include "store/store_vitals.h"
#include "store/work.h"

namespace bramwick {

class Store : public QObject {
    Q_OBJECT
    // The facets work through the store's pools and report through its banner and its history.
    friend class StoreMaintenance;
    friend class StoreUninstalls;
    friend class StoreVitals;

  public:
    // The scan and clean state of one category.
    struct CategoryState {
        ItemList items; // in the order the scanner returned them; shared, never copied
        bool scanning = false;
        bool cleaning = false; // a clean or move of the category runs
        bool scanned = false;  // a scan has finished at least once
        std::optional<std::string> message;
        // The sum of the items' sizes, kept by the store with every change of the state, so what
        // reads it (the list, the header, Clean All Safe) never walks the items again.
        std::int64_t total = 0;
        bool operator==(const CategoryState&) const = default;
    };

    using Disk = DiskFigures;

    // The one outcome banner; every report has a fresh id, so a repeated text is still new.
    struct Report {
        std::string id;
        std::string title;
        std::string message;
        bool hasFailures = false;
        bool operator==(const Report&) const = default;
    };

    struct AutoCleanRun {
        Date date;
        std::int64_t freed = 0;
        bool operator==(const AutoCleanRun&) const = default;
    };

    static constexpr int fullScanWindow = 4; // categories measured at once in a full scan
    static constexpr int diskInterval = 60'000;
    static constexpr int autoCleanInterval = 300'000;
    static constexpr const char* trashId = Catalog::trashId;
    static constexpr const char* applicationsId = "applications";

    // Loads the levels, the folders and the history, reads the disk and the access, restores
    // the last automatic clean, starts a full scan on the next turn of the event loop when the
    // files can be read (or the user chose to go on without), and starts the disk and the
    // automatic-clean timers.
    explicit Store(StoreServices services, QObject* parent = nullptr);
    ~Store() override;

    // The parts of the store that keep state of their own, each with its signals. A view that
    // follows only one of them includes only its header.
    StoreVitals& vitals() { return vitals_; }
    const StoreVitals& vitals() const { return vitals_; }
    StoreUninstalls& uninstalls() { return uninstalls_; }
    const StoreUninstalls& uninstalls() const { return uninstalls_; }
    StoreMaintenance& maintenance() { return maintenance_; }
    const StoreMaintenance& maintenance() const { return maintenance_; }

    // Published state.
    const std::vector<CleanupCategory>& categories() const { return categories_; }
    const std::map<std::string, CategoryState>& states() const { return states_; }
    // The state of one category, or null before it was first scanned or cleaned.
    const CategoryState* state(std::string_view id) const;
    const std::optional<Disk>& disk() const { return disk_; }
    bool scanningAll() const { return scanningAll_; }
    const std::vector<CleanupRecord>& log() const { return log_; }
    const std::optional<Report>& report() const { return report_; }
    void dismissReport();
    bool hasFullDiskAccess() const { return hasFullDiskAccess_; }
    void setHasFullDiskAccess(bool granted);
    // Asks the platform again whether the files can be read; changes nothing.
    bool probeFullDiskAccess() const { return services_.fullDiskAccess(); }
    std::int64_t unusedAppDays() const { return unusedAppDays_; }
    // Below 1 counts as 1. Stores the days and filters the applications again, without a scan.
    void setUnusedAppDays(std::int64_t days);
    const ItemList& allApplications() const { return allApplications_; }
    // What a category lists now: its state's items, or with `everyApplication` for the
    // applications category (as the uninstaller shows it) every installed application; nothing
    // before its first scan.
    ItemList listed(const CleanupCategory& category, bool everyApplication = false) const;
    const std::optional<Date>& lastScan() const { return lastScan_; }
    bool cleaningAll() const { return cleaningAll_; }
    const std::set<std::string>& scannedThisPass() const { return scannedThisPass_; }
    bool autoCleaning() const { return autoCleaning_; }
    const std::optional<AutoCleanRun>& lastAutoClean() const { return lastAutoClean_; }
    const LevelOverrides::Overrides& levelOverrides() const { return levelOverrides_; }
    const std::vector<CustomFolder>& customFolders() const { return customFolders_; }

    // Computed on each read.
    // The sum of the items of the categories that Clean All Safe cleans: the total it shows is
    // the amount it takes.
    std::int64_t safeTotal() const;
    // The names of those the user moved to Safe to Remove or added there, holding something.
    std::vector<std::string> yoursInSafe() const;
    // What of the Trash Clean All Safe would empty (nothing when it does not take the Trash).
    StoreText::TrashContents trashInSafe() const;
    static std::string allSafeWarning(std::int64_t total, const std::vector<std::string>& yours,
                                      const StoreText::TrashContents& trash = {});
    // Whether Clean All Safe takes a category: safe, and deleted outright, or moved to the Trash
    // or run as a command when the user put it in Safe to Remove.
    static bool cleanedByCleanAllSafe(const CleanupCategory& category);
    // The sum of a category's item sizes (its state's total); 0 without a state.
    std::int64_t total(std::string_view id) const;
    // A long operation runs: a full scan, Clean All Safe, an automatic clean, an uninstall, a
    // maintenance task or the clean of any category (a category only being scanned does not
    // count). The automatic clean waits while it holds.
    bool isBusy() const;
    // The program is ending (a signal or the user asked it to): the clean, move or uninstall
    // under way stops at its next item (Ending::request), records what it removed and sets its
    // report without measuring anything again (a measurement under way is given up, its result
    // dropped), and nothing new starts, not even a scan.
    void endWork();
    // A clean, move, Clean All Safe, automatic clean, uninstall or maintenance task is still
    // under way: what it did is not recorded yet. A clean's own record is written as its result
    // comes, before the categories are measured again.
    bool cleansUnderway() const;

    // Scans.
    QCoro::Task<> scanAll();
    // While held, no full scan starts: one asked for (by creation, or by the window as it opens)
    // starts on the turn after the release. A window opening at launch so draws its first frame
    // before the scan's threads start and take the processors and the memory map from it.
    void holdFirstScan();
    void releaseFirstScan();
    // The worker threads made now rather than by the first scan (the service's, when it has one).
    void prepareWorkers();
    QCoro::Task<> scan(CleanupCategory category);
    QCoro::Task<> rescan(SuggestedFolder folder);

    // Levels and folders.
    void rebuildCategories();
    void move(const std::vector<std::string>& ids, Level level);
    void moveBack(const std::string& id);
    void removeCustomFolder(const CleanupCategory& category);
    QCoro::Task<> addFolders(Level level);

    // Cleaning, moving and history. A clean or move does nothing for no items, or while another
    // clean, move or uninstall of the category still works on it (its rescan included).
    QCoro::Task<> clean(CleanupCategory category, std::vector<ScanItem> items);
    // Cleans those of `items` (what the user confirmed) that `listed` still holds: one that went
    // meanwhile (another clean took it) would be cleaned again and its bytes counted twice. What a
    // rescan found since is not added.
    QCoro::Task<> cleanStillListed(CleanupCategory category, std::vector<ScanItem> items,
                                   bool everyApplication = false);
    QCoro::Task<> move(CleanupCategory category, std::vector<ScanItem> items,
                       std::string destination);
    QCoro::Task<> cleanAllSafe();

    // The automatic clean.
    QCoro::Task<> checkAutoClean();
    QCoro::Task<> runAutomatic(std::string reason);
    void startAutoCleanTimer();
    bool autoCleanTimerActive() const { return autoCleanTimer_.isActive(); }

    // The disk, and the timers' work (tests call these directly instead of waiting).
    void refreshDisk();
    QCoro::Task<> diskTick();
    QCoro::Task<> autoCleanTick();

    // Desktop actions.
    void relaunch();
    void openFullDiskAccessSettings();
    void openApp(const std::string& id);
    void reveal(const std::vector<ScanItem>& items);

  signals:
    void categoriesChanged();
    void statesChanged();
    // With the id of the category whose state changed (after statesChanged).
    void categoryStateChanged(const QString& id);
    void diskChanged();
    void scanningAllChanged();
    void logChanged();
    void reportChanged();
    void hasFullDiskAccessChanged();
    void unusedAppDaysChanged();
    void allApplicationsChanged();
    void lastScanChanged();
    void cleaningAllChanged();
    void scannedThisPassChanged();
    void autoCleaningChanged();
    void lastAutoCleanChanged();

  private:
    // co_await onUserPool(job): the job's value, computed on the user pool.
    template <typename F> auto onUserPool(F job) {
        return StoreWork::run(waits_, services_.userWork, std::move(job));
    }
    template <typename F> auto onBackgroundPool(F job) {
        return StoreWork::run(waits_, services_.backgroundWork, std::move(job));
    }

    // What the store keeps of each category's work beyond its published state.
    struct CategoryWork {
        int scansOut = 0; // measuring now: the state shows scanning while any is
        // Bumped as a clean, move or uninstall that changed the category's files ends, before
        // its rescan: a measurement begun before may list what the change removed.
        std::uint64_t changes = 0;
        std::uint64_t listedAt = 0; // `changes` when the listed items began to be measured
    };

    CategoryState& stateFor(const std::string& id);
    // The caller changed the category's files and rescans it now: nothing measured before may
    // be listed after that rescan.
    void outdateListing(const std::string& id);
    // Another clean, move or uninstall owns the category: it is deleting, or its rescan is still
    // out. That one rescans and records the category; a second clean taking what it lists would
    // record the same bytes twice (the cleaner counts an item already gone as cleaned), and
    // whichever ended first would clear the cleaning flag while the other still deletes.
    bool cleanUnderway(const std::string& id) const;
    // True, with a report saying nothing was done, when a clean or move the user asked for must
    // wait for the one underway.
    bool refusedWhileCleaning(const CleanupCategory& category);
    void publishState(const std::string& id);
    void setCleaning(const std::string& id, bool cleaning);
    void setReport(const StoreText::ReportText& text);
    // Inside a catch handler: the exception being handled becomes the report.
    void reportFailure(std::string_view title);
    StoreWork::ClearOnExit clearOnExit(std::function<void()> clear) {
        return StoreWork::ClearOnExit(waits_, std::move(clear));
    }
    RunningApplications& applications() const;
    Notifier& notifier() const;
    // The free space now; none while the volume's figures were never read.
    std::optional<std::int64_t> available() const;
    // How much the free space rose since `before`: 0 unless both readings are known, so a
    // volume that could not be read before the work never shows its whole free space as freed.
    std::int64_t gainSince(std::optional<std::int64_t> before) const;
    QCoro::Task<> scanEveryCategory();
    QCoro::Task<> cleanEverySafeCategory();
    QCoro::Task<> cleanAutomatically(std::string reason);
    QCoro::Task<> scanInWindow(CleanupCategory category, int* active, StoreWork::Wakeup* slot);
    QCoro::Task<> finish(CleanupCategory category, Cleaner::Outcome outcome, std::string verb,
                         bool wentToTrash, std::optional<std::int64_t> before);
    // A clean, move or uninstall just worked on the outcome's items: every category but those
    // of `measured` whose list holds one of them, a file or folder inside one or a folder around
    // one (Large Files and Downloads Folder both list a download), is outdated now, so that no
    // measurement begun before the change is listed after it, and returned for the caller to
    // measure again.
    std::vector<CleanupCategory> outdateListingsOf(const Cleaner::Outcome& outcome,
                                                   const std::set<std::string>& measured);
    QCoro::Task<> scanEach(std::vector<CleanupCategory> categories);
    // At the end of a run of cleans, the Trash measured again when any of them moved items to it.
    // Only then: the run may have emptied the Trash itself, from what it listed when the user
    // confirmed, and must not take what the run put there.
    QCoro::Task<> rescanTrashAfterRun(bool wentToTrash);
    // Cleans the items the category's state lists now, on the user pool or the background one;
    // none when it lists nothing.
    QCoro::Task<std::optional<Cleaner::Outcome>> cleanWhatIsListed(CleanupCategory category,
                                                                   bool background);
    void record(const std::string& title, const std::string& detail);
    // How a background write of the settings (the history) went: none when it succeeded.
    void historyWritten(const std::optional<std::string>& problem);
    void saveLevels();
    // Takes out of another category's items what is, holds or lies in a folder the user added:
    // only that folder's own category cleans it, and only when asked.
    void leaveOutCustomFolders(const std::string& id, std::vector<ScanItem>& items) const;
    const CleanupCategory* findCategory(std::string_view id) const;

    StoreServices services_;
    std::shared_ptr<StoreWork::Waits> waits_;
    StoreVitals vitals_{*this};
    StoreUninstalls uninstalls_{*this};
    StoreMaintenance maintenance_{*this};

    std::vector<CleanupCategory> categories_;
    LevelOverrides::Overrides levelOverrides_;
    std::vector<CustomFolder> customFolders_;
    std::map<std::string, CategoryState> states_;
    std::map<std::string, CategoryWork> work_;
    std::optional<Disk> disk_;
    bool scanningAll_ = false;
    bool firstScanWanted_ = false;
    bool firstScanHeld_ = false;
    std::vector<CleanupRecord> log_;
    std::optional<Report> report_;
    bool hasFullDiskAccess_ = true;
    std::int64_t unusedAppDays_ = 100;
    ItemList allApplications_;
    std::optional<Date> lastScan_;
    bool cleaningAll_ = false;
    bool ending_ = false;
    QTimer diskTimer_;
    std::set<std::string> scannedThisPass_;
    QTimer autoCleanTimer_;
    bool autoCleaning_ = false;
    std::optional<AutoCleanRun> lastAutoClean_;
    std::size_t writesToken_ = 0;
    // Why the last background write of the history failed, until one succeeds.
    std::optional<std::string> historyUnsaved_;

    // Stored values that could not be read, kept aside before their key is written again.
    std::optional<nlohmann::json> unreadableLog_;
    std::optional<nlohmann::json> unreadableOverrides_;
    std::optional<nlohmann::json> unreadableFolders_;
};

} // namespace bramwick

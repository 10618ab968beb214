// Everything the store calls outside itself: the engine, the system tools, the settings, the
// clock, the disk, the running applications, the notifier, the worker pools and the actions of
// the desktop (reveal, open, relaunch, the folder chooser). `standard()` gives the real ones;
// tests hand in fakes and a manual executor, and the windows add the desktop's own actions.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/shell.h"
#include "engine/cleaner.h"
#include "engine/health.h"
#include "engine/models.h"
#include "finders/uninstaller.h"
#include "platform/notifier.h"
#include "platform/running_apps.h"
#include "platform/settings.h"
#include "store/work.h"
#include "system/maintenance.h"
#include "system/running.h"
#include "system/vitals.h"

class QThreadPool;

namespace bramwick {

struct StoreServices {
    // User-initiated work (scans, cleans, commands), and the automatic clean's own pool of one
    // low-priority thread.
    StoreWork::Executor userWork;
    StoreWork::Executor backgroundWork;
    // Makes the user pool's threads and the tree walks' threads ahead of the first scan, at the
    // pool's priority; returns once they are made. Optional.
    std::function<void()> prepareWorkers;

    Settings* settings = nullptr;
    std::function<Date()> now;

    // The engine. All but `catalog` run on a worker.
    std::function<std::vector<CleanupCategory>()> catalog;
    std::function<std::vector<ScanItem>(const CleanupCategory&)> items;
    std::function<std::vector<ScanItem>(const std::vector<ScanItem>&, std::int64_t days)>
        unusedApplications;
    std::function<Cleaner::Outcome(const std::vector<ScanItem>&, const CleanupCategory&)> clean;
    std::function<Cleaner::Outcome(const std::vector<ScanItem>&, const std::string& folder)> move;

    // The uninstaller.
    std::function<UninstallPlan(const ScanItem& app)> uninstallPlan;
    std::function<Cleaner::Outcome(const ScanItem& app, const std::vector<AppLeftover>&)> uninstall;

    // The system tools. `stop` may throw when its command cannot be started.
    std::function<RunningSnapshot()> runningSnapshot;
    std::function<Shell::Result(const RunningItem&)> stop;
    // Called on a worker, never for two samples at once (the reader measures each since the
    // one before).
    std::function<VitalsReader::Reading(bool topProcesses)> sampleVitals;
    std::function<Maintenance::Result(const MaintenanceTask&)> runMaintenance;

    // The home volume's figures; none when they cannot be read.
    std::function<std::optional<DiskFigures>()> diskFigures;
    // Whether the program can read the user's files.
    std::function<bool()> fullDiskAccess;

    // None: the process-wide provider at the moment of use (the windows install their own).
    RunningApplications* applications = nullptr;
    Notifier* notifier = nullptr;

    // Desktop actions. Each may do nothing where the desktop offers nothing.
    std::function<void(const std::vector<std::string>& paths)> reveal;
    // Opens an installed application by its desktop-file id; false when there is none.
    std::function<bool(const std::string& id)> openApp;
    std::function<void()> openFullDiskAccessSettings;
    // Starts the program again once this process has ended (it does not end it).
    std::function<void()> relaunch;
    // Ends this run: the windows close what they show and the program quits.
    std::function<void()> quitApplication;
    // Lets the user pick folders for a level, without blocking (no modal loop): `done` is called
    // once with the chosen paths, or with none when the user cancelled.
    std::function<void(Level, std::function<void(std::vector<std::string>)> done)> chooseFolders;
    // Tells the user something went wrong (the folders that cannot be added), without blocking.
    std::function<void(const std::string& message, const std::string& information)> alert;

    // The real engine, system tools, settings, clock, disk and pools; the desktop actions that
    // need a window system do nothing until the windows set them (the relaunch and the quit
    // work as they are).
    static StoreServices standard();
};

namespace StorePlatform {

// Makes every thread of the user pool, and from one of them every tree-walk thread, so that they
// exist (at the pool's lower priority) before the first scan needs them.
void startWorkers();

// Makes every thread `pool` may have and keeps them: runs `onEach` once on each (`first` on one
// of them), holding every thread until all have one. Gives up waiting after `limitMs`: the
// threads that did not start yet come when the pool needs them.
void makeEveryThread(QThreadPool& pool, const std::function<void(bool first)>& onEach, int limitMs);

// Access counts as granted when the home folder can be listed: this system keeps no separate
// privacy list, and a home that cannot be listed is the one case where nothing can be scanned.
bool fullDiskAccessGranted();

// The figures of the volume that holds the home folder; none when they cannot be read.
std::optional<DiskFigures> homeDisk();

// The script that waits until `pid` has ended and then starts the program whose path the shell
// gets as $0 (so the path is never part of the script's text).
std::string relaunchScript(std::int64_t pid);
// Starts that script for this process and this program; false when it could not be started.
bool startRelaunch();

// The process-wide pools: user work on a pool of its own, and the background pool of one
// low-priority thread. Never torn down, so quitting never waits for a scan.
StoreWork::Executor userPool();
StoreWork::Executor backgroundPool();

} // namespace StorePlatform

} // namespace bramwick

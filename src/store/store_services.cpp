#include "store/store_services.h"

#include <chrono>
#include <dirent.h>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include "base/edition.h"
#include "base/unique_fd.h"
#include "engine/applications.h"
#include "engine/catalog.h"
#include "engine/scanner.h"
#include "finders/category_items.h"
#include "platform/desktop_entry.h"
#include "platform/tree_size.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace StorePlatform {

bool fullDiskAccessGranted() {
    return static_cast<bool>(UniqueDir(::opendir(Edition::home().c_str())));
}

std::optional<DiskFigures> homeDisk() {
    DiskFigures figures = Disk::figures(Edition::home());
    // A volume of no size is one that could not be read.
    if (figures.total <= 0) return std::nullopt;
    return figures;
}

std::string relaunchScript(std::int64_t pid) {
    return "while kill -0 " + std::to_string(pid) + " 2>/dev/null; do sleep 0.2; done; exec \"$0\"";
}

bool startRelaunch() {
    std::string program = DesktopEntry::currentExecutable();
    if (program.empty()) return false;
    return QProcess::startDetached(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), toQString(relaunchScript(::getpid())), toQString(program)});
}

namespace {

// A full scan keeps every processor busy (its tree walks run several threads per processor), and
// the windows' thread must still get one the moment it has something to draw, or the window
// stalls for tens of milliseconds at a time. So the pools' threads run at a lower priority than
// it; the threads their jobs start (the engine's parallel loops) inherit it. Here the priority
// belongs to each thread, so this lowers only the pool's own. Both pools use the same value: the
// parallel loops' threads are shared and keep the priority of whichever started them.
constexpr int workerNice = 10;

void lowerThisThread() {
    thread_local bool lowered = false;
    if (lowered) return;
    lowered = true;
    ::setpriority(PRIO_PROCESS, 0, workerNice); // refused: the thread keeps its priority
}

StoreWork::Executor executorOf(QThreadPool* pool) {
    return [pool](StoreWork::Job job) {
        pool->start([job = std::move(job)] {
            lowerThisThread();
            job();
        });
    };
}

QThreadPool* userThreads() {
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool; // never deleted: quitting must not wait for its jobs
        made->setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
        return made;
    }();
    return pool;
}

} // namespace

StoreWork::Executor userPool() {
    return executorOf(userThreads());
}

void makeEveryThread(QThreadPool& pool, const std::function<void(bool first)>& onEach,
                     int limitMs) {
    pool.setExpiryTimeout(-1);
    const int count = pool.maxThreadCount();
    auto started = std::make_shared<QSemaphore>();
    auto gate = std::make_shared<QSemaphore>();
    for (int i = 0; i < count; ++i)
        pool.start([started, gate, onEach, first = i == 0] {
            onEach(first);
            started->release();
            gate->acquire(); // each holds its thread until all have one
        });
    started->tryAcquire(count, limitMs);
    gate->release(count);
}

void startWorkers() {
    makeEveryThread(
        *userThreads(),
        [](bool first) {
            lowerThisThread();
            delete[] new char[64];               // this thread's share of the allocator, made now
            if (first) TreeSize::startWalkers(); // made from a lowered thread: lowered too
        },
        2000);
}

StoreWork::Executor backgroundPool() {
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool;
        made->setMaxThreadCount(1);
        made->setThreadPriority(QThread::LowestPriority);
        return made;
    }();
    return executorOf(pool);
}

} // namespace StorePlatform

StoreServices StoreServices::standard() {
    StoreServices services;
    services.userWork = StorePlatform::userPool();
    services.prepareWorkers = [] { StorePlatform::startWorkers(); };
    services.backgroundWork = StorePlatform::backgroundPool();
    services.settings = &Settings::standard();
    services.now = [] { return std::chrono::system_clock::now(); };
    services.catalog = [] { return Catalog::all(); };
    services.items = [](const CleanupCategory& category) { return CategoryItems::items(category); };
    services.unusedApplications = [](const std::vector<ScanItem>& apps, std::int64_t days) {
        return Scanner::unusedApplications(apps, days);
    };
    services.clean = [](const std::vector<ScanItem>& items, const CleanupCategory& category) {
        return Cleaner::clean(items, category);
    };
    services.move = [](const std::vector<ScanItem>& items, const std::string& folder) {
        return Cleaner::move(items, folder);
    };
    services.uninstallPlan = [](const ScanItem& app) { return Uninstaller::plan(app); };
    services.uninstall = [](const ScanItem& app, const std::vector<AppLeftover>& leftovers) {
        return Uninstaller::uninstall(app, leftovers);
    };
    services.runningSnapshot = [] { return RunningScanner::snapshot(); };
    services.stop = [](const RunningItem& item) { return RunningScanner::stop(item); };
    services.sampleVitals = [](bool top) { return VitalsReader::sample(top); };
    services.runMaintenance = [](const MaintenanceTask& task) { return Maintenance::run(task); };
    services.diskFigures = StorePlatform::homeDisk;
    services.fullDiskAccess = StorePlatform::fullDiskAccessGranted;
    services.reveal = [](const std::vector<std::string>&) {};
    services.openApp = [](const std::string&) { return false; };
    // There is no separate privacy setting to open on this system.
    services.openFullDiskAccessSettings = [] {};
    services.relaunch = [] { StorePlatform::startRelaunch(); };
    services.quitApplication = [] {
        if (auto* application = QCoreApplication::instance())
            QMetaObject::invokeMethod(application, &QCoreApplication::quit, Qt::QueuedConnection);
    };
    services.chooseFolders = [](Level, std::function<void(std::vector<std::string>)> done) {
        done({});
    };
    services.alert = [](const std::string&, const std::string&) {};
    return services;
}

} // namespace bramwick

#include "gui_support.h"

#include <QCoreApplication>

#include "appearance/button_style.h"
#include "appearance/motion.h"
#include "base/ending.h"

namespace bramwick::test {

QApplication& guiApplication() {
    static QApplication* application = [] {
        static int argc = 1;
        static char name[] = "gui_tests";
        static char* argv[] = {name, nullptr};
        auto* made = new QApplication(argc, argv); // lives as long as the process
        QApplication::setQuitOnLastWindowClosed(false);
        QApplication::setEffectEnabled(Qt::UI_AnimateMenu, false);
        QApplication::setEffectEnabled(Qt::UI_AnimateTooltip, false);
        Motion::setEnabled(false);
        installSkinStyle();
        return made;
    }();
    return *application;
}

ScenesHarness::ScenesHarness(bool tray, bool openAtLaunch)
    : trayAvailable(tray), openWindowAtLaunch(openAtLaunch) {
    guiApplication();
    auto now = [](std::function<void()> job) { job(); };
    sheets.maintenance = [now] {
        MaintenanceSource source;
        source.tasks = [] { return std::vector<MaintenanceTask>{}; };
        source.retired = [] { return std::vector<Maintenance::Retired>{}; };
        source.work = now;
        return source;
    };
    sheets.memory = [now] {
        MemoryProvider provider;
        provider.current = [](int) { return std::vector<MemoryUsers::Entry>{}; };
        provider.show = [](const MemoryUsers::Entry&) { return false; };
        provider.quit = [](const MemoryUsers::Entry&) {
            return MemoryUsers::QuitResult::notRunning();
        };
        provider.work = now;
        return provider;
    };
}

Scenes& ScenesHarness::make() {
    Scenes::Options options;
    options.trayAvailable = trayAvailable;
    options.openWindowAtLaunch = openWindowAtLaunch;
    options.quit = [this] { ++quits; };
    auto fake = std::make_unique<FakeUpdates>();
    updates = fake.get();
    options.updates = std::move(fake);
    options.now = [this] { return store.now; };
    options.sheets = sheets;
    scenes = std::make_unique<Scenes>(store.services(), std::move(options));
    deliver();
    store.user.runAll();
    return *scenes;
}

Scenes& ScenesHarness::start() {
    if (!scenes) make();
    scenes->start();
    settle();
    return *scenes;
}

ScenesHarness::~ScenesHarness() {
    scenes.reset();
    // A quit asked every clean to end (Ending::request): the next test of this process starts
    // afresh.
    Ending::clear();
}

void settle() {
    for (int round = 0; round < 4; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

} // namespace bramwick::test

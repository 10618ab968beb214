// What the window run puts in place of the process-wide providers reaches the desktop: the
// automatic clean's notice goes to the notification service on the session bus, and an
// application asked to quit gets its window's close request.
#include <chrono>
#include <thread>

#include <QDBusConnection>
#include <gtest/gtest.h>

#include "app/gui/desktop_store.h"
#include "base/edition.h"
#include "engine/auto_clean.h"
#include "engine/settings_keys.h"
#include "platform/desktop_entry.h"
#include "platform/files.h"
#include "platform/running_apps.h"

#include "gui_support.h"
#include "support/fixture.h"
#include "support/notification_service.h"
#include "support/private_bus.h"
#include "support/private_display.h"

namespace bramwick {
namespace {

using namespace std::chrono_literals;

// This very executable as the installed program, so that it may post (a run from the build
// tree never does).
void installEntryForThisExecutable() {
    const std::string folder = test::home() + "/.local/share/applications";
    test::makeFolder(folder);
    Files::writeAtomically(folder + "/" + Edition::appId + ".desktop",
                           "[Desktop Entry]\nType=Application\nName=Bramwick\nExec=" +
                               DesktopEntry::execArgument(DesktopEntry::currentExecutable()) + "\n",
                           0644);
}

// An automatic clean of one category that frees 2 KB, on the store's own notifier.
void runAutomaticClean(bool notify) {
    test::StoreHarness h;
    h.catalog = {test::category("caches")};
    h.contents = {{"caches", {test::item("a", 2000)}}};
    AutoClean::setSchedule(AutoClean::Schedule::daily, *h.settings);
    AutoClean::setLastRun(h.now - 72h, *h.settings);
    h.settings->set(SettingsKeys::autoCleanNotify, notify);
    StoreServices services = h.services();
    services.notifier = nullptr; // the process-wide one, as in the program
    Store store(services);
    test::deliver();
    h.runToTheEnd();
    auto tick = store.autoCleanTick();
    h.runToTheEnd();
    ASSERT_TRUE(tick.isReady());
    ASSERT_EQ(store.log().size(), 1u) << "the run is in the history whatever the notice did";
    EXPECT_FALSE(store.report()) << "a notice that is not shown is no failure";
}

TEST(DesktopProviders, AnAutomaticCleanPostsOneNoticeOnlyWhenNotifyIsOn) {
    test::PrivateBus bus;
    if (!bus.running()) GTEST_SKIP() << "no dbus-daemon to start a private bus";
    // Before anything connects to the session bus.
    test::EnvironmentChange session("DBUS_SESSION_BUS_ADDRESS", bus.address);
    test::clearHome();
    test::EnvironmentChange dataDirs("XDG_DATA_DIRS", test::home() + "/none");
    installEntryForThisExecutable();
    test::guiApplication();
    installDesktopProviders();
    test::NotificationService service(bus.address);
    ASSERT_TRUE(service.registered());

    // Off first: anything it sent would come before the notice of the run with it on.
    runAutomaticClean(false);
    runAutomaticClean(true);
    service.waitFor(1, 10s);
    service.waitFor(2, 300ms);
    ASSERT_EQ(service.calls.size(), 1u);
    const auto arguments = service.calls[0].arguments();
    ASSERT_EQ(arguments.size(), 8);
    EXPECT_EQ(arguments[0].toString(), "Bramwick");
    EXPECT_EQ(arguments[3].toString(), "Freed 2 KB");
    EXPECT_EQ(arguments[4].toString(), "Bramwick ran a daily clean and removed caches, logs and "
                                       "build data that regenerate.");

    // Without a notification server the run goes on as before.
    service.stop();
    runAutomaticClean(true);
    service.waitFor(2, 300ms);
    EXPECT_EQ(service.calls.size(), 1u);
}

// The memory users' and the uninstall's Quit ask through the window system: here the program
// itself, a child of this test on a display of its own, gets the close request of its window
// and, having no tray there, ends.
TEST(DesktopProviders, AnApplicationAskedToQuitClosesItsWindow) {
    test::PrivateDisplay display;
    if (!test::PrivateDisplay::installed()) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(display.running());
    test::guiApplication();
    installDesktopProviders();
    test::EnvironmentChange onDisplay("DISPLAY", display.name);
    const std::string home = test::makeTemporaryFolder("quit-home");
    test::ChildProcess program = test::ChildProcess::start(
        {BRAMWICK_BINARY}, {"DISPLAY=" + display.name, "BRAMWICK_HOME=" + home,
                            "PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + home});
    RunningApplication application;
    application.pid = program.pid;
    application.name = "Bramwick";
    std::optional<std::string> refusal = "not asked";
    // Until its window is there to be asked.
    for (auto end = std::chrono::steady_clock::now() + 15s;
         refusal && program.running() && std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(50ms))
        refusal = RunningApplications::system().requestQuit(application);
    EXPECT_EQ(refusal, std::nullopt);
    EXPECT_EQ(program.wait(10s), 0) << "it ended as its own close ends it";
    test::removeTree(home);
}

} // namespace
} // namespace bramwick

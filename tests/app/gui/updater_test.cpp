// The updater's start: automatic checks on only when never chosen, downloads always off, and the
// check button following whether a check may start.
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "app/gui/updater.h"
#include "engine/settings_keys.h"
#include "gui_support.h"

using namespace bramwick;

TEST(Updater, AutomaticChecksAreSwitchedOnOnlyWhenTheUserNeverChose) {
    test::guiApplication();
    struct Case {
        std::optional<bool> stored;
        std::vector<bool> switched;
    } cases[] = {{std::nullopt, {true}}, {false, {}}, {true, {}}};
    for (const auto& c : cases) {
        test::StoreHarness h;
        if (c.stored) h.settings->set(SettingsKeys::automaticUpdateChecks, *c.stored);
        auto backend = std::make_unique<test::FakeUpdates>();
        auto* fake = backend.get();
        Updater updater(*h.settings, std::move(backend));
        EXPECT_EQ(fake->automaticChecks, c.switched);
        EXPECT_EQ(fake->automaticDownloads, std::vector{false}) << "at every launch";
    }
}

TEST(Updater, TheButtonFollowsWhetherACheckMayStartAndActivatesFirst) {
    test::StoreHarness h;
    test::guiApplication();
    auto backend = std::make_unique<test::FakeUpdates>();
    auto* fake = backend.get();
    fake->can = false;
    Updater updater(*h.settings, std::move(backend));
    std::vector<std::string> order;
    CheckForUpdatesButton button(updater, [&] { order.push_back("activate"); });
    EXPECT_TRUE(updater.canCheck()) << "true until the back end's first report arrives";
    test::settle();
    EXPECT_FALSE(updater.canCheck());
    EXPECT_FALSE(button.isEnabled());

    std::thread([fake] { fake->report(true); }).join(); // a report from another thread
    EXPECT_FALSE(updater.canCheck()) << "the flag changes only on the GUI thread";
    test::settle();
    EXPECT_TRUE(button.isEnabled());
    EXPECT_EQ(button.toolTip(), "Check for updates");

    button.click();
    EXPECT_EQ(order, std::vector<std::string>{"activate"});
    EXPECT_EQ(fake->checks, 1);
}

TEST(Updater, WithoutAFeedACheckSaysWhereUpdatesComeFrom) {
    test::StoreHarness h;
    test::guiApplication();
    std::vector<QString> told;
    std::function<void()> dismiss;
    Installation installed{"/usr/bin/bramwick", true};
    auto backend = std::make_unique<PackageManagerUpdates>(
        *h.settings,
        [&](const QString& title, const QString& message, std::function<void()> done) {
            told = {title, message};
            dismiss = std::move(done);
        },
        [&] { return installed; });
    auto* updates = backend.get();
    Updater updater(*h.settings, std::move(backend));
    // Nothing stored reads as on, so starting writes nothing; a change is kept under its key.
    EXPECT_FALSE(h.settings->contains(SettingsKeys::automaticUpdateChecks));
    updates->setAutomaticallyChecksForUpdates(false);
    EXPECT_EQ(h.settings->boolean(SettingsKeys::automaticUpdateChecks), false);
    EXPECT_FALSE(updates->automaticallyDownloadsUpdates());

    updater.checkForUpdates();
    test::settle();
    ASSERT_EQ(told.size(), 2u);
    EXPECT_TRUE(told[1].contains("installed from your system's packages"));
    EXPECT_TRUE(told[1].contains("package manager"));
    EXPECT_FALSE(updater.canCheck()) << "no second check while the answer is shown";
    updater.checkForUpdates();
    dismiss();
    test::settle();
    EXPECT_TRUE(updater.canCheck());

    // A copy run from where it was built is no package: it is told so, with its folder.
    installed = {"/home/me/src/bramwick/build/bramwick", false};
    updater.checkForUpdates();
    test::settle();
    EXPECT_FALSE(told[1].contains("installed from your system's packages"));
    EXPECT_TRUE(told[1].contains("/home/me/src/bramwick/build")) << told[1].toStdString();
    dismiss();
}

TEST(Updater, ThisTestIsNoInstalledPackage) {
    // Run from the build folder, as the program is by `make run`.
    const Installation here = currentInstallation();
    EXPECT_FALSE(here.fromSystemPackages) << here.executable;
    EXPECT_TRUE(here.executable.starts_with("/")) << here.executable;
}

#include <fstream>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/proc_running_apps.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {

void write(const std::string& path, const std::string& text) {
    test::makeFile(path, 0);
    std::ofstream(path) << text;
}

class ProcRunningAppsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::clearHome();
        proc_ = test::makeFolder(test::home() + "/proc");
        apps_ = test::makeFolder(test::home() + "/applications");
    }
    void process(int pid, int parent, const std::string& unit, const std::string& executable) {
        std::string base = proc_ + "/" + std::to_string(pid);
        write(base + "/stat",
              std::to_string(pid) + " (a (strange) name) S " + std::to_string(parent) + " 1 1 0");
        write(base + "/cgroup",
              "0::/user.slice/user-1000.slice/user@1000.service/app.slice/" + unit + "\n");
        if (!executable.empty()) test::makeLink(executable, base + "/exe");
    }
    ProcRunningApplications reader() {
        return ProcRunningApplications({proc_, {apps_}, ::getuid()});
    }
    std::string proc_, apps_;
};

} // namespace

TEST_F(ProcRunningAppsTest, ListsTheFirstProcessOfEachApplication) {
    std::string h = test::home();
    write(apps_ + "/org.gnome.Terminal.desktop",
          "[Desktop Entry]\nType=Application\nName=Terminal\n"
          "[Desktop Action new]\nName=New Window\n");
    write(apps_ + "/org.example.Tray.desktop",
          "[Desktop Entry]\nName=Tray Helper\nNoDisplay=true\n");
    write(h + "/Applications/Tool.app/Contents/Info.plist",
          "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
          "<string>com.example.tool</string><key>CFBundleName</key><string>Tool</string></dict></"
          "plist>");
    std::string tool = h + "/Applications/Tool.app/Contents/MacOS/Tool";

    process(100, 1, "app-gnome-org.gnome.Terminal-4242.scope",
            "/usr/libexec/gnome-terminal-server");
    process(101, 100, "app-gnome-org.gnome.Terminal-4242.scope", "/usr/bin/bash"); // its helper
    process(200, 1, "session.slice", tool);
    process(201, 200, "session.slice", tool);
    process(202, 200, "session.slice",
            h + "/Applications/Tool.app/Contents/Helpers/Agent.app/Contents/MacOS/agent");
    process(300, 1, "session.slice/org.gnome.Shell@x11.service", "/usr/bin/gnome-shell");
    process(400, 1, "app-firefox\\x2desr@12.service", "/usr/lib/firefox-esr/firefox-esr");
    process(500, 400, "app-org.example.Tray-77.scope", "/usr/bin/tray");
    test::makeFolder(proc_ + "/self");

    auto apps = reader().list();
    ASSERT_EQ(apps.size(), 5u);
    EXPECT_EQ(apps[0], (RunningApplication{100, "org.gnome.Terminal", "Terminal", "",
                                           "/usr/libexec/gnome-terminal-server", true}));
    EXPECT_EQ(apps[1], (RunningApplication{200, "com.example.tool", "Tool",
                                           h + "/Applications/Tool.app", tool, false}));
    EXPECT_EQ(apps[2].pid, 202);
    EXPECT_EQ(apps[2].bundlePath, h + "/Applications/Tool.app/Contents/Helpers/Agent.app");
    EXPECT_EQ(apps[2].name, "Agent");
    EXPECT_EQ(apps[2].bundleIdentifier, "");
    EXPECT_EQ(apps[3], (RunningApplication{400, "firefox-esr", "firefox-esr", "",
                                           "/usr/lib/firefox-esr/firefox-esr", false}));
    EXPECT_EQ(apps[4].name, "Tray Helper");
    EXPECT_FALSE(apps[4].regular) << "a hidden desktop entry is no regular application";

    auto quit = reader().requestQuit(apps[0]);
    ASSERT_TRUE(quit);
    EXPECT_NE(quit->find("windowed program"), std::string::npos);
    auto r = reader();
    EXPECT_FALSE(r.activate(apps[0]));
}

TEST_F(ProcRunningAppsTest, AnAppImageStartedFromATerminalIsAnApplication) {
    std::string image = test::home() + "/Applications/Krita-x86_64.AppImage";
    process(600, 1, "session.slice", image);
    process(601, 600, "session.slice", image); // the same file: one application
    process(700, 1, "session.slice", test::home() + "/bin/.AppImage");
    auto apps = reader().list();
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(apps[0], (RunningApplication{600, "", "Krita-x86_64", "", image, false}));
}

TEST_F(ProcRunningAppsTest, ABrowserIsKnownByItsExecutableWhateverUnitItRunsIn) {
    write(apps_ + "/google-chrome.desktop", "[Desktop Entry]\nName=Google Chrome\n");
    process(800, 1, "session.slice", "/opt/google/chrome/chrome");
    process(801, 800, "session.slice", "/opt/google/chrome/chrome"); // its renderer
    process(810, 1, "session.slice", "/opt/google/chrome-beta/chrome");
    process(820, 1, "session.slice", "/usr/lib/chromium/chromium");
    process(830, 1, "session.slice", "/usr/bin/chrome"); // not where a browser package puts it
    process(840, 1, "session.slice", "/usr/bin/sleep");
    // Started from a terminal that has a unit of its own: Chrome is itself all the same.
    process(900, 1, "app-gnome-xterm-5555.scope", "/usr/bin/xterm");
    process(901, 900, "app-gnome-xterm-5555.scope", "/usr/bin/bash");
    process(902, 901, "app-gnome-xterm-5555.scope", "/opt/google/chrome-unstable/chrome");
    auto apps = reader().list();
    ASSERT_EQ(apps.size(), 5u);
    EXPECT_EQ(apps[3].bundleIdentifier, "xterm");
    EXPECT_EQ(apps[4].bundleIdentifier, "google-chrome-unstable");
    EXPECT_EQ(apps[0], (RunningApplication{800, "google-chrome", "Google Chrome", "",
                                           "/opt/google/chrome/chrome", true}));
    EXPECT_EQ(apps[1].bundleIdentifier, "google-chrome-beta");
    EXPECT_EQ(apps[2].bundleIdentifier, "chromium");
}

TEST_F(ProcRunningAppsTest, NoSessionFindsNone) {
    process(10, 1, "", "/usr/bin/sleep");
    EXPECT_TRUE(reader().list().empty());
    EXPECT_TRUE(
        ProcRunningApplications({test::home() + "/no-proc", {apps_}, ::getuid()}).list().empty());
    // Another user's processes are never listed.
    process(20, 1, "app-org.gnome.Terminal-1.scope", "/usr/bin/x");
    EXPECT_TRUE(ProcRunningApplications({proc_, {apps_}, ::getuid() + 1}).list().empty());
}

TEST_F(ProcRunningAppsTest, AnIdentifierThatIsNoFileNameReadsNoDesktopEntry) {
    // A desktop entry outside the searched folders, reached only by climbing out of them.
    write(test::home() + "/outside.desktop", "[Desktop Entry]\nType=Application\nName=Outside\n");
    std::string app = test::home() + "/Applications/Odd.app";
    write(app + "/Contents/Info.plist",
          "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
          "<string>../outside</string></dict></plist>");
    process(100, 1, "session.slice", app + "/Contents/MacOS/Odd");
    process(200, 1, "app-..\\x2foutside-7.scope", "/usr/bin/odd"); // "/" escaped in a unit name

    auto apps = reader().list();
    ASSERT_EQ(apps.size(), 2u);
    for (const auto& listed : apps) {
        EXPECT_EQ(listed.bundleIdentifier, "../outside");
        EXPECT_FALSE(listed.regular) << listed.pid;
        EXPECT_NE(listed.name, "Outside") << listed.pid;
    }
}

TEST(ProcRunningApps, UnitNamesAndCgroups) {
    struct Case {
        const char* unit;
        std::optional<std::string> id;
    } cases[] = {
        {"app-gnome-org.gnome.Terminal-4242.scope", "org.gnome.Terminal"},
        {"app-org.kde.konsole-99.scope", "org.kde.konsole"},
        {"app-flatpak-org.mozilla.firefox-123.scope", "org.mozilla.firefox"},
        {"app-gnome-org.gnome.Nautilus@1.service", "org.gnome.Nautilus"},
        {"app-org.gnome.Evolution\\x2dalarm\\x2dnotify.service",
         "org.gnome.Evolution-alarm-notify"},
        {"app-nodash.scope", std::nullopt},
        {"app.slice", std::nullopt},
        {"session-2.scope", std::nullopt},
        {"app-.service", std::nullopt},
        {"vte-spawn-abc.scope", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProcRunningApplications::applicationIdOfUnit(c.unit), c.id) << c.unit;

    EXPECT_EQ(ProcRunningApplications::applicationUnit(
                  "12:pids:/user.slice\n1:name=systemd:/user.slice/user@1000.service/app.slice/"
                  "app-gnome-gedit-5.scope\n"),
              "app-gnome-gedit-5.scope");
    EXPECT_EQ(ProcRunningApplications::applicationUnit(
                  "0::/user.slice/user@1000.service/app.slice/app-org.gnome.Terminal.slice/"
                  "vte-spawn-1.scope\n"),
              std::nullopt);
    EXPECT_EQ(ProcRunningApplications::applicationUnit("0::/\n"), std::nullopt);
    EXPECT_NE(dynamic_cast<ProcRunningApplications*>(&RunningApplications::system()), nullptr);
}

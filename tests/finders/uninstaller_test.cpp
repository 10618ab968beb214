#include <algorithm>
#include <fstream>
#include <tuple>

#include <gtest/gtest.h>

#include "base/shell.h"
#include "engine/admin_removal.h"
#include "engine/scanner.h"
#include "finders/uninstaller.h"
#include "platform/trash.h"
#include "support/applications.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {

using Ownership = AppLeftover::Ownership;
using Found = std::tuple<std::string, std::string, Ownership>; // path, kind, ownership

std::vector<Found> found(const UninstallPlan& plan) {
    std::vector<Found> out;
    for (const auto& leftover : plan.leftovers) {
        EXPECT_EQ(leftover.id, leftover.url);
        out.emplace_back(leftover.url, leftover.kind, leftover.ownership);
    }
    return out;
}

std::vector<std::string> names(const std::vector<ScanItem>& items) {
    std::vector<std::string> out;
    for (const auto& item : items)
        out.push_back(item.name);
    return out;
}

std::vector<std::pair<std::string, std::string>> failures(const Cleaner::Outcome& outcome) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& failure : outcome.failures)
        out.emplace_back(failure.item.name, failure.reason);
    return out;
}

// Records the administrator runs; by default it carries the list out with the administrator's
// own removal, as an administrator who gave the password would, within the places it reaches
// (below the fixture's system root).
struct FakeAdministrator {
    std::vector<std::string> calls;
    std::optional<Shell::Result> answer;
    AdminRemoval::Bounds bounds;
    Cleaner::Administrator administrator() {
        return [this](const std::string& list, double) {
            calls.push_back(list);
            if (answer) return *answer;
            return AdminRemoval::removeListed(list, bounds, "/opt/Bramwick.app");
        };
    }
};

class UninstallerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::clearHome();
        system_ = test::makeTemporaryFolder("system-root");
        environment_.home = test::home();
        environment_.systemRoot = system_;
        environment_.running = &running_;
        environment_.cleaner.ownBundle = "/opt/Bramwick.app";
        environment_.cleaner.administrator = administrator_.administrator();
        for (const auto& place : Uninstaller::systemPlaces())
            administrator_.bounds.places.push_back(system_ + place);
    }
    void TearDown() override { test::removeTree(system_); }

    std::string home(const std::string& rest) const { return test::home() + rest; }
    std::string system(const std::string& rest) const { return system_ + rest; }

    // An application in ~/Applications, as the applications scan lists it.
    ScanItem app(const std::string& name, const std::string& identifier) {
        std::string path = home("/Applications/" + name + ".app");
        test::makeApp(path, identifier);
        return item(path, name);
    }

    // An item for what lies at `path`, measured as the scan measures it.
    static ScanItem item(const std::string& path, const std::string& name) {
        ScanItem item;
        item.id = path;
        item.url = path;
        item.name = name;
        item.size = Scanner::allocatedSize(path);
        return item;
    }

    std::string system_;
    test::FakeRunningApplications running_;
    FakeAdministrator administrator_;
    Uninstaller::Environment environment_;
};

} // namespace

TEST_F(UninstallerTest, FindsLeftoversByIdentifierHelperAndNameInSearchOrder) {
    auto atlas = app("Atlas", "com.example.atlas");
    test::makeApp(atlas.url + "/Contents/Library/LoginItems/Atlas Helper.app",
                  "com.example.atlas.helper");
    test::makeApp(atlas.url + "/Contents/PlugIns/Share.appex", "com.example.atlas.share");
    test::makeApp(atlas.url + "/Contents/PlugIns/Loud.APP", "com.example.loud"); // not opened
    test::makeApp(atlas.url + "/Contents/XPCServices/Again.xpc", "com.example.atlas");

    const std::string id = "com.example.atlas";
    // Every place of the per-identifier table, in its order, with its kind.
    std::vector<Found> expected{
        {home("/Library/Preferences/" + id + ".plist"), "Preferences", Ownership::user},
        {home("/Library/Preferences/" + id + ".plist.lockfile"), "Preferences", Ownership::user},
        {home("/Library/Application Support/" + id), "Application support", Ownership::user},
        {home("/Library/Caches/" + id), "Cache", Ownership::user},
        {home("/Library/HTTPStorages/" + id), "Web storage", Ownership::user},
        {home("/Library/HTTPStorages/" + id + ".binarycookies"), "Cookies", Ownership::user},
        {home("/Library/Cookies/" + id + ".binarycookies"), "Cookies", Ownership::user},
        {home("/Library/WebKit/" + id), "Web storage", Ownership::user},
        {home("/Library/Saved Application State/" + id + ".savedState"), "Saved window state",
         Ownership::user},
        {home("/Library/Logs/" + id), "Logs", Ownership::user},
        {home("/Library/Application Scripts/" + id), "App scripts", Ownership::user},
        {system("/Library/Application Support/" + id), "Application support (system)",
         Ownership::system},
        {system("/Library/Caches/" + id), "Cache (system)", Ownership::system},
        {system("/Library/Preferences/" + id + ".plist"), "Preferences (system)",
         Ownership::system},
        {system("/Library/PrivilegedHelperTools/" + id), "Privileged helper", Ownership::system},
        // The helper's own places come after all of the application's.
        {home("/Library/Preferences/" + id + ".helper.plist"), "Preferences", Ownership::user},
        {home("/Library/Caches/com.example.atlas.share"), "Cache", Ownership::user},
        // Entries of the shared folders named after an identifier.
        {home("/Library/Containers/" + id), "Container", Ownership::user},
        {home("/Library/Containers/com.example.atlas.share"), "Container", Ownership::user},
        {home("/Library/Group Containers/ABCDE12345." + id), "Shared container", Ownership::user},
        {home("/Library/Preferences/ByHost/" + id + ".0A1B2C3D.plist"), "Preferences",
         Ownership::user},
        {home("/Library/LaunchAgents/" + id + ".agent.plist"), "Login item", Ownership::user},
        {system("/Library/LaunchAgents/" + id + ".plist"), "Login item", Ownership::system},
        {system("/Library/LaunchDaemons/com.example.atlas.helper.plist"), "Background service",
         Ownership::system},
        // Places named after the application.
        {home("/Library/Application Support/Atlas"), "Application support", Ownership::user},
        {home("/Library/Caches/Atlas"), "Cache", Ownership::user},
        {home("/Library/Logs/Atlas"), "Logs", Ownership::user},
        {system("/Library/Application Support/Atlas"), "Application support (system)",
         Ownership::system},
    };
    for (const auto& [path, kind, ownership] : expected) {
        if (path.ends_with("plist") || path.ends_with("lockfile") || path.ends_with("cookies"))
            test::makeFile(path, 0);
        else
            test::makeFolder(path);
    }
    // Named after another application, or after the identifier without a dot in between.
    test::makeFolder(home("/Library/Containers/com.example.atlasx"));
    test::makeFolder(home("/Library/Containers/com.example.other"));
    test::makeFile(home("/Library/LaunchAgents/org.example.atlas-agent.plist"), 0);
    test::makeFolder(home("/Library/Caches/com.example.loud"));
    // A link to nothing is no leftover.
    test::makeLink(home("/nowhere"), home("/Library/WebKit/com.example.atlas.share"));
    // One leftover with content goes first; the others keep the search order.
    test::makeFile(home("/Library/Containers/" + id + "/Data/db.sqlite"), 50'000);

    auto plan = Uninstaller::plan(atlas, environment_);
    EXPECT_EQ(plan.app, atlas);
    EXPECT_EQ(plan.bundleID, id);
    EXPECT_EQ(plan.identifiers, (std::vector<std::string>{id, "com.example.atlas.helper",
                                                          "com.example.atlas.share"}));
    EXPECT_FALSE(plan.isRunning);
    EXPECT_FALSE(plan.isSystemApp);
    EXPECT_TRUE(plan.kept.empty());
    std::rotate(expected.begin(), expected.begin() + 17, expected.begin() + 18);
    EXPECT_EQ(found(plan), expected);
    std::int64_t containerSize = Scanner::allocatedSize(home("/Library/Containers/" + id));
    EXPECT_GE(containerSize, 50'000);
    EXPECT_EQ(plan.leftovers.front().size, containerSize);
    EXPECT_EQ(plan.leftoverBytes(), containerSize);
    EXPECT_NE(Uninstaller::plan(atlas, environment_).id, plan.id);
}

TEST_F(UninstallerTest, NamesFindTheirOwnFoldersButNeverAVendorsWhole) {
    for (const char* folder : {"Google Chrome", "Google/Chrome", "Microsoft Word", "Microsoft/Word",
                               "microsoft word", "microsoft/word", "Go", "Epic Games",
                               "Epic Games Launcher", "Epic/Games Launcher", "Steam"})
        test::makeFolder(home("/Library/Application Support/") + folder);
    test::makeFolder(home("/Library/Caches/Google/Chrome"));
    test::makeFolder(home("/Library/Caches/Microsoft/Word"));
    const std::string support = "/Library/Application Support/";

    struct Case {
        std::string name;
        std::vector<std::string> leftovers;
        std::vector<UninstallPlan::Kept> kept;
    };
    std::vector<Case> cases{
        {"Google Chrome",
         {home(support + "Google Chrome"), home("/Library/Caches/Google/Chrome")},
         {{"~/Library/Application Support/Google/Chrome",
           "Holds Chrome's saved passwords and sign-ins"}}},
        {"Microsoft Word",
         {home(support + "Microsoft Word"), home(support + "Microsoft/Word"),
          home("/Library/Caches/Microsoft/Word")},
         {}},
        {"microsoft word", {home(support + "microsoft word")}, {}},
        {"Google", {}, {}},
        {"Steam", {}, {}},
        {"Go", {}, {}},
        {"Epic Games", {}, {}},
        {"Epic Games Launcher", {home(support + "Epic Games Launcher")}, {}},
    };
    for (const auto& c : cases) {
        ScanItem item;
        item.url = home("/Applications/" + c.name + ".app"); // no Info.plist: no identifier
        test::makeFolder(item.url);
        item.id = item.url;
        item.name = c.name;
        auto plan = Uninstaller::plan(item, environment_);
        EXPECT_FALSE(plan.bundleID) << c.name;
        EXPECT_TRUE(plan.identifiers.empty()) << c.name;
        std::vector<std::string> paths;
        for (const auto& leftover : plan.leftovers)
            paths.push_back(leftover.url);
        EXPECT_EQ(paths, c.leftovers) << c.name;
        EXPECT_EQ(plan.kept, c.kept) << c.name;
    }
}

TEST_F(UninstallerTest, PlacesTheCleanerRefusesAreKeptWithTheirReason) {
    auto atlas = app("Atlas", "com.example.atlas");
    // Inside a photo library, found by the container scan.
    test::makeFolder(home("/Library/Containers/com.example.atlas.photoslibrary"));
    // A place that holds this program's own installation.
    test::makeFolder(home("/Library/Application Support/com.example.atlas/Bramwick.app"));
    environment_.cleaner.ownBundle =
        home("/Library/Application Support/com.example.atlas/Bramwick.app");
    // Found twice (by the identifier and by the scan of the scripts folder): listed once.
    test::makeFolder(home("/Library/Application Scripts/com.example.atlas"));

    auto plan = Uninstaller::plan(atlas, environment_);
    EXPECT_EQ(found(plan),
              (std::vector<Found>{{home("/Library/Application Scripts/com.example.atlas"),
                                   "App scripts", Ownership::user}}));
    EXPECT_EQ(plan.kept,
              (std::vector<UninstallPlan::Kept>{
                  {"~/Library/Application Support/com.example.atlas", "Protected folder"},
                  {"~/Library/Containers/com.example.atlas.photoslibrary",
                   "Photos library — Bramwick never touches one"}}));
    EXPECT_EQ(plan.leftoverBytes(), 0);
}

TEST_F(UninstallerTest, HostileIdentifiersAndNamesFindNothing) {
    // Shared folders with content, which a hostile name could otherwise turn into leftovers.
    for (const char* shared :
         {"/Library/Application Support/Other/data", "/Library/Caches/Other/data",
          "/Library/Preferences/a/b.plist", "/Library/LaunchAgents/org.other.agent.plist",
          "/Library/Containers/com.other.app/data", "/Library/Preferences/ByHost/x.plist",
          "/Library/Application Support/Google/data", "/Library/Application Support/Steam/data",
          "/Library/Caches/Google/data"}) {
        test::makeFile(home(shared), 100);
        test::makeFile(system(shared), 100);
    }
    test::makeFile(system("/Library/PrivilegedHelperTools/tool"), 100);
    test::makeFile(system("/Library/LaunchDaemons/org.other.daemon.plist"), 100);

    struct Case {
        std::string identifier;
        std::string name;
    };
    std::vector<Case> cases{
        {"..", "Plain"},    {".", "Plain"},  {"a/b", "Plain"},  {"com", "Plain"},
        {"plist", "Plain"}, {"", ".."},      {"", "."},         {"", "Google/.."},
        {"", "Google .."},  {"", "Steam ."}, {"", "../Caches"},
    };
    for (const auto& c : cases) {
        // A folder named "Plain" would never exist, so only the identifier can find anything.
        ScanItem item;
        item.url = home("/Applications/hostile.app");
        test::removeTree(item.url);
        if (!c.identifier.empty())
            test::makeApp(item.url, c.identifier);
        else
            test::makeFolder(item.url);
        item.id = item.url;
        item.name = c.name;
        auto plan = Uninstaller::plan(item, environment_);
        EXPECT_TRUE(plan.leftovers.empty()) << c.identifier << " " << c.name;
        EXPECT_TRUE(plan.kept.empty()) << c.identifier << " " << c.name;
        auto outcome = Uninstaller::uninstall(item, plan.leftovers, environment_);
        EXPECT_EQ(names(outcome.cleaned), std::vector<std::string>{c.name});
    }
    EXPECT_TRUE(administrator_.calls.empty());
    EXPECT_TRUE(test::exists(system("/Library/Application Support/Other/data")));
    EXPECT_TRUE(test::exists(home("/Library/Application Support/Other/data")));
}

TEST_F(UninstallerTest, SystemApplicationsAreNeverSearchedOrRemoved) {
    test::makeFile(home("/Library/Preferences/com.apple.Notes.plist"), 100);
    test::makeFile(home("/Library/Preferences/com.apple.dt.Xcode.plist"), 100);
    test::makeFile(home("/Library/Preferences/com.applepie.x.plist"), 100);
    test::makeFile(home("/Library/Preferences/org.example.clock.plist"), 100);

    struct Case {
        std::string path;
        std::string identifier;
        bool system;
    };
    std::vector<Case> cases{
        {system("/System/Applications/Clock.app"), "org.example.clock", true},
        {home("/Applications/Notes.app"), "com.apple.Notes", true},
        {home("/Applications/Xcode.app"), "com.apple.dt.Xcode", false},
        {home("/Applications/Pie.app"), "com.applepie.x", false},
    };
    for (const auto& c : cases) {
        test::makeApp(c.path, c.identifier);
        ScanItem item;
        item.id = item.url = c.path;
        item.name = Scanner::lastComponent(c.path);
        auto plan = Uninstaller::plan(item, environment_);
        EXPECT_EQ(plan.isSystemApp, c.system) << c.path;
        EXPECT_EQ(plan.identifiers, std::vector<std::string>{c.identifier});
        EXPECT_EQ(plan.leftovers.size(), c.system ? 0u : 1u) << c.path;
        EXPECT_TRUE(plan.kept.empty());
        if (!c.system) continue;
        EXPECT_EQ(plan.leftoverBytes(), 0);

        // Even handed leftovers, nothing of a system application is removed.
        AppLeftover preferences{home("/Library/Preferences/" + c.identifier + ".plist"),
                                home("/Library/Preferences/" + c.identifier + ".plist"),
                                "Preferences", 4096, Ownership::user};
        auto outcome = Uninstaller::uninstall(item, {preferences}, environment_);
        EXPECT_TRUE(outcome.cleaned.empty());
        std::string reason = "Part of the system — Bramwick won't uninstall it";
        EXPECT_EQ(failures(outcome),
                  (std::vector<std::pair<std::string, std::string>>{
                      {item.name, reason},
                      {"Preferences — ~/Library/Preferences/" + c.identifier + ".plist", reason}}));
        EXPECT_TRUE(test::exists(c.path));
        EXPECT_TRUE(test::exists(preferences.url));
    }
}

TEST_F(UninstallerTest, ARunningApplicationIsMarkedAndNotRemoved) {
    auto atlas = app("Atlas", "com.example.atlas");
    test::makeFile(home("/Library/Preferences/com.example.atlas.plist"), 100);
    test::makeFile(system("/Library/LaunchDaemons/com.example.atlas.plist"), 100);
    // Running from the same bundle reached through a linked folder.
    test::makeLink(home("/Applications"), home("/Apps"));
    RunningApplication process;
    process.pid = 4242;
    process.bundlePath = home("/Apps/Atlas.app");
    running_.apps = {RunningApplication{}, process};

    auto plan = Uninstaller::plan(atlas, environment_);
    EXPECT_TRUE(plan.isRunning);
    ASSERT_EQ(plan.leftovers.size(), 2u);
    auto outcome = Uninstaller::uninstall(atlas, plan.leftovers, environment_);
    EXPECT_TRUE(outcome.cleaned.empty());
    ASSERT_EQ(outcome.failures.size(), 3u);
    for (const auto& failure : outcome.failures)
        EXPECT_EQ(failure.reason, "Running — quit it first");
    EXPECT_TRUE(administrator_.calls.empty());
    EXPECT_TRUE(test::exists(atlas.url));

    // Once it has quit, the same plan goes through.
    running_.apps.clear();
    outcome = Uninstaller::uninstall(atlas, plan.leftovers, environment_);
    EXPECT_EQ(outcome.cleaned.size(), 3u);
    EXPECT_TRUE(outcome.failures.empty());
}

TEST_F(UninstallerTest, RemovesTheUsersLeftoversToTheTrashThenTheSystemsInOneBatch) {
    auto atlas = app("Atlas", "com.example.atlas");
    test::makeFile(home("/Library/Preferences/com.example.atlas.plist"), 100);
    test::makeFile(home("/Library/Containers/com.example.atlas/Data/db"), 30'000);
    test::makeFile(home("/Library/Caches/com.example.atlas/gone-soon"), 100);
    test::makeFile(system("/Library/Application Support/com.example.atlas/data"), 20'000);
    test::makeFile(system("/Library/LaunchDaemons/com.example.atlas.plist"), 100);
    auto plan = Uninstaller::plan(atlas, environment_);
    ASSERT_EQ(plan.leftovers.size(), 5u);
    // Gone by the time the user confirms: still counts as removed.
    test::removeTree(home("/Library/Caches/com.example.atlas"));

    auto outcome = Uninstaller::uninstall(atlas, plan.leftovers, environment_);
    const std::string daemon = system("/Library/LaunchDaemons/com.example.atlas.plist");
    const std::string support = system("/Library/Application Support/com.example.atlas");
    EXPECT_EQ(names(outcome.cleaned),
              (std::vector<std::string>{
                  "Atlas", "Container — ~/Library/Containers/com.example.atlas",
                  "Preferences — ~/Library/Preferences/com.example.atlas.plist",
                  "Cache — ~/Library/Caches/com.example.atlas",
                  "Application support (system) — " + support, "Background service — " + daemon}));
    EXPECT_TRUE(outcome.failures.empty());
    EXPECT_EQ(outcome.cleaned.front(), atlas);
    EXPECT_EQ(outcome.cleaned[1].size, plan.leftovers[0].size);
    EXPECT_EQ(outcome.cleaned[1].id, plan.leftovers[0].url);

    // The user's go to the Trash, where they can be put back; the system's are gone.
    std::string trash = Trash::homeTrash() + "/files/";
    EXPECT_TRUE(test::exists(trash + "Atlas.app/Contents/Info.plist"));
    EXPECT_TRUE(test::exists(trash + "com.example.atlas/Data/db"));
    EXPECT_TRUE(test::exists(trash + "com.example.atlas.plist"));
    EXPECT_FALSE(test::exists(atlas.url));
    EXPECT_FALSE(test::exists(support));
    EXPECT_FALSE(test::exists(daemon));
    ASSERT_EQ(administrator_.calls.size(), 1u);
    EXPECT_EQ(AdminRemoval::decode(administrator_.calls[0])->size(), 2u);

    // Without system leftovers there is no second pass and no password prompt.
    auto second = app("Second", "com.example.second");
    auto alone = Uninstaller::uninstall(second, {}, environment_);
    EXPECT_EQ(names(alone.cleaned), std::vector<std::string>{"Second"});
    EXPECT_EQ(administrator_.calls.size(), 1u);
}

TEST_F(UninstallerTest, ARefusedPasswordRemovesNothingOfTheSystemAndSaysSo) {
    auto atlas = app("Atlas", "com.example.atlas");
    test::makeFile(home("/Library/Preferences/com.example.atlas.plist"), 100);
    test::makeFile(system("/Library/PrivilegedHelperTools/com.example.atlas"), 100);
    test::makeFile(system("/Library/Caches/com.example.atlas/x"), 100);
    auto plan = Uninstaller::plan(atlas, environment_);
    ASSERT_EQ(plan.leftovers.size(), 3u);
    administrator_.answer = Shell::Result{126, ""};

    auto outcome = Uninstaller::uninstall(atlas, plan.leftovers, environment_);
    EXPECT_EQ(names(outcome.cleaned),
              (std::vector<std::string>{
                  "Atlas", "Preferences — ~/Library/Preferences/com.example.atlas.plist"}));
    std::string refused = "The administrator password was not given.";
    EXPECT_EQ(
        failures(outcome),
        (std::vector<std::pair<std::string, std::string>>{
            {"Cache (system) — " + system("/Library/Caches/com.example.atlas"), refused},
            {"Privileged helper — " + system("/Library/PrivilegedHelperTools/com.example.atlas"),
             refused}}));
    EXPECT_TRUE(test::exists(system("/Library/PrivilegedHelperTools/com.example.atlas")));
    EXPECT_TRUE(test::exists(system("/Library/Caches/com.example.atlas/x")));
    EXPECT_EQ(administrator_.calls.size(), 1u);
}

namespace {

// Records every command the cleaner runs and answers with `answer`; runs nothing.
struct RecordingRunner {
    std::vector<std::vector<std::string>> calls;
    Shell::Result answer{0, ""};
    Shell::Runner runner() {
        return [this](const std::vector<std::string>& arguments, double) {
            calls.push_back(arguments);
            return answer;
        };
    }
};

void writeText(const std::string& path, const std::string& text) {
    test::makeFile(path, 0);
    std::ofstream(path) << text;
}

class LinuxUninstallerTest : public UninstallerTest {
  protected:
    void SetUp() override {
        UninstallerTest::SetUp();
        places_.flatpak = {{home("/flatpak-user"), false}, {system("/var/lib/flatpak"), true}};
        places_.appImageFolders = {"~/Applications", "~/.local/bin"};
        places_.flatpakData = "~/.var/app";
        environment_.linuxPlaces = places_;
        environment_.cleaner.runner = recorder_.runner();
    }

    // A Flatpak application as the applications scan lists it.
    ScanItem flatpak(const std::string& installation, const std::string& id,
                     const std::string& name) {
        std::string path = installation + "/app/" + id;
        test::makeFile(path + "/x86_64/stable/abc/files/bin/app", 20'000);
        test::makeLink("x86_64/stable", path + "/current");
        writeText(installation + "/exports/share/applications/" + id + ".desktop",
                  "[Desktop Entry]\nName=" + name + "\nExec=flatpak run " + id + "\n");
        return item(path, name);
    }

    ScanItem appImage(const std::string& file) {
        std::string path = home("/Applications/" + file);
        test::makeFile(path, 30'000);
        return item(path, LinuxApplications::appImageName(file));
    }

    static std::vector<Found> sorted(std::vector<Found> found) {
        std::sort(found.begin(), found.end());
        return found;
    }

    LinuxApplications::Places places_;
    RecordingRunner recorder_;
};

} // namespace

TEST_F(LinuxUninstallerTest, AFlatpakLeavesItsDataFolderXdgFoldersAndEntriesAndGoesThroughFlatpak) {
    auto maps = flatpak(home("/flatpak-user"), "org.gnome.Maps", "Maps");
    test::makeFile(home("/.var/app/org.gnome.Maps/data/tiles.db"), 40'000);
    test::makeFile(home("/.cache/org.gnome.Maps/x"), 5'000);
    test::makeFile(home("/.config/maps/settings.ini"), 100);
    writeText(home("/.config/autostart/org.gnome.Maps.desktop"), "[Desktop Entry]\n");
    writeText(home("/.local/share/applications/my-maps.desktop"),
              "[Desktop Entry]\nExec=/usr/bin/flatpak run --branch=stable org.gnome.Maps\n");
    // Others' things that only look alike.
    test::makeFile(home("/.var/app/org.gnome.MapsExtra/data/x"), 100);
    writeText(home("/.local/share/applications/other.desktop"),
              "[Desktop Entry]\nExec=flatpak run org.gnome.Weather\n");
    writeText(home("/.local/share/applications/says-maps.desktop"),
              "[Desktop Entry]\nExec=mytool org.gnome.Maps\n");
    writeText(home("/.local/share/applications/org.gnome.Maps.Devel.desktop"),
              "[Desktop Entry]\nExec=flatpak run org.gnome.Maps.Devel\n");

    auto plan = Uninstaller::plan(maps, environment_);
    EXPECT_EQ(plan.bundleID, "org.gnome.Maps");
    EXPECT_EQ(plan.identifiers, std::vector<std::string>{"org.gnome.Maps"});
    EXPECT_FALSE(plan.isSystemApp);
    EXPECT_EQ(
        sorted(found(plan)),
        sorted({{home("/.var/app/org.gnome.Maps"), "Container", Ownership::user},
                {home("/.cache/org.gnome.Maps"), "Cache", Ownership::user},
                {home("/.config/maps"), "Preferences", Ownership::user},
                {home("/.config/autostart/org.gnome.Maps.desktop"), "Login item", Ownership::user},
                {home("/.local/share/applications/my-maps.desktop"), "Desktop entry",
                 Ownership::user}}));
    EXPECT_EQ(plan.leftovers.front().url, home("/.var/app/org.gnome.Maps")); // largest first

    auto outcome = Uninstaller::uninstall(maps, plan.leftovers, environment_);
    ASSERT_EQ(recorder_.calls.size(), 1u);
    EXPECT_EQ(
        recorder_.calls[0],
        (std::vector<std::string>{"FLATPAK_USER_DIR=" + home("/flatpak-user"), "flatpak",
                                  "uninstall", "--noninteractive", "--user", "org.gnome.Maps"}));
    EXPECT_EQ(outcome.cleaned.size(), 6u);
    EXPECT_TRUE(outcome.failures.empty());
    // flatpak removes its own files; nothing of the installation is moved by hand.
    EXPECT_TRUE(test::exists(maps.url + "/x86_64/stable/abc/files/bin/app"));
    EXPECT_TRUE(test::exists(Trash::homeTrash() + "/files/org.gnome.Maps/data/tiles.db"));
    EXPECT_FALSE(test::exists(home("/.config/autostart/org.gnome.Maps.desktop")));
    EXPECT_TRUE(test::exists(home("/.local/share/applications/other.desktop")));

    // flatpak's own message is the reason when it fails.
    recorder_.answer = {1, "error: org.gnome.Maps/x86_64/stable not installed\n"};
    auto failed = Uninstaller::uninstall(maps, {}, environment_);
    EXPECT_EQ(failures(failed),
              (std::vector<std::pair<std::string, std::string>>{
                  {"Maps", "error: org.gnome.Maps/x86_64/stable not installed"}}));
}

TEST_F(LinuxUninstallerTest, AnAppThatCouldNotBeRemovedKeepsWhatItLeft) {
    auto maps = flatpak(home("/flatpak-user"), "org.gnome.Maps", "Maps");
    test::makeFile(home("/.var/app/org.gnome.Maps/data/tiles.db"), 40'000);
    test::makeFile(home("/.config/maps/settings.ini"), 100);
    auto plan = Uninstaller::plan(maps, environment_);
    ASSERT_EQ(plan.leftovers.size(), 2u);

    // flatpak says no: the application stays installed, and so does its data.
    recorder_.answer = {1, "error: org.gnome.Maps/x86_64/stable not installed\n"};
    auto failed = Uninstaller::uninstall(maps, plan.leftovers, environment_);
    EXPECT_TRUE(failed.cleaned.empty());
    EXPECT_EQ(failures(failed),
              (std::vector<std::pair<std::string, std::string>>{
                  {"Maps", "error: org.gnome.Maps/x86_64/stable not installed"}}));
    EXPECT_TRUE(test::exists(home("/.var/app/org.gnome.Maps/data/tiles.db")));
    EXPECT_TRUE(test::exists(home("/.config/maps/settings.ini")));
    EXPECT_FALSE(test::exists(Trash::homeTrash() + "/files/org.gnome.Maps"));

    // An AppImage that cannot be moved to the Trash keeps its files too.
    auto editor = appImage("Editor.AppImage");
    test::makeFile(home("/.config/Editor/settings.ini"), 100);
    auto editorPlan = Uninstaller::plan(editor, environment_);
    ASSERT_FALSE(editorPlan.leftovers.empty());
    environment_.cleaner.moveToTrash = [](const HeldItem&) -> std::optional<std::string> {
        return "the Trash cannot be written";
    };
    auto kept = Uninstaller::uninstall(editor, editorPlan.leftovers, environment_);
    EXPECT_TRUE(kept.cleaned.empty());
    EXPECT_EQ(failures(kept).size(), 1u);
    EXPECT_TRUE(test::exists(editor.url));
    EXPECT_TRUE(test::exists(home("/.config/Editor/settings.ini")));
}

TEST_F(LinuxUninstallerTest, AFlatpakKeptToItsOwnFolderLeavesNothingByNameInTheXdgFolders) {
    auto signal = flatpak(home("/flatpak-user"), "org.signal.Signal", "Signal");
    std::string stable = signal.url + "/x86_64/stable";
    test::makeLink("abc", stable + "/active");
    writeText(stable + "/abc/metadata", "[Application]\nname=org.signal.Signal\n\n[Context]\n"
                                        "shared=network;ipc;\nfilesystems=xdg-download;!home;\n");
    test::makeFile(home("/.var/app/org.signal.Signal/config/x"), 100);
    test::makeFile(home("/.config/Signal/db.sqlite"), 10'000); // the packaged Signal's
    EXPECT_EQ(
        found(Uninstaller::plan(signal, environment_)),
        (std::vector<Found>{{home("/.var/app/org.signal.Signal"), "Container", Ownership::user}}));

    // Let into the configuration folder, by its metadata or an override, its name counts again.
    for (auto [file, text] :
         {std::pair{stable + "/abc/metadata", "[Context]\nfilesystems=xdg-config/Signal:create;\n"},
          std::pair{home("/flatpak-user/overrides/org.signal.Signal"),
                    "[Context]\nfilesystems=home;\n"}}) {
        SCOPED_TRACE(file);
        writeText(stable + "/abc/metadata", "[Context]\nfilesystems=xdg-download;\n");
        writeText(file, text);
        EXPECT_EQ(found(Uninstaller::plan(signal, environment_)).size(), 2u);
    }
}

TEST_F(LinuxUninstallerTest, AVendorsNameFindsNothingByNameInAnyLetterCase) {
    auto steam = appImage("Steam.AppImage");
    test::makeFile(home("/.local/share/steam/games.db"), 10'000);
    test::makeFile(home("/.local/share/Steam/games.db"), 10'000);
    test::makeFile(home("/.cache/mozilla/x"), 10'000);
    EXPECT_TRUE(found(Uninstaller::plan(steam, environment_)).empty());
    auto lower = appImage("mozilla.AppImage");
    EXPECT_TRUE(found(Uninstaller::plan(lower, environment_)).empty());
}

TEST_F(LinuxUninstallerTest, TheSystemsFlatpaksAreUninstalledWithAdministratorRights) {
    auto vlc = flatpak(system("/var/lib/flatpak"), "org.videolan.VLC", "VLC");
    auto outcome = Uninstaller::uninstall(vlc, {}, environment_);
    ASSERT_EQ(recorder_.calls.size(), 1u);
    EXPECT_EQ(recorder_.calls[0],
              (std::vector<std::string>{"pkexec", "/bin/sh", "-c",
                                        "flatpak uninstall --noninteractive --system "
                                        "'org.videolan.VLC'"}));
    EXPECT_EQ(names(outcome.cleaned), std::vector<std::string>{"VLC"});

    // A running Flatpak is marked and left alone.
    running_.apps.push_back({9, "org.videolan.VLC", "VLC", "", "/app/bin/vlc", true});
    EXPECT_TRUE(Uninstaller::plan(vlc, environment_).isRunning);
    auto refused = Uninstaller::uninstall(vlc, {}, environment_);
    EXPECT_EQ(failures(refused), (std::vector<std::pair<std::string, std::string>>{
                                     {"VLC", "Running — quit it first"}}));
    EXPECT_EQ(recorder_.calls.size(), 1u);
}

TEST_F(LinuxUninstallerTest, AnAppImageIsFoundByNameAndByTheEntriesThatStartItAndGoesToTheTrash) {
    auto obsidian = appImage("Obsidian-1.5.3.AppImage");
    test::makeFile(home("/.config/obsidian/Preferences"), 10'000);
    test::makeFile(home("/.local/state/Obsidian/log"), 100);
    writeText(home("/.local/share/applications/appimagekit_5f0-Obsidian.desktop"),
              "[Desktop Entry]\nExec=\"" + obsidian.url + "\" %U\n");
    writeText(home("/.config/autostart/notes.desktop"),
              "[Desktop Entry]\nExec=env OPT=1 " + obsidian.url + "\n");
    test::makeFile(home("/.config/google-chrome/Default/Login Data"), 100);
    auto chrome = appImage("Google-Chrome-x86_64.AppImage");

    auto plan = Uninstaller::plan(obsidian, environment_);
    EXPECT_FALSE(plan.bundleID);
    EXPECT_EQ(sorted(found(plan)),
              sorted({{home("/.config/obsidian"), "Preferences", Ownership::user},
                      {home("/.local/state/Obsidian"), "App state", Ownership::user},
                      {home("/.local/share/applications/appimagekit_5f0-Obsidian.desktop"),
                       "Desktop entry", Ownership::user},
                      {home("/.config/autostart/notes.desktop"), "Login item", Ownership::user}}));

    auto outcome = Uninstaller::uninstall(obsidian, plan.leftovers, environment_);
    EXPECT_EQ(outcome.cleaned.size(), 5u);
    EXPECT_TRUE(outcome.failures.empty());
    EXPECT_TRUE(recorder_.calls.empty());
    EXPECT_TRUE(test::exists(Trash::homeTrash() + "/files/Obsidian-1.5.3.AppImage"));
    EXPECT_FALSE(test::exists(obsidian.url));

    // Named like the browser: its profile is found but kept.
    auto chromePlan = Uninstaller::plan(chrome, environment_);
    EXPECT_TRUE(chromePlan.leftovers.empty());
    EXPECT_EQ(chromePlan.kept,
              (std::vector<UninstallPlan::Kept>{
                  {"~/.config/google-chrome", "Holds Chrome's saved passwords and sign-ins"}}));

    // A running AppImage (its runtime runs the file itself) is left alone.
    running_.apps.push_back({5, "", "Google-Chrome", "", chrome.url, true});
    EXPECT_TRUE(Uninstaller::plan(chrome, environment_).isRunning);
    EXPECT_EQ(failures(Uninstaller::uninstall(chrome, {}, environment_)).size(), 1u);
    EXPECT_TRUE(test::exists(chrome.url));
}

TEST_F(LinuxUninstallerTest, AnAppImageIsFoundByTheIdentifierOfTheEntryInsideIt) {
    std::string image = home("/Applications/digikam-8.2.0-x86_64.AppImage");
    ASSERT_TRUE(test::makeAppImage(
        image, {{"org.kde.digikam.desktop", "[Desktop Entry]\nName=digiKam\nIcon=digikam\n"}}));
    auto digikam = item(image, "digiKam");
    test::makeFile(home("/.cache/org.kde.digikam/thumbs.db"), 20'000);
    test::makeFile(home("/.local/share/digikam/faces.db"), 10'000);
    writeText(home("/.local/share/applications/org.kde.digikam.desktop"),
              "[Desktop Entry]\nName=digiKam\nExec=/opt/other/digikam\n");
    // The Flatpak of the same application keeps its data under its id: not this one's.
    test::makeFile(home("/.var/app/org.kde.digikam/config/digikamrc"), 1'000);

    auto plan = Uninstaller::plan(digikam, environment_);
    EXPECT_EQ(plan.bundleID, "org.kde.digikam");
    EXPECT_EQ(plan.identifiers, std::vector<std::string>{"org.kde.digikam"});
    EXPECT_EQ(sorted(found(plan)),
              sorted({{home("/.cache/org.kde.digikam"), "Cache", Ownership::user},
                      {home("/.local/share/applications/org.kde.digikam.desktop"), "Desktop entry",
                       Ownership::user},
                      {home("/.local/share/digikam"), "Application support", Ownership::user}}));

    // An image that cannot be read is known by its file name alone, as before.
    auto plain = appImage("Shotwell-0.32-x86_64.AppImage");
    EXPECT_FALSE(Uninstaller::plan(plain, environment_).bundleID);
}

TEST_F(LinuxUninstallerTest, HostileFileNamesAndIdsFindNothingOutsideTheirOwnPlaces) {
    // The folders many programs share, each with something in it.
    for (const char* shared :
         {"/.config/dconf/user", "/.config/autostart/other.desktop", "/.config/systemd/user/x",
          "/.local/share/applications/other.desktop", "/.local/share/flatpak/repo/config",
          "/.local/share/Trash/files/kept", "/.local/share/keyrings/login.keyring",
          "/.cache/thumbnails/x.png", "/.var/app/org.other.App/data/x"})
        test::makeFile(home(shared), 100);
    for (const char* file : {"..AppImage", "...AppImage", "dconf.AppImage", "Applications.AppImage",
                             "autostart.AppImage", "flatpak.AppImage", "TRASH.appimage",
                             "keyrings-2.AppImage", "a.AppImage", "-x86_64.AppImage"}) {
        auto hostile = appImage(file);
        auto plan = Uninstaller::plan(hostile, environment_);
        EXPECT_TRUE(plan.leftovers.empty()) << file << ": " << plan.leftovers.front().url;
        EXPECT_TRUE(plan.kept.empty()) << file;
    }
    // A path that only climbs out of an installation is not a Flatpak of it.
    test::makeFolder(home("/flatpak-user/app"));
    auto climbing = item(home("/flatpak-user/app/../../.var/app"), "app");
    EXPECT_FALSE(LinuxApplications::identify(climbing.url, places_));
    auto dotted = item(home("/flatpak-user/app/.."), "..");
    EXPECT_FALSE(LinuxApplications::identify(dotted.url, places_));
    EXPECT_TRUE(recorder_.calls.empty());
}

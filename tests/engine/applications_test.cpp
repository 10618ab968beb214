#include <fcntl.h>
#include <fstream>
#include <map>
#include <sqlite3.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "engine/applications.h"
#include "engine/models.h"
#include "engine/scanner.h"
#include "platform/running_apps.h"
#include "support/applications.h"
#include "support/fixture.h"

using namespace bramwick;
using namespace std::chrono;

namespace {

class FakeRunning : public RunningApplications {
  public:
    std::vector<RunningApplication> apps;
    std::vector<RunningApplication> list() const override { return apps; }
    bool activate(const RunningApplication&) override { return false; }
    std::optional<std::string> requestQuit(const RunningApplication&) override { return "no"; }
};

void makeApp(const std::string& path, const std::string& identifier,
             const std::string& executable = {}) {
    std::string plist = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>";
    if (!identifier.empty())
        plist += "<key>CFBundleIdentifier</key><string>" + identifier + "</string>";
    if (!executable.empty())
        plist += "<key>CFBundleExecutable</key><string>" + executable + "</string>";
    plist += "</dict></plist>";
    test::makeFile(path + "/Contents/Info.plist", 0);
    std::ofstream(path + "/Contents/Info.plist") << plist;
    test::makeFile(path + "/Contents/MacOS/" + (executable.empty() ? "bin" : executable), 20'000);
}

void setAccessed(const std::string& path, Date when) {
    auto s = duration_cast<seconds>(when.time_since_epoch()).count();
    struct timespec times[2] = {{s, 0}, {0, UTIME_OMIT}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

void makeUsageDatabase(const std::string& path,
                       const std::vector<std::tuple<const char*, double, const char*>>& rows) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE ZOBJECT (ZVALUESTRING TEXT, ZENDDATE REAL, ZSTREAMNAME TEXT)",
                 nullptr, nullptr, nullptr);
    for (const auto& [value, date, stream] : rows) {
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO ZOBJECT VALUES (?, ?, ?)", -1, &insert, nullptr);
        if (value) sqlite3_bind_text(insert, 1, value, -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(insert, 2, date);
        sqlite3_bind_text(insert, 3, stream, -1, SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_finalize(insert);
    }
    sqlite3_close(db);
}

double referenceSeconds(Date date) {
    return secondsSinceReferenceDate(date);
}

class ApplicationsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::clearHome();
        sources_.roots = {"~/System Applications", "~/Applications"};
        sources_.usageDatabase = "~/knowledge.db";
        sources_.running = &running_;
        sources_.ownBundle = home("/Applications/Bramwick Copy.app");
    }
    std::string home(const std::string& rest) { return test::home() + rest; }
    FakeRunning running_;
    Scanner::ApplicationSources sources_;
};

} // namespace

TEST_F(ApplicationsTest, ListsBundlesWithTheirLatestUse) {
    Date now = system_clock::now();
    makeApp(home("/System Applications/Maps.app"), "com.example.maps", "Maps");
    makeApp(home("/Applications/Maps.app"), "com.example.maps2", "Maps");
    makeApp(home("/Applications/Notes.app"), "com.example.notes", "Notes");
    makeApp(home("/Applications/Never.app"), "com.example.never");
    makeApp(home("/Applications/Ours.app"), "app.bramwick.Bramwick");
    makeApp(home("/Applications/Bramwick Copy.app"), "");
    makeApp(home("/Applications/Wrapped.app/Wrapper/Inner.app"), "com.example.wrapped", "Inner");
    test::makeFile(home("/Applications/Wrapped.app/Wrapper/data.bin"), 10'000);
    makeApp(home("/Applications/Utilities/Deep.app"), "com.example.deep");
    makeApp(home("/Applications/Loud.APP"), "com.example.loud");
    test::makeLink(home("/Applications/Notes.app"), home("/Applications/Alias.app"));

    // Notes: the database says 3 days ago, its executable was read 10 days ago: the later wins.
    setAccessed(home("/Applications/Notes.app/Contents/MacOS/Notes"), now - hours(240));
    setAccessed(home("/System Applications/Maps.app/Contents/MacOS/Maps"), now - hours(2));
    setAccessed(home("/Applications/Maps.app/Contents/MacOS/Maps"), now - hours(24 * 400));
    setAccessed(home("/Applications/Wrapped.app/Wrapper/Inner.app/Contents/MacOS/Inner"),
                now - hours(24 * 400));
    makeUsageDatabase(home("/knowledge.db"),
                      {{"com.example.notes", referenceSeconds(now - hours(72)), "/app/usage"},
                       {"com.example.maps2", referenceSeconds(now - hours(500)), "/app/inFocus"},
                       {"com.example.wrapped", referenceSeconds(now - hours(48)), "/app/usage"},
                       {"com.example.never", referenceSeconds(now), "/other/stream"},
                       {nullptr, referenceSeconds(now), "/app/usage"}});
    running_.apps.push_back(
        {42, "com.example.maps", "Maps", home("/System Applications/Maps.app/"), "", true});

    auto apps = Scanner::applications(sources_);
    std::vector<std::string> ids;
    for (const auto& app : apps)
        ids.push_back(app.id);
    EXPECT_EQ(ids, (std::vector<std::string>{
                       home("/System Applications/Maps.app"), home("/Applications/Maps.app"),
                       home("/Applications/Never.app"), home("/Applications/Notes.app"),
                       home("/Applications/Wrapped.app")}));
    std::map<std::string, ScanItem> byId;
    for (const auto& app : apps)
        byId[app.id] = app;

    const auto& runningMaps = byId.at(home("/System Applications/Maps.app"));
    EXPECT_EQ(runningMaps.name, "Maps");
    EXPECT_EQ(runningMaps.note, "Running — quit it first · Last opened 2 hours ago");
    EXPECT_GT(runningMaps.size, 0);
    EXPECT_EQ(byId.at(home("/Applications/Maps.app")).note, "Last opened 2 weeks ago");
    EXPECT_EQ(byId.at(home("/Applications/Notes.app")).note, "Last opened 3 days ago");
    EXPECT_EQ(byId.at(home("/Applications/Wrapped.app")).note, "Last opened 2 days ago");
    const auto& never = byId.at(home("/Applications/Never.app"));
    EXPECT_EQ(never.note, "No record of being opened");
    EXPECT_FALSE(never.lastUsed);
    ASSERT_TRUE(byId.at(home("/Applications/Notes.app")).lastUsed);
    EXPECT_NEAR(duration<double>(now - *byId.at(home("/Applications/Notes.app")).lastUsed).count(),
                72 * 3600, 2);
}

TEST_F(ApplicationsTest, UnusedApplicationsByDays) {
    Date now = system_clock::now();
    auto used = [&](std::optional<Date> when) {
        ScanItem item;
        item.id = item.url = "/x";
        item.lastUsed = when;
        return item;
    };
    std::vector<ScanItem> apps{used(now - hours(24 * 10)), used(std::nullopt),
                               used(now - hours(24 * 200))};
    EXPECT_EQ(Scanner::unusedApplications(apps, 11).size(), 2u);
    EXPECT_EQ(Scanner::unusedApplications(apps, 9).size(), 3u);
    EXPECT_EQ(Scanner::unusedApplications(apps, 300).size(), 1u)
        << "no record always counts as unused";
    EXPECT_EQ(Scanner::unusedApplications(apps, 300)[0].lastUsed, std::nullopt);
    EXPECT_TRUE(Scanner::unusedApplications({}, 100).empty());
    EXPECT_EQ(Scanner::unusedApplications(apps, std::numeric_limits<std::int64_t>::max()).size(),
              1u);
}

TEST_F(ApplicationsTest, AMissingOrForeignDatabaseAddsNothing) {
    EXPECT_TRUE(Scanner::appUsageHistory("~/missing.db").empty());
    test::makeFile(home("/garbage.db"), 5000, 'g');
    EXPECT_TRUE(Scanner::appUsageHistory("~/garbage.db").empty());
    sqlite3* db = nullptr;
    sqlite3_open(home("/other.db").c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE T (A TEXT)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_TRUE(Scanner::appUsageHistory("~/other.db").empty());
}

namespace {

// A deployed Flatpak application: its files under <installation>/app/<id>, the "current" link,
// and (when named) its exported desktop entry.
void makeFlatpak(const std::string& installation, const std::string& id, const std::string& name,
                 std::size_t bytes = 30'000) {
    std::string app = installation + "/app/" + id;
    test::makeFile(app + "/x86_64/stable/0123abcd/files/bin/" + id, bytes);
    test::makeLink("x86_64/stable", app + "/current");
    test::makeLink("0123abcd", app + "/x86_64/stable/active");
    if (!name.empty()) {
        test::makeFile(installation + "/exports/share/applications/" + id + ".desktop", 0);
        std::ofstream(installation + "/exports/share/applications/" + id + ".desktop")
            << "[Desktop Entry]\nName=" << name << "\nIcon=" << id << "\nExec=flatpak run " << id
            << "\n";
    }
}

void setModified(const std::string& path, Date when) {
    auto s = duration_cast<seconds>(when.time_since_epoch()).count();
    struct timespec times[2] = {{0, UTIME_OMIT}, {s, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

} // namespace

TEST_F(ApplicationsTest, ListsFlatpaksOfBothInstallationsAndAppImages) {
    Date now = system_clock::now();
    std::string user = home("/flatpak-user");
    std::string system = home("/flatpak-system");
    makeFlatpak(user, "org.gnome.Maps", "Maps");
    makeFlatpak(user, "org.example.Quiet", ""); // no desktop entry: the id
    makeFlatpak(system, "org.videolan.VLC", "VLC media player");
    makeFlatpak(user, "app.bramwick.Bramwick", "Bramwick"); // ourselves
    test::makeFile(user + "/app/org.example.Undeployed/x86_64/stable/files/x", 10'000);
    test::makeFolder(user + "/app/not-an-id");
    test::makeFile(home("/Applications/Krita-5.2.2-x86_64.AppImage"), 40'000);
    test::makeFile(home("/.local/bin/nvim.appimage"), 20'000);
    test::makeFile(home("/.local/bin/tool"), 20'000);
    test::makeLink(home("/Applications/Krita-5.2.2-x86_64.AppImage"),
                   home("/Applications/Linked.AppImage"));
    test::makeFolder(home("/Applications/Folder.AppImage"));

    // Maps: its data folder was written 3 days ago, the desktop saw it 30 days ago.
    std::string data = home("/.var/app/org.gnome.Maps");
    test::makeFile(data + "/config/maps.conf", 100);
    setModified(data + "/config", now - hours(72));
    setModified(data, now - hours(24 * 40));
    test::makeFile(home("/application_state"), 0);
    std::ofstream(home("/application_state"))
        << "<?xml version=\"1.0\"?>\n<application-state>\n  <context id=\"\">\n"
        << "    <application id=\"org.gnome.Maps.desktop\" open-window-count=\"0\" score=\"5\" "
           "last-seen=\""
        << duration_cast<seconds>((now - hours(24 * 30)).time_since_epoch()).count() << "\"/>\n"
        << "    <application id=\"org.videolan.VLC.desktop\" score=\"1\" last-seen=\""
        << duration_cast<seconds>((now - hours(48)).time_since_epoch()).count() << "\"/>\n"
        << "  </context>\n</application-state>\n";
    setAccessed(home("/Applications/Krita-5.2.2-x86_64.AppImage"), now - hours(24 * 200));
    running_.apps.push_back({7, "org.gnome.Maps", "Maps", "", "/app/bin/maps", true});

    LinuxApplications::Places places;
    places.flatpak = {{user, false}, {system, true}};
    places.appImageFolders = {"~/Applications", "~/AppImages", "~/.local/bin"};
    places.flatpakData = "~/.var/app";
    places.usageRecord = "~/application_state";
    sources_.linuxPlaces = places;

    std::map<std::string, ScanItem> byId;
    for (auto& app : Scanner::applications(sources_))
        byId[app.id] = app;
    std::vector<std::string> ids;
    for (const auto& [id, item] : byId)
        ids.push_back(id);
    EXPECT_EQ(ids, (std::vector<std::string>{home("/.local/bin/nvim.appimage"),
                                             home("/Applications/Krita-5.2.2-x86_64.AppImage"),
                                             system + "/app/org.videolan.VLC",
                                             user + "/app/org.example.Quiet",
                                             user + "/app/org.gnome.Maps"}));

    const auto& maps = byId.at(user + "/app/org.gnome.Maps");
    EXPECT_EQ(maps.name, "Maps");
    EXPECT_EQ(maps.note, "Running — quit it first · Last opened 3 days ago");
    EXPECT_EQ(maps.size, Scanner::allocatedSize(user + "/app/org.gnome.Maps"));
    EXPECT_EQ(maps.command,
              (std::vector<std::string>{"FLATPAK_USER_DIR=" + user, "flatpak", "uninstall",
                                        "--noninteractive", "--user", "org.gnome.Maps"}));
    const auto& vlc = byId.at(system + "/app/org.videolan.VLC");
    EXPECT_EQ(vlc.name, "VLC media player");
    EXPECT_EQ(vlc.note, "Last opened 2 days ago");
    EXPECT_EQ(vlc.command, (std::vector<std::string>{"pkexec", "/bin/sh", "-c",
                                                     "flatpak uninstall --noninteractive --system "
                                                     "'org.videolan.VLC'"}));
    EXPECT_EQ(byId.at(user + "/app/org.example.Quiet").name, "org.example.Quiet");
    EXPECT_EQ(byId.at(user + "/app/org.example.Quiet").note, "No record of being opened");

    const auto& krita = byId.at(home("/Applications/Krita-5.2.2-x86_64.AppImage"));
    EXPECT_EQ(krita.name, "Krita");
    EXPECT_FALSE(krita.command); // moved to the Trash like a bundle
    ASSERT_TRUE(krita.lastUsed);
    EXPECT_NEAR(duration<double>(now - *krita.lastUsed).count(), 200 * 86400.0, 2);
    EXPECT_EQ(byId.at(home("/.local/bin/nvim.appimage")).name, "nvim");
}

TEST(LinuxApplications, IdsAndNames) {
    for (const char* good : {"org.gnome.Maps", "com.github.a_b.Tool-2", "io.x.y.z"})
        EXPECT_TRUE(LinuxApplications::isFlatpakId(good)) << good;
    for (const char* bad :
         {"", "org.gnome", "org..Maps", "org.gnome.", ".org.gnome.Maps", "org.1gnome.Maps",
          "org.gno-me.Maps", "-org.gnome.Maps", "org.gnome.Maps/../x", "org.gnome.M aps", "..",
          "org.gnome.Map\xc3\xa9"})
        EXPECT_FALSE(LinuxApplications::isFlatpakId(bad)) << bad;
    struct Case {
        const char* file;
        const char* name;
    } cases[] = {{"Obsidian-1.5.3.AppImage", "Obsidian"},
                 {"balenaEtcher-1.18.11-x64.AppImage", "balenaEtcher"},
                 {"FreeCAD_0.21.2-Linux-x86_64.AppImage", "FreeCAD"},
                 {"kdenlive-v23.08.appimage", "kdenlive"},
                 {"nvim.appimage", "nvim"},
                 {"Super Tool-x86_64.AppImage", "Super Tool"},
                 {"3D-Viewer.AppImage", "3D-Viewer"}};
    for (const auto& c : cases)
        EXPECT_EQ(LinuxApplications::appImageName(c.file), c.name) << c.file;
}

TEST_F(ApplicationsTest, AnAppImageIsNamedByTheDesktopEntryInsideIt) {
    Date now = system_clock::now();
    std::string image = home("/Applications/digikam-8.2.0-x86_64.AppImage");
    ASSERT_TRUE(test::makeAppImage(
        image, {{"org.kde.digikam.desktop",
                 "[Desktop Entry]\nType=Application\nName= digiKam \nIcon=digikam\n"}}));
    // Not of the reverse-DNS form: an id this platform could not trust to name its folders.
    std::string tool = home("/Applications/tool.AppImage");
    ASSERT_TRUE(test::makeAppImage(tool, {{"tool.desktop", "[Desktop Entry]\nName=The Tool\n"}}));
    test::makeFile(home("/Applications/Shotwell-0.32-x86_64.AppImage"), 30'000); // unreadable
    setAccessed(image, now - hours(24 * 200));

    LinuxApplications::Places places;
    places.appImageFolders = {"~/Applications"};
    sources_.linuxPlaces = places;
    std::map<std::string, ScanItem> byPath;
    for (auto& app : Scanner::applications(sources_))
        byPath[app.url] = app;
    EXPECT_EQ(byPath.at(image).name, "digiKam");
    EXPECT_EQ(byPath.at(tool).name, "The Tool");
    EXPECT_EQ(byPath.at(home("/Applications/Shotwell-0.32-x86_64.AppImage")).name, "Shotwell");
    // Reading the image is not using it.
    ASSERT_TRUE(byPath.at(image).lastUsed);
    EXPECT_NEAR(duration<double>(now - *byPath.at(image).lastUsed).count(), 200 * 86400.0, 2);

    auto digikam = LinuxApplications::identify(image, places);
    ASSERT_TRUE(digikam);
    EXPECT_EQ(digikam->id, "org.kde.digikam");
    EXPECT_EQ(digikam->icon, "digikam");
    EXPECT_FALSE(LinuxApplications::identify(tool, places)->id);
}

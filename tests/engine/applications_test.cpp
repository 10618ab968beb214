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

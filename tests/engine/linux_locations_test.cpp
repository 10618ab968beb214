#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "base/edition.h"
#include "base/unique_fd.h"
#include "engine/auto_clean.h"
#include "engine/catalog.h"
#include "engine/cleaner.h"
#include "engine/linux_locations.h"
#include "engine/scanner.h"
#include "engine/user_folders.h"
#include "platform/files.h"
#include "platform/settings.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {
bool lists(const std::string& id, const std::string& path) {
    const auto& paths = Catalog::find(id)->source.paths;
    return std::find(paths.begin(), paths.end(), path) != paths.end();
}
} // namespace

TEST(LinuxLocations, RowsGainTheirLinuxPlacesAfterTheListedOnes) {
    struct Case {
        const char* id;
        const char* path;
    } cases[] = {
        {"app-caches", "~/.var/app/*/cache"},
        {"chrome-cache", "~/.cache/google-chrome"},
        {"chrome-cache", "~/.cache/chromium"},
        {"yarn", "~/.cache/yarn"},
        {"yarn", "~/.local/share/pnpm/store"},
        {"homebrew", "~/.cache/Homebrew"},
        {"python-user", "~/.local/lib/python3.*"},
        {"claude-desktop", "~/.config/Claude/Code Cache"},
        {"app-containers", "~/.var/app"},
        {"chrome-profile", "~/.config/google-chrome"},
        {"chrome-profile", "~/.var/app/com.google.Chrome/config/google-chrome"},
        {"app-support", "~/.local/share"},
        {"large-files", "~/Videos"},
        {"duplicates", "~/Videos"},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(lists(c.id, c.path)) << c.id << " " << c.path;
    // The listed paths stay first and the same.
    EXPECT_EQ(Catalog::find("chrome-cache")->source.paths.front(), "~/Library/Caches/Google");
    EXPECT_EQ(Catalog::find("dot-cache")->source.paths, std::vector<std::string>{"~/.cache"});
    // Data that cannot be rebuilt never joins a safe row.
    for (const auto& category : Catalog::all()) {
        if (category.risk != Risk::safe) continue;
        for (const auto& path : category.source.paths)
            EXPECT_FALSE(path.starts_with("~/.config/google-chrome") ||
                         path.starts_with("~/.var/app/com.google.Chrome/config"))
                << category.id << " " << path;
    }
    const auto& busy = Catalog::find("chrome-cache")->busyApps;
    for (const char* id : {"com.google.Chrome", "google-chrome", "chromium"})
        EXPECT_NE(std::find(busy.begin(), busy.end(), id), busy.end()) << id;
    // Flatpaks are uninstalled, not trashed: the row says so.
    EXPECT_EQ(Catalog::find("applications")
                  ->action.sentence.find("Flatpak applications will be "
                                         "uninstalled for good"),
              0u);
}

TEST(LinuxLocations, BaseFoldersStayInTheSandboxHome) {
    // BRAMWICK_HOME is set for every test: the XDG variables must not lead out of it.
    test::EnvironmentChange cache("XDG_CACHE_HOME", "/elsewhere/cache");
    test::EnvironmentChange config("XDG_CONFIG_HOME", "/elsewhere/config");
    EXPECT_EQ(LinuxLocations::resolve("$CACHE/yarn"), "~/.cache/yarn");
    EXPECT_EQ(LinuxLocations::resolve("$CONFIG"), "~/.config");
    EXPECT_EQ(LinuxLocations::resolve("$STATE/x"), "~/.local/state/x");
    EXPECT_EQ(LinuxLocations::resolve("$CACHEX/y"), "$CACHEX/y");
    EXPECT_EQ(LinuxLocations::resolve("/var/tmp"), "/var/tmp");
}

TEST(LinuxLocations, ProfilesAndSharedFoldersAreNeverRemoved) {
    const auto& home = Edition::home();
    for (const char* refused : {"/.config/google-chrome", "/.config/chromium/Default/Login Data",
                                "/.var/app/com.google.Chrome/config/google-chrome/Default",
                                "/.var/app", "/.local/share/flatpak", "/.local/share/applications",
                                "/.config/autostart", "/.local/bin", "/Applications"})
        EXPECT_FALSE(Cleaner::isRemovable(home + refused)) << refused;
    for (const char* allowed : {"/.cache/google-chrome", "/.var/app/org.gnome.Maps",
                                "/.local/share/applications/x.desktop"})
        EXPECT_TRUE(Cleaner::isRemovable(home + allowed)) << allowed;
    // A Flatpak browser's data folder goes only while it holds no profile.
    std::string flatpakChrome = home + "/.var/app/com.google.Chrome";
    test::makeFolder(flatpakChrome + "/cache");
    EXPECT_TRUE(Cleaner::isRemovable(flatpakChrome));
    test::makeFolder(flatpakChrome + "/config/google-chrome");
    EXPECT_FALSE(Cleaner::isRemovable(flatpakChrome));
    EXPECT_FALSE(Cleaner::isRemovable(flatpakChrome + "/config"));
    EXPECT_TRUE(Cleaner::isRemovable(flatpakChrome + "/cache"));
    test::removeTree(flatpakChrome);
}

TEST(UserFolders, ReadsTheDesktopsOwnFolderNames) {
    std::string text = "# written by xdg-user-dirs-update\n"
                       "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n"
                       "XDG_DOWNLOAD_DIR=\"$HOME/T\u00e9l\u00e9chargements\"\n"
                       "  XDG_PICTURES_DIR=\"/data/Bilder\"\n"
                       "XDG_MUSIC_DIR=\"$HOME/\"\n"       // switched off: the home itself
                       "XDG_VIDEOS_DIR=\"$HOME\"\n"       // likewise
                       "XDG_TEMPLATES_DIR=\"Vorlagen\"\n" // neither $HOME nor absolute
                       "XDG_PUBLICSHARE_DIR=\"/\"\n"      // the root
                       "XDG_ABOVE_DIR=\"$HOME/..\"\n"     // a folder above the home
                       "XDG_STARRED_DIR=\"$HOME/dl*\"\n"  // would read as a pattern
                       "XDG_SYSTEM_DIR=\"/var/lib\"\n"    // the system's own
                       "XDG_SHARED_DIR=\"/tmp\"\n"        // everyone's
                       "XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Docs\\\"\"\n"
                       "XDG_BROKEN_DIR=\"$HOME/unclosed\n"
                       "OTHER=\"$HOME/x\"\n";
    auto folders = UserFolders::parse(text, "/home/ana");
    std::map<std::string, std::string> expected{{"DESKTOP", "/home/ana/Bureau"},
                                                {"DOWNLOAD", "/home/ana/T\u00e9l\u00e9chargements"},
                                                {"PICTURES", "/data/Bilder"},
                                                {"DOCUMENTS", "/home/ana/My \"Docs\""}};
    EXPECT_EQ(folders, expected);
    EXPECT_TRUE(UserFolders::parse("", "/home/ana").empty());
}

TEST(Files, PatternsStandForTheFoldersThatFit) {
    std::string base = test::makeTemporaryFolder("patterns");
    test::makeFolder(base + "/app/org.a.B/cache");
    test::makeFolder(base + "/app/org.c.D/cache");
    test::makeFolder(base + "/app/org.e.F");                   // no cache
    test::makeFolder(base + "/app/.hidden/cache");             // hidden names are not matched by *
    test::makeFile(base + "/app/file/cache", 10);              // "file" is a folder here, fine
    test::makeFile(base + "/app/plain", 10);                   // a file, not a folder
    test::makeLink(base + "/app/org.a.B", base + "/app/link"); // a link is never followed
    test::makeFolder(base + "/lib/python3.11");
    test::makeFolder(base + "/lib/python2.7");
    EXPECT_EQ(Files::matching(base + "/app/*/cache"),
              (std::vector<std::string>{base + "/app/file/cache", base + "/app/org.a.B/cache",
                                        base + "/app/org.c.D/cache"}));
    EXPECT_EQ(Files::matching(base + "/lib/python3.*"),
              std::vector<std::string>{base + "/lib/python3.11"});
    EXPECT_EQ(Files::matching(base + "/lib"), std::vector<std::string>{base + "/lib"});
    EXPECT_TRUE(Files::matching(base + "/none/*").empty());

    EXPECT_TRUE(Files::matchesPattern("/h/.var/app/x/cache", "/h/.var/app/*/cache"));
    EXPECT_FALSE(Files::matchesPattern("/h/.var/app/x/y/cache", "/h/.var/app/*/cache"));
    EXPECT_FALSE(Files::matchesPattern("/h/.var/app/.x/cache", "/h/.var/app/*/cache"));
    EXPECT_TRUE(Files::matchesPattern("/l/python3.12", "/l/python3.*"));
    EXPECT_FALSE(Files::matchesPattern("/l/python2.7", "/l/python3.*"));
    test::removeTree(base);
}

TEST(LinuxLocations, ARunningBrowserHoldsBackItsCacheByItsDesktopId) {
    Settings settings{test::home() + "/linux-settings.json"};
    for (const char* id : {"google-chrome", "chromium", "org.chromium.Chromium"}) {
        RunningApplication browser;
        browser.pid = 5;
        browser.bundleIdentifier = id;
        browser.name = "Browser";
        auto plan = AutoClean::plan(Catalog::all(), {browser}, settings);
        EXPECT_NE(std::find(plan.skipped.begin(), plan.skipped.end(),
                            AutoClean::Skip{"Google Chrome Cache", "Browser is open"}),
                  plan.skipped.end())
            << id;
    }
}

TEST(LinuxLocations, TheSessionLogIsOneOfTheLogs) {
    test::clearHome();
    const auto& home = Edition::home();
    test::makeFile(home + "/.xsession-errors", 20'000);
    test::makeFile(home + "/.xsession-errors.old", 8'000);
    test::makeFile(home + "/.local/share/xorg/Xorg.0.log", 4'000);
    const CleanupCategory& logs = *Catalog::find("user-logs");
    auto names = [&] {
        std::vector<std::string> out;
        for (const auto& item : Scanner::items(logs))
            out.push_back(item.name);
        return out;
    };
    EXPECT_EQ(names(),
              (std::vector<std::string>{".xsession-errors", ".xsession-errors.old", "Xorg.0.log"}));
    EXPECT_EQ(Catalog::claimedPaths().at(home + "/.xsession-errors"), "user-logs");

    // The running session appends to its log: the clean empties it where it is, so what the
    // session writes next is still there to read, and only what it held counts as freed.
    const std::string live = home + "/.xsession-errors";
    UniqueFd session(::open(live.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
    ASSERT_TRUE(session);
    auto items = Scanner::items(logs);
    struct stat before {};
    ASSERT_EQ(::lstat(live.c_str(), &before), 0);
    auto outcome = Cleaner::clean(items, logs);
    EXPECT_EQ(outcome.failures.size(), 0u);
    struct stat after {};
    ASSERT_EQ(::lstat(live.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_size, 0);
    ASSERT_EQ(::write(session.get(), "later\n", 6), 6);
    EXPECT_EQ(test::readFile(live), "later\n");
    ASSERT_EQ(outcome.cleaned.size(), 3u);
    EXPECT_EQ(outcome.cleaned[0].url, live);
    EXPECT_EQ(outcome.cleaned[0].size, static_cast<std::int64_t>(before.st_blocks) * 512);
    EXPECT_FALSE(test::exists(home + "/.xsession-errors.old"));
    EXPECT_FALSE(test::exists(home + "/.local/share/xorg/Xorg.0.log"));
    EXPECT_TRUE(test::exists(home + "/.local/share/xorg")) << "the folder stays, emptied";

    // Another file put in its place since the scan is not emptied.
    session.reset();
    test::makeFile(live, 20'000);
    items = Scanner::items(logs);
    test::makeFile(home + "/other", 30'000, 'o');
    ASSERT_EQ(::rename((home + "/other").c_str(), live.c_str()), 0);
    outcome = Cleaner::clean(items, logs);
    EXPECT_TRUE(outcome.cleaned.empty());
    ASSERT_EQ(outcome.failures.size(), 1u);
    EXPECT_EQ(outcome.failures[0].reason,
              "~/.xsession-errors changed after it was chosen, so it was left alone");
    EXPECT_EQ(test::readFile(live), std::string(30'000, 'o'));
    ASSERT_EQ(::unlink(live.c_str()), 0);

    // A link in its place is not the session's log: neither it nor what it leads to is listed.
    test::makeFile(home + "/Documents/notes.txt", 9'000);
    test::makeLink(home + "/Documents/notes.txt", home + "/.xsession-errors");
    EXPECT_EQ(names(), std::vector<std::string>{});
}

TEST(LinuxLocations, TheWordsNameThePlacesSearchedHere) {
    const auto& home = Edition::home();
    const std::map<std::string, std::string> french{
        {"DOWNLOAD", home + "/T\u00e9l\u00e9chargements"},
        {"DESKTOP", home + "/Bureau"},
        {"VIDEOS", "/srv/media/Vid\u00e9os"},
        {"PICTURES", home + "/Images"}};
    struct Case {
        const char* id;
        const char* written; // the catalog's summary (the info for duplicates)
        std::map<std::string, std::string> folders;
        const char* here;
    } cases[] = {
        {"large-files",
         "Files over 200 MB in Downloads, Desktop, Documents and Movies.",
         {},
         "Files over 200 MB in Downloads, Desktop, Documents and Videos."},
        {"large-files", "Files over 200 MB in Downloads, Desktop, Documents and Movies.", french,
         "Files over 200 MB in T\u00e9l\u00e9chargements, Bureau, Documents and "
         "/srv/media/Vid\u00e9os."},
        {"downloads", "Everything in ~/Downloads.", {}, "Everything in ~/Downloads."},
        {"downloads", "Everything in ~/Downloads.", french,
         "Everything in ~/T\u00e9l\u00e9chargements."},
        {"duplicates",
         "Files whose contents match byte for byte, over 1 MB, in Downloads, "
         "Desktop, Documents, Movies, Pictures and Music. Matched on size",
         french,
         "Files whose contents match byte for byte, over 1 MB, in T\u00e9l\u00e9chargements, "
         "Bureau, Documents, /srv/media/Vid\u00e9os, Images and Music. Matched on size"},
        {"python-user",
         "Packages installed with pip --user (~/Library/Python).",
         {},
         "Packages installed with pip --user (~/.local/lib/python3.*)."},
        {"project-artifacts",
         "node_modules, Pods, build, .dart_tool and .next inside ~/Projects.",
         {},
         "node_modules, Pods, build, .dart_tool and .next inside ~/Projects, ~/projects, ~/src, "
         "~/code, ~/dev, ~/git, ~/repos and ~/workspace."},
        {"temp",
         "System-managed temporary files (/var/folders).",
         {},
         "System-managed temporary files (/var/tmp)."},
        {"dot-cache",
         "Downloads cached by command-line tools (~/.cache).",
         {},
         "Downloads cached by command-line tools (~/.cache)."},
        // A row that looks in no place here keeps its words.
        {"codex-checkouts", "Dated project copies from past Codex sessions (~/Documents/Codex).",
         french, "Dated project copies from past Codex sessions (~/Documents/Codex)."},
    };
    for (const auto& c : cases) {
        std::vector<CleanupCategory> rows(1);
        rows[0].id = c.id;
        (std::string_view(c.id) == "duplicates" ? rows[0].info : rows[0].summary) = c.written;
        LinuxLocations::nameLinuxPlaces(rows, c.folders);
        EXPECT_EQ(std::string_view(c.id) == "duplicates" ? rows[0].info : rows[0].summary, c.here)
            << c.id;
    }

    // As the catalog has them: no row that looks in a Linux place names one of the other
    // platform's, and the rest of each text stays as it was.
    for (const auto& [id, addition] : LinuxLocations::table()) {
        const CleanupCategory& row = *Catalog::find(id);
        for (const std::string* text : {&row.summary, &row.info, &row.action.advice})
            for (const char* elsewhere :
                 {"~/Library", "/private/", "/var/folders", "Movies", "Finder", "your Mac"})
                EXPECT_EQ(text->find(elsewhere), std::string::npos) << id << ": " << *text;
    }
    EXPECT_EQ(Catalog::find("claude-scratchpads")->summary,
              "Folders left behind by earlier Claude Code sessions (~/tmp/claude-" +
                  std::to_string(::getuid()) + ").");
    EXPECT_TRUE(Catalog::find("chrome-profile")
                    ->info.starts_with("~/.config/google-chrome and ~/.config/chromium (and their "
                                       "Flatpak and snap copies) "
                                       "hold your Chrome and Chromium profiles \u2014 saved"));
    EXPECT_TRUE(Catalog::find("chrome-profile")
                    ->info.ends_with("extensions. Deleting them would sign you out of every site "
                                     "and lose any passwords not "
                                     "synced to your Google account, so Bramwick refuses to touch "
                                     "them. Google Chrome Cache is "
                                     "the part that is safe to clean."));
    const CleanupCategory& temp = *Catalog::find("temp");
    EXPECT_EQ(temp.info, "The system and its programs keep files here that are meant to outlast a "
                         "restart, and have them open while they run. Deleting from here can "
                         "crash them.");
    EXPECT_EQ(temp.action.advice,
              "A restart does not clear /var/tmp: the system keeps it, unlike /tmp, which is "
              "usually emptied at startup. Some systems remove what has gone unused there for 30 "
              "days; otherwise delete only what you know is yours.");
    EXPECT_EQ(temp.name, "macOS Temp Data");
    EXPECT_EQ(temp.action.kind, CleanAction::Kind::reviewOnly);
    EXPECT_TRUE(Catalog::find("app-support")
                    ->action.advice.starts_with("Open ~/.local/share in your file manager to see "
                                                "what is there. Remove a folder only when"));
}

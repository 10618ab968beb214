#include <fstream>
#include <functional>
#include <map>
#include <sched.h>
#include <stdexcept>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "base/edition.h"
#include "base/ending.h"
#include "base/unique_fd.h"
#include "engine/admin_removal.h"
#include "engine/catalog.h"
#include "engine/cleaner.h"
#include "engine/scanner.h"
#include "platform/admin.h"
#include "platform/files.h"
#include "platform/safe_delete.h"
#include "platform/trash.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {

ScanItem item(const std::string& path) {
    ScanItem i;
    i.id = path;
    i.url = path;
    i.name = Scanner::lastComponent(path);
    return i;
}

CleanupCategory withAction(CleanAction::Kind kind) {
    CleanupCategory c;
    c.id = "test";
    c.action.kind = kind;
    return c;
}

std::vector<std::string> paths(const std::vector<ScanItem>& items) {
    std::vector<std::string> out;
    for (const auto& i : items)
        out.push_back(i.url);
    return out;
}

std::vector<std::pair<std::string, std::string>> failures(const Cleaner::Outcome& outcome) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& f : outcome.failures)
        out.emplace_back(f.item.url, f.reason);
    return out;
}

// Runs `body` in a child process (so that what it sets up dies with it) and gives its exit status;
// 77 means the child could not set up what the test needs.
int inChild(const std::function<bool()>& body) {
    pid_t child = ::fork();
    if (child == 0) ::_exit(body() ? 0 : 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A command runner that records what it was asked and answers as told.
struct FakeRunner {
    std::vector<std::vector<std::string>> calls;
    std::vector<double> limits;
    std::function<Shell::Result(const std::vector<std::string>&)> answer = [](const auto&) {
        return Shell::Result{0, ""};
    };
    Shell::Runner runner() {
        return [this](const std::vector<std::string>& arguments, double limit) {
            calls.push_back(arguments);
            limits.push_back(limit);
            return answer(arguments);
        };
    }
};

// Stands in for pkexec: records the lists it is given and, by default, carries them out with the
// administrator's own removal, as the current user, with the fixture home as the one place it
// may reach.
struct FakeAdministrator {
    std::vector<std::string> lists;
    std::vector<double> limits;
    std::function<Shell::Result(const std::string&)> answer = [](const std::string& list) {
        return AdminRemoval::removeListed(list, {{test::home()}, {}}, "/opt/Bramwick.app");
    };
    Cleaner::Administrator administrator() {
        return [this](const std::string& list, double limit) {
            lists.push_back(list);
            limits.push_back(limit);
            return answer(list);
        };
    }
};

class CleanerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::clearHome();
        outside_ = test::makeTemporaryFolder("outside");
    }
    void TearDown() override { test::removeTree(outside_); }
    std::string home(const std::string& rest) { return test::home() + rest; }
    std::string outside_;
    Cleaner::Services services_ = [] {
        Cleaner::Services s;
        s.ownBundle = "/opt/Bramwick.app";
        return s;
    }();
};

} // namespace

TEST_F(CleanerTest, ProtectedAndRemovablePaths) {
    const std::string h = test::home();
    const std::string google = h + "/Library/Application Support/Google";
    test::makeFolder(h + "/real");
    test::makeLink(h, h + "/alias-of-home");
    struct Case {
        std::string path;
        bool removable;
    } cases[] = {
        {h, false},
        {h + "/", false},
        {h + "/Library/Caches", false},
        {h + "/Library/Caches/x/..", false},
        {h + "/Library/Caches/com.example", true},
        {h + "/Downloads", false},
        {h + "/.local/share/Trash", false},
        {h + "/.local/share/Trash/files", false},
        {h + "/.local/share/Trash/files/old", true},
        {h + "/.config", false},
        {h + "/.cache", false},
        {h + "/Videos", false},
        {h + "/alias-of-home/Documents", false}, // the same folder through a link
        {h + "/Pictures/Photos Library.photoslibrary", false},
        {h + "/Pictures/Old.PhotosLibrary/database/x", false},
        {google, false},
        {google + "/Chrome/Default", false},
        {google + "/GoogleUpdater/crx_cache", true},
        {google + "/GoogleUpdater/updater.log.old", true},
        {google + "/GoogleUpdater/other", false},
        {"/private/tmp", false},
        {"/Applications", false},
        {"/var/tmp", false},
        {"/usr/local", false},
        {"/home", false},
        {"/opt/Bramwick.app", false},                   // the program itself
        {"/opt/Bramwick.app/Contents/Resources", true}, // inside it is not the program's folder
        {"/opt", false},
        {"/Users/Shared", true},
        {"/Volumes", false},
        {"/tmp", false},
        {"relative/path", false},
        {"", false},
        {h + std::string(1, '\0') + "x", false}, // the system would read it as the home
    };
    for (const auto& c : cases)
        EXPECT_EQ(Cleaner::isRemovable(c.path, services_.ownBundle), c.removable) << c.path;
    // The running program, and the folder it is in, by default.
    const std::string& own = Cleaner::ownBundle();
    ASSERT_FALSE(own.empty());
    EXPECT_FALSE(Cleaner::isRemovable(own));
    EXPECT_FALSE(Cleaner::isRemovable(own.substr(0, own.rfind('/'))));
}

TEST(CleanerHome, EveryFolderAboveTheHomeIsProtected) {
    // A home outside /home: the folders that hold it would take it along.
    std::string deep = test::home() + "/users/me";
    test::makeFolder(deep + "/Documents");
    test::makeFolder(test::home() + "/users/other");
    int status = inChild([&] {
        ::setenv("BRAMWICK_HOME", deep.c_str(), 1);
        if (Edition::home() != deep) ::_exit(77); // the home was fixed earlier in this process
        return !Cleaner::isRemovable(test::home() + "/users") &&
               !Cleaner::isRemovable(test::home()) && !Cleaner::isRemovable(deep) &&
               !Cleaner::isRemovable(deep + "/.local/share") &&
               Cleaner::isRemovable(test::home() + "/users/other") &&
               Cleaner::isRemovable(deep + "/Documents/old");
    });
    if (status == 77) GTEST_SKIP() << "the home was already fixed in this process";
    EXPECT_EQ(status, 0);
}

TEST_F(CleanerTest, OnlyThePathJudgedRemovableIsActedOn) {
    // "link/.." is the folder above the link's target for the system, and "link/" the target
    // itself; the cleaner judged the path as written, so that is the path it may touch.
    test::makeFile(outside_ + "/target/keep.txt", 100, 'k');
    test::makeFile(outside_ + "/x.txt", 100, 'o');
    test::makeLink(outside_ + "/target", home("/a/link"));
    FakeAdministrator administrator; // runs the batch for real, without asking for rights
    services_.administrator = administrator.administrator();
    for (auto kind :
         {CleanAction::Kind::delete_, CleanAction::Kind::trash, CleanAction::Kind::admin}) {
        SCOPED_TRACE(static_cast<int>(kind));
        test::makeFile(home("/a/x.txt"), 10, 'h');
        test::makeFolder(home("/a/link-folder"));
        test::makeLink(outside_ + "/target", home("/a/link-folder/inner"));
        auto outcome =
            Cleaner::clean({item(home("/a/link/../x.txt")), item(home("/a/link-folder/inner/"))},
                           withAction(kind), services_);
        EXPECT_EQ(outcome.cleaned.size(), 2u);
        EXPECT_FALSE(test::exists(home("/a/x.txt")));
        EXPECT_FALSE(test::exists(home("/a/link-folder/inner")));
        EXPECT_EQ(test::readFile(outside_ + "/x.txt"), std::string(100, 'o'));
        EXPECT_EQ(test::readFile(outside_ + "/target/keep.txt"), std::string(100, 'k'));
    }
    test::makeFile(home("/a/x.txt"), 10, 'h');
    test::makeFolder(home("/Backup"));
    auto moved = Cleaner::move({item(home("/a/link/../x.txt"))}, home("/Backup"), services_);
    EXPECT_EQ(moved.cleaned.size(), 1u);
    EXPECT_EQ(test::readFile(home("/Backup/x.txt")), std::string(10, 'h'));
    EXPECT_EQ(test::readFile(outside_ + "/x.txt"), std::string(100, 'o'));
}

TEST_F(CleanerTest, ALinkDeepInTheHomeNeverLeadsTheCleanElsewhere) {
    // An application that writes its own folder swaps its cache for a link to the documents;
    // the home's own top folders may still be kept elsewhere through a link.
    test::makeFile(home("/Documents/thesis.odt"), 100, 'd');
    test::makeFolder(home("/.var/app/org.example.App"));
    test::makeLink(home("/Documents"), home("/.var/app/org.example.App/cache"));
    test::makeFile(outside_ + "/downloads/film.mkv", 100, 'f');
    test::makeLink(outside_ + "/downloads", home("/Downloads"));
    FakeAdministrator administrator;
    services_.administrator = administrator.administrator();
    for (auto kind :
         {CleanAction::Kind::delete_, CleanAction::Kind::trash, CleanAction::Kind::admin}) {
        SCOPED_TRACE(static_cast<int>(kind));
        auto outcome = Cleaner::clean({item(home("/.var/app/org.example.App/cache/thesis.odt"))},
                                      withAction(kind), services_);
        EXPECT_TRUE(outcome.cleaned.empty());
        ASSERT_EQ(outcome.failures.size(), 1u);
        EXPECT_EQ(test::readFile(home("/Documents/thesis.odt")), std::string(100, 'd'));
    }
    test::makeFolder(home("/Backup"));
    auto moved = Cleaner::move({item(home("/.var/app/org.example.App/cache/thesis.odt"))},
                               home("/Backup"), services_);
    EXPECT_TRUE(moved.cleaned.empty());
    EXPECT_EQ(test::readFile(home("/Documents/thesis.odt")), std::string(100, 'd'));

    // Likewise a Trash kept on another drive, three levels down.
    test::makeFile(outside_ + "/trash/files/old.bin", 100, 'o');
    test::makeFolder(home("/.local/share"));
    test::makeLink(outside_ + "/trash", home("/.local/share/Trash"));
    auto outcome = Cleaner::clean(
        {item(home("/Downloads/film.mkv")), item(home("/.local/share/Trash/files/old.bin"))},
        withAction(CleanAction::Kind::delete_), services_);
    EXPECT_EQ(paths(outcome.cleaned),
              (std::vector<std::string>{home("/Downloads/film.mkv"),
                                        home("/.local/share/Trash/files/old.bin")}));
    EXPECT_FALSE(test::exists(outside_ + "/downloads/film.mkv"));
    EXPECT_FALSE(test::exists(outside_ + "/trash/files/old.bin"));
}

TEST_F(CleanerTest, TheAdministratorBatchNeverReachesIntoAMount) {
    // An item holding a mount would be removed only in part: it is left out whole.
    if (!test::runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    auto precious = test::makeFile(outside_ + "/precious/keep.txt", 1000);
    test::makeFile(home("/item/data.bin"), 10);
    test::makeFolder(home("/item/deep/mounted"));
    test::makeFolder(home("/mounted-item"));
    test::makeFile(home("/plain/data.bin"), 10);
    int status = inChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount((outside_ + "/precious").c_str(), home("/item/deep/mounted").c_str(), nullptr,
                    MS_BIND, nullptr) != 0 ||
            ::mount((outside_ + "/precious").c_str(), home("/mounted-item").c_str(), nullptr,
                    MS_BIND, nullptr) != 0)
            ::_exit(77);
        FakeAdministrator administrator;
        services_.administrator = administrator.administrator();
        auto outcome =
            Cleaner::clean({item(home("/item")), item(home("/mounted-item")), item(home("/plain"))},
                           withAction(CleanAction::Kind::admin), services_);
        auto failed = failures(outcome);
        return paths(outcome.cleaned) == std::vector<std::string>{home("/plain")} &&
               failed.size() == 2 &&
               failed[0].second == "~/item/deep/mounted is another mounted file system, so "
                                   "~/item was left alone" &&
               failed[1].second == "~/mounted-item is a mounted file system and was left alone" &&
               test::exists(home("/item/data.bin")) && test::readFile(precious).size() == 1000;
    });
    if (status == 77) GTEST_SKIP() << "no private mount namespace here";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(test::readFile(precious).size(), 1000u);
}

TEST_F(CleanerTest, NoTrashOrMoveTakesAFolderThatHoldsAMount) {
    // A folder holding a bind mount of a folder outside the home, or a tmpfs: trashed, the
    // desktop's "Empty Trash" would then delete the mounted data; renamed, the mount goes along.
    if (!test::runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    auto precious = test::makeFile(outside_ + "/precious/keep.txt", 1000);
    test::makeFile(home("/Documents/bound/notes.txt"), 10);
    test::makeFolder(home("/Documents/bound/deep/mounted"));
    test::makeFile(home("/Documents/scratch/notes.txt"), 10);
    test::makeFolder(home("/Documents/scratch/tmp"));
    test::makeFolder(home("/Backup"));
    int status = inChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount((outside_ + "/precious").c_str(), home("/Documents/bound/deep/mounted").c_str(),
                    nullptr, MS_BIND, nullptr) != 0 ||
            ::mount("tmpfs", home("/Documents/scratch/tmp").c_str(), "tmpfs", 0, nullptr) != 0)
            ::_exit(77);
        test::makeFile(home("/Documents/scratch/tmp/work.txt"), 100);
        const std::vector<ScanItem> items{item(home("/Documents/bound")),
                                          item(home("/Documents/scratch"))};
        const std::vector<std::pair<std::string, std::string>> refused{
            {home("/Documents/bound"), "~/Documents/bound/deep/mounted is another mounted file "
                                       "system, so ~/Documents/bound was left alone"},
            {home("/Documents/scratch"), "~/Documents/scratch/tmp is another mounted file system, "
                                         "so ~/Documents/scratch was left alone"}};
        auto trashed = Cleaner::clean(items, withAction(CleanAction::Kind::trash), services_);
        auto moved = Cleaner::move(items, home("/Backup"), services_);
        bool ok = true;
        for (const auto* outcome : {&trashed, &moved})
            if (!outcome->cleaned.empty() || failures(*outcome) != refused) {
                ok = false;
                for (const auto& [path, reason] : failures(*outcome))
                    std::fprintf(stderr, "%s: %s\n", path.c_str(), reason.c_str());
            }
        return ok && test::exists(home("/Documents/bound/deep/mounted/keep.txt")) &&
               test::exists(home("/Documents/scratch/tmp/work.txt")) &&
               !test::exists(Trash::homeTrash() + "/files/bound") &&
               !test::exists(home("/Backup/bound")) && !test::exists(home("/Backup/scratch"));
    });
    if (status == 77) GTEST_SKIP() << "no private mount namespace here";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(test::readFile(precious).size(), 1000u);
}

TEST_F(CleanerTest, DeleteSettlesEveryItemAndNeverFollowsALink) {
    auto precious = test::makeFile(outside_ + "/precious/keep.txt", 5000);
    test::makeFile(home("/Library/Caches/app/data.bin"), 20'000);
    test::makeLink(outside_ + "/precious", home("/Library/Caches/app/planted"));
    test::makeLink(precious, home("/Library/Caches/app/planted-file"));
    test::makeFile(home("/Library/Caches/single.txt"), 100);
    test::makeFile(home("/file.txt"), 10);
    test::makeLink(home("/loop"), home("/loop"));
    std::string tooLong = home("/Library/Caches/" + std::string(300, 'x'));

    std::vector<ScanItem> items{item(home("/Library/Caches/app")),
                                item(home("/Library/Caches")),
                                item(home("/Library/Caches/gone")),
                                item(home("/file.txt/below")),
                                item(home("/loop/inside")),
                                item(tooLong),
                                item(home("/Library/Caches/single.txt"))};
    auto outcome = Cleaner::clean(items, withAction(CleanAction::Kind::delete_), services_);

    EXPECT_EQ(
        paths(outcome.cleaned),
        (std::vector<std::string>{home("/Library/Caches/app"), home("/Library/Caches/gone"),
                                  home("/file.txt/below"), home("/Library/Caches/single.txt")}));
    auto failed = failures(outcome);
    ASSERT_EQ(failed.size(), 3u);
    EXPECT_EQ(failed[0],
              std::make_pair(home("/Library/Caches"), std::string("Protected folder — skipped")));
    // Only "no such file" counts as gone: any other error while looking is a failure.
    EXPECT_EQ(failed[1].first, home("/loop/inside"));
    EXPECT_NE(failed[1].second.find("Too many levels of symbolic links"), std::string::npos)
        << failed[1].second;
    EXPECT_EQ(failed[2].first, tooLong);
    EXPECT_NE(failed[2].second.find("File name too long"), std::string::npos) << failed[2].second;

    EXPECT_FALSE(test::exists(home("/Library/Caches/app")));
    EXPECT_TRUE(test::exists(home("/Library/Caches")));
    EXPECT_EQ(test::readFile(precious).size(), 5000u);
}

TEST_F(CleanerTest, AnItemGoneWithItsFolderMadeAgainIsCleanedButNotOneBehindANewLink) {
    // As scanned: a project's node_modules, and a cache item in ~/.cache.
    test::makeFile(home("/Projects/app/node_modules/x/index.js"), 100);
    test::makeFile(home("/.cache/tool/data"), 100);
    test::makeFolder(home("/Work"));
    auto scanned = [](const std::string& path) {
        ScanItem found = item(path);
        found.found = Scanner::foundAt(path);
        return found;
    };
    const ScanItem modules = scanned(home("/Projects/app/node_modules"));
    const ScanItem tool = scanned(home("/.cache/tool"));
    // Since the scan: the project was cloned again, without its node_modules; ~/.cache was moved
    // aside and a link to ~/Work, which holds no "tool", stands in its place.
    ASSERT_EQ(::rename(home("/Projects/app").c_str(), home("/Projects/old").c_str()), 0);
    test::makeFile(home("/Projects/app/package.json"), 10);
    test::removeTree(home("/Projects/old"));
    ASSERT_EQ(::rename(home("/.cache").c_str(), home("/.cache-aside").c_str()), 0);
    test::makeLink(home("/Work"), home("/.cache"));

    auto outcome =
        Cleaner::clean({modules, tool}, withAction(CleanAction::Kind::delete_), services_);
    EXPECT_EQ(paths(outcome.cleaned), std::vector<std::string>{modules.url});
    EXPECT_EQ(failures(outcome),
              (std::vector<std::pair<std::string, std::string>>{
                  {tool.url, "~/.cache/tool changed after it was chosen, so it was left alone"}}));
    EXPECT_TRUE(test::exists(home("/.cache-aside/tool/data")));
}

TEST_F(CleanerTest, AskedToEndACleanOrMoveStopsAtTheNextItemAndSaysWhatWasLeft) {
    struct Cleared {
        ~Cleared() { Ending::clear(); }
    } cleared;
    std::vector<ScanItem> items;
    for (const char* name : {"a", "b", "c"})
        items.push_back(item(test::makeFile(home("/Library/Caches/") + name, 100)));
    // The request comes while the first item is removed.
    services_.remove = [](const HeldItem& held) {
        auto problem = SafeDelete::remove(held);
        Ending::request();
        return problem;
    };
    auto cleaned = Cleaner::clean(items, withAction(CleanAction::Kind::delete_), services_);
    EXPECT_EQ(paths(cleaned.cleaned), std::vector<std::string>{items[0].url});
    EXPECT_EQ(failures(cleaned),
              (std::vector<std::pair<std::string, std::string>>{
                  {items[1].url, Cleaner::endingReason}, {items[2].url, Cleaner::endingReason}}));
    EXPECT_TRUE(test::exists(items[1].url));
    EXPECT_TRUE(test::exists(items[2].url));

    // A move says what it did not move as such.
    items.erase(items.begin());
    auto notMoved = Cleaner::move(items, outside_, services_);
    EXPECT_TRUE(notMoved.cleaned.empty());
    EXPECT_EQ(failures(notMoved), (std::vector<std::pair<std::string, std::string>>{
                                      {items[0].url, Cleaner::endingMoveReason},
                                      {items[1].url, Cleaner::endingMoveReason}}));
    Ending::clear();

    // To another drive, where the original is removed once copied: the request comes while the
    // first item is, and the second stays where it was.
    const std::string drive = test::makeFolderOnAnotherDrive("move");
    if (drive.empty()) GTEST_SKIP() << "needs a second file system at /dev/shm";
    auto moved = Cleaner::move(items, drive, services_);
    EXPECT_EQ(paths(moved.cleaned), std::vector<std::string>{items[0].url});
    EXPECT_EQ(failures(moved), (std::vector<std::pair<std::string, std::string>>{
                                   {items[1].url, Cleaner::endingMoveReason}}));
    EXPECT_TRUE(test::exists(drive + "/b"));
    EXPECT_FALSE(test::exists(drive + "/c"));
    EXPECT_TRUE(test::exists(items[1].url));
    test::removeTree(drive);
}

TEST_F(CleanerTest, ARedundantCopyGoesOnlyWhileItAndTheCopyItDuplicatesAreAsFound) {
    struct Case {
        const char* folder;
        std::function<void(const std::string& kept, const std::string& copy)> since;
        std::optional<std::string> reason; // none: cleaned
    } cases[] = {
        {"untouched", [](const std::string&, const std::string&) {}, std::nullopt},
        {"kept-edited",
         [](const std::string& kept, const std::string&) {
             std::ofstream(kept, std::ios::app) << "more";
         },
         "The copy it duplicates, ~/kept-edited/kept, changed since it was found, so this one was "
         "kept"},
        {"kept-removed",
         [](const std::string& kept, const std::string&) { ::unlink(kept.c_str()); },
         "The copy it duplicates, ~/kept-removed/kept, is gone, so this one was kept"},
        {"copy-edited",
         [](const std::string&, const std::string& copy) {
             std::ofstream(copy, std::ios::app) << "new work";
         },
         "~/copy-edited/copy changed since it was found, so it was kept"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        const std::string kept = test::makeFile(home("/") + c.folder + "/kept", 5000, 'd');
        const std::string copy = test::makeFile(home("/") + c.folder + "/copy", 5000, 'd');
        ScanItem redundant = item(copy);
        redundant.found = Scanner::foundAt(copy);
        redundant.keeps = KeptCopy{kept, *Scanner::foundAt(kept)};
        c.since(kept, copy);
        auto outcome =
            Cleaner::clean({redundant}, withAction(CleanAction::Kind::delete_), services_);
        if (c.reason) {
            EXPECT_TRUE(outcome.cleaned.empty());
            EXPECT_EQ(failures(outcome),
                      (std::vector<std::pair<std::string, std::string>>{{copy, *c.reason}}));
            EXPECT_TRUE(test::exists(copy));
        } else {
            EXPECT_EQ(paths(outcome.cleaned), std::vector<std::string>{copy});
            EXPECT_TRUE(outcome.failures.empty());
            EXPECT_FALSE(test::exists(copy));
            EXPECT_EQ(test::readFile(kept), std::string(5000, 'd'));
        }
    }
}

TEST_F(CleanerTest, ReviewOnlyRemovesNothing) {
    test::makeFile(home("/Library/Application Support/Thing/x"), 100);
    auto outcome =
        Cleaner::clean({item(home("/Library/Application Support/Thing")), item(home("/gone"))},
                       withAction(CleanAction::Kind::reviewOnly), services_);
    EXPECT_EQ(failures(outcome),
              (std::vector<std::pair<std::string, std::string>>{
                  {home("/Library/Application Support/Thing"), "Review only — nothing deleted"}}));
    EXPECT_EQ(paths(outcome.cleaned), std::vector<std::string>{home("/gone")});
    EXPECT_TRUE(test::exists(home("/Library/Application Support/Thing/x")));
}

TEST_F(CleanerTest, TrashedItemsGetAnInfoFileShowInTheTrashAndLeaveWithIt) {
    test::makeFile(home("/Downloads/big movie.mkv"), 300'000);
    auto outcome = Cleaner::clean({item(home("/Downloads/big movie.mkv"))},
                                  withAction(CleanAction::Kind::trash));
    ASSERT_EQ(outcome.cleaned.size(), 1u)
        << (outcome.failures.empty() ? "" : outcome.failures[0].reason);
    std::string trashed = Trash::homeTrash() + "/files/big movie.mkv";
    std::string info = Trash::homeTrash() + "/info/big movie.mkv.trashinfo";
    EXPECT_NE(test::readFile(info).find("Path=" + home("/Downloads/big%20movie.mkv") + "\n"),
              std::string::npos);

    const CleanupCategory* trashCategory = Catalog::find("trash");
    ASSERT_TRUE(trashCategory);
    auto inTrash = Scanner::items(*trashCategory);
    ASSERT_EQ(inTrash.size(), 1u);
    EXPECT_EQ(inTrash[0].url, trashed);
    EXPECT_EQ(inTrash[0].name, "big movie.mkv");

    auto emptied = Cleaner::clean(inTrash, *trashCategory);
    EXPECT_EQ(emptied.cleaned.size(), 1u);
    EXPECT_FALSE(test::exists(trashed));
    EXPECT_FALSE(test::exists(info));
    EXPECT_TRUE(Scanner::items(*trashCategory).empty());
}

TEST_F(CleanerTest, AFailedTrashOrRemovalKeepsItsReason) {
    test::makeFile(home("/Downloads/a"), 10);
    services_.moveToTrash = [](const HeldItem&) {
        return std::optional<std::string>("No Trash here");
    };
    services_.remove = [](const HeldItem&) { return std::optional<std::string>("Device busy"); };
    auto trashed = Cleaner::clean({item(home("/Downloads/a"))},
                                  withAction(CleanAction::Kind::trash), services_);
    EXPECT_EQ(failures(trashed), (std::vector<std::pair<std::string, std::string>>{
                                     {home("/Downloads/a"), "No Trash here"}}));
    auto removed = Cleaner::clean({item(home("/Downloads/a"))},
                                  withAction(CleanAction::Kind::delete_), services_);
    EXPECT_EQ(failures(removed), (std::vector<std::pair<std::string, std::string>>{
                                     {home("/Downloads/a"), "Device busy"}}));
    EXPECT_TRUE(test::exists(home("/Downloads/a")));
}

TEST_F(CleanerTest, CommandsDecideTheirItemsAlone) {
    FakeRunner fake;
    fake.answer = [](const std::vector<std::string>& arguments) {
        if (arguments.back() == "bad") return Shell::Result{1, "  Unable to delete: busy\n"};
        if (arguments.back() == "silent") return Shell::Result{3, ""};
        if (arguments.back() == "throws") throw std::runtime_error("cannot launch");
        return Shell::Result{0, "ok"};
    };
    services_.runner = fake.runner();
    test::makeFolder(home("/Devices/AAAA"));
    auto withCommand = [&](std::string path, std::string last) {
        auto i = item(path);
        i.command = std::vector<std::string>{"xcrun", "simctl", "delete", last};
        return i;
    };
    // The Library itself is protected, yet a command item is judged by its command only.
    auto outcome = Cleaner::clean({withCommand(home("/Devices/AAAA"), "good"),
                                   withCommand(home("/Library"), "bad"),
                                   withCommand("runtime-id", "silent"), withCommand("x", "throws")},
                                  withAction(CleanAction::Kind::command), services_);
    EXPECT_EQ(paths(outcome.cleaned), std::vector<std::string>{home("/Devices/AAAA")});
    EXPECT_TRUE(test::exists(home("/Devices/AAAA")));
    EXPECT_EQ(failures(outcome), (std::vector<std::pair<std::string, std::string>>{
                                     {home("/Library"), "Unable to delete: busy"},
                                     {"runtime-id", "xcrun ended with status 3"},
                                     {"x", "cannot launch"}}));
    EXPECT_EQ(fake.limits, (std::vector<double>{300, 300, 300, 300}));
}

TEST_F(CleanerTest, TheExtraCommandRunsOnceFirstWhateverItDoes) {
    FakeRunner fake;
    fake.answer = [](const auto&) -> Shell::Result { throw std::runtime_error("brew is missing"); };
    services_.runner = fake.runner();
    const CleanupCategory* homebrew = Catalog::find("homebrew");
    ASSERT_TRUE(homebrew);

    EXPECT_TRUE(Cleaner::clean({}, *homebrew, services_).cleaned.empty());
    EXPECT_TRUE(fake.calls.empty()) << "nothing runs for an empty clean";

    test::makeFile(home("/Library/Caches/Homebrew/downloads/a.tar.gz"), 1000);
    test::makeFile(home("/Library/Caches/Homebrew/b.bottle"), 1000);
    auto outcome = Cleaner::clean({item(home("/Library/Caches/Homebrew/downloads")),
                                   item(home("/Library/Caches/Homebrew/b.bottle"))},
                                  *homebrew, services_);
    EXPECT_EQ(fake.calls,
              (std::vector<std::vector<std::string>>{{"brew", "cleanup", "--prune=all"}}));
    EXPECT_EQ(fake.limits, std::vector<double>{120});
    EXPECT_EQ(outcome.cleaned.size(), 2u);
    EXPECT_EQ(outcome.extraCommandProblem, "Couldn't run brew: brew is missing");
    EXPECT_FALSE(test::exists(home("/Library/Caches/Homebrew/downloads")));

    fake.answer = [](const auto&) { return Shell::Result{1, "Error: nothing to do"}; };
    test::makeFile(home("/Library/Caches/Homebrew/c.bottle"), 1000);
    outcome =
        Cleaner::clean({item(home("/Library/Caches/Homebrew/c.bottle"))}, *homebrew, services_);
    EXPECT_EQ(outcome.cleaned.size(), 1u);
    EXPECT_EQ(outcome.extraCommandProblem, "") << "a command that ran and failed is only a help";
}

// The program has a few seconds left once asked to end: a command could outlast them.
TEST_F(CleanerTest, OnceAskedToEndItRunsNoCommandAndLeavesEveryItem) {
    FakeRunner fake;
    services_.runner = fake.runner();
    const CleanupCategory* homebrew = Catalog::find("homebrew");
    ASSERT_TRUE(homebrew);
    const std::string bottle = home("/Library/Caches/Homebrew/b.bottle");
    test::makeFile(bottle, 1000);
    Ending::request();
    auto outcome = Cleaner::clean({item(bottle)}, *homebrew, services_);
    Ending::clear();
    EXPECT_TRUE(fake.calls.empty()) << "the extra command ran";
    EXPECT_TRUE(outcome.cleaned.empty());
    EXPECT_EQ(failures(outcome),
              (std::vector<std::pair<std::string, std::string>>{{bottle, Cleaner::endingReason}}));
    EXPECT_TRUE(Cleaner::leftForEnding(outcome.failures.at(0)));
    EXPECT_FALSE(Cleaner::leftForEnding({item(bottle), "Device busy"}));
    EXPECT_TRUE(test::exists(bottle));
}

TEST_F(CleanerTest, TheAdministratorBatchIsJudgedByWhatIsLeft) {
    test::makeFile(outside_ + "/it's/cache", 10);
    test::makeFile(outside_ + "/a\"b\\c\nd", 10);
    test::makeLink(outside_ + "/it's", outside_ + "/link");
    std::vector<ScanItem> items{item(outside_ + "/it's"), item(outside_ + "/a\"b\\c\nd"),
                                item(outside_ + "/link"), item(outside_ + "/already-gone")};
    FakeAdministrator fake;
    // Removes the first item only, as a batch that stopped half-way would.
    fake.answer = [&](const std::string&) {
        test::removeTree(outside_ + "/it's");
        return Shell::Result{0, ""};
    };
    services_.administrator = fake.administrator();
    auto outcome = Cleaner::clean(items, withAction(CleanAction::Kind::admin), services_);

    // One list for the batch, each item with the identities that were judged.
    ASSERT_EQ(fake.lists.size(), 1u);
    EXPECT_EQ(fake.limits, std::vector<double>{300});
    auto listed = AdminRemoval::decode(fake.lists[0]);
    ASSERT_TRUE(listed);
    ASSERT_EQ(listed->size(), 3u);
    struct stat link {
    }, folder{};
    ASSERT_EQ(::lstat((outside_ + "/link").c_str(), &link), 0);
    ASSERT_EQ(::stat(outside_.c_str(), &folder), 0);
    EXPECT_EQ((*listed)[1].path, outside_ + "/a\"b\\c\nd");
    EXPECT_EQ((*listed)[2],
              (AdminRemoval::Entry{identityOf(link), identityOf(folder), outside_ + "/link"}));
    // Settled in the loop first (the gone item), then the batch in order. The link is judged
    // as a link: its target being gone does not make it gone.
    EXPECT_EQ(paths(outcome.cleaned),
              (std::vector<std::string>{outside_ + "/already-gone", outside_ + "/it's"}));
    EXPECT_EQ(failures(outcome), (std::vector<std::pair<std::string, std::string>>{
                                     {outside_ + "/a\"b\\c\nd", "Still present"},
                                     {outside_ + "/link", "Still present"}}));

    // The administrator's own reason for an item wins over the batch's status.
    fake.answer = [](const auto&) { return Shell::Result{1, "0\tDevice busy\n"}; };
    EXPECT_EQ(
        failures(Cleaner::clean({item(outside_ + "/link")}, withAction(CleanAction::Kind::admin),
                                services_)),
        (std::vector<std::pair<std::string, std::string>>{{outside_ + "/link", "Device busy"}}));
    // A refused password removed nothing: an item moved away meanwhile, another in its place,
    // is no item cleaned.
    fake.answer = [&](const auto&) {
        ::rename((outside_ + "/link").c_str(), (outside_ + "/link-moved").c_str());
        test::makeFile(outside_ + "/link", 1);
        return Shell::Result{126, ""};
    };
    EXPECT_EQ(failures(Cleaner::clean({item(outside_ + "/link")},
                                      withAction(CleanAction::Kind::admin), services_)),
              (std::vector<std::pair<std::string, std::string>>{
                  {outside_ + "/link", "The administrator password was not given."}}));
    fake.answer = [](const auto&) { return Shell::Result{126, ""}; };
    auto refused =
        Cleaner::clean({item(outside_ + "/link")}, withAction(CleanAction::Kind::admin), services_);
    EXPECT_EQ(failures(refused),
              (std::vector<std::pair<std::string, std::string>>{
                  {outside_ + "/link", "The administrator password was not given."}}));
    fake.answer = [](const auto&) {
        return Shell::Result{127, "/usr/bin/env: 'pkexec': No such file or directory"};
    };
    auto missing =
        Cleaner::clean({item(outside_ + "/link")}, withAction(CleanAction::Kind::admin), services_);
    EXPECT_EQ(missing.failures.at(0).reason,
              "Administrator rights are not available: pkexec is not installed.");
    fake.answer = [](const auto&) -> Shell::Result { throw std::runtime_error("no such program"); };
    auto thrown =
        Cleaner::clean({item(outside_ + "/link")}, withAction(CleanAction::Kind::admin), services_);
    EXPECT_EQ(thrown.failures.at(0).reason, "no such program");
}

TEST_F(CleanerTest, MoveNeverReplacesAndNeverMovesAFolderIntoItself) {
    test::makeFile(home("/Documents/Old/a.txt"), 100, 'a');
    test::makeFile(home("/Documents/Old/sub/b.txt"), 100, 'b');
    test::makeFile(home("/Downloads/same.txt"), 10, 'n');
    test::makeLink(home("/Documents/Old/sub"), home("/into-old"));

    auto outcome = Cleaner::move({item(home("/Documents/Old")), item(home("/Downloads/same.txt"))},
                                 home("/Documents/Old/sub"), services_);
    auto viaLink = Cleaner::move({item(home("/Documents/Old"))}, home("/into-old"), services_);
    auto itself = Cleaner::move({item(home("/Documents/Old"))}, home("/Documents/Old"), services_);
    test::makeFile(home("/Downloads/other.txt"), 10, 'n');
    test::makeFile(home("/Backup/other.txt"), 10, 'o');
    auto clash = Cleaner::move({item(home("/Downloads/other.txt"))}, home("/Backup"), services_);
    auto protectedOne = Cleaner::move({item(home("/Downloads"))}, home("/Backup"), services_);

    EXPECT_EQ(outcome.failures.at(0).reason, "Can't move a folder into itself — nothing was moved");
    EXPECT_EQ(viaLink.failures.at(0).reason, "Can't move a folder into itself — nothing was moved");
    EXPECT_EQ(itself.failures.at(0).reason, "Can't move a folder into itself — nothing was moved");
    EXPECT_EQ(paths(outcome.cleaned), std::vector<std::string>{home("/Downloads/same.txt")});
    EXPECT_EQ(test::readFile(home("/Documents/Old/sub/same.txt")), std::string(10, 'n'));
    EXPECT_EQ(test::readFile(home("/Documents/Old/a.txt")), std::string(100, 'a'));
    EXPECT_EQ(test::readFile(home("/Documents/Old/sub/b.txt")), std::string(100, 'b'));

    EXPECT_EQ(failures(clash), (std::vector<std::pair<std::string, std::string>>{
                                   {home("/Downloads/other.txt"),
                                    "Already exists at " + home("/Backup/other.txt")}}));
    EXPECT_EQ(test::readFile(home("/Backup/other.txt")), std::string(10, 'o'));
    EXPECT_EQ(test::readFile(home("/Downloads/other.txt")), std::string(10, 'n'));
    EXPECT_EQ(protectedOne.failures.at(0).reason, "Protected folder — skipped");

    auto nowhere =
        Cleaner::move({item(home("/Backup/other.txt"))}, home("/no-such-folder"), services_);
    EXPECT_EQ(nowhere.failures.size(), 1u);
    EXPECT_TRUE(test::exists(home("/Backup/other.txt")));
}

TEST_F(CleanerTest, MoveToAnotherDriveCopiesThenRemoves) {
    std::string drive = test::makeFolderOnAnotherDrive("move");
    if (drive.empty()) GTEST_SKIP() << "needs a second file system at /dev/shm";
    test::makeFile(home("/Movies/Trip/a.mov"), 200'000, 'a');
    test::makeLink(outside_, home("/Movies/Trip/link"));
    test::makeFile(home("/Movies/Other/b.mov"), 1000, 'b');

    auto moved = Cleaner::move({item(home("/Movies/Trip"))}, drive, services_);
    EXPECT_EQ(moved.cleaned.size(), 1u);
    EXPECT_FALSE(test::exists(home("/Movies/Trip")));
    EXPECT_EQ(test::readFile(drive + "/Trip/a.mov"), std::string(200'000, 'a'));
    EXPECT_TRUE(test::exists(outside_)) << "the link was copied, not followed";

    services_.remove = [](const HeldItem&) { return std::optional<std::string>("Device busy"); };
    auto kept = Cleaner::move({item(home("/Movies/Other"))}, drive, services_);
    EXPECT_EQ(failures(kept),
              (std::vector<std::pair<std::string, std::string>>{
                  {home("/Movies/Other"),
                   "Copied to " + drive +
                       "/Other, but the original could not be removed: Device busy"}}));
    EXPECT_TRUE(test::exists(home("/Movies/Other/b.mov")));
    EXPECT_TRUE(test::exists(drive + "/Other/b.mov"));
    test::removeTree(drive);
}

TEST_F(CleanerTest, TheAdministratorsRemovalChecksEveryItemAgainBeforeRemovingIt) {
    auto entryOf = [](const std::string& path) {
        auto held = Held::hold(path);
        return AdminRemoval::entryFor(std::get<HeldItem>(held));
    };
    test::makeFile(home("/a/plain/x"), 10);
    test::makeFile(home("/a/swapped"), 10, 's');
    test::makeFile(home("/b/moved/y"), 10, 'm');
    test::makeFile(home("/Documents/keep"), 10);
    std::vector<AdminRemoval::Entry> entries{entryOf(home("/a/plain")), entryOf(home("/a/swapped")),
                                             entryOf(home("/b/moved")), entryOf(home("/Documents")),
                                             entryOf(home("/a/plain/x"))};
    entries.back().path = home("/a/gone"); // nothing there: counts as removed
    // Between the judging and the removal: the item is replaced by another of its name, and
    // the folder that held the other one by a folder of the same name and contents.
    ::rename(home("/a/swapped").c_str(), home("/a/swapped-old").c_str());
    test::makeFile(home("/a/swapped"), 10, 'n');
    ::rename(home("/b").c_str(), home("/b-old").c_str());
    test::makeFile(home("/b/moved/y"), 10, 'n');
    auto result = AdminRemoval::removeListed(AdminRemoval::encode(entries), {{test::home()}, {}},
                                             services_.ownBundle);

    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(AdminRemoval::reasons(result.output),
              (std::map<std::size_t, std::string>{
                  {1, "~/a/swapped changed after it was chosen, so it was left alone"},
                  {2, "~/b/moved changed after it was chosen, so it was left alone"},
                  {3, "Protected folder — skipped"}}));
    EXPECT_FALSE(test::exists(home("/a/plain")));
    EXPECT_EQ(test::readFile(home("/a/swapped")), std::string(10, 'n'));
    EXPECT_TRUE(test::exists(home("/b/moved/y")));
    EXPECT_TRUE(test::exists(home("/b-old/moved/y")));
    EXPECT_TRUE(test::exists(home("/Documents/keep")));
    EXPECT_EQ(AdminRemoval::removeListed("rm -rf /", {{"/"}, {}}).status, 2);
    EXPECT_EQ(AdminRemoval::decode(AdminRemoval::encode(entries)), entries);
}

TEST_F(CleanerTest, TheProgramsOwnRemovalModeTakesTheListOnItsInputAndStaysInItsPlaces) {
    // What pkexec runs, here without it: an item of the home is no place of the administrator's
    // removal, and without the user who asked (PKEXEC_UID) nothing is removed at all.
    test::makeFile(home("/a/plain/x"), 10);
    auto held = Held::hold(home("/a/plain"));
    auto list = AdminRemoval::encode({AdminRemoval::entryFor(std::get<HeldItem>(held))});
    auto unknown = Shell::runWithInput({BRAMWICK_BINARY, Admin::removalFlag}, 30, list);
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.output, "0\tThe user who asked could not be told, so nothing was removed\n");
    {
        test::EnvironmentChange user("PKEXEC_UID", std::to_string(::getuid()));
        auto outside = Shell::runWithInput({BRAMWICK_BINARY, Admin::removalFlag}, 30, list);
        EXPECT_EQ(outside.status, 1);
        EXPECT_NE(outside.output.find("is not in a place the administrator's removal reaches"),
                  std::string::npos)
            << outside.output;
    }
    EXPECT_TRUE(test::exists(home("/a/plain/x")));
    EXPECT_EQ(Shell::runWithInput({BRAMWICK_BINARY, Admin::removalFlag}, 30, "junk").status, 2);
}

TEST_F(CleanerTest, AnAdministratorBatchOfThousandsOfItemsIsOneListAndOnePrompt) {
    // Far past what one argument may hold (128 kB): the list goes as input, not as arguments.
    std::vector<ScanItem> items;
    const std::string deep = home("/" + std::string(200, 'd'));
    for (int i = 0; i < 2000; ++i)
        items.push_back(item(test::makeFile(deep + "/" + std::to_string(i), 1)));
    FakeAdministrator administrator;
    services_.administrator = administrator.administrator();
    auto outcome = Cleaner::clean(items, withAction(CleanAction::Kind::admin), services_);
    EXPECT_EQ(administrator.lists.size(), 1u);
    EXPECT_GT(administrator.lists.at(0).size(), 400'000u);
    EXPECT_EQ(outcome.cleaned.size(), 2000u);
    EXPECT_TRUE(outcome.failures.empty());
}

TEST_F(CleanerTest, AMoveToAnotherDriveKeepsAnOriginalThatChangedWhileItWasCopied) {
    std::string drive = test::makeFolderOnAnotherDrive("move");
    if (drive.empty()) GTEST_SKIP() << "needs a second file system at /dev/shm";
    // Another program writes to the item while the copy runs (here: right after it).
    struct Change {
        const char* name;
        std::function<void()> make;
    } changes[] = {
        {"appended", [&] { std::ofstream(home("/Movies/Trip/a.mov"), std::ios::app) << "more"; }},
        {"created", [&] { test::makeFile(home("/Movies/Trip/sub/new.mov"), 10); }},
        {"removed", [&] { ::unlink(home("/Movies/Trip/sub/b.mov").c_str()); }},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change.name);
        test::removeTree(home("/Movies"));
        test::makeFile(home("/Movies/Trip/a.mov"), 1000, 'a');
        test::makeFile(home("/Movies/Trip/sub/b.mov"), 1000, 'b');
        services_.copy = [&](const HeldItem& source, int folder, const std::string& name,
                             const std::string& path) {
            auto result = SafeCopy::copy(source, folder, name, path);
            change.make();
            return result;
        };
        auto moved = Cleaner::move({item(home("/Movies/Trip"))}, drive, services_);
        EXPECT_EQ(failures(moved),
                  (std::vector<std::pair<std::string, std::string>>{
                      {home("/Movies/Trip"), "Copied to " + drive +
                                                 "/Trip, but the original changed while it was "
                                                 "being copied and was kept"}}));
        EXPECT_TRUE(test::exists(home("/Movies/Trip/a.mov")));
        EXPECT_TRUE(test::exists(drive + "/Trip/a.mov"));
        test::removeTree(drive + "/Trip");
    }
    test::removeTree(drive);
}

TEST_F(CleanerTest, DeletingFromAFolderThatOnlyLooksLikeATrashLeavesOtherRecordsAlone) {
    // "files" beside an "info" that leads out of the home: not a trash of ours.
    test::makeFile(home("/.Trash-old/files/x"), 10);
    test::makeFile(outside_ + "/info/x.trashinfo", 10);
    test::makeLink(outside_ + "/info", home("/.Trash-old/info"));
    test::makeFile(home("/work/files/y"), 10);
    test::makeFile(home("/work/info/y.trashinfo"), 10);
    auto outcome = Cleaner::clean({item(home("/.Trash-old/files/x")), item(home("/work/files/y"))},
                                  withAction(CleanAction::Kind::delete_), services_);
    EXPECT_EQ(outcome.cleaned.size(), 2u);
    EXPECT_TRUE(test::exists(outside_ + "/info/x.trashinfo"));
    EXPECT_TRUE(test::exists(home("/work/info/y.trashinfo")));
}

TEST_F(CleanerTest, ProtectedFoldersSeenThroughABindMountOfTheHomeStayProtected) {
    if (!test::runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    test::makeFile(home("/Documents/keep.txt"), 10);
    test::makeFile(home("/.config/app/settings"), 10);
    test::makeFile(home("/Library/Caches/old/x"), 10);
    std::string bound = test::makeFolder(outside_ + "/bound");
    int status = inChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(test::home().c_str(), bound.c_str(), nullptr, MS_BIND, nullptr) != 0)
            ::_exit(77);
        bool judged = !Cleaner::isRemovable(bound + "/Documents", services_.ownBundle) &&
                      !Cleaner::isRemovable(bound + "/.config", services_.ownBundle) &&
                      !Cleaner::isRemovable(bound, services_.ownBundle) &&
                      Cleaner::isRemovable(bound + "/Library/Caches/old", services_.ownBundle);
        auto outcome = Cleaner::clean({item(bound + "/Documents"), item(bound + "/.config"),
                                       item(bound + "/Library/Caches/old")},
                                      withAction(CleanAction::Kind::delete_), services_);
        auto moved = Cleaner::move({item(bound + "/Documents")}, outside_, services_);
        return judged && outcome.failures.size() == 2 &&
               outcome.failures[0].reason == Cleaner::protectedReason &&
               outcome.failures[1].reason == Cleaner::protectedReason &&
               moved.failures.size() == 1 && moved.failures[0].reason == Cleaner::protectedReason;
    });
    if (status == 77) GTEST_SKIP() << "no private mount namespace here";
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(test::exists(home("/Documents/keep.txt")));
    EXPECT_TRUE(test::exists(home("/.config/app/settings")));
    EXPECT_FALSE(test::exists(home("/Library/Caches/old")));
}

TEST_F(CleanerTest, AMoveIntoItselfThroughABindMountIsRefusedAndLeavesNothingBehind) {
    if (!test::runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    test::makeFile(home("/Old/a.txt"), 10, 'a');
    test::makeFolder(home("/Old/sub"));
    std::string bound = test::makeFolder(outside_ + "/bound");
    int status = inChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(home("/Old/sub").c_str(), bound.c_str(), nullptr, MS_BIND, nullptr) != 0)
            ::_exit(77);
        // The destination reads as a folder outside the item; it is the item's own subfolder.
        auto moved = Cleaner::move({item(home("/Old"))}, bound, services_);
        return moved.failures.size() == 1 && moved.failures[0].reason == Cleaner::intoItselfReason;
    });
    if (status == 77) GTEST_SKIP() << "no private mount namespace here";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(test::readFile(home("/Old/a.txt")), std::string(10, 'a'));
    EXPECT_FALSE(test::exists(home("/Old/sub/Old")));
}

TEST_F(CleanerTest, AnAdministratorBatchHoldsEachItemOnlyWhileItIsRemoved) {
    // 3,000 items under a limit of 256 open files: holding every item's folder open until the
    // batch runs would fail them all.
    std::vector<ScanItem> items;
    for (int i = 0; i < 3000; ++i)
        items.push_back(item(test::makeFile(home("/batch/" + std::to_string(i)), 1)));
    FakeAdministrator administrator;
    services_.administrator = administrator.administrator();
    struct rlimit old {};
    ::getrlimit(RLIMIT_NOFILE, &old);
    struct rlimit few = old;
    few.rlim_cur = 256;
    ::setrlimit(RLIMIT_NOFILE, &few);
    auto outcome = Cleaner::clean(items, withAction(CleanAction::Kind::admin), services_);
    ::setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_EQ(administrator.lists.size(), 1u);
    EXPECT_EQ(outcome.cleaned.size(), 3000u);
    EXPECT_TRUE(outcome.failures.empty()) << outcome.failures.front().reason;
    EXPECT_TRUE(Files::names(home("/batch")).empty());
}

namespace {

std::string attribute(const std::string& path, const char* name) {
    char value[256];
    ssize_t n = ::lgetxattr(path.c_str(), name, value, sizeof value);
    return n < 0 ? std::string() : std::string(value, static_cast<std::size_t>(n));
}

bool setAttribute(const std::string& path, const char* name, const std::string& value) {
    return ::lsetxattr(path.c_str(), name, value.data(), value.size(), 0) == 0;
}

} // namespace

TEST_F(CleanerTest, AMoveToAnotherDriveKeepsHolesHardLinksAndExtendedAttributes) {
    const std::string drive = test::makeFolderOnAnotherDrive("faithful");
    if (drive.empty()) GTEST_SKIP() << "needs a second file system at /dev/shm";
    // A 300 MB disk image holding 4 KB of data, a file with a second name, and attributes.
    const std::string image = home("/Movies/Trip/disk.img");
    test::makeFile(image, 0);
    {
        UniqueFd fd(::open(image.c_str(), O_WRONLY | O_CLOEXEC));
        ASSERT_EQ(::ftruncate(fd.get(), 300'000'000), 0);
        std::string data(4096, 'd');
        ASSERT_EQ(::pwrite(fd.get(), data.data(), data.size(), 150'000'000), 4096);
    }
    test::makeFile(home("/Movies/Trip/clip.mov"), 5000, 'c');
    test::makeFolder(home("/Movies/Trip/sub"));
    ASSERT_EQ(
        ::link(home("/Movies/Trip/clip.mov").c_str(), home("/Movies/Trip/sub/same.mov").c_str()),
        0);
    ASSERT_TRUE(setAttribute(home("/Movies/Trip/clip.mov"), "user.note", "first cut"));
    ASSERT_TRUE(setAttribute(home("/Movies/Trip"), "user.album", "summer"));
    const bool driveKeepsAttributes = [&] {
        test::makeFile(drive + "/probe", 1);
        bool kept = setAttribute(drive + "/probe", "user.probe", "1");
        ::unlink((drive + "/probe").c_str());
        return kept;
    }();

    auto moved = Cleaner::move({item(home("/Movies/Trip"))}, drive, services_);
    ASSERT_EQ(paths(moved.cleaned), std::vector<std::string>{home("/Movies/Trip")})
        << (moved.failures.empty() ? "" : moved.failures[0].reason);
    EXPECT_FALSE(test::exists(home("/Movies/Trip")));
    struct stat copy {};
    ASSERT_EQ(::stat((drive + "/Trip/disk.img").c_str(), &copy), 0);
    EXPECT_EQ(copy.st_size, 300'000'000);
    EXPECT_LT(copy.st_blocks * 512, 1'000'000) << "the holes were written out";
    std::string data(4096, '\0');
    {
        UniqueFd fd(::open((drive + "/Trip/disk.img").c_str(), O_RDONLY | O_CLOEXEC));
        ASSERT_EQ(::pread(fd.get(), data.data(), data.size(), 150'000'000), 4096);
    }
    EXPECT_EQ(data, std::string(4096, 'd'));
    struct stat a {
    }, b{};
    ASSERT_EQ(::stat((drive + "/Trip/clip.mov").c_str(), &a), 0);
    ASSERT_EQ(::stat((drive + "/Trip/sub/same.mov").c_str(), &b), 0);
    EXPECT_EQ(a.st_ino, b.st_ino) << "two names of one file became two files";
    EXPECT_EQ(a.st_nlink, 2u);
    if (driveKeepsAttributes) {
        EXPECT_EQ(attribute(drive + "/Trip/clip.mov", "user.note"), "first cut");
        EXPECT_EQ(attribute(drive + "/Trip", "user.album"), "summer");
        EXPECT_TRUE(moved.notKept.empty());
    }
    test::removeTree(drive);
}

TEST_F(CleanerTest, AMoveToADriveThatRefusesExtendedAttributesSaysSo) {
    // ramfs keeps no user attributes: the move goes on (the data is whole) and says what it lost.
    if (!test::runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    test::makeFile(home("/Movies/clip.mov"), 5000, 'c');
    ASSERT_TRUE(setAttribute(home("/Movies/clip.mov"), "user.note", "first cut"));
    const std::string drive = test::makeFolder(outside_ + "/ramfs");
    int status = inChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("ramfs", drive.c_str(), "ramfs", 0, nullptr) != 0)
            ::_exit(77);
        auto moved = Cleaner::move({item(home("/Movies/clip.mov"))}, drive, services_);
        for (const auto& note : moved.notKept)
            std::fprintf(stderr, "%s\n", note.c_str());
        return moved.cleaned.size() == 1 && moved.notKept.size() == 1 &&
               moved.notKept[0].starts_with("~/Movies/clip.mov lost its extended attributes "
                                            "(user.note) at " +
                                            drive + ": ") &&
               test::readFile(drive + "/clip.mov") == std::string(5000, 'c') &&
               !test::exists(home("/Movies/clip.mov"));
    });
    if (status == 77) GTEST_SKIP() << "no private mount namespace here";
    EXPECT_EQ(status, 0);
}

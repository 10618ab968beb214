// The cleaner on a disk that changes under it: a thread swaps a folder above the item for a
// link, or the item for another folder, thousands of times while deletes, Trash moves and moves
// run. Whatever the timing, nothing outside the chosen item may change, and an item reported as
// cleaned must really have gone.
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "base/unique_fd.h"
#include "engine/cleaner.h"
#include "engine/scanner.h"
#include "platform/trash.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {

using Clock = std::chrono::steady_clock;

ScanItem item(const std::string& path) {
    ScanItem i;
    i.id = path;
    i.url = path;
    i.name = Scanner::lastComponent(path);
    return i;
}

CleanupCategory withAction(CleanAction::Kind kind) {
    CleanupCategory c;
    c.id = "race";
    c.action.kind = kind;
    return c;
}

// Exchanges two names of one folder, atomically, over and over until stopped, with a pause
// between swaps when asked (so that some work can also finish between two of them).
class Swapper {
  public:
    Swapper(const std::string& a, const std::string& b,
            std::chrono::microseconds pause = std::chrono::microseconds(0))
        : thread_([this, a, b, pause] {
              while (!stop_) {
                  if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0)
                      ++swaps_;
                  if (pause.count() > 0) std::this_thread::sleep_for(pause);
              }
          }) {}
    ~Swapper() { finish(); }
    long finish() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return swaps_;
    }

  private:
    std::atomic<bool> stop_{false};
    std::atomic<long> swaps_{0};
    std::thread thread_;
};

bool existsAt(int folder, const std::string& name) {
    struct stat st {};
    return ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

struct stat statOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st;
}

constexpr auto raceTime = std::chrono::milliseconds(1500);
constexpr int rounds = 3000;

class CleanerRaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::clearHome();
        keep_ = test::makeFile(home("/Documents/keep.txt"), 10, 'k');
        documents_ = statOf(home("/Documents"));
        services_.ownBundle = "/opt/Bramwick.app";
    }
    std::string home(const std::string& rest) { return test::home() + rest; }
    // The protected folder is the very same folder with its content.
    void expectDocumentsUntouched() {
        struct stat now = statOf(home("/Documents"));
        EXPECT_EQ(now.st_ino, documents_.st_ino);
        EXPECT_EQ(test::readFile(keep_), std::string(10, 'k'));
    }
    std::string keep_;
    struct stat documents_ {};
    Cleaner::Services services_;
};

} // namespace

TEST_F(CleanerRaceTest, AFolderAboveTheItemSwappedForALinkNeverLetsTheHomeFolderGo) {
    // ~/race/p is a real folder holding a "Documents" of its own, or a link to the home: the
    // item ~/race/p/Documents is the real folder's while it is there, else the protected one.
    test::makeFolder(home("/race/p"));
    test::makeLink(test::home(), home("/race/q"));
    test::makeFolder(home("/Backup"));
    UniqueFd real(::open(home("/race/p").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(real);
    const std::string target = home("/race/p/Documents");

    struct Action {
        const char* name;
        std::function<Cleaner::Outcome()> run;
        std::function<void()> tidy; // takes away what a success left elsewhere
    } actions[] = {
        {"delete",
         [&] {
             return Cleaner::clean({item(target)}, withAction(CleanAction::Kind::delete_),
                                   services_);
         },
         [] {}},
        {"trash",
         [&] {
             return Cleaner::clean({item(target)}, withAction(CleanAction::Kind::trash), services_);
         },
         [&] { test::removeTree(Trash::homeTrash()); }},
        {"move", [&] { return Cleaner::move({item(target)}, home("/Backup"), services_); },
         [&] { test::removeTree(home("/Backup/Documents")); }},
    };
    for (const auto& action : actions) {
        SCOPED_TRACE(action.name);
        Swapper swapper(home("/race/p"), home("/race/q"));
        int cleaned = 0;
        auto end = Clock::now() + raceTime;
        for (int i = 0; i < rounds && Clock::now() < end; ++i) {
            if (!existsAt(real.get(), "Documents")) {
                ASSERT_EQ(::mkdirat(real.get(), "Documents", 0700), 0);
            }
            auto outcome = action.run();
            ASSERT_EQ(outcome.cleaned.size() + outcome.failures.size(), 1u);
            if (!outcome.cleaned.empty()) {
                ++cleaned;
                EXPECT_FALSE(existsAt(real.get(), "Documents")) << "reported cleaned, still there";
            }
            action.tidy();
            expectDocumentsUntouched();
            if (HasFailure()) break;
        }
        EXPECT_GT(swapper.finish(), 0);
        EXPECT_GT(cleaned, 0) << "the real folder's item was never removed";
    }
}

TEST_F(CleanerRaceTest, AnItemSwappedForAnotherFolderIsNeverRemovedUncopied) {
    const std::string drive = test::makeFolderOnAnotherDrive("race");
    if (drive.empty()) GTEST_SKIP() << "needs a second file system at /dev/shm";
    // Two folders trade the names "item" and "other"; the move is of ~/race/item. Whichever is
    // there when it is judged may go, but only once it is copied whole.
    struct Folder {
        char fill;
        UniqueFd fd;
    } folders[2] = {{'a', {}}, {'b', {}}};
    // Made under a name nothing swaps, then put in place.
    auto make = [&](Folder& f, const std::string& name) {
        test::makeFile(home("/race/fresh/data"), 100, f.fill);
        f.fd.reset(::open(home("/race/fresh").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        ASSERT_EQ(::renameat2(AT_FDCWD, home("/race/fresh").c_str(), AT_FDCWD,
                              home("/race/" + name).c_str(), RENAME_NOREPLACE),
                  0);
    };
    make(folders[0], "item");
    make(folders[1], "other");
    auto refill = [](Folder& f) {
        UniqueFd data(::openat(f.fd.get(), "data", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        std::string bytes(100, f.fill);
        ASSERT_EQ(::write(data.get(), bytes.data(), bytes.size()), 100);
    };
    auto removed = [](const Folder& f) {
        struct stat st {};
        return ::fstat(f.fd.get(), &st) != 0 || st.st_nlink == 0;
    };

    // A swap changes both folders (a rename is a change): paced, so some moves finish whole.
    Swapper swapper(home("/race/item"), home("/race/other"), std::chrono::microseconds(300));
    int moved = 0;
    auto end = Clock::now() + raceTime;
    for (int i = 0; i < rounds && Clock::now() < end; ++i) {
        auto outcome = Cleaner::move({item(home("/race/item"))}, drive, services_);
        ASSERT_EQ(outcome.cleaned.size() + outcome.failures.size(), 1u);
        // A folder that went, even in part (a removal stopped by a swap), went only after it was
        // copied whole: its copy is at the destination.
        int gone = 0;
        for (auto& f : folders) {
            if (!removed(f) && existsAt(f.fd.get(), "data")) continue;
            gone += removed(f) ? 1 : 0;
            EXPECT_EQ(test::readFile(drive + "/item/data"), std::string(100, f.fill))
                << "a folder lost what was never copied: "
                << (outcome.failures.empty() ? "" : outcome.failures[0].reason);
        }
        if (!outcome.cleaned.empty()) {
            EXPECT_EQ(gone, 1) << "reported moved, still there ";
        }
        if (HasFailure()) break;
        moved += gone;
        test::removeTree(drive + "/item");
        // The one that went comes back under the name left free (the swaps stop meanwhile,
        // having only one name to exchange).
        for (auto& f : folders) {
            if (removed(f))
                make(f, existsAt(AT_FDCWD, home("/race/item")) ? "other" : "item");
            else if (!existsAt(f.fd.get(), "data"))
                refill(f);
        }
    }
    EXPECT_GT(swapper.finish(), 0);
    test::removeTree(drive);
    EXPECT_GT(moved, 0);
}

TEST_F(CleanerRaceTest, AFolderAtTheTopOfTheHomeSwappedForALinkAfterTheScanRedirectsNothing) {
    // ~/.cache is a real folder, or a link to ~/Work (links at the top of the home are followed:
    // a cache kept on another drive). The item ~/.cache/item is the real folder's, as the scan
    // found it; ~/Work/item, reached through the link, was never chosen and must stay.
    test::makeFolder(home("/.cache"));
    test::makeLink(home("/Work"), home("/.swap"));
    const std::string precious = test::makeFile(home("/Work/item/keep.txt"), 10, 'w');
    test::makeFolder(home("/Backup"));
    UniqueFd real(::open(home("/.cache").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(real);
    const std::string target = home("/.cache/item");
    // The item as the scan found it: the real folder's entry, whatever the name leads to now.
    auto scanned = [&] {
        ScanItem found = item(target);
        struct stat entry {
        }, folder{};
        EXPECT_EQ(::fstatat(real.get(), "item", &entry, AT_SYMLINK_NOFOLLOW), 0);
        EXPECT_EQ(::fstat(real.get(), &folder), 0);
        found.found = Scanner::foundEntry(entry, &folder);
        return found;
    };

    struct Action {
        const char* name;
        std::function<Cleaner::Outcome(const ScanItem&)> run;
        std::function<void()> tidy;
    } actions[] = {
        {"delete",
         [&](const ScanItem& i) {
             return Cleaner::clean({i}, withAction(CleanAction::Kind::delete_), services_);
         },
         [] {}},
        {"trash",
         [&](const ScanItem& i) {
             return Cleaner::clean({i}, withAction(CleanAction::Kind::trash), services_);
         },
         [&] { test::removeTree(Trash::homeTrash()); }},
        {"move", [&](const ScanItem& i) { return Cleaner::move({i}, home("/Backup"), services_); },
         [&] { test::removeTree(home("/Backup/item")); }},
    };
    constexpr int swapRounds = 2000;
    for (const auto& action : actions) {
        SCOPED_TRACE(action.name);
        Swapper swapper(home("/.cache"), home("/.swap"));
        int cleaned = 0, refused = 0;
        auto end = Clock::now() + std::chrono::seconds(20);
        for (int i = 0; i < swapRounds && Clock::now() < end; ++i) {
            if (!existsAt(real.get(), "item")) {
                ASSERT_EQ(::mkdirat(real.get(), "item", 0700), 0);
                UniqueFd data(
                    ::openat(real.get(), "item/data", O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
                ASSERT_TRUE(data);
            }
            auto outcome = action.run(scanned());
            ASSERT_EQ(outcome.cleaned.size() + outcome.failures.size(), 1u);
            if (!outcome.cleaned.empty()) {
                ++cleaned;
                EXPECT_FALSE(existsAt(real.get(), "item")) << "reported cleaned, still there";
            } else if (outcome.failures[0].reason.find("changed after it was chosen") !=
                       std::string::npos) {
                ++refused;
            }
            action.tidy();
            ASSERT_EQ(test::readFile(precious), std::string(10, 'w'))
                << "the clean reached ~/Work/item, which was never chosen";
            if (HasFailure()) break;
        }
        EXPECT_GT(swapper.finish(), 0);
        EXPECT_GT(cleaned, 0) << "the chosen item was never removed";
        EXPECT_GT(refused, 0) << "the swap never came between the scan and the clean";
    }
}

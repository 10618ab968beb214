#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/fs.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "base/ending.h"
#include "base/unique_fd.h"
#include "platform/files.h"
#include "platform/safe_copy.h"
#include "platform/safe_delete.h"
#include "platform/trash.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {

class SafeDeleteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::clearHome();
        outside_ = test::makeTemporaryFolder("outside");
    }
    void TearDown() override {
        ::chmod(outside_.c_str(), 0700);
        test::removeTree(outside_);
    }
    std::string home(const std::string& rest) { return test::home() + rest; }
    std::string outside_;
};

std::string makeSocket(const std::string& path) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::close(fd);
    return path;
}

std::size_t openDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

} // namespace

TEST_F(SafeDeleteTest, RemovesATreeButNeverWhatItsLinksPointAt) {
    auto target = test::makeFile(outside_ + "/precious/keep.txt", 1000);
    auto targetFile = test::makeFile(outside_ + "/single.txt", 1000);
    test::makeFile(home("/item/a/b/c/deep.bin"), 5000);
    test::makeFile(home("/item/.hidden"), 10);
    test::makeLink(outside_ + "/precious", home("/item/a/link-to-folder"));
    test::makeLink(targetFile, home("/item/link-to-file"));
    test::makeLink(outside_ + "/precious", home("/linked-item"));
    std::string deep = home("/item/deep");
    for (int level = 0; level < 40; ++level)
        deep += "/d";
    test::makeFile(deep + "/bottom.bin", 100);
    test::makeLink(outside_ + "/precious", deep + "/planted");

    EXPECT_EQ(SafeDelete::remove(home("/item")), std::nullopt);
    EXPECT_FALSE(test::exists(home("/item")));
    // A link given as the item itself goes as a link.
    EXPECT_EQ(SafeDelete::remove(home("/linked-item/")), std::nullopt);
    EXPECT_FALSE(test::exists(home("/linked-item")));
    EXPECT_EQ(test::readFile(target).size(), 1000u);
    EXPECT_EQ(test::readFile(targetFile).size(), 1000u);
}

TEST_F(SafeDeleteTest, AGoneItemIsNoProblemAndAFileGoesAlone) {
    auto file = test::makeFile(home("/one.txt"), 10);
    EXPECT_EQ(SafeDelete::remove(file), std::nullopt);
    EXPECT_FALSE(test::exists(file));
    EXPECT_EQ(SafeDelete::remove(home("/never-was")), std::nullopt);
    EXPECT_EQ(SafeDelete::remove(home("/never/was/either")), std::nullopt);
    for (std::string odd : {std::string("/"), std::string(), home("/x/.."), home("/.")})
        EXPECT_TRUE(SafeDelete::remove(odd)) << odd;
    EXPECT_TRUE(test::exists(test::home()));
}

TEST_F(SafeDeleteTest, ReadOnlyFoldersOfTheUserAreEmptiedToo) {
    // Module caches write their folders read-only; the user still expects them to go.
    test::makeFile(home("/cache/mod/pkg/file.go"), 100);
    ::chmod(home("/cache/mod/pkg").c_str(), 0555);
    ::chmod(home("/cache/mod").c_str(), 0555);
    test::makeFile(home("/cache/sealed/x"), 10);
    ::chmod(home("/cache/sealed").c_str(), 0);
    EXPECT_EQ(SafeDelete::remove(home("/cache")), std::nullopt);
    EXPECT_FALSE(test::exists(home("/cache")));
}

TEST_F(SafeDeleteTest, AProblemIsReportedAndTheRestStillGoes) {
    if (test::runningAsRoot()) GTEST_SKIP() << "root may remove from any folder";
    // The folder that holds the item is outside it and is never made writable.
    test::makeFile(outside_ + "/locked/item/inner/a.txt", 10);
    ::chmod((outside_ + "/locked").c_str(), 0500);
    auto problem = SafeDelete::remove(outside_ + "/locked/item");
    ::chmod((outside_ + "/locked").c_str(), 0700);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("Permission denied"), std::string::npos) << *problem;
    EXPECT_FALSE(test::exists(outside_ + "/locked/item/inner"));
    EXPECT_TRUE(test::exists(outside_ + "/locked/item"));
}

TEST_F(SafeDeleteTest, CopyKeepsLinksAsLinksAndTimesAndModes) {
    auto file = test::makeFile(home("/src/tree/data.bin"), 300'000);
    ::chmod(file.c_str(), 0640);
    struct timespec old[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
    ::utimensat(AT_FDCWD, file.c_str(), old, 0);
    test::makeLink(outside_, home("/src/tree/elsewhere"));
    ::mkfifo(home("/src/tree/pipe").c_str(), 0600);

    ASSERT_EQ(SafeCopy::copy(home("/src/tree"), home("/dst")), std::nullopt);
    struct stat st {};
    ASSERT_EQ(::lstat(home("/dst/data.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 300'000);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1'000'000'000);
    ASSERT_EQ(::lstat(home("/dst/elsewhere").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::lstat(home("/dst/pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(test::readFile(home("/dst/data.bin")), test::readFile(file));

    // Nothing already there is ever replaced.
    auto problem = SafeCopy::copy(home("/src/tree"), home("/dst"));
    ASSERT_TRUE(problem);
    EXPECT_EQ(test::readFile(home("/dst/data.bin")).size(), 300'000u);
}

TEST_F(SafeDeleteTest, AFailedCopyTakesAwayOnlyWhatItMade) {
    test::makeFile(home("/src/tree/a.txt"), 100);
    makeSocket(home("/src/tree/z.socket"));
    auto problem = SafeCopy::copy(home("/src/tree"), home("/dst"));
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("special file"), std::string::npos) << *problem;
    EXPECT_FALSE(test::exists(home("/dst")));
    EXPECT_TRUE(test::exists(home("/src/tree/a.txt")));
}

TEST_F(SafeDeleteTest, ACopyAskedToEndIsTakenAwayWholeAndTheOriginalStays) {
    constexpr int files = 3000;
    for (int i = 0; i < files; ++i)
        test::makeFile(home("/src/tree/f" + std::to_string(i)), 10);
    // The ending is asked for as soon as the copy has begun.
    std::atomic<bool> done{false};
    std::thread asker([&] {
        while (!done && !test::exists(home("/dst/f0")))
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        Ending::request();
    });
    auto problem = SafeCopy::copy(home("/src/tree"), home("/dst"));
    done = true;
    asker.join();
    Ending::clear();
    ASSERT_TRUE(problem) << "the copy ended before the ending was asked for";
    EXPECT_NE(problem->find("asked to quit"), std::string::npos) << *problem;
    EXPECT_EQ(problem->find("could not be removed"), std::string::npos) << *problem;
    EXPECT_FALSE(test::exists(home("/dst"))) << "the unfinished copy stayed";
    std::size_t left = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(home("/src/tree")))
        ++left;
    EXPECT_EQ(left, static_cast<std::size_t>(files));
}

TEST_F(SafeDeleteTest, ABindMountInsideIsNeverEntered) {
    // A bind mount keeps the drive's device number; it must still count as another file system.
    // It is made in a child process with a mount namespace of its own, so nothing outlives it.
    if (!test::runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    auto precious = test::makeFile(outside_ + "/precious/keep.txt", 1000);
    test::makeFile(home("/item/inner/data.bin"), 1000);
    test::makeFolder(home("/item/mounted"));
    test::makeFolder(home("/item/a/b/c/d/e/f/g/h/mounted"));
    test::makeFolder(home("/mounted-item"));
    pid_t child = ::fork();
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            ::_exit(77);
        if (::mount((outside_ + "/precious").c_str(), home("/item/mounted").c_str(), nullptr,
                    MS_BIND, nullptr) != 0 ||
            ::mount((outside_ + "/precious").c_str(), home("/item/a/b/c/d/e/f/g/h/mounted").c_str(),
                    nullptr, MS_BIND, nullptr) != 0 ||
            ::mount((outside_ + "/precious").c_str(), home("/mounted-item").c_str(), nullptr,
                    MS_BIND, nullptr) != 0)
            ::_exit(77);
        auto inside = SafeDelete::remove(home("/item"));
        auto itself = SafeDelete::remove(home("/mounted-item"));
        bool ok = inside && inside->find("another mounted file system") != std::string::npos &&
                  itself && itself->find("is a mounted file system") != std::string::npos &&
                  !test::exists(home("/item/inner")) && test::readFile(precious).size() == 1000 &&
                  test::exists(home("/item/a/b/c/d/e/f/g/h/mounted/keep.txt"));
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no private mount namespace here";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(test::readFile(precious).size(), 1000u);
}

TEST_F(SafeDeleteTest, ACopyNeverWaitsOnAPipeSwappedInForAFile) {
    // A file and a named pipe trade names while copies run: opening the pipe as the file would
    // wait for a writer for ever. In a child process with an alarm, so a hang ends the test.
    test::makeFile(home("/src/tree/a"), 10);
    ASSERT_EQ(::mkfifo(home("/src/tree/b").c_str(), 0600), 0);
    pid_t child = ::fork();
    if (child == 0) {
        ::alarm(20);
        std::atomic<bool> stop{false};
        std::thread swapper([&] {
            while (!stop)
                ::renameat2(AT_FDCWD, home("/src/tree/a").c_str(), AT_FDCWD,
                            home("/src/tree/b").c_str(), RENAME_EXCHANGE);
        });
        for (int i = 0; i < 800; ++i) {
            SafeCopy::copy(home("/src/tree"), home("/dst"));
            ::unlink(home("/dst/a").c_str());
            ::unlink(home("/dst/b").c_str());
            ::rmdir(home("/dst").c_str());
        }
        stop = true;
        swapper.join();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the copy hung on the pipe";
}

TEST_F(SafeDeleteTest, TheCopyTellsWhetherTheSourceChangedSinceItWasCopied) {
    struct Change {
        const char* name;
        std::function<void()> make;
    } changes[] = {
        {"nothing", [] {}},
        {"appended", [&] { std::ofstream(home("/src/tree/a"), std::ios::app) << "x"; }},
        {"created", [&] { test::makeFile(home("/src/tree/sub/new"), 1); }},
        {"removed", [&] { ::unlink(home("/src/tree/sub/b").c_str()); }},
        {"replaced",
         [&] {
             test::makeFile(home("/src/c"), 10);
             ::rename(home("/src/c").c_str(), home("/src/tree/a").c_str());
         }},
        {"retouched",
         [&] {
             struct timespec times[2] = {{1, 0}, {1, 0}};
             ::utimensat(AT_FDCWD, home("/src/tree/sub/b").c_str(), times, 0);
         }},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change.name);
        test::removeTree(home("/src"));
        test::makeFile(home("/src/tree/a"), 10);
        test::makeFile(home("/src/tree/sub/b"), 10);
        auto held = Held::hold(home("/src/tree"));
        ASSERT_TRUE(std::holds_alternative<HeldItem>(held));
        UniqueFd into(::open(home("").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        auto copied = SafeCopy::copy(std::get<HeldItem>(held), into.get(), "dst", home("/dst"));
        ASSERT_EQ(copied.problem, std::nullopt);
        change.make();
        EXPECT_EQ(SafeCopy::unchangedSince(std::get<HeldItem>(held), copied.seen),
                  std::string(change.name) == "nothing");
        test::removeTree(home("/dst"));
    }
}

TEST_F(SafeDeleteTest, NoRemovalCopyOrTrashLeavesADescriptorOpenHoweverItEnds) {
    // Each step holds folders open while it works; an early return on any path must close them.
    struct Case {
        const char* name;
        std::function<std::optional<std::string>()> run;
        bool fails;
    };
    auto changedHeld = [&](const std::string& path, auto act) {
        test::makeFile(path, 10);
        auto held = Held::hold(path);
        ::rename(path.c_str(), (path + ".old").c_str()); // kept, so its inode is not reused
        test::makeFile(path, 10);
        return act(std::get<HeldItem>(held));
    };
    const std::vector<Case> cases = {
        {"a deep tree removed",
         [&] {
             test::makeFile(home("/tree/a/b/c/d/e/f/g/h/i/j/file"), 10);
             return SafeDelete::remove(home("/tree"));
         },
         false},
        {"a removal of something swapped after it was held",
         [&] {
             return changedHeld(home("/swapped"), [](auto& h) { return SafeDelete::remove(h); });
         },
         true},
        {"a copy onto what is already there",
         [&] {
             test::makeFile(home("/src/a/b/file"), 10);
             test::makeFolder(home("/taken"));
             return SafeCopy::copy(home("/src"), home("/taken"));
         },
         true},
        {"a copy that meets a special file deep inside and takes its part copy away",
         [&] {
             test::makeFile(home("/src/a/b/c/file"), 10);
             makeSocket(home("/src/a/b/c/z.socket"));
             return SafeCopy::copy(home("/src"), home("/dst"));
         },
         true},
        {"a copy into itself",
         [&] {
             test::makeFile(home("/src/a/file"), 10);
             return SafeCopy::copy(home("/src"), home("/src/a/inside"));
         },
         true},
        {"a move to the Trash past a name taken without its record",
         [&] {
             test::makeFile(Trash::homeTrash() + "/files/item.txt", 10);
             return Trash::moveToTrash(test::makeFile(home("/item.txt"), 10));
         },
         false},
        {"a move to the Trash of something swapped after it was held",
         [&] {
             return changedHeld(home("/swapped"), [](auto& h) { return Trash::moveToTrash(h); });
         },
         true},
        {"a move to a Trash whose folder is a file",
         [&] {
             test::makeFile(home("/not-a-trash"), 10);
             return Trash::moveInto(test::makeFile(home("/item.txt"), 10),
                                    {home("/not-a-trash"), std::nullopt});
         },
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::clearHome();
        const std::size_t before = openDescriptors();
        auto problem = c.run();
        EXPECT_EQ(problem.has_value(), c.fails) << problem.value_or("");
        EXPECT_EQ(openDescriptors(), before);
    }
}

namespace {

// Lowers this process's soft limit of open files for as long as it lives.
class FewDescriptors {
  public:
    explicit FewDescriptors(rlim_t soft) {
        ::getrlimit(RLIMIT_NOFILE, &old_);
        struct rlimit lower = old_;
        lower.rlim_cur = soft;
        ::setrlimit(RLIMIT_NOFILE, &lower);
    }
    ~FewDescriptors() { ::setrlimit(RLIMIT_NOFILE, &old_); }

  private:
    struct rlimit old_ {};
};

// A chain of `depth` folders named "d" below `folder` (deeper than any path can name), with a
// file at the bottom.
void makeChain(const std::string& folder, int depth) {
    test::makeFolder(folder);
    UniqueFd at(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (int i = 0; i < depth; ++i) {
        ASSERT_EQ(::mkdirat(at.get(), "d", 0700), 0);
        at.reset(::openat(at.get(), "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        ASSERT_TRUE(at);
    }
    UniqueFd file(::openat(at.get(), "bottom.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    ASSERT_TRUE(file);
}

} // namespace

TEST_F(SafeDeleteTest, ATreeOfAnyDepthIsRemovedWithAFewDozenDescriptors) {
    // One chain 5,000 deep, and 16 branches 150 deep side by side, under a limit of 256 open
    // files: a removal that kept every level open would run out on either.
    makeChain(home("/deep"), 5000);
    for (int branch = 0; branch < 16; ++branch)
        makeChain(home("/wide/" + std::to_string(branch)), 150);
    std::optional<std::string> deep, wide;
    {
        FewDescriptors limit(256);
        deep = SafeDelete::remove(home("/deep"));
        wide = SafeDelete::remove(home("/wide"));
    }
    EXPECT_EQ(deep, std::nullopt);
    EXPECT_EQ(wide, std::nullopt);
    EXPECT_FALSE(test::exists(home("/deep")));
    EXPECT_FALSE(test::exists(home("/wide")));
}

TEST(OpenFiles, TheSoftLimitIsRaisedToTheHardOne) {
    struct rlimit before {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &before), 0);
    if (before.rlim_max < 512) GTEST_SKIP() << "the hard limit is too low to lower from";
    FewDescriptors limit(256);
    EXPECT_EQ(Files::raiseOpenFileLimit(), before.rlim_max);
    struct rlimit after {};
    ::getrlimit(RLIMIT_NOFILE, &after);
    EXPECT_EQ(after.rlim_cur, before.rlim_max);
}

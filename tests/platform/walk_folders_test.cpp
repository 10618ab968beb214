#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engine/scanner.h"
#include "finders/file_walk.h"
#include "platform/walk_folders.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {

struct stat statOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st;
}

class WalkFoldersTest : public ::testing::Test {
  protected:
    void SetUp() override { test::clearHome(); }
    std::string home(const std::string& rest) { return test::home() + rest; }
};

} // namespace

TEST_F(WalkFoldersTest, AFolderIsOpenedOnlyWhileItIsStillTheOneSeen) {
    auto folder = test::makeFolder(home("/seen"));
    test::makeLink(folder, home("/link"));
    struct stat seen = statOf(folder);

    EXPECT_TRUE(WalkFolders::openSeen(folder, seen.st_dev, seen.st_ino));
    // A link to the very same folder is refused below a root, and followed only as a root.
    EXPECT_FALSE(WalkFolders::openSeen(home("/link"), seen.st_dev, seen.st_ino));
    EXPECT_TRUE(WalkFolders::openSeen(home("/link"), seen.st_dev, seen.st_ino, true));
    // Swapped for another folder after it was seen, or gone.
    ASSERT_EQ(::rename(folder.c_str(), home("/moved").c_str()), 0);
    test::makeFolder(folder);
    EXPECT_FALSE(WalkFolders::openSeen(folder, seen.st_dev, seen.st_ino));
    EXPECT_FALSE(WalkFolders::openSeen(home("/missing"), seen.st_dev, seen.st_ino));
}

TEST_F(WalkFoldersTest, ABindMountInsideIsNeitherMeasuredNorListed) {
    // A bind mount keeps the device number of what it shows; walks must still stop at it. It is
    // made in a child process with a mount namespace of its own, so nothing outlives the test.
    if (!test::runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    std::string outside = test::makeTemporaryFolder("bind-source");
    test::makeFile(outside + "/big.bin", 1'000'000);
    auto inner = test::makeFile(home("/tree/inner.bin"), 10'000);
    test::makeFolder(home("/tree/mounted"));
    pid_t child = ::fork();
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(outside.c_str(), home("/tree/mounted").c_str(), nullptr, MS_BIND, nullptr) != 0)
            ::_exit(77);
        if (!test::exists(home("/tree/mounted/big.bin"))) ::_exit(2);
        int folder = ::open(home("/tree").c_str(), O_RDONLY | O_DIRECTORY);
        bool entered = WalkFolders::entersFolder(folder, "mounted", statOf(home("/tree/mounted")),
                                                 statOf(inner).st_dev);
        ::close(folder);
        bool measured = Scanner::allocatedSize(home("/tree")) ==
                        static_cast<std::int64_t>(statOf(inner).st_blocks) * 512;
        auto files = FileWalk::regularFiles({home("/tree")}, 1);
        bool listed = files.size() == 1 && files[0].path == inner;
        ::_exit(!entered && measured && listed ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    test::removeTree(outside);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no private mount namespace here";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit " << WEXITSTATUS(status);
}

TEST_F(WalkFoldersTest, AFolderDeeperThanTheLongestPathIsStillMeasuredAndListed) {
    // 30 levels of 200-character names: the bottom folder's path is over PATH_MAX, so open(2)
    // alone cannot reach it.
    auto top = test::makeFolder(home("/deep"));
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY);
    std::string bottom = top, name(200, 'd');
    for (int level = 0; level < 30; ++level) {
        ASSERT_EQ(::mkdirat(fd, name.c_str(), 0700), 0);
        int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        bottom += "/" + name;
    }
    ASSERT_GT(bottom.size(), static_cast<std::size_t>(PATH_MAX));
    int file = ::openat(fd, "bottom.bin", O_WRONLY | O_CREAT, 0600);
    std::string bytes(100'000, 'x');
    ASSERT_EQ(::write(file, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    struct stat written {};
    ::fstat(file, &written);
    ::close(file);
    ::close(fd);

    EXPECT_GE(Scanner::allocatedSize(top), static_cast<std::int64_t>(written.st_blocks) * 512);
    auto files = FileWalk::regularFiles({top}, 1);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].path, bottom + "/bottom.bin");
    // And read, as the duplicate finders read it.
    std::int64_t size = 0;
    UniqueFd read(FileWalk::openRegular(files[0].path, files[0].identity, &size));
    EXPECT_TRUE(read);
    EXPECT_EQ(size, 100'000);
    ASSERT_EQ(std::system(("rm -rf '" + top + "'").c_str()), 0);
}

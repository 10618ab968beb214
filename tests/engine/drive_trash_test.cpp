// The Trash of other drives, as the user meets it: what goes there, what the Trash category shows
// and empties, and what is refused because the desktop's Trash would never show it.
#include <fstream>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "engine/catalog.h"
#include "engine/cleaner.h"
#include "engine/scanner.h"
#include "platform/files.h"
#include "platform/mounts.h"
#include "platform/trash.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {

bool onTmpfs(const std::string& folder) {
    auto mounts = Mounts::current();
    if (!mounts) return false;
    for (const auto& mount : *mounts)
        if (mount.point == folder) return mount.type == "tmpfs";
    return false;
}

int shell(const std::string& command) {
    int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(DriveTrash, AnItemOnTheSystemsMemoryFileSystemIsRefusedNotHidden) {
    // /dev/shm is a tmpfs, which the desktop's Trash leaves out: a trash made there would hold
    // the item out of every Trash's sight until the next start wiped it.
    if (!onTmpfs("/dev/shm") || ::access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "needs a writable tmpfs at /dev/shm";
    std::string trash = "/dev/shm/.Trash-" + std::to_string(::getuid());
    bool existed = test::exists(trash);
    char pattern[] = "/dev/shm/bramwick-test-shm-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    std::string item = test::makeFile(std::string(pattern) + "/notes.txt", 100);

    EXPECT_EQ(Trash::moveToTrash(item),
              item + " is on /dev/shm (tmpfs), which the desktop's Trash leaves out, so it "
                     "cannot be moved to the Trash");
    EXPECT_TRUE(test::exists(item));
    EXPECT_EQ(test::exists(trash), existed);
    if (!existed) test::removeTree(trash);
    test::removeTree(pattern);
}

TEST(DriveTrash, TheTrashCategoryShowsAndEmptiesEveryDrivesTrashAsTheDesktopDoes) {
    // In a child with a mount namespace of its own, so no mount outlives the test: a drive (an
    // ext4 image, mounted in a temporary folder and again at /mnt) and a tmpfs.
    if (!test::runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    test::clearHome();
    std::string root = test::makeTemporaryFolder("drives");
    std::string image = root + "/drive.img", drive = test::makeFolder(root + "/drive"),
                memory = test::makeFolder(root + "/memory"), report = root + "/report";
    if (shell("truncate -s 16M " + image) != 0 || shell("mkfs.ext4 -q -F " + image) != 0) {
        test::removeTree(root);
        GTEST_SKIP() << "mkfs.ext4 is not there";
    }
    std::string id = std::to_string(::getuid());
    pid_t child = ::fork();
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("none", memory.c_str(), "tmpfs", 0, nullptr) != 0 ||
            shell("mount -o loop " + image + " " + drive) != 0 ||
            ::mount(drive.c_str(), "/mnt", nullptr, MS_BIND, nullptr) != 0)
            ::_exit(77);
        std::ofstream out(report);
        auto say = [&](const std::string& line) { out << line << "\n"; };

        // An item of the drive goes to the drive's own trash, and the Trash category shows it,
        // saying which drive it is on.
        auto photo = test::makeFile(drive + "/photos/beach.jpg", 50'000);
        if (auto problem = Trash::moveToTrash(photo)) say("drive: " + *problem);
        const CleanupCategory& trash = *Catalog::find("trash");
        auto items = Scanner::items(trash);
        for (const auto& item : items)
            say(fmt::format("listed {} · {}", item.url, item.note.value_or("")));
        // Cleaning it empties that trash, its record included.
        auto outcome = Cleaner::clean(items, trash);
        for (const auto& failure : outcome.failures)
            say("clean: " + failure.reason);
        say(fmt::format("left {} files, {} records",
                        Files::names(drive + "/.Trash-" + id + "/files").size(),
                        Files::names(drive + "/.Trash-" + id + "/info").size()));

        // Where the desktop's Trash refuses (glib's own trash, through gio), so do we.
        bool gio = ::access("/usr/bin/gio", X_OK) == 0;
        for (const auto& folder : {drive, memory, std::string("/mnt")}) {
            auto ours = test::makeFile(folder + "/ours.txt", 10);
            auto theirs = test::makeFile(folder + "/theirs.txt", 10);
            bool refused = Trash::moveToTrash(ours).has_value();
            say(fmt::format("{}: {}", folder, refused ? "refused" : "trashed"));
            if (gio) {
                auto run = test::runProgram(
                    "/usr/bin/gio", {"trash", theirs},
                    {"HOME=" + test::home(), "XDG_DATA_HOME=" + test::home() + "/.local/share"});
                if ((run.status != 0) != refused) say(folder + ": gio disagrees");
            }
        }
        out.close();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    std::string said = test::readFile(report);
    test::removeTree(root);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no private mount namespace or loop device here";
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << said;
    EXPECT_EQ(said, fmt::format("listed {}/.Trash-{}/files/beach.jpg · On the drive at {}\n"
                                "left 0 files, 0 records\n"
                                "{}: trashed\n{}: refused\n/mnt: refused\n",
                                drive, id, drive, drive, memory));
}

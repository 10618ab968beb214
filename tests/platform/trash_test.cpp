#include <ctime>
#include <fcntl.h>
#include <regex>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "base/edition.h"
#include "base/unique_fd.h"
#include "platform/files.h"
#include "platform/trash.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {

class TrashTest : public ::testing::Test {
  protected:
    void SetUp() override { test::clearHome(); }
    std::string home(const std::string& rest) { return test::home() + rest; }
    std::string trash(const std::string& rest) { return Trash::homeTrash() + rest; }
};

bool isFolder(const std::string& path, mode_t* mode = nullptr) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    if (mode) *mode = st.st_mode & 07777;
    return true;
}

} // namespace

TEST_F(TrashTest, AnItemGoesToTheHomeTrashWithItsInfoFile) {
    auto item = test::makeFile(home("/Downloads/my report #1.pdf"), 2000);
    std::time_t before = std::time(nullptr);
    ASSERT_EQ(Trash::moveToTrash(item), std::nullopt);
    EXPECT_EQ(Trash::homeTrash(), test::home() + "/.local/share/Trash");
    EXPECT_FALSE(test::exists(item));
    EXPECT_EQ(test::readFile(trash("/files/my report #1.pdf")).size(), 2000u);

    std::string info = test::readFile(trash("/info/my report #1.pdf.trashinfo"));
    std::smatch m;
    ASSERT_TRUE(
        std::regex_match(info, m, std::regex("\\[Trash Info\\]\nPath=(.*)\nDeletionDate=(.*)\n")))
        << info;
    EXPECT_EQ(m[1].str(), test::home() + "/Downloads/my%20report%20%231.pdf");
    struct tm parsed {};
    ASSERT_NE(::strptime(m[2].str().c_str(), "%Y-%m-%dT%H:%M:%S", &parsed), nullptr) << m[2].str();
    parsed.tm_isdst = -1;
    std::time_t when = std::mktime(&parsed); // local time, as the format says
    EXPECT_GE(when, before - 1);
    EXPECT_LE(when, std::time(nullptr) + 1);
    mode_t mode = 0;
    ASSERT_TRUE(isFolder(trash("/files"), &mode));
    EXPECT_EQ(mode, 0700u);
}

TEST_F(TrashTest, ATakenNameGetsANewOne) {
    auto a = test::makeFile(home("/a/report.pdf"), 10, 'a');
    auto b = test::makeFile(home("/b/report.pdf"), 10, 'b');
    auto c = test::makeFile(home("/c/report.pdf"), 10, 'c');
    auto folder = test::makeFile(home("/d/.config/x"), 10);
    // An item left in files/ without its info file still holds its name.
    test::makeFile(trash("/files/report 2.pdf"), 10, 'z');
    ASSERT_EQ(Trash::moveToTrash(a), std::nullopt);
    ASSERT_EQ(Trash::moveToTrash(b), std::nullopt);
    ASSERT_EQ(Trash::moveToTrash(c), std::nullopt);
    ASSERT_EQ(Trash::moveToTrash(home("/d/.config")), std::nullopt);
    EXPECT_EQ(test::readFile(trash("/files/report.pdf")), std::string(10, 'a'));
    EXPECT_EQ(test::readFile(trash("/files/report 2.pdf")), std::string(10, 'z'));
    EXPECT_EQ(test::readFile(trash("/files/report 3.pdf")), std::string(10, 'b'));
    EXPECT_EQ(test::readFile(trash("/files/report 4.pdf")), std::string(10, 'c'));
    EXPECT_FALSE(test::exists(trash("/info/report 2.pdf.trashinfo")));
    EXPECT_TRUE(test::exists(trash("/info/report 4.pdf.trashinfo")));
    EXPECT_TRUE(test::exists(trash("/files/.config/x")));
}

TEST_F(TrashTest, AVeryLongNameIsShortenedToFit) {
    std::string name = std::string(239, 'n') + "\u00fc\u00fc\u00fc.txt"; // 249 bytes
    auto item = test::makeFile(home("/" + name), 10);
    ASSERT_EQ(Trash::moveToTrash(item), std::nullopt);
    EXPECT_FALSE(test::exists(item));
    std::string kept =
        std::string(239, 'n') + "\u00fc.txt"; // cut between characters, never inside one
    EXPECT_TRUE(test::exists(trash("/files/" + kept)));
    EXPECT_TRUE(test::exists(trash("/info/" + kept + ".trashinfo")));
}

TEST_F(TrashTest, RefusesWhatHoldsTheTrashOrIsInIt) {
    test::makeFolder(trash("/files"));
    test::makeFile(trash("/files/old.txt"), 10);
    EXPECT_EQ(Trash::moveToTrash(home("/.local")), "The Trash itself is inside it");
    EXPECT_EQ(Trash::moveToTrash(trash("/files/old.txt")), "It is already in the Trash");
    EXPECT_TRUE(test::exists(trash("/files/old.txt")));
    auto missing = Trash::moveToTrash(home("/missing.txt"));
    ASSERT_TRUE(missing);
    EXPECT_NE(missing->find("No such file"), std::string::npos) << *missing;
}

TEST_F(TrashTest, AFailedRenameLeavesTheItemAndNoInfoFile) {
    std::string elsewhere = test::makeFolderOnAnotherDrive("trash");
    if (elsewhere.empty()) GTEST_SKIP() << "needs a second file system at /dev/shm";
    auto item = test::makeFile(home("/stay.txt"), 10);
    auto problem = Trash::moveInto(item, {elsewhere + "/Trash", std::nullopt});
    EXPECT_EQ(problem, "The Trash is on another file system");
    EXPECT_TRUE(test::exists(item));
    EXPECT_FALSE(test::exists(elsewhere + "/Trash/info/stay.txt.trashinfo"));
    test::removeTree(elsewhere);
}

TEST_F(TrashTest, ADriveOffersItsOwnTrashFolder) {
    uid_t uid = ::getuid();
    std::string id = std::to_string(uid);
    std::string top = test::makeFolder(home("/drive"));
    auto plain = Trash::driveTrash(top, uid);
    ASSERT_TRUE(std::holds_alternative<Trash::Folder>(plain));
    EXPECT_EQ(std::get<Trash::Folder>(plain).path, top + "/.Trash-" + id);
    mode_t mode = 0;
    EXPECT_TRUE(isFolder(top + "/.Trash-" + id + "/files", &mode));
    EXPECT_EQ(mode, 0700u);
    EXPECT_TRUE(isFolder(top + "/.Trash-" + id + "/info"));

    // A shared .Trash counts only when it is a real folder with the sticky bit.
    test::makeFolder(top + "/.Trash");
    ::chmod((top + "/.Trash").c_str(), 01777);
    auto shared = Trash::driveTrash(top, uid);
    ASSERT_TRUE(std::holds_alternative<Trash::Folder>(shared));
    EXPECT_EQ(std::get<Trash::Folder>(shared).path, top + "/.Trash/" + id);
    ::chmod((top + "/.Trash").c_str(), 0777);
    EXPECT_EQ(std::get<Trash::Folder>(Trash::driveTrash(top, uid)).path, top + "/.Trash-" + id);

    // A per-user folder that is a link is never used.
    std::string other = test::makeFolder(home("/drive2"));
    test::makeLink(home("/somewhere"), other + "/.Trash-" + id);
    EXPECT_TRUE(std::holds_alternative<std::string>(Trash::driveTrash(other, uid)));

    // Items of a drive are recorded relative to its top folder.
    auto item = test::makeFile(top + "/photos/a b.jpg", 10);
    ASSERT_EQ(Trash::moveInto(item, std::get<Trash::Folder>(plain)), std::nullopt);
    std::string info = test::readFile(top + "/.Trash-" + id + "/info/a b.jpg.trashinfo");
    EXPECT_NE(info.find("\nPath=photos/a%20b.jpg\n"), std::string::npos) << info;
}

TEST_F(TrashTest, AnItemOnABindMountInsideTheHomeGoesToThatMountsTrash) {
    // A bind mount shares the home's device, but nothing can be renamed across it: the item
    // goes to the trash at the mount's own top. Made in a child process with a mount namespace
    // of its own, so nothing outlives the test.
    if (!test::runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    std::string source = test::makeTemporaryFolder("bind-trash");
    test::makeFile(source + "/photos/a.jpg", 10);
    std::string mounted = test::makeFolder(home("/mounted"));
    test::makeFolder(trash("/files"));
    pid_t child = ::fork();
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(source.c_str(), mounted.c_str(), nullptr, MS_BIND, nullptr) != 0)
            ::_exit(77);
        bool ok = Trash::mountTop(mounted + "/photos") == mounted &&
                  Trash::moveToTrash(mounted + "/photos/a.jpg") == std::nullopt;
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    std::string id = std::to_string(::getuid());
    std::string info = test::readFile(source + "/.Trash-" + id + "/info/a.jpg.trashinfo");
    bool trashed = test::exists(source + "/.Trash-" + id + "/files/a.jpg") &&
                   !test::exists(source + "/photos/a.jpg");
    bool skipped = WIFEXITED(status) && WEXITSTATUS(status) == 77;
    test::removeTree(source);
    if (skipped) GTEST_SKIP() << "no private mount namespace here";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(info.find("\nPath=photos/a.jpg\n"), std::string::npos) << info;
    EXPECT_TRUE(trashed);
    EXPECT_TRUE(Files::names(trash("/files")).empty());
}

TEST(TrashPaths, EncodingAndInfoFiles) {
    EXPECT_EQ(Trash::encodePath("/home/a b/\u00fc%#?&=+,;.txt"),
              "/home/a%20b/%C3%BC%25%23%3F%26%3D%2B%2C%3B.txt");
    EXPECT_EQ(Trash::encodePath("/x/A-z_0.9!~*'()"), "/x/A-z_0.9!~*'()");
    EXPECT_EQ(Trash::infoText("/a b", 0).substr(0, 25), "[Trash Info]\nPath=/a%20b\n");

    EXPECT_EQ(Trash::mountTop("/proc/self"), "/proc");
}

TEST_F(TrashTest, ANameOfStrayBytesIsShortenedToSomethingNeverToNothing) {
    std::string name(250, '\x80');
    auto item = test::makeFile(home("/Downloads/" + name), 10);
    ASSERT_EQ(Trash::moveToTrash(item), std::nullopt);
    auto names = Files::names(trash("/files"));
    ASSERT_EQ(names.size(), 1u);
    EXPECT_FALSE(names[0].empty());
    EXPECT_TRUE(test::exists(trash("/info/" + names[0] + ".trashinfo")));
    EXPECT_FALSE(test::exists(trash("/info/.trashinfo")));
}

TEST_F(TrashTest, WithTheHomeTrashOnAnotherDriveAnItemIsNeverHiddenAtTheTopOfItsOwn) {
    std::string drive = test::makeFolderOnAnotherDrive("trash");
    if (drive.empty()) GTEST_SKIP() << "needs a second file system at /dev/shm";
    test::makeFolder(drive + "/Trash");
    test::makeFolder(home("/.local/share"));
    test::makeLink(drive + "/Trash", trash(""));
    auto top = Trash::mountTop(test::home());
    ASSERT_TRUE(top);
    std::string hidden = (*top == "/" ? "" : *top) + "/.Trash-" + std::to_string(::getuid());
    bool existed = test::exists(hidden);

    // Neither the Trash category nor the desktop's Trash shows a trash at the top of the home's
    // drive: the item stays and says why.
    auto item = test::makeFile(home("/Downloads/a.txt"), 10);
    auto problem = Trash::moveToTrash(item);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("is not on the drive of the Trash"), std::string::npos) << *problem;
    EXPECT_TRUE(test::exists(item));
    EXPECT_EQ(test::exists(hidden), existed);
    // An item on the Trash's own drive goes there as ever.
    auto there = test::makeFile(drive + "/b.txt", 10);
    EXPECT_EQ(Trash::moveToTrash(there), std::nullopt);
    EXPECT_TRUE(test::exists(drive + "/Trash/files/b.txt"));
    test::removeTree(drive);
}

TEST_F(TrashTest, RecordsLeftByAMoveThatNeverEndedAreRemovedAndTheirNamesFreed) {
    // A run killed between reserving a name and moving its item leaves a record of nothing.
    auto record = [&](const std::string& name, bool old) {
        std::string path = test::makeFile(trash("/info/" + name + ".trashinfo"), 10);
        if (old) {
            struct timespec times[2] = {{::time(nullptr) - 7200, 0}, {::time(nullptr) - 7200, 0}};
            ::utimensat(AT_FDCWD, path.c_str(), times, 0);
        }
        return path;
    };
    auto left = record("report.pdf", true);
    auto kept = record("photo.jpg", true);
    test::makeFile(trash("/files/photo.jpg"), 10);
    auto underway = record("notes.txt", true); // another move of ours still holds it
    UniqueFd held(::open(underway.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(held.get(), LOCK_EX), 0);
    auto recent = record("song.mp3", false); // another program's move may still be under way

    auto item = test::makeFile(home("/Downloads/report.pdf"), 2000);
    ASSERT_EQ(Trash::moveToTrash(item), std::nullopt);
    EXPECT_TRUE(test::exists(trash("/files/report.pdf"))) << "the name was taken for good";
    EXPECT_NE(test::readFile(left).find("Path="), std::string::npos);
    for (const auto& stays : {kept, underway, recent})
        EXPECT_TRUE(test::exists(stays)) << stays;
}

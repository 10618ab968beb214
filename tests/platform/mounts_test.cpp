#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/mounts.h"
#include "platform/trash.h"
#include "support/fixture.h"

using namespace bramwick;

TEST(Mounts, ReadsTheKernelsTable) {
    const char* table =
        "22 28 0:21 / /proc rw,relatime - proc proc rw\n"
        "28 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda1 rw\n"
        "61 28 8:17 / /media/ann/USB\\040STICK rw,nosuid shared:40 master:2 - vfat /dev/sdb1 rw\n"
        "not a mount line\n"
        "70 28 0:50 / relative rw - tmpfs tmpfs rw\n"
        "71 28 0:51 / /run/user/1000 rw,nosuid - tmpfs tmpfs rw,size=100k";
    EXPECT_EQ(Mounts::parse(table),
              (std::vector<Mounts::Mount>{{22, "/proc", "proc", "proc"},
                                          {28, "/", "ext4", "/dev/vda1"},
                                          {61, "/media/ann/USB STICK", "vfat", "/dev/sdb1"},
                                          {71, "/run/user/1000", "tmpfs", "tmpfs"}}));
    auto own = Mounts::current();
    ASSERT_TRUE(own);
    EXPECT_TRUE(std::any_of(own->begin(), own->end(),
                            [](const Mounts::Mount& mount) { return mount.point == "/"; }));
}

TEST(Mounts, TheSystemsOwnAreThoseTheDesktopsTrashLeavesOut) {
    struct Case {
        const char* point;
        const char* type;
        bool internal;
    } cases[] = {
        // Drives of the user's, wherever the desktop or the user mounted them.
        {"/media/ann/USB STICK", "vfat", false},
        {"/run/media/ann/backup", "ext4", false},
        {"/mnt/backup", "ext4", false},
        {"/data", "btrfs", false},
        {"/home/ann/phone", "fuse.sshfs", false},
        {"/srv/share", "nfs4", false},
        {"/boot/efi", "vfat", false},
        // The system's own folders, whatever is mounted there.
        {"/", "ext4", true},
        {"/home", "ext4", true},
        {"/var", "xfs", true},
        {"/var/tmp", "ext4", true},
        {"/boot", "ext4", true},
        {"/mnt", "ext4", true},
        {"/media", "ext4", true},
        {"/tmp", "ext4", true},
        // File systems in memory or of the kernel, wherever they are.
        {"/dev/shm", "tmpfs", true},
        {"/run/user/1000", "tmpfs", true},
        {"/media/ann/scratch", "tmpfs", true},
        {"/home/ann/ram", "ramfs", true},
        {"/sys/fs/cgroup", "cgroup2", true},
        {"/run/user/1000/gvfs", "fuse.gvfsd-fuse", true},
        {"/var/lib/docker/overlay2/x/merged", "overlay", true},
        {"/dev/mqueue", "mqueue", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Mounts::isSystemInternal({1, c.point, c.type, "x"}), c.internal)
            << c.point << " " << c.type;
}

TEST(Mounts, EachDrivesTrashAsTheDesktopFindsIt) {
    test::clearHome();
    uid_t uid = ::getuid();
    std::string id = std::to_string(uid);
    std::string root = test::makeTemporaryFolder("drives");
    auto drive = [&](const std::string& name) { return test::makeFolder(root + "/" + name); };
    // The per-user folder of the drive, and the administrator's shared one with the sticky bit.
    std::string plain = drive("plain");
    test::makeFolder(plain + "/.Trash-" + id + "/files");
    std::string shared = drive("shared");
    test::makeFolder(shared + "/.Trash/" + id + "/files");
    ::chmod((shared + "/.Trash").c_str(), 01777);
    test::makeFolder(shared + "/.Trash-" + id + "/files");
    // A shared folder without the sticky bit, or one that is a link, is anybody's: not used.
    std::string loose = drive("loose");
    test::makeFolder(loose + "/.Trash/" + id + "/files");
    ::chmod((loose + "/.Trash").c_str(), 0777);
    std::string linked = drive("linked");
    test::makeFolder(root + "/elsewhere/" + id + "/files");
    ::chmod((root + "/elsewhere").c_str(), 01777);
    test::makeLink(root + "/elsewhere", linked + "/.Trash");
    test::makeLink(plain + "/.Trash-" + id, linked + "/.Trash-" + id);
    // A trash without its files folder holds nothing to list; one on a file system of the
    // system's own is not shown by the desktop.
    std::string empty = drive("empty");
    test::makeFolder(empty + "/.Trash-" + id + "/info");
    std::string memory = drive("memory");
    test::makeFolder(memory + "/.Trash-" + id + "/files");

    std::vector<Mounts::Mount> mounts{
        {1, plain, "ext4", "/dev/sdb1"}, {2, shared, "ext4", "/dev/sdc1"},
        {3, loose, "ext4", "/dev/sdd1"}, {4, linked, "ext4", "/dev/sde1"},
        {5, empty, "ext4", "/dev/sdf1"}, {6, memory, "tmpfs", "tmpfs"},
        {7, plain, "ext4", "/dev/sdb1"}, // a second mount of the first drive
    };
    std::vector<std::pair<std::string, std::string>> found;
    for (const auto& trash : Trash::driveTrashes(mounts, uid))
        found.emplace_back(trash.path, trash.topDirectory.value_or(""));
    EXPECT_EQ(found, (std::vector<std::pair<std::string, std::string>>{
                         {plain + "/.Trash-" + id, plain},
                         {shared + "/.Trash/" + id, shared},
                         {shared + "/.Trash-" + id, shared}}));
    EXPECT_TRUE(test::exists(empty + "/.Trash-" + id + "/info")) << "nothing is made or removed";
    EXPECT_FALSE(test::exists(loose + "/.Trash-" + id));
    test::removeTree(root);
}

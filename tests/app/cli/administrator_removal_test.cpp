// The administrator's side of the cleaner's batch, run as root: where it may remove. The real
// removal is never reached outside a fixture: every list of system files goes to a remover that
// only records what it was asked.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/cli/administrator_removal.h"
#include "finders/uninstaller.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {

// An entry for what is at `path` now, as the user's side would list it after judging it.
std::optional<AdminRemoval::Entry> entryAt(const std::string& path) {
    struct stat st {
    }, folder{};
    std::string parent = path.substr(0, path.rfind('/'));
    if (::lstat(path.c_str(), &st) != 0 || ::stat(parent.empty() ? "/" : parent.c_str(), &folder))
        return std::nullopt;
    return AdminRemoval::Entry{{st.st_dev, st.st_ino}, {folder.st_dev, folder.st_ino}, path};
}

struct Recorder {
    std::vector<std::string> asked;
    AdminRemoval::Remover remover() {
        return [this](const HeldItem& item) -> std::optional<std::string> {
            asked.push_back(item.path);
            return "recorded only";
        };
    }
};

} // namespace

TEST(AdministratorRemoval, TheSystemsOwnFilesAreNeverRemovedWhateverTheListSays) {
    // Root passes every permission check: a crafted list of the system's files, each with its
    // true identity, must still be refused, every one, before anything is removed.
    std::vector<AdminRemoval::Entry> entries;
    for (const char* path : {"/etc/shadow", "/usr/bin/sudo", "/usr/bin/env", "/var/lib/dpkg",
                             "/root/.ssh", "/root", "/boot/grub", "/lib/modules", "/etc", "/usr"})
        if (auto entry = entryAt(path)) entries.push_back(*entry);
    ASSERT_GE(entries.size(), 4u);
    Recorder recorder;
    auto result = Cli::removeListedAsAdministrator(
        AdminRemoval::encode(entries), Cli::Invoker{::getuid(), test::home()}, recorder.remover());
    EXPECT_EQ(result.status, 1);
    auto reasons = AdminRemoval::reasons(result.output);
    EXPECT_EQ(reasons.size(), entries.size()) << result.output;
    for (const auto& [index, reason] : reasons)
        EXPECT_NE(reason.find("is one of the system's own files"), std::string::npos) << reason;
    EXPECT_TRUE(recorder.asked.empty());
}

TEST(AdministratorRemoval, WithoutTheUserWhoAskedNothingIsRemoved) {
    for (const char* uid : {"", "abc", "12x", "4294967290"})
        EXPECT_FALSE(Cli::invokingUser(uid)) << uid;
    EXPECT_FALSE(Cli::invokingUser(nullptr));
    auto self = Cli::invokingUser(std::to_string(::getuid()).c_str());
    ASSERT_TRUE(self);
    EXPECT_EQ(self->uid, ::getuid());

    test::clearHome();
    auto entry = entryAt(test::makeFile(test::home() + "/Library/Caches/app/data", 10));
    ASSERT_TRUE(entry);
    Recorder recorder;
    auto result = Cli::removeListedAsAdministrator(AdminRemoval::encode({*entry}), std::nullopt,
                                                   recorder.remover());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(AdminRemoval::reasons(result.output),
              (std::map<std::size_t, std::string>{
                  {0, "The user who asked could not be told, so nothing was removed"}}));
    EXPECT_TRUE(recorder.asked.empty());
}

TEST(AdministratorRemoval, OnlyThePlacesOfTheAdministratorRowsAndSystemLeftoversAreReached) {
    auto bounds = Cli::administratorBounds({::getuid(), test::home()});
    for (const char* place :
         {"/Library/Caches", "/Library/Application Support", "/Library/LaunchDaemons"})
        EXPECT_NE(std::find(bounds.places.begin(), bounds.places.end(), place), bounds.places.end())
            << place;
    EXPECT_EQ(bounds.listed,
              std::vector<std::string>{"/Library/Developer/CoreSimulator/Caches/dyld"});
    for (const auto& place : bounds.places)
        EXPECT_FALSE(AdminRemoval::inSystemTree(place)) << place;
    // A folder searched for leftovers holds every application's: never removed whole.
    for (const auto& place : Uninstaller::systemPlaces())
        EXPECT_TRUE(AdminRemoval::outOfBounds(place, bounds)) << place;

    // In a fixture: a place, a row's own path, a folder beside them, and another user's home
    // inside the place.
    test::clearHome();
    const std::string place = test::makeFolder(test::home() + "/system/Library/Caches");
    const std::string listed = test::makeFolder(test::home() + "/system/Library/Developer/dyld");
    const std::string otherHome = test::makeFolder(place + "/someone");
    AdminRemoval::Bounds fixture{{place}, {otherHome}, {listed}};
    struct Case {
        std::string path;
        std::optional<std::string> reason;
    } cases[] = {
        {place + "/app", std::nullopt},
        {place + "/app/deep/file", std::nullopt},
        {place, "~/system/Library/Caches is not in a place the administrator's removal reaches, so "
                "it was left alone"},
        {listed, std::nullopt},
        {listed + "/cache.bin", std::nullopt},
        {listed + "-other", "~/system/Library/Developer/dyld-other is not in a place the "
                            "administrator's removal reaches, so it was left alone"},
        {test::home() + "/system/Library/Preferences/app.plist",
         "~/system/Library/Preferences/app.plist is not in a place the administrator's removal "
         "reaches, so it was left alone"},
        {test::home() + "/system/Library/Caches-other",
         "~/system/Library/Caches-other is not in a place the administrator's removal reaches, "
         "so it was left alone"},
        {otherHome + "/.ssh", "~/system/Library/Caches/someone/.ssh is in another user's home, so "
                              "it was left alone"},
        {"/etc/shadow", "/etc/shadow is one of the system's own files, so it was left alone"},
        {"/lib64/ld-linux-x86-64.so.2",
         "/lib64/ld-linux-x86-64.so.2 is one of the system's own files, so it was left alone"},
        {"/var/lib/dpkg/status",
         "/var/lib/dpkg/status is one of the system's own files, so it was left alone"},
        {"/var/cache/app", "/var/cache/app is not in a place the administrator's removal "
                           "reaches, so it was left alone"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AdminRemoval::outOfBounds(c.path, fixture), c.reason) << c.path;

    // And through the removal itself: what lies in the place goes, the rest stays.
    auto inside = test::makeFile(place + "/app/data", 10);
    auto beside = test::makeFile(test::home() + "/system/Library/Preferences/app.plist", 10);
    auto theirs = test::makeFile(otherHome + "/notes.txt", 10);
    std::vector<AdminRemoval::Entry> entries;
    for (const auto& path : {place + "/app", beside, theirs})
        entries.push_back(*entryAt(path));
    auto result = AdminRemoval::removeListed(AdminRemoval::encode(entries), fixture);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(AdminRemoval::reasons(result.output).size(), 2u) << result.output;
    EXPECT_FALSE(test::exists(inside));
    EXPECT_TRUE(test::exists(beside));
    EXPECT_TRUE(test::exists(theirs));
}

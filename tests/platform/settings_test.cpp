#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "base/unique_fd.h"
#include "platform/settings.h"
#include "support/fixture.h"

using namespace bramwick;
namespace fs = std::filesystem;

namespace {
class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = test::makeTemporaryFolder("settings");
        file = folder + "/bramwick/settings.json";
    }
    void TearDown() override { test::removeTree(folder); }
    std::string folder, file;
};

std::vector<std::string> asideFiles(const std::string& folder) {
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(folder + "/bramwick"))
        if (e.path().filename().string().starts_with("settings.json.corrupt-"))
            names.push_back(e.path().filename().string());
    return names;
}
} // namespace

TEST_F(SettingsTest, KeepsJsonTypesAcrossASave) {
    {
        Settings s(file);
        EXPECT_FALSE(s.contains("unusedAppDays"));
        EXPECT_FALSE(s.set("unusedAppDays", 30));
        EXPECT_FALSE(s.set("skin", "nightfall"));
        EXPECT_FALSE(s.set("keepInDock", true));
        EXPECT_FALSE(s.set("ratio", 2.5));
    }
    Settings again(file);
    EXPECT_EQ(again.integer("unusedAppDays"), 30);
    EXPECT_EQ(again.string("skin"), "nightfall");
    EXPECT_EQ(again.boolean("keepInDock"), true);
    EXPECT_EQ(again.number("ratio"), 2.5);
    EXPECT_FALSE(again.integer("ratio"));
    EXPECT_FALSE(again.integer("skin"));
    EXPECT_FALSE(again.boolean("unusedAppDays"));
    EXPECT_FALSE(again.remove("skin"));
    EXPECT_FALSE(Settings(file).contains("skin"));
    EXPECT_EQ((fs::status(file).permissions() & fs::perms::all),
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(SettingsTest, ACorruptFileIsLeftAloneByReadsAndSetAsideBeforeAWrite) {
    test::makeFolder(folder + "/bramwick");
    {
        std::ofstream out(file);
        out << "{\"unusedAppDays\": 30,";
    }
    std::string original = test::readFile(file);
    Settings s(file);
    EXPECT_TRUE(s.loadProblem());
    EXPECT_FALSE(s.integer("unusedAppDays")) << "a corrupt file reads as defaults";
    EXPECT_EQ(test::readFile(file), original) << "reading never changes the file";
    EXPECT_TRUE(asideFiles(folder).empty());

    EXPECT_FALSE(s.set("skin", "classic"));
    auto aside = asideFiles(folder);
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(test::readFile(folder + "/bramwick/" + aside[0]), original);
    EXPECT_EQ(Settings(file).string("skin"), "classic");
}

TEST_F(SettingsTest, ANonObjectFileCountsAsCorrupt) {
    test::makeFolder(folder + "/bramwick");
    std::ofstream(file) << "[1, 2, 3]";
    Settings s(file);
    EXPECT_TRUE(s.loadProblem());
    EXPECT_FALSE(s.contains("0"));
}

// Nested a million levels deep, the file would be read but written out again only by recursing
// a million times: it counts as corrupt, and a save sets it aside.
TEST_F(SettingsTest, AFileNestedTooDeeplyCountsAsCorrupt) {
    test::makeFolder(folder + "/bramwick");
    constexpr int levels = 1'000'000;
    std::ofstream(file) << "{\"skin\": \"classic\", \"x\": " << std::string(levels, '[')
                        << std::string(levels, ']') << "}";
    Settings s(file);
    EXPECT_TRUE(s.loadProblem());
    EXPECT_FALSE(s.string("skin"));
    EXPECT_FALSE(s.set("skin", "nightfall"));
    EXPECT_EQ(Settings(file).string("skin"), "nightfall");
    EXPECT_EQ(asideFiles(folder).size(), 1u);

    std::ofstream(file) << "{\"skin\": \"classic\", \"x\": [[[[[[{\"y\": [1]}]]]]]]}";
    EXPECT_EQ(Settings(file).string("skin"), "classic");
}

TEST_F(SettingsTest, ObserversHearEveryChange) {
    Settings s(file);
    std::vector<std::string> heard;
    auto token = s.subscribe([&](const std::string& key) { heard.push_back(key); });
    s.set("a", 1);
    s.remove("a");
    s.remove("never-set");
    s.unsubscribe(token);
    s.set("b", 2);
    EXPECT_EQ(heard, (std::vector<std::string>{"a", "a"}));
}

TEST_F(SettingsTest, AFailedSaveLeavesTheOldFileAndSaysWhy) {
    if (test::runningAsRoot()) GTEST_SKIP() << "root writes into read-only folders";
    Settings s(file);
    ASSERT_FALSE(s.set("a", 1));
    fs::permissions(folder + "/bramwick", fs::perms::owner_read | fs::perms::owner_exec);
    auto problem = s.set("a", 2);
    fs::permissions(folder + "/bramwick", fs::perms::owner_all);
    ASSERT_TRUE(problem);
    EXPECT_EQ(Settings(file).integer("a"), 1);
}

TEST_F(SettingsTest, AFileInThePlaceOfTheFolderIsAClearError) {
    test::makeFile(folder + "/bramwick", 10);
    Settings s(file);
    auto problem = s.set("a", 1);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("not a folder"), std::string::npos);
    EXPECT_EQ(s.unsaved(), problem);
    EXPECT_EQ(s.integer("a"), 1); // applies while the program runs
    EXPECT_FALSE(s.remove("never-set"));
    EXPECT_EQ(s.unsaved(), problem) << "nothing was saved";

    // The next save that succeeds writes the value that could not be saved as well.
    fs::remove(folder + "/bramwick");
    EXPECT_FALSE(s.set("b", 2));
    EXPECT_FALSE(s.unsaved());
    EXPECT_EQ(Settings(file).integer("a"), 1);
}

// Nobody waits on a background write, so its failure is told: to those following the writes,
// and by `flush`, the last chance to say it before the program ends.
TEST_F(SettingsTest, AFailedBackgroundWriteIsToldAndFlushSaysWhy) {
    test::makeFile(folder + "/bramwick", 10);
    Settings s(file);
    std::mutex mutex;
    std::vector<std::optional<std::string>> heard;
    auto token = s.subscribeToWrites([&](const std::optional<std::string>& problem) {
        std::lock_guard lock(mutex);
        heard.push_back(problem);
    });
    auto heardNow = [&] {
        std::lock_guard lock(mutex);
        return heard;
    };
    s.updateLater("cleanupLog", [](nlohmann::json& value) { value = 1; });
    auto problem = s.flush();
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("not a folder"), std::string::npos);
    EXPECT_EQ(heardNow(), std::vector<std::optional<std::string>>{problem});

    fs::remove(folder + "/bramwick");
    s.updateLater("cleanupLog", [](nlohmann::json& value) { value = 2; });
    EXPECT_FALSE(s.flush());
    EXPECT_EQ(heardNow(), (std::vector<std::optional<std::string>>{problem, std::nullopt}));

    s.unsubscribe(token);
    s.updateLater("cleanupLog", [](nlohmann::json& value) { value = 3; });
    EXPECT_FALSE(s.flush());
    EXPECT_EQ(heardNow().size(), 2u) << "heard after unsubscribing";
    EXPECT_EQ(Settings(file).integer("cleanupLog"), 3);
}

TEST_F(SettingsTest, SomethingOtherThanAFileIsReportedWithoutWaitingOnIt) {
    // A pipe would block the reader until something writes to it, /dev/zero would never end.
    struct Case {
        const char* name;
        std::function<void(const std::string&)> make;
        const char* problem;
    } cases[] = {
        {"folder", [](const std::string& p) { fs::create_directory(p); },
         "is a folder, not a file"},
        {"pipe", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); },
         "is a pipe, socket or device, not a file"},
        {"device", [](const std::string& p) { test::makeLink("/dev/zero", p); },
         "is a pipe, socket or device, not a file"},
    };
    for (const auto& c : cases) {
        test::removeTree(folder + "/bramwick");
        test::makeFolder(folder + "/bramwick");
        c.make(file);
        Settings s(file);
        auto problem = s.loadProblem();
        ASSERT_TRUE(problem) << c.name;
        EXPECT_NE(problem->find(c.problem), std::string::npos) << c.name << ": " << *problem;
        EXPECT_FALSE(s.contains("skin")) << c.name;
        EXPECT_TRUE(asideFiles(folder).empty()) << c.name << ": a read sets nothing aside";
    }
}

TEST_F(SettingsTest, ASettingsFileThatIsALinkIsWrittenWhereItLeads) {
    // Kept in a dotfiles repository: the link stays, the file it leads to gets the change.
    const std::string repository = folder + "/dotfiles/settings.json";
    test::makeFolder(folder + "/dotfiles");
    std::ofstream(repository) << "{\"skin\": \"classic\"}";
    test::makeFolder(folder + "/bramwick");
    test::makeLink(repository, file);
    Settings s(file);
    EXPECT_EQ(s.string("skin"), "classic");
    EXPECT_FALSE(s.set("skin", "nightfall"));
    struct stat st {};
    ASSERT_EQ(::lstat(file.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
    EXPECT_EQ(Settings(repository).string("skin"), "nightfall");
}

TEST_F(SettingsTest, TemporaryFilesOfAWriteThatNeverEndedAreRemovedByTheNextSave) {
    test::makeFolder(folder + "/bramwick");
    auto left = test::makeFile(file + ".tmp-Ab12Cd", 10);
    auto aged = [](const std::string& path) {
        struct timespec old[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), old, 0);
    };
    aged(left);
    // One another writer is still writing (it holds it locked), and one just made.
    auto writing = test::makeFile(file + ".tmp-Ef34Gh", 10);
    aged(writing);
    UniqueFd held(::open(writing.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(held.get(), LOCK_EX), 0);
    auto fresh = test::makeFile(file + ".tmp-Ij56Kl", 10);
    auto other = test::makeFile(folder + "/bramwick/notes.tmp-Mn78Op", 10);
    aged(other);

    Settings s(file);
    EXPECT_FALSE(s.set("skin", "classic"));
    EXPECT_FALSE(test::exists(left));
    EXPECT_TRUE(test::exists(writing));
    EXPECT_TRUE(test::exists(fresh));
    EXPECT_TRUE(test::exists(other)) << "only the settings' own temporary files go";
}

#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engine/catalog.h"
#include "engine/scanner.h"
#include "engine/scratchpads.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {

class ScratchpadsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::clearHome();
        root_ = Scanner::claudeSessionRoot();
    }
    std::string session(const std::string& project, const std::string& id) {
        return root_ + "/" + project + "/" + id;
    }
    std::string root_;
};

void setModified(const std::string& path, std::time_t secondsAgo) {
    struct timespec times[2] = {{0, UTIME_OMIT}, {std::time(nullptr) - secondsAgo, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::int64_t sizeOf(const std::string& path) {
    return Scanner::allocatedSize(path);
}

} // namespace

TEST_F(ScratchpadsTest, TheRootLiesInASandboxedHome) {
    EXPECT_EQ(root_, test::home() + "/tmp/claude-" + std::to_string(::getuid()));
}

TEST_F(ScratchpadsTest, SessionNames) {
    struct Case {
        const char* project;
        const char* expected;
    } cases[] = {
        {"-Users-alice-Projects-shop", "shop · session 0f3a9c2e"},
        {"-Users-alice", "no project folder · session 0f3a9c2e"},
        {"-home-alice", "no project folder · session 0f3a9c2e"},
        {"-Users-alice-Projects-shop-Projects-web", "web · session 0f3a9c2e"},
        {"-home-alice-Projects-app", "app · session 0f3a9c2e"},
        {"-root", "no project folder · session 0f3a9c2e"},
        {"-root-notes", "no project folder · session 0f3a9c2e"},
        {"-rooted", "-rooted · session 0f3a9c2e"},
        {"-private-var-work", "-private-var-work · session 0f3a9c2e"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Scanner::claudeSessionName("/r/" + std::string(c.project) +
                                             "/0f3a9c2e-5b7d-4c1a-9e2f-1a2b3c4d5e6f"),
                  c.expected);
    EXPECT_EQ(Scanner::claudeSessionName("/r/-Users-a-Projects-x/abc"), "x · session abc");
}

TEST_F(ScratchpadsTest, SessionsAndTheirBuildFolders) {
    std::string busy =
        session("-Users-alice-Projects-shop", "0f3a9c2e-5b7d-4c1a-9e2f-1a2b3c4d5e6f");
    test::makeFile(busy + "/scratchpad/pull-request.patch", 40'000);
    test::makeFile(busy + "/scratchpad/dd/Build/app.o", 400'000);
    std::string old = session("-home-alice", "11112222-3333");
    test::makeFile(old + "/scratchpad/tr1", 10'000);
    test::makeFile(old + "/scratchpad/dd/x.o", 50'000);
    setModified(old + "/scratchpad/dd", 61 * 60);
    setModified(old, 61 * 60);
    std::string plain = session("-Users-alice-Projects-web", "99998888");
    test::makeFile(plain + "/scratchpad/trace.log", 20'000);
    test::makeFile(plain + "/scratchpad/Pull.txt", 20'000);
    test::makeFile(plain + "/notes.md", 20'000);
    setModified(plain, 2 * 3600);
    std::string onlyBuild = session("-Users-alice-Projects-tiny", "55556666");
    test::makeFile(onlyBuild + "/scratchpad/dd/y.o", 30'000);
    test::makeFile(root_ + "/stray-file", 10);
    test::makeFile(root_ + "/-Users-alice-Projects-shop/stray-file", 10);

    auto pads = Scanner::claudeScratchpads();
    std::map<std::string, ScanItem> byName;
    for (const auto& item : pads)
        byName[item.name] = item;
    ASSERT_EQ(byName.size(), 4u);
    const auto& shop = byName.at("shop · session 0f3a9c2e");
    EXPECT_EQ(shop.url, busy);
    EXPECT_EQ(shop.size, sizeOf(busy) - sizeOf(busy + "/scratchpad/dd"));
    EXPECT_EQ(
        shop.note,
        "Used in the last hour — may be a running session · Contains copied files that may not "
        "regenerate — check you have another copy first");
    EXPECT_EQ(byName.at("no project folder · session 11112222").note,
              "Contains copied files that may not regenerate — check you have another copy first");
    EXPECT_EQ(byName.at("web · session 99998888").note, std::nullopt);
    EXPECT_EQ(byName.at("tiny · session 55556666").size, 0);

    auto builds = Scanner::claudeScratchpadBuilds();
    ASSERT_EQ(builds.size(), 3u);
    std::map<std::string, ScanItem> buildsByName;
    for (const auto& item : builds)
        buildsByName[item.name] = item;
    EXPECT_EQ(buildsByName.at("shop · session 0f3a9c2e").note,
              "Built in the last hour — may belong to a running session");
    EXPECT_EQ(buildsByName.at("shop · session 0f3a9c2e").size, sizeOf(busy + "/scratchpad/dd"));
    EXPECT_EQ(buildsByName.at("no project folder · session 11112222").note, std::nullopt);

    // Through the scanner, the session that holds only its build folder drops out of one list.
    auto scanned = Scanner::items(*Catalog::find("claude-scratchpads"));
    EXPECT_EQ(scanned.size(), 3u);
    EXPECT_EQ(Scanner::items(*Catalog::find("claude-scratchpad-builds")).size(), 3u);
}

TEST_F(ScratchpadsTest, ABuildFolderReachedThroughALinkIsNoBuildFolder) {
    // The user's own folder, with a "dd" in it, where a scratchpad or its build folder leads.
    test::makeFile(test::home() + "/mydata/dd/precious", 90'000);
    std::string linkedPad = session("-root", "33333333-cccc");
    test::makeFile(linkedPad + "/log", 5'000);
    test::makeLink(test::home() + "/mydata", linkedPad + "/scratchpad");
    std::string linkedBuild = session("-root", "44444444-dddd");
    test::makeFile(linkedBuild + "/scratchpad/notes.md", 5'000);
    test::makeLink(test::home() + "/mydata/dd", linkedBuild + "/scratchpad/dd");

    EXPECT_TRUE(Scanner::claudeScratchpadBuilds().empty());
    auto pads = Scanner::claudeScratchpads();
    ASSERT_EQ(pads.size(), 2u);
    for (const auto& pad : pads)
        EXPECT_LT(pad.size, 90'000) << pad.url << ": nothing taken away for a build folder";
    EXPECT_TRUE(test::exists(test::home() + "/mydata/dd/precious"));
}

TEST_F(ScratchpadsTest, ARootThatIsALinkOrAnotherUsersCountsForNothing) {
    std::string real = test::makeFolder(test::home() + "/elsewhere");
    test::makeFile(real + "/-Users-a-Projects-x/session1/scratchpad/big", 10'000);
    test::makeFolder(test::home() + "/tmp");
    test::makeLink(real, root_);
    EXPECT_TRUE(Scanner::claudeSessions().empty());
    EXPECT_TRUE(Scanner::claudeScratchpads().empty());
    EXPECT_EQ(Scanner::claudeSessions(real).size(), 1u);

    if (!test::runningAsRoot()) return; // only root can hand a folder to another user
    ASSERT_EQ(::chown(real.c_str(), 65534, 65534), 0);
    EXPECT_TRUE(Scanner::claudeSessions(real).empty());
}

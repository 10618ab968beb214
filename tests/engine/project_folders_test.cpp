#include <algorithm>
#include <map>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "engine/catalog.h"
#include "engine/cleaner.h"
#include "engine/project_folders.h"
#include "engine/scanner.h"
#include "platform/held_item.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {

class ProjectFoldersTest : public ::testing::Test {
  protected:
    void SetUp() override { test::clearHome(); }
    std::string home(const std::string& rest) { return test::home() + rest; }
    // A folder with something in it, so that it measures more than nothing.
    void artifact(const std::string& rest) { test::makeFile(home(rest + "/content.bin"), 8192); }
};

std::map<std::string, std::string> notesByName(const std::vector<ScanItem>& items) {
    std::map<std::string, std::string> out;
    for (const auto& item : items)
        out[item.name] = item.note.value_or("");
    return out;
}

std::int64_t allocated(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return static_cast<std::int64_t>(st.st_blocks) * 512;
}

} // namespace

TEST_F(ProjectFoldersTest, FindsBuildFoldersByNameAndMarker) {
    artifact("/Projects/app/node_modules/pkg/node_modules/inner");
    test::makeFile(home("/Projects/ios/Podfile"), 10);
    artifact("/Projects/ios/build");
    artifact("/Projects/ios/Pods");
    test::makeFile(home("/Projects/android/build.gradle"), 10);
    artifact("/Projects/android/build");
    test::makeFile(home("/Projects/flutter/pubspec.yaml"), 10);
    test::makeFile(home("/Projects/flutter/Podfile"), 10);
    artifact("/Projects/flutter/build");
    artifact("/Projects/plain/build/node_modules"); // no marker: walked like any folder
    artifact("/Projects/plain/Pods");               // no Podfile beside it
    test::makeFile(home("/Projects/rust/Cargo.toml"), 10);
    artifact("/Projects/rust/target");
    artifact("/Projects/rust/Target");            // "Target" is not "target"
    test::makeFolder(home("/Projects/web/dist")); // empty: found, but measures nothing
    test::makeFile(home("/Projects/web/package.json"), 10);
    artifact("/Projects/web/.next");
    artifact("/Projects/app/.git/node_modules");
    test::makeLink(home("/Projects/app/node_modules"), home("/Projects/linked/node_modules"));
    test::makeFile(home("/Projects/swift/Package.swift"), 10);
    artifact("/Projects/swift/.build");
    test::makeFolder(home("/Projects/gradle/.gradle")); // needs settings.gradle

    auto found = Scanner::projectArtifacts({"~/Projects", "~/Projects/app"}); // overlapping roots
    EXPECT_EQ(notesByName(found), (std::map<std::string, std::string>{
                                      {"app/node_modules", "Restore with: npm install"},
                                      {"ios/build", "Restore with: rebuild in Xcode"},
                                      {"ios/Pods", "Restore with: pod install"},
                                      {"android/build", "Restore with: gradle build"},
                                      {"flutter/build", "Restore with: flutter build"},
                                      {"plain/build/node_modules", "Restore with: npm install"},
                                      {"rust/target", "Restore with: cargo build"},
                                      {"web/dist", "Restore with: npm run build"},
                                      {"web/.next", "Restore with: npm run build"},
                                      {"swift/.build", "Restore with: swift build"},
                                  }));
    EXPECT_EQ(found.size(), 10u) << "each folder once, however many roots reach it";

    const CleanupCategory* category = Catalog::find("project-artifacts");
    ASSERT_TRUE(category);
    auto items = Scanner::items(*category);
    EXPECT_EQ(items.size(), 9u) << "the empty dist folder is dropped";
    for (const auto& item : items) {
        EXPECT_EQ(item.id, item.url);
        EXPECT_NE(item.name, "web/dist");
    }
}

TEST_F(ProjectFoldersTest, StopsAtTheDepthLimit) {
    artifact("/Projects/1/2/3/4/5/6/node_modules");   // depth 7: found
    artifact("/Projects/a/b/c/d/e/f/g/node_modules"); // depth 8: never looked at
    auto found = Scanner::projectArtifacts({"~/Projects"});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, "1/2/3/4/5/6/node_modules");
    // A folder outside ~/Projects keeps its home-shortened name.
    artifact("/Code/site/node_modules");
    auto elsewhere = Scanner::projectArtifacts({"~/Code"});
    ASSERT_EQ(elsewhere.size(), 1u);
    EXPECT_EQ(elsewhere[0].name, "~/Code/site/node_modules");
}

TEST_F(ProjectFoldersTest, LooksInTheLinuxProjectFoldersCountingEachFolderOnce) {
    artifact("/Projects/mac/node_modules");
    test::makeFile(home("/projects/site/package.json"), 10);
    artifact("/projects/site/node_modules");
    artifact("/projects/site/.next");
    test::makeFile(home("/projects/crate/Cargo.toml"), 10);
    artifact("/projects/crate/target");
    test::makeFile(home("/projects/app/build.gradle"), 10);
    test::makeFile(home("/projects/app/settings.gradle"), 10);
    artifact("/projects/app/build");
    artifact("/projects/app/.gradle");
    for (const char* folder : {"/src", "/dev", "/repos", "/workspace"})
        artifact(std::string(folder) + "/tool/node_modules");
    // ~/code is ~/projects under another name, ~/git a folder inside it: their finds are the
    // same folders, counted once.
    test::makeLink(home("/projects"), home("/code"));
    test::makeLink(home("/projects/site"), home("/git"));

    auto items = Scanner::items(*Catalog::find("project-artifacts"));
    std::vector<std::string> names;
    for (const auto& item : items)
        names.push_back(item.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{
                         "mac/node_modules", "~/dev/tool/node_modules", "~/projects/app/.gradle",
                         "~/projects/app/build", "~/projects/crate/target", "~/projects/site/.next",
                         "~/projects/site/node_modules", "~/repos/tool/node_modules",
                         "~/src/tool/node_modules", "~/workspace/tool/node_modules"}));
    // The project folders themselves hold the user's work: never removed whole.
    for (const char* folder : {"/projects", "/src", "/workspace"})
        EXPECT_FALSE(Cleaner::isRemovable(home(folder))) << folder;
}

TEST_F(ProjectFoldersTest, LargeFilesAtOrAboveTheMinimum) {
    auto exact = test::makeFile(home("/Downloads/exact.iso"), 204'800);
    test::makeFile(home("/Downloads/small.iso"), 4096);
    test::makeFile(home("/Downloads/.hidden.bin"), 409'600);
    test::makeFile(home("/Downloads/Tool.app/Contents/huge.bin"), 409'600);
    test::makeFile(home("/Downloads/Photos.photoslibrary/original.heic"), 409'600);
    test::makeFile(home("/Documents/deep/er/movie.mkv"), 409'600);
    test::makeLink(exact, home("/Desktop/link-to-exact.iso"));
    std::int64_t minimum = allocated(exact);

    auto items = Scanner::largeFiles(
        {"~/Downloads", "~/Desktop", "~/Documents", "~/Downloads", "~/Missing"}, minimum);
    std::vector<std::string> names;
    for (const auto& item : items)
        names.push_back(item.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"~/Documents/deep/er/movie.mkv", "~/Downloads/.hidden.bin",
                                        "~/Downloads/exact.iso"}));
    for (const auto& item : items) {
        EXPECT_EQ(item.size, allocated(item.url));
        EXPECT_TRUE(item.modified);
        EXPECT_FALSE(item.note);
    }
    EXPECT_EQ(Scanner::largeFiles({"~/Downloads"}, minimum + 1).size(), 1u);
    EXPECT_EQ(Scanner::largeFiles({"~"}, minimum).size(), 3u) << "a lone tilde is the home folder";

    // A root that is a link to another reaches the same files: each is listed once. A second
    // name of a file (a hard link) is another place, and is listed too.
    test::makeLink(home("/Documents"), home("/Movies"));
    ASSERT_EQ(::link(home("/Documents/deep/er/movie.mkv").c_str(),
                     home("/Documents/movie again.mkv").c_str()),
              0);
    auto linked = Scanner::largeFiles({"~/Documents", "~/Movies"}, minimum);
    std::vector<std::string> ids;
    for (const auto& item : linked)
        ids.push_back(item.name);
    EXPECT_EQ(ids, (std::vector<std::string>{"~/Documents/deep/er/movie.mkv",
                                             "~/Documents/movie again.mkv"}));

    // A root the user keeps elsewhere through a link deep in the home is walked where it leads,
    // so that what it lists can be cleaned.
    test::makeFolder(home("/Sync/phone/media"));
    test::makeLink(home("/Documents/deep"), home("/Sync/phone/media/Videos"));
    auto deep = Scanner::largeFiles({"~/Sync/phone/media/Videos"}, minimum);
    ASSERT_EQ(deep.size(), 1u);
    EXPECT_EQ(deep[0].url, home("/Documents/deep/er/movie.mkv"));
    EXPECT_TRUE(std::holds_alternative<HeldItem>(Held::hold(deep[0].url)));
}

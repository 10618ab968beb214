#include <algorithm>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "base/paths.h"
#include "base/unique_fd.h"
#include "engine/catalog.h"
#include "engine/scanner.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {

std::int64_t blocksOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return static_cast<std::int64_t>(st.st_blocks) * 512;
}

CleanupCategory category(std::string id, Source::Kind kind, std::vector<std::string> paths) {
    CleanupCategory c;
    c.id = std::move(id);
    c.name = c.id;
    c.source = Source{kind, std::move(paths), 0};
    return c;
}

class ScannerTest : public ::testing::Test {
  protected:
    void SetUp() override { test::clearHome(); }
    std::string home(const std::string& rest) { return test::home() + rest; }
};

} // namespace

TEST_F(ScannerTest, AllocatedSizeOfFilesFoldersAndLinks) {
    auto a = test::makeFile(home("/tree/a.bin"), 100'000);
    auto b = test::makeFile(home("/tree/deep/er/b.bin"), 50'000);
    auto elsewhere = test::makeFile(home("/elsewhere/big.bin"), 1'000'000);
    test::makeLink(home("/elsewhere"), home("/tree/link-to-folder"));
    test::makeLink(elsewhere, home("/tree/link-to-file"));

    EXPECT_EQ(Scanner::allocatedSize(a), blocksOf(a));
    EXPECT_GE(blocksOf(a), 100'000);
    // Folders themselves add nothing, and links are never followed.
    EXPECT_EQ(Scanner::allocatedSize(home("/tree")), blocksOf(a) + blocksOf(b));
    EXPECT_EQ(Scanner::allocatedSize(home("/tree/link-to-folder")), 0);
    EXPECT_EQ(Scanner::allocatedSize(home("/missing")), 0);
    EXPECT_EQ(Scanner::allocatedSize(home("/empty-or-missing/")), 0);
}

TEST_F(ScannerTest, AHardLinkedFileCountsOnce) {
    auto a = test::makeFile(home("/linked/a.bin"), 200'000);
    test::makeFolder(home("/linked/sub"));
    ASSERT_EQ(::link(a.c_str(), home("/linked/sub/b.bin").c_str()), 0);
    EXPECT_EQ(Scanner::allocatedSize(home("/linked")), blocksOf(a));
}

// The trees of one measure are walked together, and each still counts as it would alone: a file
// with names in two of them counts in both, twice in one counts once there, and a folder measured
// beside one of its own subfolders counts that subfolder too.
TEST_F(ScannerTest, TreesMeasuredTogetherEachCountAsAlone) {
    auto shared = test::makeFile(home("/one/shared.bin"), 300'000);
    test::makeFolder(home("/two/inner"));
    ASSERT_EQ(::link(shared.c_str(), home("/two/inner/shared.bin").c_str()), 0);
    ASSERT_EQ(::link(shared.c_str(), home("/two/again.bin").c_str()), 0);
    test::makeFile(home("/two/inner/own.bin"), 40'000);
    auto file = test::makeFile(home("/loose.bin"), 70'000);
    test::makeLink(home("/one"), home("/link-to-one"));
    const std::vector<std::string> paths{home("/one"), home("/two"),         home("/two/inner"),
                                         file,         home("/link-to-one"), home("/missing")};
    auto items = Scanner::measure(paths);
    ASSERT_EQ(items.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(items[i].size, Scanner::allocatedSize(paths[i])) << paths[i];
    EXPECT_EQ(items[1].size, blocksOf(shared) + blocksOf(home("/two/inner/own.bin")));
    EXPECT_EQ(items[2].size, items[1].size);
    EXPECT_EQ(items[4].size, 0);
}

// A folder of thousands of entries is measured in parallel past its first few thousand: what
// lies there counts exactly as it does in a small folder.
TEST_F(ScannerTest, AVeryLargeFolderCountsEachEntryAsASmallOneDoes) {
    std::string folder = home("/thumbnails");
    std::vector<std::string> counted;
    for (int i = 0; i < 6000; ++i)
        counted.push_back(test::makeFile(folder + "/f" + std::to_string(i), 1 + i % 5000));
    // Folders, links and second names of files, spread through the listing.
    for (int i = 0; i < 40; ++i) {
        std::string name = "/z" + std::to_string(i);
        counted.push_back(test::makeFile(folder + name + "/deep/inner.bin", 9000));
        test::makeLink(home("/elsewhere"), folder + name + "-link");
        ASSERT_EQ(
            ::link((folder + "/f" + std::to_string(i)).c_str(), (folder + name + "-hard").c_str()),
            0);
    }
    test::makeFile(home("/elsewhere/big.bin"), 1'000'000);
    // While the files just written go to the disk, a file's block count can show a block twice
    // for a moment (the block given and its reservation not yet let go): counted once written.
    ::sync();
    std::int64_t expected = 0;
    for (const auto& path : counted)
        expected += blocksOf(path);
    EXPECT_EQ(Scanner::allocatedSize(folder), expected);
}

TEST_F(ScannerTest, PathsSourceNamesByHomeShortenedPath) {
    test::makeFile(home("/Library/Caches/Google/x"), 10'000);
    test::makeFolder(home("/real"));
    test::makeFile(home("/real/y"), 10'000);
    test::makeLink(home("/real"), home("/link"));

    auto items = Scanner::items(
        category("t", Source::Kind::paths,
                 {"~/Library/Caches/Google", "~/missing", "~/link", "/nonexistent/x"}));
    ASSERT_EQ(items.size(), 1u) << "a link to a folder exists but measures 0";
    EXPECT_EQ(items[0].name, "~/Library/Caches/Google");
    EXPECT_EQ(items[0].id, home("/Library/Caches/Google"));
    EXPECT_GT(items[0].size, 0);
    EXPECT_TRUE(items[0].modified);

    EXPECT_TRUE(Scanner::items(category("t", Source::Kind::paths, {"~/missing"})).empty());
}

TEST_F(ScannerTest, ContentsSourceLeavesOutFinderFilesAndClaimedFolders) {
    test::makeFile(home("/Only/.DS_Store"), 5000);
    test::makeFile(home("/Only/.localized"), 5000);
    EXPECT_TRUE(Scanner::items(category("x", Source::Kind::contents, {"~/Only"})).empty());

    test::makeFile(home("/Library/Caches/Google/data"), 30'000);
    test::makeFile(home("/Library/Caches/com.example/data"), 20'000);
    auto caches = Scanner::items(*Catalog::find("app-caches"));
    ASSERT_EQ(caches.size(), 1u);
    EXPECT_EQ(caches[0].name, "com.example");

    auto chrome = Scanner::items(*Catalog::find("chrome-cache"));
    ASSERT_EQ(chrome.size(), 1u);
    EXPECT_EQ(chrome[0].name, "~/Library/Caches/Google");
}

TEST_F(ScannerTest, TheTrashListsEveryEntryOfAnySize) {
    const std::string files = home("/.local/share/Trash/files");
    test::makeFile(files + "/letter.odt", 10'000);
    test::makeFile(files + "/empty.txt", 0);
    test::makeFolder(files + "/Empty Folder");
    test::makeLink("/nowhere", files + "/dangling");
    std::vector<std::string> names;
    for (const auto& item : Scanner::items(*Catalog::find(Catalog::trashId)))
        names.push_back(item.name);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), "letter.odt") << "larger first";
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"Empty Folder", "dangling", "empty.txt", "letter.odt"}));
}

TEST_F(ScannerTest, ContentsSourceListsNoRootALinkDeepInTheHomeLeadsElsewhere) {
    test::makeFile(home("/Documents/thesis.odt"), 10'000);
    test::makeFile(home("/.var/app/org.good.App/cache/data"), 10'000);
    test::makeFolder(home("/.var/app/org.evil.App"));
    test::makeLink(home("/Documents"), home("/.var/app/org.evil.App/cache"));
    // The home's own top folders may be kept elsewhere through a link.
    test::makeFile(home("/elsewhere/kept/data"), 10'000);
    test::makeLink(home("/elsewhere"), home("/Relocated"));

    auto items = Scanner::items(
        category("x", Source::Kind::contents, {"~/.var/app/*/cache", "~/Relocated"}));
    std::vector<std::string> ids;
    for (const auto& i : items)
        ids.push_back(i.id);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<std::string>{home("/.var/app/org.good.App/cache/data"),
                                             home("/Relocated/kept")}));

    // The same for a listed path below such a link.
    test::makeFile(home("/Documents/work/chromium/thesis.tex"), 10'000);
    test::makeFolder(home("/.var/app/org.chromium.Chromium"));
    test::makeLink(home("/Documents/work"), home("/.var/app/org.chromium.Chromium/cache"));
    test::makeFile(home("/Relocated/chromium/x"), 10'000);
    auto paths = Scanner::items(
        category("y", Source::Kind::paths,
                 {"~/.var/app/org.chromium.Chromium/cache/chromium", "~/Relocated/chromium"}));
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0].id, home("/Relocated/chromium"));
}

TEST_F(ScannerTest, ARootLinkedToTheHomeOrToAFolderEveryoneSharesListsNothing) {
    test::makeFile(home("/.ssh/id"), 100);
    test::makeFile(home("/src/main.c"), 100);
    for (const std::string& target : {test::home(), std::string("/"), std::string("/tmp")}) {
        SCOPED_TRACE(target);
        test::removeTree(home("/.cache"));
        test::makeLink(target, home("/.cache"));
        EXPECT_TRUE(Scanner::items(category("x", Source::Kind::contents, {"~/.cache"})).empty());
        EXPECT_TRUE(Scanner::items(category("y", Source::Kind::paths, {"~/.cache/src"})).empty());
    }
}

TEST_F(ScannerTest, CustomFolderOnDocumentsDoesNotListTheCodexChild) {
    test::makeFile(home("/Documents/Codex/x/file"), 10'000);
    test::makeFile(home("/Documents/notes.txt"), 10'000);
    auto items = Scanner::items(category("3F2504E0-4F89-41D3-9A0C-0305E82C3301",
                                         Source::Kind::contents, {home("/Documents")}));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].name, "notes.txt");
}

TEST_F(ScannerTest, NestedClaimedFoldersAreSubtractedOnce) {
    // The Claude folder of Application Support holds caches another category lists.
    auto own = test::makeFile(home("/Library/Application Support/Claude/config.json"), 70'000);
    auto cache = test::makeFile(home("/Library/Application Support/Claude/Cache/blob"), 30'000);
    auto items = Scanner::items(*Catalog::find("app-support"));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].size, blocksOf(own));

    // A folder holding a claimed folder that itself holds a claimed folder: only the outer one
    // is taken off.
    test::clearHome();
    auto mine = test::makeFile(home("/Library/mine.bin"), 40'000);
    test::makeFile(home("/Library/Application Support/Google/GoogleUpdater/crx_cache/p"), 50'000);
    test::makeFile(home("/Library/Application Support/Google/profile"), 50'000);
    auto library = Scanner::items(category("custom", Source::Kind::contents, {"~"}));
    ASSERT_EQ(library.size(), 1u);
    EXPECT_EQ(library[0].name, "Library");
    EXPECT_EQ(library[0].size, blocksOf(mine));
}

TEST_F(ScannerTest, AClaimedFolderBehindALinkIsNotSubtracted) {
    // The item's size never counted what lies behind the link, so nothing is taken off for it.
    auto profile = test::makeFile(home("/Library/Application Support/Google/profile"), 50'000);
    test::makeFile(home("/elsewhere/GoogleUpdater/crx_cache/package"), 200'000);
    test::makeLink(home("/elsewhere/GoogleUpdater"),
                   home("/Library/Application Support/Google/GoogleUpdater"));
    auto items = Scanner::items(*Catalog::find("chrome-profile"));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].size, blocksOf(profile));
}

TEST_F(ScannerTest, NestedSubtractionNeverGoesBelowZeroAndIgnoresNamePrefixes) {
    ScanItem item{home("/Ca"), home("/Ca"), "Ca", 5, {}, {}, {}, {}};
    test::makeFile(home("/Library/Caches/x"), 50'000);
    // "~/Library/Ca" is a name prefix of the claimed "~/Library/Caches", not a parent of it.
    ScanItem prefix{home("/Library/Ca"), home("/Library/Ca"), "Ca", 1000, {}, {}, {}, {}};
    EXPECT_EQ(Scanner::excludingNested({prefix}, "custom")[0].size, 1000);
    ScanItem parent{home("/Library"), home("/Library"), "Library", 5, {}, {}, {}, {}};
    EXPECT_EQ(Scanner::excludingNested({parent}, "custom")[0].size, 0);
    EXPECT_EQ(Scanner::excludingNested({item}, "custom")[0].size, 5);
}

TEST(Scanner, KeepAndSortIsStableAndKeepsCommands) {
    auto make = [](const char* name, std::int64_t size, bool command = false) {
        ScanItem i;
        i.id = i.url = i.name = name;
        i.size = size;
        if (command) i.command = std::vector<std::string>{"true"};
        return i;
    };
    auto sorted = Scanner::keepAndSort({make("zero", 0), make("a", 10), make("cmd", 0, true),
                                        make("b", 20), make("c", 10), make("neg", -1)});
    std::vector<std::string> names;
    for (const auto& i : sorted)
        names.push_back(i.name);
    EXPECT_EQ(names, (std::vector<std::string>{"b", "a", "c", "cmd"}));
}

TEST_F(ScannerTest, MeasureKeepsInputOrder) {
    EXPECT_TRUE(Scanner::measure({}).empty());
    std::vector<std::string> paths;
    for (int i = 0; i < 1000; ++i)
        paths.push_back(home("/many/" + std::to_string(i)));
    for (int i = 0; i < 1000; i += 100)
        test::makeFile(paths[static_cast<std::size_t>(i)], 4096);
    auto items =
        Scanner::measure(paths, {}, [](const std::string& p) -> std::optional<std::string> {
            return "note " + Scanner::lastComponent(p);
        });
    ASSERT_EQ(items.size(), 1000u);
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].id, paths[i]);
        EXPECT_EQ(items[i].name, std::to_string(i));
        EXPECT_EQ(items[i].note, "note " + std::to_string(i));
        EXPECT_EQ(items[i].size > 0, i % 100 == 0);
    }
}

TEST_F(ScannerTest, UnreadableFolderCountsAsNothing) {
    if (test::runningAsRoot()) GTEST_SKIP() << "root reads every folder";
    auto a = test::makeFile(home("/locked/open/a"), 10'000);
    test::makeFile(home("/locked/shut/b"), 10'000);
    ::chmod(home("/locked/shut").c_str(), 0);
    EXPECT_EQ(Scanner::allocatedSize(home("/locked")), blocksOf(a));
    ::chmod(home("/locked/shut").c_str(), 0700);
}

TEST_F(ScannerTest, EveryItemCarriesWhatTheScanFoundAtItsPath) {
    // The clean acts only on these very objects: each item of every source kind the scanner
    // makes says which object it was and in which folder.
    test::makeFile(home("/Library/Caches/app/data.bin"), 10'000);
    test::makeFile(home("/Movies/big.mov"), 2'000'000);
    auto expectFound = [](const std::vector<ScanItem>& items) {
        ASSERT_FALSE(items.empty());
        for (const auto& i : items) {
            struct stat entry {
            }, folder{};
            ASSERT_EQ(::lstat(i.url.c_str(), &entry), 0);
            ASSERT_EQ(::stat(Paths::parent(i.url).c_str(), &folder), 0);
            ASSERT_TRUE(i.found) << i.url;
            EXPECT_EQ(*i.found, Scanner::foundEntry(entry, &folder)) << i.url;
            EXPECT_EQ(i.found->inode, static_cast<std::uint64_t>(entry.st_ino)) << i.url;
        }
    };
    expectFound(Scanner::items(category("caches", Source::Kind::contents, {"~/Library/Caches"})));
    auto large = category("large", Source::Kind::largeFiles, {"~/Movies"});
    large.source.minimumBytes = 1'000'000;
    expectFound(Scanner::items(large));
}

TEST_F(ScannerTest, AnItemSwappedWhileTheTreesAreWalkedKeepsTheIdentityOfWhatWasMeasured) {
    // The moment the walk has read ~/measured, another folder takes its name, while a larger
    // tree keeps the walk going: the item must name the folder that was measured, so that a
    // clean refuses the newcomer.
    const std::string measured = home("/measured");
    for (const char* name : {"a", "b", "c"})
        test::makeFile(measured + "/" + name, 20'000);
    test::makeFile(home("/newcomer/big"), 400'000);
    for (int folder = 0; folder < 50; ++folder)
        for (int file = 0; file < 100; ++file)
            test::makeFile(home("/tree/" + std::to_string(folder) + "/" + std::to_string(file)), 1);
    struct stat before {};
    ASSERT_EQ(::lstat(measured.c_str(), &before), 0);
    const std::int64_t measuredSize = Scanner::allocatedSize(measured);

    UniqueFd watch(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
    ASSERT_TRUE(watch);
    ASSERT_GE(::inotify_add_watch(watch.get(), measured.c_str(), IN_CLOSE_NOWRITE | IN_ONLYDIR), 0);
    bool swapped = false;
    std::thread swapper([&] {
        alignas(inotify_event) char buffer[4096];
        pollfd ready{watch.get(), POLLIN, 0};
        while (::poll(&ready, 1, 10'000) > 0) {
            ssize_t n = ::read(watch.get(), buffer, sizeof buffer);
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                if (event->len != 0) continue; // a file in it, not the folder
                swapped = ::renameat2(AT_FDCWD, measured.c_str(), AT_FDCWD,
                                      home("/newcomer").c_str(), RENAME_EXCHANGE) == 0;
                return;
            }
        }
    });
    auto items = Scanner::measure({measured, home("/tree")});
    swapper.join();
    ASSERT_TRUE(swapped) << "the walk never read the folder";
    ASSERT_TRUE(items.at(0).found);
    EXPECT_EQ(items[0].found->inode, static_cast<std::uint64_t>(before.st_ino));
    EXPECT_EQ(items[0].size, measuredSize);
}

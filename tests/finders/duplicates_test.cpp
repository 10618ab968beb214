#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <unistd.h>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "base/text.h"
#include "engine/catalog.h"
#include "engine/cleaner.h"
#include "finders/duplicates.h"
#include "support/fixture.h"

using namespace bramwick;
namespace fs = std::filesystem;

namespace {

// Dates a file `age` days before one fixed moment, so that equal ages are equal dates.
void date(const std::string& path, int age) {
    static const auto base = fs::file_time_type::clock::now() - std::chrono::hours(24 * 100);
    fs::last_write_time(path, base - std::chrono::hours(24 * age));
}

// A file of `bytes` bytes drawn from `seed`, dated `age` days back (older first in keeper order).
std::string file(const std::string& path, std::size_t bytes, unsigned seed, int age = 0) {
    fs::create_directories(fs::path(path).parent_path());
    std::string data(bytes, '\0');
    std::uint64_t state = seed * 0x9E3779B97F4A7C15ULL + 1;
    for (auto& c : data) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        c = static_cast<char>(state);
    }
    std::ofstream(path, std::ios::binary) << data;
    date(path, age);
    return path;
}

std::string copy(const std::string& from, const std::string& to, int age = 0) {
    fs::create_directories(fs::path(to).parent_path());
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    date(to, age);
    return to;
}

std::vector<std::string> ids(const std::vector<ScanItem>& items) {
    std::vector<std::string> ids;
    for (const auto& item : items)
        ids.push_back(item.id);
    return ids;
}

const std::vector<std::string> roots{"~/Downloads", "~/Documents"};

} // namespace

TEST(Duplicates, PassesOverWhatIsNotTheUsersOwnFile) {
    test::clearHome();
    std::string docs = test::home() + "/Documents";
    auto original = file(docs + "/a/report.pdf", 5000, 1, 10);
    auto copied = copy(original, docs + "/report copy.pdf", 5);
    // None of these may be listed, though all hold the same bytes.
    for (const char* hidden :
         {"/.report.pdf", "/.cache/report.pdf", "/deep/node_modules/x/report.pdf",
          "/a/b/venv/report.pdf", "/vendor", "/Pods/report.pdf",
          "/Library.photoslibrary/report.pdf", "/Tool.APP/Contents/report.pdf"})
        copy(original, docs + hidden, 1);
    test::makeLink(original, docs + "/link.pdf");
    ASSERT_EQ(::link(original.c_str(), (docs + "/a/hard link.pdf").c_str()), 0);
    // Identical but below the minimum.
    auto small = file(docs + "/small-1", 999, 2);
    copy(small, docs + "/small-2");

    auto items = Duplicates::items(roots, 1000);
    EXPECT_EQ(ids(items), std::vector<std::string>{copied});

    // A root given as a link is followed, and its paths keep the form given.
    test::makeLink(docs, test::home() + "/Desktop");
    auto both = Duplicates::groups({"~/Desktop"}, 1000);
    ASSERT_EQ(both.size(), 1u);
    EXPECT_EQ(both[0].keeper.path, test::home() + "/Desktop/a/hard link.pdf")
        << "the name of a hard-linked file that comes first by path stands for it";
}

TEST(Duplicates, MatchesOnSizeThenFirst64KiBThenWholeFile) {
    test::clearHome();
    std::string docs = test::home() + "/Documents";
    auto a = file(docs + "/a.bin", 200'000, 1, 3);
    auto b = copy(a, docs + "/b.bin", 2);
    // Same size, different start.
    file(docs + "/c.bin", 200'000, 3);
    // Same size and same first 64 KiB, different end.
    {
        std::string bytes = test::readFile(a);
        bytes[150'000] ^= 1;
        std::ofstream(docs + "/d.bin", std::ios::binary) << bytes;
    }
    // Unique size: never read.
    file(docs + "/e.bin", 300'000, 5);
    // Small files are read once: their first 64 KiB are the whole file.
    auto f = file(docs + "/f.bin", 40'000, 6, 3);
    auto g = copy(f, docs + "/g.bin", 2);

    std::mutex mutex;
    std::multiset<std::pair<std::string, bool>> reads; // name, whole
    Duplicates::Digester spy = [&](const Duplicates::Candidate& c,
                                   std::optional<std::int64_t> limit) {
        {
            std::lock_guard lock(mutex);
            reads.insert({fs::path(c.path).filename().string(), !limit});
        }
        return FileDigest::sha256(c.path, c.identity, c.size, limit);
    };
    auto found = Duplicates::groups(roots, 1000, spy);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].keeper.path, a);
    EXPECT_EQ(found[0].copies.size(), 1u);
    EXPECT_EQ(found[0].copies[0].path, b);
    EXPECT_EQ(found[1].keeper.path, f);
    EXPECT_EQ(found[1].copies[0].path, g);

    std::multiset<std::pair<std::string, bool>> expected{
        {"a.bin", false}, {"b.bin", false}, {"c.bin", false}, {"d.bin", false}, {"a.bin", true},
        {"b.bin", true},  {"d.bin", true},  {"f.bin", false}, {"g.bin", false}};
    EXPECT_EQ(reads, expected);
}

TEST(Duplicates, FilesThatCannotBeReadTakePartInNoSet) {
    test::clearHome();
    std::string docs = test::home() + "/Documents";
    auto a = file(docs + "/a.bin", 100'000, 1, 4);
    copy(a, docs + "/b.bin", 3);
    copy(a, docs + "/c.bin", 2);
    // Two different files that both fail must not look alike.
    file(docs + "/x.bin", 120'000, 2);
    file(docs + "/y.bin", 120'000, 3);
    // A pair that loses one member loses its set.
    auto p = file(docs + "/p.bin", 140'000, 4);
    copy(p, docs + "/q.bin");

    Duplicates::Digester failing =
        [](const Duplicates::Candidate& c,
           std::optional<std::int64_t> limit) -> std::optional<FileDigest::Digest> {
        std::string name = fs::path(c.path).filename().string();
        if (name == "x.bin" || name == "y.bin") return std::nullopt;
        if ((name == "b.bin" || name == "q.bin") && !limit)
            return std::nullopt; // fails on the whole read
        return FileDigest::sha256(c.path, c.identity, c.size, limit);
    };
    auto found = Duplicates::groups(roots, 1000, failing);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].keeper.path, a);
    ASSERT_EQ(found[0].copies.size(), 1u);
    EXPECT_EQ(found[0].copies[0].path, docs + "/c.bin");
}

TEST(Duplicates, KeepsTheOriginalAndSaysWhichInTheNotes) {
    test::clearHome();
    std::string home = test::home();
    struct Case {
        std::vector<std::pair<std::string, int>> files; // path below home, age in days
        std::string keeper;
        std::vector<std::string> notes; // of the copies, in keeper order
    } cases[] = {
        // Downloaded copies go first, however old.
        {{{"/Downloads/song.mp3", 30}, {"/Documents/song.mp3", 1}},
         "/Documents/song.mp3",
         {"Copy 2 of 2 \u00b7 keeping the copy in ~/Documents"}},
        // Otherwise the oldest stays.
        {{{"/Documents/x/new.mov", 1}, {"/Documents/x/y/old.mov", 9}},
         "/Documents/x/y/old.mov",
         {"Copy 2 of 2 \u00b7 keeping old.mov"}},
        // Same date: fewer folders, then the path that sorts first.
        {{{"/Documents/p/q/r/deep.doc", 5}, {"/Documents/top.doc", 5}, {"/Documents/b/top.doc", 5}},
         "/Documents/top.doc",
         {"Copy 2 of 3 \u00b7 keeping the copy in ~/Documents",
          "Copy 3 of 3 \u00b7 keeping top.doc"}},
        {{{"/Documents/m/b/same.txt", 5}, {"/Documents/m/a/same.txt", 5}},
         "/Documents/m/a/same.txt",
         {"Copy 2 of 2 \u00b7 keeping the copy in \u2026/m/a"}},
    };
    unsigned seed = 10;
    for (const auto& c : cases) {
        test::clearHome();
        auto first = file(home + c.files[0].first, 10'000, ++seed, c.files[0].second);
        for (std::size_t k = 1; k < c.files.size(); ++k)
            copy(first, home + c.files[k].first, c.files[k].second);
        auto items = Duplicates::items(roots, 1000);
        ASSERT_EQ(items.size(), c.notes.size()) << c.keeper;
        for (std::size_t k = 0; k < items.size(); ++k) {
            EXPECT_EQ(items[k].note, c.notes[k]) << c.keeper;
            EXPECT_EQ(items[k].name, Text::homeShortened(items[k].id));
            EXPECT_EQ(items[k].size, 10'000) << "logical bytes";
        }
        auto groups = Duplicates::groups(roots, 1000);
        ASSERT_EQ(groups.size(), 1u);
        EXPECT_EQ(groups[0].keeper.path, home + c.keeper);
    }
}

TEST(Duplicates, ACopyWithAnotherNameLeftFreesNothing) {
    test::clearHome();
    std::string home = test::home();
    // The older file stays; the newer copy also has a second name, in a folder searched or not,
    // so removing it gives nothing back.
    auto kept = file(home + "/Documents/old.bin", 10'000, 30, 9);
    auto linked = copy(kept, home + "/Documents/new.bin", 1);
    auto plain = copy(kept, home + "/Downloads/plain.bin", 1);
    fs::create_directories(home + "/Music");
    ASSERT_EQ(::link(linked.c_str(), (home + "/Music/elsewhere.bin").c_str()), 0);

    auto items = Duplicates::items(roots, 1000);
    ASSERT_EQ(ids(items), (std::vector<std::string>{linked, plain}));
    EXPECT_EQ(items[0].size, 0);
    EXPECT_EQ(items[1].size, 10'000);
}

TEST(Duplicates, LargerFilesFirstThenByTheKeptPath) {
    test::clearHome();
    std::string docs = test::home() + "/Documents";
    copy(file(docs + "/b/one", 3000, 1, 5), docs + "/b/one-copy");
    copy(file(docs + "/a/two", 3000, 2, 5), docs + "/a/two-copy");
    copy(file(docs + "/z/big", 9000, 3, 5), docs + "/z/big-copy");
    std::vector<std::string> expected{docs + "/z/big-copy", docs + "/a/two-copy",
                                      docs + "/b/one-copy"};
    EXPECT_EQ(ids(Duplicates::items(roots, 1000)), expected);
    EXPECT_TRUE(Duplicates::items({"~/Nowhere"}, 0).empty());
    EXPECT_TRUE(Duplicates::items({}, 0).empty());
}

TEST(Duplicates, TheFirst4KiBPrintNeverSeparatesIdenticalFilesAndChangesNoSet) {
    test::clearHome();
    std::string docs = test::home() + "/Documents";
    // For each size, three identical files and files that differ from them at one byte: in the
    // first 4 KiB, right after it, past 64 KiB, at the very end.
    unsigned seed = 0;
    for (std::size_t size : {1'500u, 4'096u, 4'097u, 70'000u, 300'000u}) {
        auto original = file(docs + fmt::format("/{}/a.bin", size), size, ++seed, 3);
        copy(original, docs + fmt::format("/{}/b.bin", size), 2);
        copy(original, test::home() + fmt::format("/Downloads/{}.bin", size), 1);
        std::string bytes = test::readFile(original);
        for (std::size_t at : {std::size_t{0}, std::size_t{4'095}, std::size_t{4'096},
                               std::size_t{65'536}, size - 1}) {
            if (at >= size) continue;
            std::string changed = bytes;
            changed[at] ^= 0x40;
            std::ofstream(docs + fmt::format("/{}/at-{}.bin", size, at), std::ios::binary)
                << changed;
        }
    }

    std::mutex mutex;
    std::set<std::string> printed, digested;
    auto name = [&](const Duplicates::Candidate& c) {
        return fs::path(c.path).parent_path().filename().string() + "/" +
               fs::path(c.path).filename().string();
    };
    Duplicates::LeadingPrinter printer = [&](const Duplicates::Candidate& c) {
        {
            std::lock_guard lock(mutex);
            printed.insert(name(c));
        }
        return FileDigest::leadingPrint(c.path, c.identity, c.size);
    };
    Duplicates::Digester digester = [&](const Duplicates::Candidate& c,
                                        std::optional<std::int64_t> limit) {
        {
            std::lock_guard lock(mutex);
            digested.insert(name(c));
        }
        return FileDigest::sha256(c.path, c.identity, c.size, limit);
    };
    auto paths = [](const std::vector<Duplicates::Group>& groups) {
        std::vector<std::vector<std::string>> sets;
        for (const auto& g : groups) {
            sets.push_back({g.keeper.path});
            for (const auto& c : g.copies)
                sets.back().push_back(c.path);
        }
        return sets;
    };
    auto withPrint = paths(Duplicates::groups(roots, 1000, digester, printer));
    EXPECT_EQ(withPrint, paths(Duplicates::groups(roots, 1000)));
    Duplicates::Digester plain = [](const Duplicates::Candidate& c,
                                    std::optional<std::int64_t> limit) {
        return FileDigest::sha256(c.path, c.identity, c.size, limit);
    };
    auto digestsOnly = paths(Duplicates::groups(roots, 1000, plain)); // no first split
    EXPECT_EQ(withPrint, digestsOnly);
    ASSERT_EQ(withPrint.size(), 5u);
    for (const auto& set : withPrint)
        EXPECT_EQ(set.size(), 3u) << set[0];

    // Every file that shares its size was printed; those set apart by their first 4 KiB were
    // never digested.
    EXPECT_TRUE(printed.count("1500/at-0.bin") && printed.count("300000/a.bin"));
    for (const char* apart : {"1500/at-0.bin", "4096/at-4095.bin", "300000/at-0.bin"})
        EXPECT_FALSE(digested.count(apart)) << apart;
    for (const char* alike : {"4097/at-4096.bin", "70000/at-65536.bin", "300000/at-299999.bin"})
        EXPECT_TRUE(digested.count(alike)) << alike;
}

TEST(Duplicates, ACopyIsCleanedOnlyWhileItAndTheCopyItKeepsAreAsFound) {
    // Cleaning everything shown must never take the last copy of anything: since the scan, the
    // kept copy may have been edited or removed, or the copy edited into new work.
    struct Case {
        const char* name;
        std::function<void(const std::string& kept, const std::string& copy)> change;
        const char* reason; // none: the copy goes
    } cases[] = {
        {"unchanged", [](const std::string&, const std::string&) {}, nullptr},
        {"kept copy edited",
         [](const std::string& kept, const std::string&) {
             std::ofstream(kept, std::ios::binary | std::ios::in | std::ios::out) << "new";
         },
         "The copy it duplicates, ~/Documents/report.pdf, changed since it was found, so this "
         "one was kept"},
        {"kept copy removed", [](const std::string& kept, const std::string&) { fs::remove(kept); },
         "The copy it duplicates, ~/Documents/report.pdf, is gone, so this one was kept"},
        {"copy edited",
         [](const std::string&, const std::string& copy) {
             std::ofstream(copy, std::ios::app) << "more work";
         },
         "~/Downloads/report.pdf changed since it was found, so it was kept"},
        {"copy touched back to its old date",
         [](const std::string&, const std::string& copy) {
             auto when = fs::last_write_time(copy);
             std::ofstream(copy, std::ios::binary | std::ios::in | std::ios::out) << "NEW";
             fs::last_write_time(copy, when);
         },
         "~/Downloads/report.pdf changed since it was found, so it was kept"},
    };
    CleanupCategory category = *Catalog::find("duplicates");
    Cleaner::Services services;
    services.ownBundle = "/opt/Bramwick.app";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::clearHome();
        const std::string kept = file(test::home() + "/Documents/report.pdf", 5000, 1, 10);
        const std::string copied = copy(kept, test::home() + "/Downloads/report.pdf", 1);
        auto found = Duplicates::items(roots, 1000);
        ASSERT_EQ(ids(found), std::vector<std::string>{copied});
        c.change(kept, copied);
        auto outcome = Cleaner::clean(found, category, services);
        if (!c.reason) {
            EXPECT_EQ(ids(outcome.cleaned), std::vector<std::string>{copied});
            EXPECT_FALSE(test::exists(copied));
            continue;
        }
        EXPECT_TRUE(outcome.cleaned.empty());
        ASSERT_EQ(outcome.failures.size(), 1u);
        EXPECT_EQ(outcome.failures[0].reason, c.reason);
        EXPECT_TRUE(test::exists(copied));
    }
}

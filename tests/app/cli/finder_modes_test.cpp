#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

#include "app/cli/modes.h"
#include "app/cli/output.h"
#include "base/text.h"
#include "engine/catalog.h"
#include "support/fixture.h"
#include "support/pictures.h"

using namespace bramwick;
namespace fs = std::filesystem;

namespace {

// Dated `age` days back.
std::string dated(const std::string& path, int age) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(24 * age));
    return path;
}

std::string copyOf(const std::string& from, const std::string& to, int age) {
    fs::create_directories(fs::path(to).parent_path());
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    return dated(to, age);
}

std::string size(const std::string& path) {
    return Text::byteCount(static_cast<std::int64_t>(fs::file_size(path)));
}

} // namespace

TEST(DuplicatesMode, PrintsEachRedundantCopyAndATotal) {
    test::clearHome();
    std::string home = test::home();
    auto original = dated(test::makeFile(home + "/Documents/film.mov", 1'200'000, 'f'), 30);
    copyOf(original, home + "/Downloads/film.mov", 1);
    copyOf(original, home + "/Music/film (1).mov", 2);
    std::ostringstream out;
    EXPECT_EQ(Cli::duplicatesMode(out), 0);
    std::regex expected("1.2 MB     ~/Music/film \\(1\\).mov\n"
                        "           Copy 2 of 3 \u00b7 keeping film.mov\n"
                        "1.2 MB     ~/Downloads/film.mov\n"
                        "           Copy 3 of 3 \u00b7 keeping the copy in ~/Documents\n"
                        "\n2 redundant copies, 2.4 MB reclaimable, found in [0-9]+\\.[0-9]s\n");
    EXPECT_TRUE(std::regex_match(out.str(), expected)) << out.str();

    // A name may hold a newline: it cannot make a row of its own.
    test::clearHome();
    auto odd = dated(test::makeFile(home + "/Documents/old", 1'200'000, 'o'), 30);
    copyOf(odd, home + "/Documents/new\n1.2 MB     ~/Documents/fake", 1);
    std::ostringstream oddOut;
    EXPECT_EQ(Cli::duplicatesMode(oddOut), 0);
    EXPECT_EQ(oddOut.str().find("1.2 MB     ~/Documents/new\uFFFD1.2 MB     ~/Documents/fake\n"),
              0u)
        << oddOut.str();

    test::clearHome();
    std::ostringstream none;
    EXPECT_EQ(Cli::duplicatesMode(none), 0);
    EXPECT_TRUE(std::regex_match(
        none.str(), std::regex("\n0 redundant copies, Zero KB reclaimable, found in [0-9.]+s\n")))
        << none.str();
}

TEST(PicturesMode, PrintsEachPictureSavedAgainAndCounts) {
    test::clearHome();
    std::string home = test::home();
    auto photo = test::Picture::photo(2000, 1500, 11, "Harbour");
    photo.save(home + "/Pictures/harbour.png");
    dated(home + "/Pictures/harbour.png", 30);
    photo.resized(1200, 900).save(home + "/Downloads/harbour.jpg", "[Q=95]");
    copyOf(home + "/Pictures/harbour.png", home + "/Documents/harbour copy.png",
           1); // left to Duplicate Files
    // A picture whose header reads but whose pixels do not: its compressed data damaged.
    std::string damaged = home + "/Pictures/damaged.tif";
    test::Picture::photo(1200, 900, 12).save(damaged, "[compression=deflate]");
    {
        std::fstream file(damaged, std::ios::in | std::ios::out | std::ios::binary);
        std::string bytes(fs::file_size(damaged) / 2, '\0');
        file.seekg(16);
        file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        for (auto& c : bytes)
            c = static_cast<char>(c ^ 0x5A);
        file.seekp(16);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    // A photo whose download stopped half way.
    std::string cut = home + "/Downloads/cut.jpg";
    test::Picture::photo(2000, 1500, 14).save(cut, "[Q=95]");
    fs::resize_file(cut, fs::file_size(cut) / 2);
    std::ostringstream out;
    EXPECT_EQ(Cli::picturesMode(out), 0);
    std::string expected =
        "\nkeep 2000\u00d71500   " + Text::pad(size(home + "/Pictures/harbour.png"), 10) +
        " ~/Pictures/harbour.png\n" + "     1200\u00d7900    " +
        Text::pad(size(home + "/Downloads/harbour.jpg"), 10) + " ~/Downloads/harbour.jpg\n" +
        "\n5 pictures over 100 KB, 1 of them exact duplicates left to Duplicate Files, 2 "
        "unreadable\n" +
        "1 pictures saved more than once, 1 repeats, " + size(home + "/Downloads/harbour.jpg") +
        " reclaimable\n";
    std::string text = out.str();
    ASSERT_TRUE(text.starts_with(expected)) << text;
    EXPECT_TRUE(std::regex_match(
        text.substr(expected.size()),
        std::regex("walk [0-9.]+s \u00b7 sketch [0-9.]+s \u00b7 compare [0-9.]+s\n")))
        << text;
}

TEST(PicturePairMode, SaysWhyTwoPicturesAreOrAreNotTheSame) {
    test::clearHome();
    std::string dir = test::home() + "/p";
    auto photo = test::Picture::photo(800, 600, 13, "Invoice 2023");
    photo.save(dir + "/a.png");
    test::Picture::photo(800, 600, 13, "Invoice 2024").save(dir + "/b.jpg", "[Q=95]");

    std::ostringstream same;
    EXPECT_EQ(Cli::picturePairMode(dir + "/a.png", dir + "/a.png", same), 0);
    EXPECT_EQ(same.str(),
              "sketch difference 0.00 \u2014 the shortlist takes anything under 8.0\n"
              "0.0000% of the picture changed (0 of 262144) \u2014 the line is 0.0200%, so this "
              "is the same picture\n");

    std::ostringstream changed;
    EXPECT_EQ(Cli::picturePairMode(dir + "/a.png", dir + "/b.jpg", changed), 0);
    EXPECT_TRUE(std::regex_match(
        changed.str(),
        std::regex(
            "sketch difference [0-7]\\.[0-9]{2} \u2014 the shortlist takes anything under 8.0\n"
            "[0-9.]+% of the picture changed \\([0-9]+ of 262144\\) \u2014 the line is "
            "0.0200%, so this is a different picture\n")))
        << changed.str();

    std::ofstream(dir + "/notes.png") << "not a picture";
    std::ostringstream unreadable;
    EXPECT_EQ(Cli::picturePairMode(dir + "/a.png", dir + "/notes.png", unreadable), 1);
    EXPECT_EQ(unreadable.str(), "could not read both pictures\n");

    // Two different pictures whose files stop after their headers: nothing of either is there.
    for (unsigned seed : {21u, 22u}) {
        std::string path = dir + "/t" + std::to_string(seed) + ".png";
        test::Picture::photo(640, 480, seed).save(path);
        fs::resize_file(path, 100);
    }
    std::ostringstream headers;
    EXPECT_EQ(Cli::picturePairMode(dir + "/t21.png", dir + "/t22.png", headers), 1);
    EXPECT_EQ(headers.str(), "could not read both pictures\n");
}

TEST(ReportMode, OneLinePerCategoryInTableOrder) {
    test::clearHome();
    std::string home = test::home();
    auto original = dated(test::makeFile(home + "/Documents/a.bin", 2'000'000, 'a'), 30);
    copyOf(original, home + "/Desktop/b.bin", 1);
    std::ostringstream out;
    EXPECT_EQ(Cli::reportMode(out), 0);
    std::istringstream lines(out.str());
    std::string line;
    std::size_t row = 0;
    const auto& all = Catalog::all();
    while (std::getline(lines, line)) {
        if (line.starts_with("    ")) continue; // an application under the applications line
        ASSERT_LT(row, all.size()) << line;
        const auto& category = all[row++];
        EXPECT_TRUE(line.starts_with(Cli::pad(Cli::label(category), 16) + " ")) << line;
        EXPECT_TRUE(line.find(" " + category.name + " (") != std::string::npos) << line;
        if (category.id == "duplicates") {
            EXPECT_EQ(line, Cli::pad("Review", 16) + " " + Cli::pad("2 MB", 10) +
                                " Duplicate Files (1 items)");
        }
    }
    EXPECT_EQ(row, all.size());
}

TEST(Program, TheCopyInTheDesktopsDownloadFolderIsTheOneOffered) {
    // The download folder the desktop names, in the user's language: a copy there goes first,
    // however old, as one in ~/Downloads does.
    std::string home = test::makeTemporaryFolder("downloads-home");
    test::makeFolder(home + "/.config");
    std::ofstream(home + "/.config/user-dirs.dirs")
        << "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\nXDG_DOWNLOAD_DIR=\"$HOME/"
           "T\u00e9l\u00e9chargements\"\n";
    auto original =
        dated(test::makeFile(home + "/T\u00e9l\u00e9chargements/rapport.pdf", 1'500'000, 'r'), 30);
    copyOf(original, home + "/Bureau/rapport.pdf", 1);
    auto run = test::runProgram(BRAMWICK_BINARY, {"--duplicates"}, {"BRAMWICK_HOME=" + home});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(
        run.output.starts_with("1.5 MB     ~/T\u00e9l\u00e9chargements/rapport.pdf\n"
                               "           Copy 2 of 2 \u00b7 keeping the copy in ~/Bureau\n"))
        << run.output;
    test::removeTree(home);
}

TEST(Program, FinderModesRunUnderASandboxHome) {
    std::string home = test::makeTemporaryFolder("finder-home");
    auto original = dated(test::makeFile(home + "/Pictures/a.bin", 1'500'000, 'z'), 30);
    copyOf(original, home + "/Movies/b.bin", 1);
    auto run = test::runProgram(BRAMWICK_BINARY, {"--duplicates"}, {"BRAMWICK_HOME=" + home});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.output.starts_with(
        "1.5 MB     ~/Movies/b.bin\n           Copy 2 of 2 \u00b7 keeping a.bin\n"))
        << run.output;
    auto pair = test::runProgram(BRAMWICK_BINARY, {"--picture-pair", "~/x.png", "--pictures"},
                                 {"BRAMWICK_HOME=" + home});
    EXPECT_EQ(pair.status, 1);
    EXPECT_EQ(pair.output, "could not read both pictures\n");
    test::removeTree(home);
}

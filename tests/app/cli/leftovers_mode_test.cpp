#include <fstream>
#include <unistd.h>

#include <gtest/gtest.h>

#include "base/text.h"
#include "engine/scanner.h"
#include "support/applications.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {

std::string right(std::string text, std::size_t width) {
    return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

} // namespace

TEST(LeftoversMode, PrintsEachMatchingApplicationWithItsLeftoversAndKeptPlaces) {
    std::string home = test::makeTemporaryFolder("leftovers-home");
    std::string atlas = home + "/Applications/Google Atlas.app";
    test::makeApp(atlas, "com.example.atlas", 80'000);
    test::makeApp(home + "/Applications/Zed.app", "com.example.zed");
    test::makeApp(home + "/Applications/\u00c9clair.app", "com.example.eclair");
    test::makeApp(home + "/Applications/Notes.app", "com.apple.Notes");
    std::string container = home + "/Library/Containers/com.example.atlas";
    std::string preferences = home + "/Library/Preferences/com.example.atlas.plist";
    test::makeFile(container + "/Data/store.db", 40'000);
    test::makeFile(preferences, 5'000);
    test::makeFile(home + "/Library/Application Support/Google/Atlas/Cookies", 1'000);
    test::makeFile(home + "/Library/Preferences/com.apple.Notes.plist", 1'000);
    std::int64_t containerSize = Scanner::allocatedSize(container);
    std::int64_t preferencesSize = Scanner::allocatedSize(preferences);

    auto run = [&](std::vector<std::string> arguments) {
        return test::runProgram(BRAMWICK_BINARY, arguments, {"BRAMWICK_HOME=" + home});
    };
    auto found = run({"--leftovers", "ATLAS"});
    EXPECT_EQ(found.status, 0);
    EXPECT_EQ(found.output,
              "\nGoogle Atlas \u2014 com.example.atlas \u2014 app " +
                  Text::byteCount(Scanner::allocatedSize(atlas)) + ", leftovers " +
                  Text::byteCount(containerSize + preferencesSize) + "\n" +
                  "   Container                  " + right(Text::byteCount(containerSize), 10) +
                  "  ~/Library/Containers/com.example.atlas\n" + "   Preferences                " +
                  right(Text::byteCount(preferencesSize), 10) +
                  "  ~/Library/Preferences/com.example.atlas.plist\n" +
                  "   kept: ~/Library/Application Support/Google/Atlas \u2014 Holds Chrome's saved "
                  "passwords and sign-ins\n");

    auto system = run({"--leftovers", "notes"});
    EXPECT_EQ(system.status, 0);
    EXPECT_EQ(system.output,
              "\nNotes \u2014 com.apple.Notes \u2014 app " +
                  Text::byteCount(Scanner::allocatedSize(home + "/Applications/Notes.app")) +
                  ", leftovers Zero KB \u2014 SYSTEM, refused\n");

    // Letters beyond A to Z match in either case too.
    auto accented = run({"--leftovers", "éCLAIR"});
    EXPECT_EQ(accented.status, 0);
    EXPECT_EQ(accented.output,
              "\n\u00c9clair \u2014 com.example.eclair \u2014 app " +
                  Text::byteCount(Scanner::allocatedSize(home + "/Applications/\u00c9clair.app")) +
                  ", leftovers Zero KB\n");

    auto every = run({"--leftovers"});
    EXPECT_EQ(every.status, 0);
    for (const char* heading :
         {"\nGoogle Atlas \u2014", "\nNotes \u2014", "\nZed \u2014", "\n\u00c9clair \u2014"})
        EXPECT_NE(every.output.find(heading), std::string::npos) << every.output;

    auto none = run({"--leftovers", "nothing-like-this"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.output, "");
    EXPECT_TRUE(test::exists(atlas));
    EXPECT_TRUE(test::exists(container));
    test::removeTree(home);
}

TEST(LeftoversMode, ListsFlatpakApplicationsAndAppImagesWithTheirLeftovers) {
    std::string home = test::makeTemporaryFolder("leftovers-linux");
    std::string maps = home + "/.local/share/flatpak/app/org.gnome.Maps";
    test::makeFile(maps + "/x86_64/stable/abc/files/bin/maps", 60'000);
    test::makeLink("x86_64/stable", maps + "/current");
    test::makeFile(home + "/.local/share/flatpak/exports/share/applications/org.gnome.Maps.desktop",
                   0);
    std::ofstream(home + "/.local/share/flatpak/exports/share/applications/org.gnome.Maps.desktop")
        << "[Desktop Entry]\nName=Maps\n";
    std::string data = home + "/.var/app/org.gnome.Maps";
    test::makeFile(data + "/data/maps.db", 30'000);
    std::string image = home + "/Applications/Krita-5.2.2-x86_64.AppImage";
    test::makeFile(image, 50'000);
    std::string config = home + "/.config/krita";
    test::makeFile(config + "/kritarc", 8'000);

    auto run = test::runProgram(BRAMWICK_BINARY, {"--leftovers"}, {"BRAMWICK_HOME=" + home});
    EXPECT_EQ(run.status, 0);
    std::string mapsBlock =
        "\nMaps \u2014 org.gnome.Maps \u2014 app " + Text::byteCount(Scanner::allocatedSize(maps)) +
        ", leftovers " + Text::byteCount(Scanner::allocatedSize(data)) + "\n" +
        "   Container                  " +
        right(Text::byteCount(Scanner::allocatedSize(data)), 10) + "  ~/.var/app/org.gnome.Maps\n";
    std::string kritaBlock =
        "\nKrita \u2014 no bundle id \u2014 app " + Text::byteCount(Scanner::allocatedSize(image)) +
        ", leftovers " + Text::byteCount(Scanner::allocatedSize(config)) + "\n" +
        "   Preferences                " +
        right(Text::byteCount(Scanner::allocatedSize(config)), 10) + "  ~/.config/krita\n";
    EXPECT_NE(run.output.find(mapsBlock), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(kritaBlock), std::string::npos) << run.output;
    test::removeTree(home);
}

TEST(LeftoversMode, AnAppImageGoesByTheEntryInsideItReadOnlyWhenThereIsOne) {
    std::string home = test::makeTemporaryFolder("leftovers-appimage");
    std::string image = home + "/Applications/digikam-8.2.0-x86_64.AppImage";
    ASSERT_TRUE(test::makeAppImage(
        image, {{"org.kde.digikam.desktop", "[Desktop Entry]\nName=digiKam\nIcon=digikam\n"}}));
    std::string cache = home + "/.cache/org.kde.digikam";
    test::makeFile(cache + "/thumbs.db", 20'000);

    // The program maps the SquashFS library for a run that reads an image, and not before.
    bool strace = ::access("/usr/bin/strace", X_OK) == 0;
    auto run = [&](const std::vector<std::string>& arguments, const std::string& trace) {
        std::vector<std::string> traced{"-f", "-qq", "-e",           "trace=openat",
                                        "-o", trace, BRAMWICK_BINARY};
        traced.insert(traced.end(), arguments.begin(), arguments.end());
        // The leak checker of a sanitized build cannot work under a tracer, and would fail it.
        return strace ? test::runProgram("/usr/bin/strace", traced,
                                         {"BRAMWICK_HOME=" + home, "ASAN_OPTIONS=detect_leaks=0"})
                      : test::runProgram(BRAMWICK_BINARY, arguments, {"BRAMWICK_HOME=" + home});
    };
    auto leftovers = run({"--leftovers", "digikam"}, home + "/leftovers.trace");
    EXPECT_EQ(leftovers.status, 0);
    EXPECT_NE(leftovers.output.find("\ndigiKam \u2014 org.kde.digikam \u2014 app " +
                                    Text::byteCount(Scanner::allocatedSize(image)) +
                                    ", leftovers " +
                                    Text::byteCount(Scanner::allocatedSize(cache)) + "\n"),
              std::string::npos)
        << leftovers.output;
    auto scan = run({"--scan", "npm"}, home + "/scan.trace");
    EXPECT_EQ(scan.status, 0);
    if (strace) {
        EXPECT_NE(test::readFile(home + "/leftovers.trace").find("libsquashfs"), std::string::npos);
        EXPECT_EQ(test::readFile(home + "/scan.trace").find("libsquashfs"), std::string::npos);
    }
    test::removeTree(home);
}

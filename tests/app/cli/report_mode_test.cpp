#include <fcntl.h>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "base/text.h"
#include "engine/scanner.h"
#include "platform/files.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {

struct Row {
    std::string size;
    int items = 0;
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << row.size << " (" << row.items << " items)";
}

// The category rows of a --report run, by name.
std::map<std::string, Row> rows(const std::string& output) {
    std::map<std::string, Row> out;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.starts_with(" ") || line.size() < 29) continue;
        auto open = line.rfind(" (");
        if (open == std::string::npos) continue;
        std::string size = Text::trimmed(line.substr(17, 10));
        std::string name = line.substr(28, open - 28);
        out[name] = {size, std::stoi(line.substr(open + 2))};
    }
    return out;
}

std::string bytes(std::int64_t size) {
    return Text::byteCount(size);
}
std::int64_t measured(const std::string& path) {
    return Scanner::allocatedSize(path);
}

void writeText(const std::string& path, const std::string& text) {
    test::makeFile(path, 0);
    std::ofstream(path) << text;
}

// Sets a file's or folder's access and modification times that many days back.
void age(const std::string& path, int days) {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = ::time(nullptr) - days * 86400L;
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

// Rows that also read folders of the system, which this machine may fill.
bool readsTheSystem(const std::string& name) {
    return name == "macOS Temp Data" || name == "Claude Code Scratchpads" ||
           name == "Claude Code Build Folders" || name == "Simulator Shared Cache" ||
           name == "Deleted User Account" ||
           (name == "Unused Applications" &&
            (test::exists("/Applications") || !Files::names("/var/lib/flatpak/app").empty()));
}

std::string report(const std::string& home) {
    auto run = test::runProgram(BRAMWICK_BINARY, {"--report"},
                                {"BRAMWICK_HOME=" + home, "XDG_CACHE_HOME=/nowhere/cache",
                                 "XDG_CONFIG_HOME=/nowhere/config"});
    EXPECT_EQ(run.status, 0);
    return run.output;
}

// The expected rows as given, and every other row of the 45 empty on this home.
void expectRows(std::map<std::string, Row> found, const std::map<std::string, Row>& expected) {
    EXPECT_EQ(found.size(), 45u);
    for (const auto& [name, row] : expected) {
        if (readsTheSystem(name)) continue;
        EXPECT_EQ(found[name], row) << name;
    }
    for (const auto& [name, row] : found) {
        if (expected.contains(name) || readsTheSystem(name)) continue;
        EXPECT_EQ(row, (Row{"Zero KB", 0})) << name;
    }
}

} // namespace

TEST(ReportMode, ALinuxHomeShowsEachFolderOnceInItsOwnRow) {
    std::string h = test::makeTemporaryFolder("linux-home");
    auto file = [&](const std::string& rest, std::size_t size) { test::makeFile(h + rest, size); };
    file("/.cache/google-chrome/Default/Cache/data", 300'000);
    file("/.cache/chromium/Default/Cache/data", 100'000);
    file("/.cache/yarn/v6/npm-left-pad.tgz", 70'000);
    file("/.cache/Homebrew/downloads/bottle.tar.gz", 60'000);
    file("/.cache/pip/http/wheel", 50'000);
    file("/.local/share/pnpm/store/v3/files/00/a", 80'000);
    file("/.local/share/pnpm/.tools/x", 4'000);
    file("/.local/lib/python3.11/site-packages/requests/api.py", 90'000);
    file("/Android/Sdk/ndk/26.1/source.properties", 200'000);
    file("/Android/Sdk/system-images/android-34/x86_64/system.img", 150'000);
    file("/Android/Sdk/platforms/android-34/android.jar", 40'000);
    file("/.config/google-chrome/Default/Login Data", 30'000);
    file("/.config/Claude/Cache/Cache_Data/f_0001", 25'000);
    file("/.config/Claude/config.json", 1'000);
    // Flatpak data: Maps, and Chrome installed as a Flatpak with its own cache and profile.
    file("/.var/app/org.gnome.Maps/cache/tiles/t1", 120'000);
    file("/.var/app/org.gnome.Maps/data/maps.db", 45'000);
    file("/.var/app/com.google.Chrome/cache/google-chrome/Default/Cache/data", 35'000);
    file("/.var/app/com.google.Chrome/cache/fontconfig/x", 8'000);
    file("/.var/app/com.google.Chrome/config/google-chrome/Default/Login Data", 20'000);
    file("/.var/app/com.google.Chrome/data/x", 6'000);
    // The Flatpak installation and an AppImage, neither used for a year.
    std::string maps = h + "/.local/share/flatpak/app/org.gnome.Maps";
    file("/.local/share/flatpak/app/org.gnome.Maps/x86_64/stable/abc/files/bin/maps", 400'000);
    test::makeLink("x86_64/stable", maps + "/current");
    writeText(h + "/.local/share/flatpak/exports/share/applications/org.gnome.Maps.desktop",
              "[Desktop Entry]\nName=Maps\n");
    std::string image = h + "/Applications/Krita-5.2.2-x86_64.AppImage";
    file("/Applications/Krita-5.2.2-x86_64.AppImage", 250'000);
    writeText(h + "/.local/share/applications/krita.desktop",
              "[Desktop Entry]\nExec=" + image + "\n");
    for (const char* old : {"/.var/app/org.gnome.Maps/cache", "/.var/app/org.gnome.Maps/data",
                            "/.var/app/org.gnome.Maps"})
        age(h + old, 365);
    age(image, 365);
    // Localised folders of the user, and the videos folder.
    writeText(
        h + "/.config/user-dirs.dirs",
        "XDG_DOWNLOAD_DIR=\"$HOME/T\u00e9l\u00e9chargements\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n"
        "XDG_DESKTOP_DIR=\"$HOME/\"\n");
    file("/T\u00e9l\u00e9chargements/setup.bin", 1'500'000);
    file("/T\u00e9l\u00e9chargements/notes.txt", 3'000);
    test::makeFolder(h + "/Bilder");
    std::ifstream in(h + "/T\u00e9l\u00e9chargements/setup.bin", std::ios::binary);
    std::ofstream(h + "/Bilder/setup copy.bin", std::ios::binary) << in.rdbuf();
    file("/Videos/clip.mp4", 1'200'000);
    file("/Videos/again/clip.mp4", 1'200'000);

    auto found = rows(report(h));
    auto at = [&](const std::string& rest) { return measured(h + rest); };
    std::map<std::string, Row> expected{
        {"Google Chrome Cache",
         {bytes(at("/.cache/google-chrome") + at("/.cache/chromium") +
                at("/.var/app/com.google.Chrome/cache/google-chrome")),
          3}},
        // Only what no narrower row owns.
        {"Command-Line Tool Cache", {bytes(at("/.cache/pip")), 1}},
        {"Yarn & pnpm Caches", {bytes(at("/.cache/yarn") + at("/.local/share/pnpm/store")), 2}},
        {"Homebrew Downloads", {bytes(at("/.cache/Homebrew/downloads")), 1}},
        {"Python User Packages", {bytes(at("/.local/lib/python3.11/site-packages")), 1}},
        {"Android SDK Extras",
         {bytes(at("/Android/Sdk/ndk") + at("/Android/Sdk/system-images")), 2}},
        {"Claude Desktop Caches", {bytes(at("/.config/Claude/Cache")), 1}},
        {"Application Caches",
         {bytes(at("/.var/app/org.gnome.Maps/cache/tiles") +
                at("/.var/app/com.google.Chrome/cache/fontconfig")),
          2}},
        // Each Flatpak data folder without its caches and the browser profile inside it.
        {"App Containers",
         {bytes(at("/.var/app/org.gnome.Maps") - at("/.var/app/org.gnome.Maps/cache") +
                at("/.var/app/com.google.Chrome") - at("/.var/app/com.google.Chrome/cache") -
                at("/.var/app/com.google.Chrome/config/google-chrome")),
          2}},
        {"Google Chrome Passwords & Sign-ins",
         {bytes(at("/.config/google-chrome") +
                at("/.var/app/com.google.Chrome/config/google-chrome")),
          2}},
        // ~/.local/share without the pnpm store and the Flatpak installation.
        {"Application Support",
         {bytes(at("/.local/share/applications") + at("/.local/share/pnpm") -
                at("/.local/share/pnpm/store")),
          2}},
        {"Unused Applications",
         {bytes(at("/.local/share/flatpak/app/org.gnome.Maps") +
                at("/Applications/Krita-5.2.2-x86_64.AppImage")),
          2}},
        {"Downloads Folder", {bytes(at("/T\u00e9l\u00e9chargements")), 2}},
        // One copy of each: the localised Downloads and Pictures, and the Videos folder.
        {"Duplicate Files", {bytes(1'500'000 + 1'200'000), 2}},
    };
    expectRows(found, expected);
    test::removeTree(h);
}

TEST(ReportMode, AMacHomeStillShowsItsOwnRows) {
    std::string h = test::makeTemporaryFolder("mac-home");
    auto file = [&](const std::string& rest, std::size_t size) { test::makeFile(h + rest, size); };
    file("/Library/Caches/Google/Chrome/Default/Cache/data", 300'000);
    file("/Library/Caches/com.example.app/db", 70'000);
    file("/Library/Caches/Homebrew/downloads/bottle.tar.gz", 60'000);
    file("/Library/Caches/Yarn/v6/pkg.tgz", 50'000);
    file("/Library/Application Support/Google/Chrome/Default/Login Data", 30'000);
    file("/Library/Application Support/Claude/Cache/data", 25'000);
    file("/Library/Application Support/Claude/config.json", 4'000);
    file("/Library/Application Support/Other/store", 8'000);
    file("/Library/Python/3.9/lib/python/site-packages/x.py", 20'000);
    file("/Library/Android/sdk/ndk/26/source.properties", 90'000);
    file("/Library/Containers/com.example.app/Data/db", 45'000);
    file("/.npm/_cacache/index", 40'000);

    auto found = rows(report(h));
    auto at = [&](const std::string& rest) { return measured(h + rest); };
    std::map<std::string, Row> expected{
        {"Application Caches", {bytes(at("/Library/Caches/com.example.app")), 1}},
        {"Google Chrome Cache", {bytes(at("/Library/Caches/Google")), 1}},
        {"Homebrew Downloads", {bytes(at("/Library/Caches/Homebrew/downloads")), 1}},
        {"Yarn & pnpm Caches", {bytes(at("/Library/Caches/Yarn")), 1}},
        {"Google Chrome Passwords & Sign-ins",
         {bytes(at("/Library/Application Support/Google")), 1}},
        {"Claude Desktop Caches", {bytes(at("/Library/Application Support/Claude/Cache")), 1}},
        {"Application Support",
         {bytes(at("/Library/Application Support/Claude") -
                at("/Library/Application Support/Claude/Cache") +
                at("/Library/Application Support/Other")),
          2}},
        {"Python User Packages", {bytes(at("/Library/Python/3.9")), 1}},
        {"Android SDK Extras", {bytes(at("/Library/Android/sdk/ndk")), 1}},
        {"App Containers", {bytes(at("/Library/Containers/com.example.app")), 1}},
        {"NPM Cache", {bytes(at("/.npm/_cacache")), 1}},
    };
    expectRows(found, expected);
    test::removeTree(h);
}

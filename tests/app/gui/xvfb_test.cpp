// The real program on a real X display (a private Xvfb server): it maps and paints its main
// window, a second launch hands over and ends, and SIGTERM ends the first cleanly with its
// settings intact.
#include <chrono>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/child_process.h"
#include "support/fixture.h"

using namespace std::chrono_literals;

namespace {

using bramwick::test::Child;

// The top-level windows titled "Bramwick" of at least the main window's size, as their ids.
std::vector<std::string> mainWindows(const std::string& display) {
    auto run =
        bramwick::test::runProgram("/usr/bin/xwininfo", {"-display", display, "-root", "-tree"});
    std::vector<std::string> found;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        auto title = line.find("\"Bramwick\"");
        if (title == std::string::npos) continue;
        int width = 0, height = 0;
        auto size = line.find(": (", title);
        if (size == std::string::npos) continue;
        auto close = line.find(')', size);
        if (std::sscanf(line.c_str() + close + 1, " %dx%d", &width, &height) != 2) continue;
        if (width >= 1000 && height >= 620) {
            std::istringstream words(line);
            std::string id;
            words >> id;
            found.push_back(id);
        }
    }
    return found;
}

std::uint32_t bigEndian(const std::string& data, std::size_t at) {
    auto byte = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(data[at + i]));
    };
    return byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
}

// How many different colours a window shows, from a dump of it in the X window dump format
// (24-bit visuals at 32 bits per pixel, which is what Xvfb gives at depth 24).
std::size_t colours(const std::string& display, const std::string& window) {
    auto dump =
        bramwick::test::runProgram("/usr/bin/xwd", {"-display", display, "-id", window, "-silent"});
    const std::string& d = dump.output;
    if (d.size() < 100) return 0;
    std::uint32_t headerSize = bigEndian(d, 0);
    std::uint32_t bitsPerPixel = bigEndian(d, 44);
    std::uint32_t bytesPerLine = bigEndian(d, 48);
    std::uint32_t height = bigEndian(d, 20);
    std::uint32_t width = bigEndian(d, 16);
    std::uint32_t colourEntries = bigEndian(d, 76);
    std::size_t pixels = headerSize + colourEntries * 12;
    if (bitsPerPixel != 32 || d.size() < pixels + std::size_t(bytesPerLine) * height) return 0;
    std::set<std::uint32_t> seen;
    for (std::uint32_t y = 0; y < height; y += 2)
        for (std::uint32_t x = 0; x < width; x += 2) {
            seen.insert(bigEndian(d, pixels + y * bytesPerLine + x * 4) & 0xFFFFFF);
            if (seen.size() > 16) return seen.size();
        }
    return seen.size();
}

} // namespace

TEST(RealDisplay, TheMainWindowMapsAndPaintsAndSigtermEndsTheProgramCleanly) {
    if (::access(bramwick::test::PrivateDisplay::server, X_OK) != 0)
        GTEST_SKIP() << "Xvfb is not installed (scripts/install-deps.sh)";
    bramwick::test::PrivateDisplay server;
    ASSERT_TRUE(server.running()) << "Xvfb did not start";
    const std::string display = server.display;

    std::string home = bramwick::test::makeTemporaryFolder("xvfb-home");
    std::string settingsFile = home + "/.config/bramwick/settings.json";
    const nlohmann::json stored = {
        {"keepInDock", false}, {"skin", "hibernia"}, {"autoCleanHour", 9}};
    bramwick::test::makeFolder(home + "/.config/bramwick");
    std::ofstream(settingsFile) << stored.dump();
    bramwick::test::makeFile(home + "/.npm/_cacache/index", 20'000);

    std::vector<std::string> environment{"DISPLAY=" + display, "BRAMWICK_HOME=" + home,
                                         "PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + home};
    // No tray on a bare server: the window opens at launch although the files can be read.
    Child program = Child::start({BRAMWICK_BINARY}, environment);

    std::vector<std::string> windows;
    for (auto end = std::chrono::steady_clock::now() + 15s;
         windows.empty() && std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(50ms))
        windows = mainWindows(display);
    ASSERT_EQ(windows.size(), 1u) << "the main window was not mapped";
    std::size_t painted = 0;
    for (auto end = std::chrono::steady_clock::now() + 10s;
         painted < 3 && std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(50ms))
        painted = colours(display, windows[0]);
    EXPECT_GE(painted, 3u) << "a background, text and more";

    // A second launch hands "reopen" over and ends; there is still one main window.
    Child second = Child::start({BRAMWICK_BINARY, "--window"}, environment);
    EXPECT_EQ(second.wait(10s), 0);
    second.kill();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(mainWindows(display).size(), 1u);

    ASSERT_EQ(::kill(program.pid, SIGTERM), 0);
    EXPECT_EQ(program.wait(10s), 0) << "SIGTERM ends the program with status 0";
    program.kill();
    server.child.kill();

    std::ifstream in(settingsFile);
    nlohmann::json after = nlohmann::json::parse(in, nullptr, false);
    ASSERT_FALSE(after.is_discarded()) << "the settings file is whole";
    for (const auto& [key, value] : stored.items())
        EXPECT_EQ(after[key], value) << key;
    bramwick::test::removeTree(home);
}

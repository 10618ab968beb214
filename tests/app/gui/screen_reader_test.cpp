// The real program driven from outside by a screen-reader client over AT-SPI, on a private X
// server, a private session bus and the accessibility bus the desktop starts there, over a home of
// real files given by BRAMWICK_HOME while HOME names another folder. A row's card names the
// category and counts its items, Cancel keeps every file, and nothing the program or its
// libraries write lands outside the home it was given.
#include <chrono>
#include <csignal>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/fixture.h"
#include "support/private_bus.h"
#include "support/private_display.h"

using namespace std::chrono_literals;
using Child = bramwick::test::ChildProcess;

namespace {

constexpr const char* python = "/usr/bin/python3";
constexpr const char* busLauncher = "/usr/libexec/at-spi-bus-launcher";
constexpr const char* dbusDaemon = "/usr/bin/dbus-daemon";

// Why the walk cannot run here, or empty when it can.
std::string missingTool() {
    if (::access(bramwick::test::PrivateDisplay::server, X_OK) != 0) return "Xvfb is not installed";
    if (::access(dbusDaemon, X_OK) != 0) return "dbus-daemon is not installed";
    if (::access(busLauncher, X_OK) != 0) return "at-spi2-core is not installed";
    if (::access(python, X_OK) != 0) return "python3 is not installed";
    if (bramwick::test::runProgram(python, {"-c", "import pyatspi"}).status != 0)
        return "python3-pyatspi (with gir1.2-atspi-2.0) is not installed";
    return {};
}

} // namespace

TEST(ScreenReader, ARowsCardNamesItsCategoryAndItemsAndCancelKeepsEveryFile) {
    if (auto missing = missingTool(); !missing.empty())
        GTEST_SKIP() << missing << " (scripts/install-deps.sh)";

    namespace t = bramwick::test;
    const std::string folder = t::makeTemporaryFolder("screen-reader");
    const std::string home = t::makeFolder(folder + "/home");
    // What HOME names for the run: the real home as far as the program knows. Nothing may land
    // there.
    const std::string elsewhere = t::makeFolder(folder + "/elsewhere");
    const std::string runtime = t::makeFolder(folder + "/runtime");
    ::chmod(runtime.c_str(), 0700);
    t::makeFile(home + "/.npm/_cacache/index-v5/aa/entry", 5'000'000);
    t::makeFile(home + "/.npm/_npx/1234/package.json", 2'000'000);
    t::makeFile(home + "/.npm/_logs/debug.log", 1'000'000);
    t::makeFile(home + "/Downloads/old.zip", 100'000);

    t::PrivateDisplay display;
    ASSERT_TRUE(display.running()) << "Xvfb did not start";
    t::PrivateBus bus;
    ASSERT_TRUE(bus.running()) << "dbus-daemon did not start";
    const std::vector<std::string> session{"DISPLAY=" + display.name,
                                           "DBUS_SESSION_BUS_ADDRESS=" + bus.address,
                                           "XDG_RUNTIME_DIR=" + runtime, "PATH=/usr/bin:/bin"};
    auto with = [&](std::vector<std::string> more) {
        more.insert(more.begin(), session.begin(), session.end());
        return more;
    };
    // The accessibility bus, as a desktop session has it.
    Child launcher = Child::start({busLauncher, "--launch-immediately"}, with({"HOME=" + runtime}));
    Child program = Child::start(
        {BRAMWICK_BINARY},
        with({"BRAMWICK_HOME=" + home, "HOME=" + elsewhere, "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"}));

    auto walk = t::runProgram(
        "/usr/bin/timeout",
        {"120", python, BRAMWICK_TEST_DATA "/screen_reader.py", "NPM Cache", "Downloads Folder"},
        with({"HOME=" + runtime}));
    ASSERT_EQ(program.wait(0ms), std::nullopt) << "the program ended early";
    const auto read = nlohmann::json::parse(walk.output, nullptr, false);
    ASSERT_FALSE(read.is_discarded()) << walk.output;
    ASSERT_EQ(walk.status, 0) << walk.output;

    EXPECT_EQ(read["title"], "Clean NPM Cache?");
    EXPECT_EQ(read["cardName"], "Clean NPM Cache?") << "said as the card takes the focus";
    const std::string message = read["message"];
    EXPECT_EQ(message.rfind("3 items, ", 0), 0u) << message;
    const std::string sentence =
        ".\n\nThese will be permanently deleted. They regenerate when needed.";
    EXPECT_TRUE(message.ends_with(sentence)) << message;
    EXPECT_EQ(read["buttons"], (nlohmann::json{"Cancel", "Clean"}));
    EXPECT_EQ(read["cardGone"], true);
    EXPECT_EQ(read["dialogGone"], true);

    // Cancel kept every file.
    for (const char* path : {"/.npm/_cacache/index-v5/aa/entry", "/.npm/_npx/1234/package.json",
                             "/.npm/_logs/debug.log", "/Downloads/old.zip"})
        EXPECT_TRUE(t::exists(home + path)) << path;

    ASSERT_EQ(::kill(program.pid, SIGTERM), 0);
    EXPECT_EQ(program.wait(10s), 0);
    // The folder dialog kept its state in the home given, and nothing at all went elsewhere.
    EXPECT_TRUE(t::exists(home + "/.config/QtProject.conf"));
    EXPECT_EQ(t::runProgram("/usr/bin/find", {elsewhere, "-mindepth", "1"}).output, "");

    launcher.stop();
    t::removeTree(folder);
}

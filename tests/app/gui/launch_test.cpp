// When the main window opens at launch, and what a window run does without a display.
#include <gtest/gtest.h>

#include "app/gui/launch.h"
#include "support/fixture.h"

using namespace bramwick;

TEST(Launch, TheWindowOpensWithTheFlagOrUntilTheAccessSetupWasSkipped) {
    struct Case {
        std::vector<std::string> arguments;
        bool access;
        bool skipped;
        bool opens;
    } cases[] = {
        {{"bramwick", "--window"}, true, false, true},
        {{"bramwick", "--window"}, false, true, true},
        {{"bramwick"}, true, false, false}, // the files can be read: tray only
        {{"bramwick"}, true, true, false},
        {{"bramwick"}, false, false, true},             // the setup shows at every launch...
        {{"bramwick"}, false, true, false},             // ...until the user skipped it once
        {{"bramwick", "--Window"}, true, false, false}, // flags are compared exactly
        {{"bramwick", "-window"}, true, false, false},
    };
    for (const auto& c : cases) {
        int asked = 0;
        bool opens = Launch::openWindowAtLaunch(
            c.arguments,
            [&] {
                ++asked;
                return c.access;
            },
            c.skipped);
        EXPECT_EQ(opens, c.opens) << c.arguments.back() << " " << c.access << " " << c.skipped;
        EXPECT_EQ(asked, Launch::wantsWindow(c.arguments) ? 0 : 1) << "the access is asked lazily";
    }
}

TEST(Launch, ADisplayIsNamedOrAPluginThatNeedsNoneIsChosen) {
    struct Case {
        Launch::DisplayEnvironment environment;
        bool display;
        bool onlyX11;
    } cases[] = {
        {{"", "", ""}, false, false},
        {{":0", "", ""}, true, true},
        {{"", "wayland-0", ""}, true, false},
        {{":0", "wayland-0", ""}, true, false},
        {{"", "", "offscreen"}, true, false},
        {{"", "", "xcb"}, false, false},
        {{"", "", "wayland;xcb"}, false, false},
        {{":1", "wayland-0", "xcb"}, true, true},
    };
    for (const auto& c : cases) {
        const auto& e = c.environment;
        EXPECT_EQ(Launch::hasDisplay(e), c.display)
            << e.display << "|" << e.waylandDisplay << "|" << e.platform;
        EXPECT_EQ(Launch::onlyX11(e), c.onlyX11)
            << e.display << "|" << e.waylandDisplay << "|" << e.platform;
    }
}

namespace {
test::ProgramRun shell(const std::string& script) {
    return test::runProgram("/bin/sh", {"-c", script + "; echo \"status $?\"", BRAMWICK_BINARY});
}
} // namespace

TEST(Launch, WithoutADisplayAWindowRunSaysSoInOneLineAndFails) {
    for (const char* arguments : {"", "--window"}) {
        auto run = shell("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM BRAMWICK_HOME='" +
                         test::home() + "' \"$0\" " + arguments + " 2>&1");
        EXPECT_EQ(run.output, Launch::noDisplayMessage() + "status 1\n") << arguments;
    }
    EXPECT_NE(Launch::noDisplayMessage().find("--scan TERM"), std::string::npos);
    EXPECT_EQ(Launch::noDisplayMessage().find('\n'), Launch::noDisplayMessage().size() - 1);

    // A display that does not answer is no display either, never an abort of the window system.
    auto run = shell("env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:4095 BRAMWICK_HOME='" +
                     test::home() + "' \"$0\" 2>&1");
    EXPECT_EQ(run.output, Launch::noDisplayMessage(":4095") + "status 1\n");
    EXPECT_NE(run.output.find("the display DISPLAY names, :4095, does not answer"),
              std::string::npos);

    // The modes and the help never need one.
    run = shell("env -u DISPLAY -u WAYLAND_DISPLAY \"$0\" --help");
    EXPECT_TRUE(run.output.starts_with("Usage: bramwick")) << run.output;
    EXPECT_TRUE(run.output.ends_with("status 0\n"));
}

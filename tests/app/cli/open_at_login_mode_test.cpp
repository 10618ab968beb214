#include <gtest/gtest.h>

#include "platform/desktop_entry.h"
#include "support/fixture.h"

using namespace bramwick;

TEST(OpenAtLoginMode, WritesRemovesAndReportsTheAutostartEntry) {
    std::string home = test::makeTemporaryFolder("login");
    std::string entry = home + "/.config/autostart/app.bramwick.Bramwick.desktop";
    auto run = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "--open-at-login");
        return test::runProgram(BRAMWICK_BINARY, arguments, {"BRAMWICK_HOME=" + home});
    };

    auto status = run({});
    EXPECT_EQ(status.status, 0);
    EXPECT_EQ(status.output, "Open at login: off\n");
    EXPECT_FALSE(test::exists(home + "/.config")) << "a status query writes nothing";

    auto on = run({"on"});
    EXPECT_EQ(on.status, 0);
    EXPECT_EQ(on.output, "Open at login: enabled\n");
    auto keys = DesktopEntry::mainGroup(test::readFile(entry));
    EXPECT_EQ(DesktopEntry::execArguments(keys["Exec"]),
              std::vector<std::string>{DesktopEntry::program(keys["Exec"])});
    EXPECT_EQ(test::readFile(DesktopEntry::program(keys["Exec"])), test::readFile(BRAMWICK_BINARY))
        << "the entry starts this program";

    for (const char* other : {"Status", "--window", "ON"}) {
        auto report = run({other});
        EXPECT_EQ(report.status, 0) << other;
        EXPECT_EQ(report.output, "Open at login: enabled\n") << other;
    }

    auto off = run({"off"});
    EXPECT_EQ(off.status, 0);
    EXPECT_EQ(off.output, "Open at login: off\n");
    EXPECT_FALSE(test::exists(entry));
    EXPECT_EQ(run({"off"}).output, "Open at login: off\n") << "turning off twice succeeds";
    test::removeTree(home);
}

TEST(OpenAtLoginMode, AFailedRegistrationSaysWhyWithStatusOne) {
    std::string home = test::makeTemporaryFolder("login");
    test::makeFile(home + "/.config/autostart", 1); // a file where the folder belongs
    auto on =
        test::runProgram(BRAMWICK_BINARY, {"--open-at-login", "on"}, {"BRAMWICK_HOME=" + home});
    EXPECT_EQ(on.status, 1);
    EXPECT_TRUE(on.output.starts_with("Could not turn open at login on: ")) << on.output;
    EXPECT_EQ(on.output.find("Open at login:"), std::string::npos) << on.output;
    auto status =
        test::runProgram(BRAMWICK_BINARY, {"--open-at-login", "status"}, {"BRAMWICK_HOME=" + home});
    EXPECT_EQ(status.status, 0);
    EXPECT_EQ(status.output, "Open at login: off\n");
    test::removeTree(home);
}

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "base/edition.h"
#include "platform/desktop_entry.h"
#include "platform/files.h"
#include "platform/login_item.h"
#include "support/fixture.h"

using namespace bramwick;
using LoginItems::Status;

namespace {
std::string makeProgram(const std::string& path) {
    test::makeFile(path, 10);
    ::chmod(path.c_str(), 0755);
    return path;
}

std::string execOf(const std::string& entry) {
    return DesktopEntry::mainGroup(test::readFile(entry))["Exec"];
}
} // namespace

TEST(LoginItems, TheAutostartEntryStartsTheProgramWhateverItsPath) {
    test::clearHome();
    const std::string entry = Edition::configHome() + "/autostart/app.bramwick.Bramwick.desktop";
    EXPECT_EQ(LoginItems::entryPath(), entry);
    EXPECT_EQ(LoginItems::status(), Status::notRegistered);

    std::string program = makeProgram(test::home() + "/my apps/say \"hi\" 100%/bramwick");
    ASSERT_FALSE(LoginItems::registerApp(program));
    EXPECT_EQ(LoginItems::status(), Status::enabled);
    EXPECT_EQ(execOf(entry), "\"" + test::home() + "/my apps/say \\\\\"hi\\\\\" 100%%/bramwick\"");
    EXPECT_EQ(DesktopEntry::execArguments(execOf(entry)), std::vector<std::string>{program});
    auto keys = DesktopEntry::mainGroup(test::readFile(entry));
    EXPECT_EQ(keys["Type"], "Application");
    EXPECT_EQ(keys["Name"], "Bramwick");

    // Turning it on again rewrites it for the program that asks.
    std::string moved = makeProgram(test::home() + "/elsewhere/bramwick");
    ASSERT_FALSE(LoginItems::registerApp(moved));
    EXPECT_EQ(DesktopEntry::execArguments(execOf(entry)), std::vector<std::string>{moved});

    ::unlink(moved.c_str());
    EXPECT_EQ(LoginItems::status(), Status::notFound) << "the program is gone";

    EXPECT_FALSE(LoginItems::unregisterApp());
    EXPECT_FALSE(test::exists(entry));
    EXPECT_EQ(LoginItems::status(), Status::notRegistered);
    EXPECT_FALSE(LoginItems::unregisterApp()) << "removing an absent entry succeeds";
}

TEST(LoginItems, EntriesSwitchedOffByTheDesktopCountAsOff) {
    test::clearHome();
    std::string program = makeProgram(test::home() + "/bin/bramwick");
    std::string text = LoginItems::entryText(program);
    const std::string on = "X-GNOME-Autostart-enabled=true\n";
    ASSERT_NE(text.find(on), std::string::npos);
    text.erase(text.find(on), on.size());
    Files::makeFolders(Edition::configHome() + "/autostart");
    for (const char* line : {"Hidden=true", "X-GNOME-Autostart-enabled=false"}) {
        Files::writeAtomically(LoginItems::entryPath(), text + line + "\n");
        EXPECT_EQ(LoginItems::status(), Status::notRegistered) << line;
    }
}

TEST(LoginItems, AFailedRegistrationIsReportedAndChangesNothing) {
    test::clearHome();
    // A file where the autostart folder should be.
    test::makeFile(Edition::configHome() + "/autostart", 3);
    auto problem = LoginItems::registerApp(makeProgram(test::home() + "/bin/bramwick"));
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("autostart"), std::string::npos) << *problem;
    EXPECT_EQ(LoginItems::status(), Status::notRegistered) << "nothing can be registered there";
    EXPECT_EQ(test::readFile(Edition::configHome() + "/autostart"), "xxx");
}

TEST(LoginItems, AnEntryThatCannotBeReadIsUnknown) {
    test::clearHome();
    test::makeFolder(LoginItems::entryPath()); // a folder in the entry's place
    EXPECT_EQ(LoginItems::status(), Status::unknown);
}

TEST(LoginItems, AFailedRemovalIsReportedAndLeavesTheEntry) {
    if (test::runningAsRoot()) GTEST_SKIP() << "root may remove from a read-only folder";
    test::clearHome();
    ASSERT_FALSE(LoginItems::registerApp(makeProgram(test::home() + "/bin/bramwick")));
    ::chmod((Edition::configHome() + "/autostart").c_str(), 0500);
    EXPECT_TRUE(LoginItems::unregisterApp());
    EXPECT_EQ(LoginItems::status(), Status::enabled);
    ::chmod((Edition::configHome() + "/autostart").c_str(), 0700);
}

TEST(LoginItems, TurningOffWhereNoEntryCanBeIsNoFailure) {
    test::clearHome();
    EXPECT_FALSE(LoginItems::unregisterApp()) << "no folder at all";
    test::makeFile(Edition::configHome() + "/autostart", 10); // a file where the folder belongs
    EXPECT_EQ(LoginItems::status(), Status::notRegistered);
    EXPECT_FALSE(LoginItems::unregisterApp());
}

TEST(LoginItems, StatusWords) {
    EXPECT_EQ(LoginItems::statusWord(Status::notRegistered), "off");
    EXPECT_EQ(LoginItems::statusWord(Status::enabled), "enabled");
    EXPECT_EQ(LoginItems::statusWord(Status::unknown), "unknown");
}

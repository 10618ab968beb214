#include <gtest/gtest.h>

#include "platform/admin.h"

using namespace bramwick;

TEST(Admin, RunsOneShellCommandThroughPkexec) {
    std::vector<std::string> seen;
    auto fake = [&](const std::vector<std::string>& arguments, double) {
        seen = arguments;
        return Shell::Result{0, ""};
    };
    auto command = "/bin/rm -rf " + Admin::quote("/tmp/it's") + " " + Admin::quote("/tmp/a\"b\\c");
    Admin::run(command, 300, fake);
    EXPECT_EQ(seen, (std::vector<std::string>{"pkexec", "/bin/sh", "-c",
                                              "/bin/rm -rf '/tmp/it'\\''s' '/tmp/a\"b\\c'"}));
}

TEST(Admin, QuotedPathsSurviveTheShell) {
    for (std::string path : {"plain", "it's", "a\"b\\c", "$(touch x) `y` *", "new\nline"}) {
        auto r = Shell::run({"sh", "-c", "printf %s " + Admin::quote(path)}, 10);
        EXPECT_EQ(r.output, path);
    }
}

TEST(Admin, FailureReasons) {
    EXPECT_EQ(Admin::failureReason({127, "/usr/bin/env: 'pkexec': No such file or directory\n"}),
              "Administrator rights are not available: pkexec is not installed.");
    EXPECT_EQ(Admin::failureReason({126, ""}), "The administrator password was not given.");
    EXPECT_EQ(
        Admin::failureReason({126, "Error executing command as another user: Not authorized\n"}),
        "Error executing command as another user: Not authorized");
    EXPECT_EQ(Admin::failureReason({1, "  rm: cannot remove 'x': Device busy\n"}),
              "rm: cannot remove 'x': Device busy");
}

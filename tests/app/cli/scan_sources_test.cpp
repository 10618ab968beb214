#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

#include <gtest/gtest.h>
#include <plist/plist.h>

#include "support/fixture.h"

using namespace bramwick;

namespace {

void writeBinaryInfoPlist(const std::string& path, const char* identifier) {
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "CFBundleIdentifier", plist_new_string(identifier));
    plist_dict_set_item(dict, "CFBundleExecutable", plist_new_string("Atlas"));
    char* data = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(dict, &data, &length);
    test::makeFile(path, 0);
    std::ofstream(path, std::ios::binary).write(data, length);
    std::free(data);
    plist_free(dict);
}

bool allocate(const std::string& path, off_t bytes) {
    test::makeFile(path, 0);
    int fd = ::open(path.c_str(), O_WRONLY);
    bool ok = fd >= 0 && ::posix_fallocate(fd, 0, bytes) == 0;
    if (fd >= 0) ::close(fd);
    return ok;
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(ScanSources, EveryFinderShowsThroughTheScanMode) {
    std::string home = test::makeTemporaryFolder("scan-home");
    std::string uid = std::to_string(::getuid());
    test::makeFile(home + "/Projects/shop/web/node_modules/react/index.js", 30'000);
    test::makeFile(home + "/Projects/shop/web/package.json", 100);
    test::makeFile(home + "/Projects/shop/web/dist/app.js", 30'000);
    writeBinaryInfoPlist(home + "/Applications/Atlas.app/Contents/Info.plist", "com.example.atlas");
    test::makeFile(home + "/Applications/Atlas.app/Contents/MacOS/Atlas", 80'000);
    std::string session = home + "/tmp/claude-" + uid +
                          "/-home-me-Projects-shop/0f3a9c2e-5b7d-4c1a-9e2f-1a2b3c4d5e6f";
    test::makeFile(session + "/scratchpad/notes.txt", 20'000);
    test::makeFile(session + "/scratchpad/dd/Build/app.o", 60'000);
    test::makeFile(
        home +
            "/Library/Developer/CoreSimulator/Devices/A1B2C3D4-0000-4000-8000-000000000001/data/x",
        40'000);
    bool large = allocate(home + "/Downloads/disk image.iso", 200'000'000);

    auto scan = [&](const char* term) {
        auto run = test::runProgram(BRAMWICK_BINARY, {"--scan", term}, {"BRAMWICK_HOME=" + home});
        EXPECT_EQ(run.status, 0) << term;
        return run.output;
    };
    std::string projects = scan("project-artifacts");
    EXPECT_TRUE(has(projects,
                    "Project Build Folders \u2014 project-artifacts \u2014 Review \u2014 2 items"))
        << projects;
    EXPECT_TRUE(has(projects, " shop/web/node_modules\n             Restore with: npm install\n"))
        << projects;
    EXPECT_TRUE(has(projects, " shop/web/dist\n             Restore with: npm run build\n"))
        << projects;

    std::string apps = scan("applications");
    EXPECT_TRUE(has(apps, "Unused Applications \u2014 applications \u2014 Review \u2014 1 items"))
        << apps;
    EXPECT_TRUE(has(apps, " Atlas\n             Last opened ")) << apps;

    std::string pads = scan("claude-scratchpad");
    EXPECT_TRUE(
        has(pads, "Claude Code Scratchpads \u2014 claude-scratchpads \u2014 Review \u2014 1 items"))
        << pads;
    EXPECT_TRUE(has(pads, "Claude Code Build Folders \u2014 claude-scratchpad-builds \u2014 Safe "
                          "to Remove \u2014 1 items"))
        << pads;
    EXPECT_TRUE(has(pads, " shop \u00b7 session 0f3a9c2e\n             Used in the last hour"))
        << pads;

    std::string simulators = scan("simulators");
    EXPECT_TRUE(has(simulators, "Xcode Simulators \u2014 simulators \u2014 Review \u2014 1 items"))
        << simulators;
    EXPECT_TRUE(
        has(simulators,
            " Unknown simulator A1B2C3D4\n             Not known to Xcode \u2014 left over\n"))
        << simulators;

    if (large) {
        std::string files = scan("large-files");
        EXPECT_TRUE(
            has(files, "Large Files \u2014 large-files \u2014 Review \u2014 1 items, 200 MB"))
            << files;
        EXPECT_TRUE(has(files, " ~/Downloads/disk image.iso\n")) << files;
    }
    test::removeTree(home);
}

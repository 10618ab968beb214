// Application bundles and running applications made for tests.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/running_apps.h"

namespace bramwick::test {

// Writes an Info.plist with these string keys (XML, or the binary form), creating its folders.
void writeInfoPlist(const std::string& path, const std::map<std::string, std::string>& keys,
                    bool binary = false);

// An application bundle at `path` (a ".app" folder): Contents/Info.plist with the identifier
// (none when empty) and an executable of `bytes` bytes in Contents/MacOS.
void makeApp(const std::string& path, const std::string& identifier, std::size_t bytes = 20'000);

// An AppImage at `path`: an ELF-like runtime whose section header table ends where a SquashFS
// image follows, made with mksquashfs from `files` (path in the image → contents) and `links`
// (path in the image → link target), compressed with `compression`. False when mksquashfs is
// not there or fails.
bool makeAppImage(const std::string& path, const std::map<std::string, std::string>& files,
                  const std::map<std::string, std::string>& links = {},
                  const std::string& compression = "gzip");

// A running-applications provider that lists what the test puts in `apps`.
class FakeRunningApplications : public RunningApplications {
  public:
    std::vector<RunningApplication> apps;
    std::vector<RunningApplication> list() const override { return apps; }
    bool activate(const RunningApplication&) override { return false; }
    std::optional<std::string> requestQuit(const RunningApplication&) override {
        return "not in a test";
    }
};

} // namespace bramwick::test

// The program on a generated developer's home, as a user would run it: what it finds there, and
// that it reaches nothing of the real home and changes nothing while it looks.
#include <algorithm>
#include <filesystem>
#include <pwd.h>
#include <sstream>
#include <unistd.h>

#include <gtest/gtest.h>

#include "generated_home.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {

namespace fs = std::filesystem;

bool within(const std::string& path, const std::string& folder) {
    return path == folder || path.starts_with(folder + "/");
}

// The path a traced file call names: an absolute name as it is, a relative one joined to the
// folder strace shows for its descriptor ("3</tmp/x>, \"name\""), "" when it names none.
std::string tracedPath(const std::string& line) {
    auto open = line.find('"');
    if (open == std::string::npos) return "";
    auto close = line.find('"', open + 1);
    std::string name = line.substr(open + 1, close - open - 1);
    if (name.starts_with('/')) return name;
    auto end = line.rfind(">,", open);
    auto start = end == std::string::npos ? std::string::npos : line.rfind('<', end);
    if (start == std::string::npos) return name;
    std::string folder = line.substr(start + 1, end - start - 1);
    return name.empty() ? folder : folder + "/" + name;
}

struct Trace {
    bool traced = false;
    std::vector<std::string> outsideReads; // what of the real home was looked at
    std::vector<std::string> changes;      // every call that changes the disk outside the fixture
};

Trace readTrace(const std::string& prefix, const std::string& fixture,
                const std::vector<std::string>& realHomes) {
    static const std::vector<std::string> changing{
        "mkdir", "mkdirat", "unlink",    "unlinkat",  "rename",     "renameat", "renameat2",
        "rmdir", "symlink", "symlinkat", "link",      "linkat",     "chmod",    "fchmodat",
        "chown", "lchown",  "fchownat",  "utimensat", "utimes",     "truncate", "creat",
        "mknod", "mknodat", "setxattr",  "lsetxattr", "removexattr"};
    Trace trace;
    fs::path folder = fs::path(prefix).parent_path();
    std::string stem = fs::path(prefix).filename().string() + ".";
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.path().filename().string().starts_with(stem)) continue;
        std::istringstream lines(test::readFile(entry.path().string()));
        for (std::string line; std::getline(lines, line);) {
            std::string call = line.substr(0, line.find('('));
            if (call == "execve") trace.traced = true;
            std::string path = tracedPath(line);
            if (path.empty() || within(path, fixture)) continue;
            bool writes = line.find("O_WRONLY") != std::string::npos ||
                          line.find("O_RDWR") != std::string::npos ||
                          line.find("O_CREAT") != std::string::npos;
            if (writes || std::find(changing.begin(), changing.end(), call) != changing.end())
                trace.changes.push_back(line);
            for (const auto& home : realHomes)
                if (within(path, home)) trace.outsideReads.push_back(line);
        }
    }
    return trace;
}

} // namespace

TEST(GeneratedHome, ProjectBuildFoldersListTheLowerCaseProjectsAndTouchNothingElse) {
    std::string root = fs::canonical(test::makeTemporaryFolder("generated")).string();
    std::string home = root + "/home";
    bench::home::generate(home, 3000);

    std::vector<std::string> arguments{BRAMWICK_BINARY, "--scan", "project-artifacts"};
    std::string tracePrefix = root + "/trace";
    bool strace = ::access("/usr/bin/strace", X_OK) == 0;
    if (strace)
        arguments.insert(arguments.begin(),
                         {"-ff", "-qq", "-y", "-e", "trace=%file", "-o", tracePrefix});
    auto run = test::runProgram(
        strace ? "/usr/bin/strace" : BRAMWICK_BINARY,
        strace ? arguments : std::vector<std::string>(arguments.begin() + 1, arguments.end()),
        // The leak checker of a sanitized build cannot work under a tracer, and would fail it.
        {"BRAMWICK_HOME=" + home, "ASAN_OPTIONS=detect_leaks=0"});
    EXPECT_EQ(run.status, 0) << run.output;
    for (const char* found :
         {"~/projects/app00/node_modules", "~/projects/app00/.next", "~/projects/app01/target",
          "~/projects/app02/build", "~/projects/app02/.gradle"})
        EXPECT_NE(run.output.find(std::string(found) + "\n"), std::string::npos) << found;
    EXPECT_NE(run.output.find("group0/project00/node_modules\n"), std::string::npos);
    EXPECT_EQ(run.output.find(home), std::string::npos) << "every item is named from ~";

    if (strace) {
        std::vector<std::string> realHomes;
        if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir)
            realHomes.emplace_back(user->pw_dir);
        if (const char* variable = std::getenv("HOME"); variable && *variable == '/')
            realHomes.emplace_back(variable);
        auto trace = readTrace(tracePrefix, home, realHomes);
        if (trace.traced) {
            EXPECT_EQ(trace.outsideReads, std::vector<std::string>{});
            EXPECT_EQ(trace.changes, std::vector<std::string>{});
        }
    }
    test::removeTree(root);
}

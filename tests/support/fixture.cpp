#include "support/fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "base/edition.h"

namespace fs = std::filesystem;

namespace bramwick::test {

namespace {
std::string& homeStorage() {
    static std::string path;
    return path;
}
} // namespace

const std::string& home() {
    return homeStorage();
}

void clearHome() {
    std::error_code error;
    for (auto& entry : fs::directory_iterator(home(), error))
        fs::remove_all(entry.path(), error);
}

std::string makeFolder(const std::string& path) {
    fs::create_directories(path);
    return path;
}

std::string makeFile(const std::string& path, std::size_t bytes, char fill) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string block(std::min<std::size_t>(bytes, 1 << 20), fill);
    for (std::size_t left = bytes; left > 0;) {
        std::size_t n = std::min(left, block.size());
        out.write(block.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
    return path;
}

void makeLink(const std::string& target, const std::string& link) {
    fs::create_directories(fs::path(link).parent_path());
    fs::create_symlink(target, link);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

std::string makeTemporaryFolder(const std::string& hint) {
    std::string pattern =
        (fs::temp_directory_path() / ("bramwick-test-" + hint + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

std::string makeFolderOnAnotherDrive(const std::string& hint) {
    struct stat shm {
    }, here{};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(home().c_str(), &here) != 0 ||
        shm.st_dev == here.st_dev)
        return {};
    std::string pattern = "/dev/shm/bramwick-test-" + hint + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) return {};
    return pattern;
}

void removeTree(const std::string& path) {
    std::error_code error;
    fs::remove_all(path, error);
}

bool runningAsRoot() {
    return ::geteuid() == 0;
}

EnvironmentChange::EnvironmentChange(const std::string& name, const std::string& value)
    : name_(name) {
    if (const char* old = std::getenv(name.c_str())) old_ = old;
    ::setenv(name.c_str(), value.c_str(), 1);
}

EnvironmentChange::~EnvironmentChange() {
    if (old_)
        ::setenv(name_.c_str(), old_->c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment) {
    int pipefd[2];
    if (::pipe(pipefd) != 0) return {};
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipefd[1], 1);
        ::close(pipefd[0]);
        ::close(pipefd[1]);
        for (const auto& entry : environment)
            ::putenv(const_cast<char*>(entry.c_str()));
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipefd[1]);
    ProgramRun run;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(pipefd[0], buffer, sizeof buffer)) > 0)
        run.output.append(buffer, static_cast<std::size_t>(n));
    ::close(pipefd[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace bramwick::test

// Every test binary runs with its own temporary home, set before anything reads it.
int main(int argc, char** argv) {
    std::string folder = bramwick::test::makeTemporaryFolder("home");
    // A canonical path, so paths built by tests and paths found by walks agree.
    folder = fs::canonical(folder).string();
    bramwick::test::homeStorage() = folder;
    ::setenv("BRAMWICK_HOME", folder.c_str(), 1);
    // As the program does at start: what Qt and the other libraries write lands here too.
    bramwick::Edition::standInForHome();
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    bramwick::test::removeTree(folder);
    return result;
}

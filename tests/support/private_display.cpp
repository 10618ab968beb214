#include "support/private_display.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace bramwick::test {

using namespace std::chrono_literals;

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : pid(std::exchange(other.pid, -1)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    stop();
    pid = std::exchange(other.pid, -1);
    return *this;
}

ChildProcess ChildProcess::start(const std::vector<std::string>& argv,
                                 const std::vector<std::string>& environment, int keepOpen,
                                 Output output) {
    ChildProcess child;
    child.pid = ::fork();
    if (child.pid == 0) {
        ::clearenv();
        for (const auto& entry : environment)
            ::putenv(const_cast<char*>(entry.c_str()));
        for (int fd = 3; fd < 256; ++fd)
            if (fd != keepOpen) ::close(fd);
        if (output == Output::discarded) {
            int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    return child;
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds limit) {
    if (pid <= 0) return std::nullopt;
    auto end = std::chrono::steady_clock::now() + limit;
    do {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < end);
    return std::nullopt;
}

bool ChildProcess::running() {
    if (pid <= 0) return false;
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) != pid) return true;
    pid = -1;
    return false;
}

void ChildProcess::stop() {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    if (wait(2s)) return;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

bool PrivateDisplay::installed() {
    return ::access(server, X_OK) == 0;
}

PrivateDisplay::PrivateDisplay() {
    if (!installed()) return;
    // The server writes the display's number to the pipe. It never resets: by default a server
    // resets when its last client leaves and drops whoever connects meanwhile, and the polls of
    // the tests come and go while the program is connecting.
    int numberPipe[2];
    if (::pipe(numberPipe) != 0) return;
    process = ChildProcess::start({server, "-displayfd", std::to_string(numberPipe[1]), "-screen",
                                   "0", "1280x800x24", "-nolisten", "tcp", "-noreset"},
                                  {"PATH=/usr/bin:/bin"}, numberPipe[1]);
    ::close(numberPipe[1]);
    std::string number;
    char c;
    while (::read(numberPipe[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(numberPipe[0]);
    if (!number.empty()) name = ":" + number;
}

} // namespace bramwick::test

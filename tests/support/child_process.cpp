#include "support/child_process.h"

#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace bramwick::test {

using namespace std::chrono_literals;

Child::Child(Child&& other) noexcept : pid(std::exchange(other.pid, -1)) {}

Child& Child::operator=(Child&& other) noexcept {
    kill();
    pid = std::exchange(other.pid, -1);
    return *this;
}

Child Child::start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   int keepOpen) {
    Child child;
    child.pid = ::fork();
    if (child.pid == 0) {
        ::clearenv();
        for (const auto& entry : env)
            ::putenv(const_cast<char*>(entry.c_str()));
        for (int fd = 3; fd < 256; ++fd)
            if (fd != keepOpen) ::close(fd);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    return child;
}

std::optional<int> Child::wait(std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(20ms);
    }
    return std::nullopt;
}

void Child::kill() {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    if (wait(2s)) return;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

PrivateDisplay::PrivateDisplay() {
    if (::access(server, X_OK) != 0) return;
    // The server writes the number of the display it took to the pipe. It never resets: by
    // default a server resets when its last client leaves and drops whoever connects meanwhile.
    int numberPipe[2];
    if (::pipe(numberPipe) != 0) return;
    child = Child::start({server, "-displayfd", std::to_string(numberPipe[1]), "-screen", "0",
                          "1280x800x24", "-nolisten", "tcp", "-noreset"},
                         {"PATH=/usr/bin:/bin"}, numberPipe[1]);
    ::close(numberPipe[1]);
    std::string number;
    char c;
    while (::read(numberPipe[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(numberPipe[0]);
    if (!number.empty()) display = ":" + number;
}

} // namespace bramwick::test

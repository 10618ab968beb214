#include "support/long_named_process.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

#include "support/fixture.h"

extern char** environ;

namespace bramwick::test {

LongNamedProcess::LongNamedProcess()
    : folder_(makeTemporaryFolder("long-name")), executable_(folder_ + "/" + name) {
    std::error_code error;
    std::filesystem::copy_file("/bin/sleep", executable_, error);
    if (error) return;
    std::string seconds = "60";
    char* argv[] = {executable_.data(), seconds.data(), nullptr};
    if (::posix_spawn(&pid_, executable_.c_str(), nullptr, nullptr, argv, environ) != 0) {
        pid_ = -1;
        return;
    }
    // Until the exec is done the child still carries the test's own name.
    for (int i = 0; i < 500; ++i) {
        std::ifstream in("/proc/" + std::to_string(pid_) + "/comm");
        std::string comm;
        std::getline(in, comm);
        if (comm == kernelName) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

LongNamedProcess::~LongNamedProcess() {
    // An unreaped child keeps its pid, so this signal can reach no other process.
    if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    removeTree(folder_);
}

} // namespace bramwick::test

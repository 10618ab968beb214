#include "support/private_bus.h"

#include <csignal>
#include <cstdio>

#include "support/fixture.h"

namespace bramwick::test {

PrivateBus::PrivateBus()
    : folder(makeTemporaryFolder("bus")), address("unix:path=" + folder + "/bus") {
    std::string command =
        "dbus-daemon --session --fork --print-pid=1 --address=" + address + " 2>/dev/null";
    if (FILE* out = ::popen(command.c_str(), "r")) {
        if (std::fscanf(out, "%ld", &pid) != 1) pid = 0;
        ::pclose(out);
    }
}

PrivateBus::~PrivateBus() {
    if (pid > 0) ::kill(static_cast<pid_t>(pid), SIGTERM);
    removeTree(folder);
}

} // namespace bramwick::test

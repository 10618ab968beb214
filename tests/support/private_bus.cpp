#include "support/private_bus.h"

#include <csignal>
#include <cstdio>
#include <fstream>

#include "support/fixture.h"

namespace bramwick::test {

PrivateBus::PrivateBus()
    : folder(makeTemporaryFolder("bus")), address("unix:path=" + folder + "/bus") {
    // A session bus that starts no service by itself: a test's call to a name nobody owns
    // must not bring up a real notification server or accessibility bus of the desktop's.
    const std::string config = folder + "/bus.conf";
    std::ofstream(config) << "<busconfig><type>session</type><listen>" << address
                          << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                             "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                             "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
                             "</busconfig>\n";
    std::string command =
        "dbus-daemon --config-file=" + config + " --fork --print-pid=1 2>/dev/null";
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

// A session message bus of the test's own (dbus-daemon), stopped when the object goes. It
// starts no service on demand.
#pragma once

#include <string>

namespace bramwick::test {

struct PrivateBus {
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool running() const { return pid > 0; }

    std::string folder;
    std::string address; // "unix:path=…"
    long pid = 0;        // the daemon this object started
};

} // namespace bramwick::test

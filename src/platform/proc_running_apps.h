// The user's running applications, read from /proc. An application is a process in a systemd
// app scope or service of the user's session ("app-<launcher>-<id>-<random>.scope",
// "app-<launcher>-<id>@<random>.service"), identified by the desktop-file id in that name, or a
// process whose executable lies in a ".app" bundle, identified by the bundle's identifier. Only
// the first process of each is listed; its helpers, started by it, are not applications.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

#include "platform/running_apps.h"

namespace bramwick {

class ProcRunningApplications : public RunningApplications {
  public:
    struct Places {
        std::string proc = "/proc";
        // Folders holding desktop entries; empty means the XDG data folders' "applications".
        std::vector<std::string> applicationFolders;
        // Whose processes are listed; by default the user running the program.
        std::optional<uid_t> user;
    };

    ProcRunningApplications();
    explicit ProcRunningApplications(Places places);

    std::vector<RunningApplication> list() const override;
    // Both need the windows of the desktop: this reader alone cannot do either.
    bool activate(const RunningApplication& application) override;
    std::optional<std::string> requestQuit(const RunningApplication& application) override;

    // The desktop-file id (without ".desktop") named by a systemd unit of an application, or
    // none when the unit is not an application's.
    static std::optional<std::string> applicationIdOfUnit(std::string_view unit);
    // The unit of an application in the text of /proc/<pid>/cgroup, or none.
    static std::optional<std::string> applicationUnit(std::string_view cgroupText);

    // The folders searched for desktop entries: $XDG_DATA_HOME then $XDG_DATA_DIRS.
    static std::vector<std::string> defaultApplicationFolders();

  private:
    Places places_;
};

} // namespace bramwick

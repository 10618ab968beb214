// The applications running in the user's session. One provider, shared by the applications
// category, the uninstaller, the memory users and the automatic clean; tests install a fake.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace bramwick {

struct RunningApplication {
    pid_t pid = 0;
    // The desktop-file id (without ".desktop") of its app scope or service, or the identifier of
    // the .app bundle its executable lies in; empty when neither is known.
    std::string bundleIdentifier;
    std::string name;
    std::string bundlePath;     // the .app bundle holding the executable, if any
    std::string executablePath; // /proc/<pid>/exe, if readable
    bool regular = false;       // has a visible desktop entry (shows in the dock / task bar)

    bool operator==(const RunningApplication&) const = default;
};

class RunningApplications {
  public:
    virtual ~RunningApplications() = default;

    // Never fails: without a user session the list is empty.
    virtual std::vector<RunningApplication> list() const = 0;
    // Brings the application forward; false where that is not possible.
    virtual bool activate(const RunningApplication& application) = 0;
    // Asks the application politely to quit (never a signal): none when asked, else why not.
    virtual std::optional<std::string> requestQuit(const RunningApplication& application) = 0;

    // The process-wide provider; the /proc one unless another was installed.
    static RunningApplications& system();
    // Replaces the process-wide provider (the windowed program adds its window back ends;
    // tests install fakes). Returns the previous one.
    static std::unique_ptr<RunningApplications>
    install(std::unique_ptr<RunningApplications> provider);
};

} // namespace bramwick

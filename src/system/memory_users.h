// What uses memory right now, counted per application: every process is given to the running
// application that owns it (itself or one of its six nearest ancestors), and the largest owners
// can be brought forward or asked politely to quit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/shell.h"
#include "platform/running_apps.h"

namespace bramwick::MemoryUsers {

struct Entry {
    std::string id; // the owner's identifier, else its name, else the process name
    std::string name;
    std::int64_t bytes = 0;         // resident bytes of its processes
    double cpu = 0;                 // their CPU percentages summed; may exceed 100
    std::vector<std::int32_t> pids; // in listing order
    // The owner's identifier, only for a regular application (one with a visible desktop entry).
    std::optional<std::string> bundleID;

    // A regular application other than this program.
    bool canQuit() const;
    // One of the well-known web browsers.
    bool isBrowser() const;

    bool operator==(const Entry&) const = default;
};

struct QuitResult {
    enum class Kind { refused, notRunning, asked };
    Kind kind = Kind::refused;
    std::string reason; // for `refused`: the text to show

    static QuitResult refused(std::string reason) { return {Kind::refused, std::move(reason)}; }
    static QuitResult notRunning() { return {Kind::notRunning, {}}; }
    static QuitResult asked() { return {Kind::asked, {}}; }
    bool operator==(const QuitResult&) const = default;
};

// At most `limit` memory users, largest first (equal sizes in the order they first appear).
// Runs ps once (20 s at most); empty when `limit` is 0 or less or ps cannot be started. A
// process is named by its whole executable name, read under the /proc root `root`. The process
// `ownPid` (this program) and its children make one entry of this program, with its own
// identifier, however it was started.
std::vector<Entry> current(int limit, const Shell::Runner& runner = Shell::run,
                           const RunningApplications& applications = RunningApplications::system(),
                           const std::string& root = "", std::int32_t ownPid = ::getpid());

// Brings the entry's application forward; false without an identifier, when it no longer runs
// or cannot be brought forward.
bool show(const Entry& entry, RunningApplications& applications = RunningApplications::system());

// Asks every running application with the entry's identifier to quit, politely: it may ask
// about unsaved work or decline. Refused for processes that are no application and for this
// program, and when no application could be asked (with the reason).
QuitResult quit(const Entry& entry,
                RunningApplications& applications = RunningApplications::system());

} // namespace bramwick::MemoryUsers

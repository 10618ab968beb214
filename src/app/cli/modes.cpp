#include "app/cli/modes.h"

#include <algorithm>
#include <cstdio>

#include "finders/picture_files.h"

namespace bramwick::Cli {

namespace {

using Arguments = std::vector<std::string>;

// The position of the first occurrence of `flag`, if any (exact, case-sensitive).
std::optional<std::size_t> find(const Arguments& arguments, const std::string& flag) {
    auto it = std::find(arguments.begin(), arguments.end(), flag);
    if (it == arguments.end()) return std::nullopt;
    return static_cast<std::size_t>(it - arguments.begin());
}

// The value `offset` places after the first `flag`, taken as it comes even when it looks like a
// flag.
std::optional<std::string> after(const Arguments& arguments, std::size_t at, std::size_t offset) {
    if (at + offset < arguments.size()) return arguments[at + offset];
    return std::nullopt;
}

} // namespace

std::optional<ModeCall> dispatch(const Arguments& arguments) {
    // Tested in this order; the first that applies runs. A --scan without a term or a
    // --picture-pair without two paths does not apply, and the later tests go on.
    if (find(arguments, "--memory")) return ModeCall{Mode::memory, {}};
    if (find(arguments, "--running")) return ModeCall{Mode::running, {}};
    if (find(arguments, "--report")) return ModeCall{Mode::report, {}};
    if (find(arguments, "--auto-clean")) return ModeCall{Mode::autoClean, {}};
    if (find(arguments, "--maintenance")) return ModeCall{Mode::maintenance, {}};
    if (find(arguments, "--duplicates")) return ModeCall{Mode::duplicates, {}};
    if (auto at = find(arguments, "--scan"))
        if (auto term = after(arguments, *at, 1)) return ModeCall{Mode::scan, {*term}};
    if (auto at = find(arguments, "--picture-pair")) {
        auto first = after(arguments, *at, 1), second = after(arguments, *at, 2);
        if (first && second) return ModeCall{Mode::picturePair, {*first, *second}};
    }
    if (find(arguments, "--pictures")) return ModeCall{Mode::pictures, {}};
    if (auto at = find(arguments, "--leftovers")) {
        auto term = after(arguments, *at, 1);
        return ModeCall{Mode::leftovers,
                        term ? std::vector<std::string>{*term} : std::vector<std::string>{}};
    }
    if (auto at = find(arguments, "--open-at-login"))
        return ModeCall{Mode::openAtLogin, {after(arguments, *at, 1).value_or("status")}};
    return std::nullopt;
}

namespace {

int runMode(const ModeCall& call, std::ostream& out) {
    const auto& v = call.values;
    switch (call.mode) {
    case Mode::memory:
        return memoryMode(out);
    case Mode::running:
        return runningMode(out);
    case Mode::report:
        return reportMode(out);
    case Mode::autoClean:
        return autoCleanMode(out);
    case Mode::maintenance:
        return maintenanceMode(out);
    case Mode::duplicates:
        return duplicatesMode(out);
    case Mode::scan:
        return scanMode(v.at(0), out);
    case Mode::picturePair:
        return picturePairMode(v.at(0), v.at(1), out);
    case Mode::pictures:
        return picturesMode(out);
    case Mode::leftovers:
        return leftoversMode(v.empty() ? std::nullopt : std::optional<std::string>(v[0]), out);
    case Mode::openAtLogin:
        return openAtLoginMode(v.at(0), out);
    }
    return 1;
}

} // namespace

std::optional<int> run(const Arguments& arguments, std::ostream& out) {
    auto call = dispatch(arguments);
    if (!call) return std::nullopt;
    int status = runMode(*call, out);
    // Pictures that went unread for want of their decoders are a failed run, never a home
    // without repeated pictures.
    if (auto why = PictureFiles::unreadable()) {
        out.flush();
        std::fprintf(stderr, "bramwick: %s\n", why->c_str());
        return 1;
    }
    return status;
}

std::string usage() {
    return "Usage: bramwick [--window | --help | MODE]\n"
           "\n"
           "Without a mode the application starts. Each mode prints plain-text rows and exits:\n"
           "  --memory                  the applications that use the most memory\n"
           "  --running                 swap, booted simulators and leftover log watchers\n"
           "  --report                  every category with its size\n"
           "  --auto-clean              what the automatic clean would clean and skip\n"
           "  --maintenance             the maintenance tasks and their commands\n"
           "  --duplicates              redundant copies of identical files\n"
           "  --scan TERM               the items of the categories whose id or name holds TERM\n"
           "  --picture-pair A B        whether two pictures are taken as the same picture\n"
           "  --pictures                pictures saved more than once\n"
           "  --leftovers [TERM]        what uninstalling each application would remove\n"
           "  --open-at-login [on|off|status]\n"
           "                            start the application at login, or report whether it does\n"
           "\n"
           "BRAMWICK_HOME=<folder> makes that folder the home folder for the whole run.\n";
}

} // namespace bramwick::Cli

#include "platform/proc_running_apps.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <dirent.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

#include "base/edition.h"
#include "base/paths.h"
#include "base/text.h"
#include "base/unique_fd.h"
#include "platform/bundle.h"
#include "platform/files.h"
#include "platform/process_table.h"

namespace bramwick {

namespace {

struct Process {
    pid_t pid = 0;
    pid_t parent = 0;
    // What makes processes one application: its bundle, its unit, or the AppImage file it runs.
    std::string key;
    std::string unit;
    std::string browser; // the desktop id of a browser known by its executable alone
    std::string executable;
    std::string bundle;
};

bool isAppImage(const std::string& executable) {
    constexpr std::string_view extension = ".appimage";
    std::string file = executable.substr(executable.rfind('/') + 1);
    std::transform(file.begin(), file.end(), file.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return file.size() > extension.size() && file.ends_with(extension);
}

// Chrome and Chromium started from a terminal, or on a desktop that gives applications no unit of
// their own, are still known by the executable their packages install: the automatic clean must
// not empty a browser's cache under it.
std::optional<std::string> browserOf(const std::string& executable) {
    auto slash = executable.rfind('/');
    if (slash == std::string::npos) return std::nullopt;
    std::string_view file = std::string_view(executable).substr(slash + 1);
    std::string_view folder = std::string_view(executable).substr(0, slash);
    folder = folder.substr(folder.rfind('/') + 1);
    if (file == "chrome" &&
        (folder == "chrome" || folder == "chrome-beta" || folder == "chrome-unstable"))
        return "google-" + std::string(folder);
    if (file == "chromium" || file == "chromium-browser") return std::string(file);
    return std::nullopt;
}

struct DesktopEntry {
    std::string name;
    bool visible = false;
};

std::optional<std::string> readSmall(const std::string& path, std::size_t limit = 1 << 20) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::size_t>(st.st_size) > limit)
        return std::nullopt;
    return Files::read(path);
}

std::optional<pid_t> parentOf(const std::string& statText) {
    // "pid (command) state ppid …": the command may hold spaces and parentheses of its own.
    auto close = statText.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::size_t at = close + 1;
    auto skipSpaces = [&] {
        while (at < statText.size() && statText[at] == ' ')
            ++at;
    };
    skipSpaces();
    while (at < statText.size() && statText[at] != ' ')
        ++at; // the state
    skipSpaces();
    std::size_t start = at;
    while (at < statText.size() && std::isdigit(static_cast<unsigned char>(statText[at])))
        ++at;
    if (at == start) return std::nullopt;
    return static_cast<pid_t>(std::strtol(statText.substr(start, at - start).c_str(), nullptr, 10));
}

// systemd writes "-" and other bytes of a name as "\xNN" in unit names.
std::string unescapeUnitName(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
            out += static_cast<char>(
                std::strtol(std::string(text.substr(i + 2, 2)).c_str(), nullptr, 16));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::optional<DesktopEntry> readDesktopEntry(const std::string& path) {
    auto text = readSmall(path);
    if (!text) return std::nullopt;
    DesktopEntry entry;
    std::string type = "Application";
    bool noDisplay = false, hidden = false, inGroup = false;
    std::size_t start = 0;
    while (start < text->size()) {
        std::size_t end = text->find('\n', start);
        if (end == std::string::npos) end = text->size();
        std::string line = Text::trimmed(std::string_view(*text).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            if (inGroup) break; // only the main group counts
            inGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inGroup) continue;
        auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = Text::trimmed(std::string_view(line).substr(0, equals));
        std::string value = Text::trimmed(std::string_view(line).substr(equals + 1));
        if (key == "Name")
            entry.name = value;
        else if (key == "Type")
            type = value;
        else if (key == "NoDisplay")
            noDisplay = value == "true";
        else if (key == "Hidden")
            hidden = value == "true";
    }
    if (!inGroup && entry.name.empty()) return std::nullopt;
    entry.visible = type == "Application" && !noDisplay && !hidden;
    return entry;
}

} // namespace

ProcRunningApplications::ProcRunningApplications() : ProcRunningApplications(Places{}) {}

ProcRunningApplications::ProcRunningApplications(Places places) : places_(std::move(places)) {
    if (places_.applicationFolders.empty())
        places_.applicationFolders = defaultApplicationFolders();
}

std::vector<std::string> ProcRunningApplications::defaultApplicationFolders() {
    std::vector<std::string> folders{Edition::dataHome() + "/applications"};
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        std::string folder = Paths::withoutTrailingSlash(list.substr(start, end - start));
        if (!folder.empty() && folder.front() == '/') folders.push_back(folder + "/applications");
        start = end + 1;
    }
    return folders;
}

std::optional<std::string> ProcRunningApplications::applicationIdOfUnit(std::string_view unit) {
    if (!unit.starts_with("app-")) return std::nullopt;
    std::string_view body;
    if (unit.ends_with(".scope")) {
        body = unit.substr(4, unit.size() - 4 - 6);
        auto dash = body.rfind('-'); // the random part that makes each launch unique
        if (dash == std::string_view::npos) return std::nullopt;
        body = body.substr(0, dash);
    } else if (unit.ends_with(".service")) {
        body = unit.substr(4, unit.size() - 4 - 8);
        if (auto at = body.find('@'); at != std::string_view::npos) body = body.substr(0, at);
    } else {
        return std::nullopt;
    }
    // A launcher may stand before the id; the id has its own dashes escaped, so it is the part
    // after the last one.
    if (auto dash = body.rfind('-'); dash != std::string_view::npos) body = body.substr(dash + 1);
    std::string id = unescapeUnitName(body);
    if (id.empty()) return std::nullopt;
    return id;
}

std::optional<std::string> ProcRunningApplications::applicationUnit(std::string_view text) {
    std::string_view unified, named;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        auto first = line.find(':');
        auto second = first == std::string_view::npos ? first : line.find(':', first + 1);
        if (second == std::string_view::npos) continue;
        std::string_view controllers = line.substr(first + 1, second - first - 1);
        std::string_view path = line.substr(second + 1);
        if (line.substr(0, first) == "0" && controllers.empty())
            unified = path;
        else if (controllers == "name=systemd")
            named = path;
    }
    for (std::string_view path : {unified, named}) {
        while (!path.empty()) {
            auto slash = path.rfind('/');
            std::string_view part = slash == std::string_view::npos ? path : path.substr(slash + 1);
            if (applicationIdOfUnit(part)) return std::string(part);
            if (slash == std::string_view::npos) break;
            path = path.substr(0, slash);
        }
    }
    return std::nullopt;
}

std::vector<RunningApplication> ProcRunningApplications::list() const {
    uid_t user = places_.user ? *places_.user : ::getuid();
    std::vector<Process> processes;
    UniqueDir dir(::opendir(places_.proc.c_str()));
    if (!dir) return {};
    while (dirent* entry = ::readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name.empty() ||
            !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        std::string base = places_.proc + "/" + name;
        struct stat st {};
        if (::stat(base.c_str(), &st) != 0 || st.st_uid != user) continue;
        Process process;
        process.pid = static_cast<pid_t>(std::strtol(name.c_str(), nullptr, 10));
        auto stat = readSmall(base + "/stat", 1 << 16);
        if (!stat) continue; // ended meanwhile
        process.parent = parentOf(*stat).value_or(0);
        process.executable = ProcessTable::executableIn(base);
        if (auto bundle = Bundles::containing(process.executable)) {
            process.bundle = *bundle;
            process.key = "bundle:" + *bundle;
        } else if (auto browser = browserOf(process.executable)) {
            // Before its unit: started from a terminal, it is in the terminal's.
            process.browser = *browser;
            process.key = "browser:" + *browser;
        } else if (auto cgroup = readSmall(base + "/cgroup", 1 << 16)) {
            if (auto unit = applicationUnit(*cgroup)) {
                process.unit = *unit;
                process.key = "unit:" + *unit;
            }
        }
        // An AppImage started from a terminal has no unit of its own, but its runtime keeps
        // running the file itself for as long as the application runs.
        if (process.key.empty() && isAppImage(process.executable))
            process.key = "image:" + process.executable;
        if (!process.key.empty()) processes.push_back(std::move(process));
    }
    dir.reset();

    std::map<pid_t, const Process*> byPid;
    for (const auto& process : processes)
        byPid[process.pid] = &process;
    std::map<std::string, std::optional<DesktopEntry>> entries;
    auto desktopEntry = [&](const std::string& id) -> const std::optional<DesktopEntry>& {
        auto [it, added] = entries.try_emplace(id);
        // The id comes from a bundle or a unit name, either of which anyone can choose: it
        // names a desktop file only when it cannot lead out of the folders.
        if (added && Paths::isPlainName(id))
            for (const auto& folder : places_.applicationFolders)
                if ((it->second = readDesktopEntry(folder + "/" + id + ".desktop"))) break;
        return it->second;
    };

    std::vector<RunningApplication> applications;
    for (const auto& [pid, process] : byPid) {
        auto parent = byPid.find(process->parent);
        if (parent != byPid.end() && parent->second->key == process->key) continue; // a helper
        RunningApplication app;
        app.pid = pid;
        app.executablePath = process->executable;
        if (!process->bundle.empty()) {
            app.bundlePath = process->bundle;
            auto bundle = Bundles::open(process->bundle);
            if (bundle && bundle->identifier) app.bundleIdentifier = *bundle->identifier;
            if (bundle && bundle->name) app.name = *bundle->name;
            if (app.name.empty()) {
                std::string folder = process->bundle.substr(process->bundle.rfind('/') + 1);
                app.name = folder.substr(0, folder.size() - 4);
            }
        } else if (!process->unit.empty()) {
            app.bundleIdentifier = *applicationIdOfUnit(process->unit);
        } else if (!process->browser.empty()) {
            app.bundleIdentifier = process->browser;
        } else {
            std::string file = process->executable.substr(process->executable.rfind('/') + 1);
            app.name = file.substr(0, file.size() - std::string_view(".AppImage").size());
        }
        if (!app.bundleIdentifier.empty()) {
            if (const auto& entry = desktopEntry(app.bundleIdentifier)) {
                app.regular = entry->visible;
                if (process->bundle.empty() && !entry->name.empty()) app.name = entry->name;
            }
        }
        if (app.name.empty()) app.name = app.bundleIdentifier;
        applications.push_back(std::move(app));
    }
    return applications;
}

bool ProcRunningApplications::activate(const RunningApplication&) {
    return false;
}

std::optional<std::string>
ProcRunningApplications::requestQuit(const RunningApplication& application) {
    return "Asking " +
           (application.name.empty() ? std::string("an application") : application.name) +
           " to quit needs the windowed program.";
}

} // namespace bramwick

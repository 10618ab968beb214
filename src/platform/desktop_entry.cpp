#include "platform/desktop_entry.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "base/edition.h"
#include "base/paths.h"
#include "base/text.h"
#include "platform/files.h"

namespace bramwick::DesktopEntry {

namespace {

std::string realPath(const std::string& path) {
    char buffer[PATH_MAX];
    if (!::realpath(path.c_str(), buffer)) return {};
    return buffer;
}

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// The absolute folders of a colon-separated list such as $PATH or $XDG_DATA_DIRS (relative or
// empty ones are skipped, as the desktop skips them), without trailing slashes.
std::vector<std::string> folderList(const char* variable, std::string_view fallback) {
    const char* value = std::getenv(variable);
    std::string_view list = value && *value ? value : fallback;
    std::vector<std::string> folders;
    while (!list.empty()) {
        auto colon = list.find(':');
        std::string folder = Paths::withoutTrailingSlash(std::string(list.substr(0, colon)));
        list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
        if (!folder.empty() && folder.front() == '/') folders.push_back(folder);
    }
    return folders;
}

// A program named without a folder is looked up on $PATH, as the desktop would start it.
std::string resolveProgram(const std::string& program) {
    if (program.empty() || program.find('/') != std::string::npos) return program;
    for (const auto& folder : folderList("PATH", "/usr/local/bin:/usr/bin:/bin"))
        if (auto candidate = folder + "/" + program; isExecutableFile(candidate)) return candidate;
    return {};
}

// The escapes of string values (\s, \n, \t, \r, \\), undone before any quoting is read.
std::string unescapeString(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (char next = value[++i]) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            out += '\\';
            out += next;
        }
    }
    return out;
}

// %% is a literal percent sign; any other field code stands for something the desktop fills
// in when it starts the program, and is not part of the argument.
std::string withoutFieldCodes(std::string_view argument) {
    std::string out;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        if (argument[i] != '%') {
            out += argument[i];
        } else if (i + 1 < argument.size()) {
            if (argument[++i] == '%') out += '%';
        }
    }
    return out;
}

} // namespace

std::string execArgument(std::string_view argument) {
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
        if (c == '%') quoted += '%';
    }
    quoted += '"';
    std::string out;
    for (char c : quoted) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::vector<std::string> execArguments(std::string_view value) {
    std::string text = unescapeString(value);
    std::vector<std::string> arguments;
    std::string current;
    bool started = false, quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quoted) {
            if (c == '\\' && i + 1 < text.size()) {
                current += text[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (started) arguments.push_back(withoutFieldCodes(current));
            current.clear();
            started = false;
        } else if (c == '"') {
            quoted = started = true;
        } else {
            current += c;
            started = true;
        }
    }
    if (started) arguments.push_back(withoutFieldCodes(current));
    // A lone field code such as %U is no argument at all.
    std::erase_if(arguments, [](const std::string& a) { return a.empty(); });
    return arguments;
}

std::string program(std::string_view execValue) {
    auto arguments = execArguments(execValue);
    if (arguments.empty()) return {};
    std::string path = resolveProgram(arguments.front());
    return isExecutableFile(path) ? path : std::string();
}

std::map<std::string, std::string> group(std::string_view text, std::string_view name) {
    std::map<std::string, std::string> keys;
    bool inMain = false;
    while (!text.empty()) {
        auto end = text.find('\n');
        std::string line = Text::trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            inMain = line.size() == name.size() + 2 && line.back() == ']' &&
                     std::string_view(line).substr(1, name.size()) == name;
            continue;
        }
        auto equals = line.find('=');
        if (!inMain || equals == std::string::npos) continue;
        std::string key = Text::trimmed(std::string_view(line).substr(0, equals));
        if (!key.empty() && !keys.contains(key))
            keys.emplace(key, Text::trimmed(std::string_view(line).substr(equals + 1)));
    }
    return keys;
}

std::string currentExecutable() {
    return realPath("/proc/self/exe");
}

std::optional<std::string> installedEntry() {
    return entryFor(Edition::appId);
}

std::optional<std::string> entryFor(std::string_view id) {
    // An id is a file name, never a path.
    if (!Paths::isPlainName(id)) return std::nullopt;
    std::vector<std::string> folders{Edition::dataHome()};
    for (auto& folder : folderList("XDG_DATA_DIRS", "/usr/local/share:/usr/share"))
        folders.push_back(std::move(folder));
    std::string name = "/applications/";
    name.append(id);
    name.append(".desktop");
    for (const auto& folder : folders) {
        struct stat st {};
        if (::stat((folder + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) return folder + name;
    }
    return std::nullopt;
}

bool runsInstalled() {
    auto entry = installedEntry();
    if (!entry) return false;
    auto text = Files::read(*entry);
    if (!text) return false;
    auto keys = mainGroup(*text);
    auto exec = keys.find("Exec");
    if (exec == keys.end()) return false;
    std::string started = realPath(program(exec->second));
    return !started.empty() && started == currentExecutable();
}

} // namespace bramwick::DesktopEntry

#include "engine/edition.h"

#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace bramwick::Edition {

namespace {
std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string computeHome() {
    if (auto sandbox = environment("BRAMWICK_HOME"); !sandbox.empty())
        return withoutTrailingSlash(sandbox);
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result &&
        result->pw_dir && *result->pw_dir)
        return withoutTrailingSlash(result->pw_dir);
    if (auto home = environment("HOME"); !home.empty()) return withoutTrailingSlash(home);
    return "/";
}

// An XDG variable counts only when absolute, as the base directory rules say.
std::string xdg(const char* name, const char* fallback) {
    if (!isSandboxed()) {
        std::string value = environment(name);
        if (!value.empty() && value.front() == '/') return withoutTrailingSlash(value);
    }
    return home() + fallback;
}
} // namespace

const std::string& home() {
    static const std::string value = computeHome();
    return value;
}

bool isSandboxed() { return !environment("BRAMWICK_HOME").empty(); }

std::string configHome() { return xdg("XDG_CONFIG_HOME", "/.config"); }
std::string dataHome() { return xdg("XDG_DATA_HOME", "/.local/share"); }

std::string temporaryDirectory() {
    std::string value = environment("TMPDIR");
    struct stat st{};
    if (!value.empty() && value.front() == '/' && ::stat(value.c_str(), &st) == 0 &&
        S_ISDIR(st.st_mode))
        return withoutTrailingSlash(value);
    return "/tmp";
}

} // namespace bramwick::Edition

#include "base/edition.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "base/paths.h"

namespace bramwick::Edition {

namespace {
std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string computeHome() {
    if (auto sandbox = environment("BRAMWICK_HOME"); !sandbox.empty())
        return sandboxHome(sandbox).folder;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result &&
        result->pw_dir && *result->pw_dir)
        return Paths::withoutTrailingSlash(result->pw_dir);
    if (auto home = environment("HOME"); !home.empty()) return Paths::withoutTrailingSlash(home);
    return "/";
}

std::string xdg(const char* name, const char* fallback) {
    if (!isSandboxed()) {
        std::string value = environment(name);
        if (usableBaseFolder(value, home())) return Paths::withoutTrailingSlash(value);
    }
    return home() + fallback;
}
} // namespace

bool usableBaseFolder(const std::string& value, const std::string& home) {
    // Absolute, as the base directory rules say.
    if (value.empty() || value.front() != '/') return false;
    std::string folder = Paths::standardised(value);
    // Folders that hold everyone's: themselves only, as a folder of the user's may lie in them.
    for (const char* shared :
         {"/", "/tmp", "/var/tmp", "/var", "/opt", "/srv", "/mnt", "/media", "/home", "/root"})
        if (folder == shared) return false;
    // The system's own trees, at any depth: /var/cache is the package manager's, not a cache of
    // the user's.
    for (std::string_view tree :
         {"/usr",       "/etc",     "/boot",      "/proc",     "/sys",
          "/dev",       "/run",     "/bin",       "/sbin",     "/lib",
          "/lib32",     "/lib64",   "/libx32",    "/snap",     "/var/lib",
          "/var/cache", "/var/log", "/var/spool", "/var/mail", "/var/backups",
          "/var/opt",   "/var/run", "/var/lock",  "/var/db",   "/var/local"})
        if (folder.starts_with(tree) &&
            (folder.size() == tree.size() || folder[tree.size()] == '/'))
            return false;
    return folder != Paths::withoutTrailingSlash(home) && !home.starts_with(folder + "/");
}

const std::string& home() {
    static const std::string value = computeHome();
    return value;
}

SandboxHome sandboxHome(const std::string& value) {
    SandboxHome result;
    if (value.empty()) {
        result.problem = "BRAMWICK_HOME is set but empty; set it to a folder or unset it";
        return result;
    }
    result.folder = value;
    if (value.front() != '/') {
        std::vector<char> here(PATH_MAX);
        if (::getcwd(here.data(), here.size())) {
            std::string base = here.data();
            result.folder = (base == "/" ? "" : base) + "/" + value;
        }
    }
    result.folder = Paths::withoutTrailingSlash(result.folder);
    struct stat st {};
    if (::stat(result.folder.c_str(), &st) != 0)
        result.problem = fmt::format("BRAMWICK_HOME {}: {}", result.folder, std::strerror(errno));
    else if (!S_ISDIR(st.st_mode))
        result.problem = fmt::format("BRAMWICK_HOME {} is not a folder", result.folder);
    return result;
}

std::optional<std::string> sandboxProblem() {
    const char* value = std::getenv("BRAMWICK_HOME");
    if (!value) return std::nullopt;
    return sandboxHome(value).problem;
}

void standInForHome() {
    if (!isSandboxed()) return;
    const std::string& given = home();
    // X clients find the display's cookie in ~/.Xauthority when nothing names it. It is named
    // without looking whether it is there, so a run that opens no display reads nothing of the
    // real home; a missing cookie reads as none, as it would have.
    if (environment("XAUTHORITY").empty())
        if (auto real = environment("HOME"); !real.empty()) {
            const std::string cookie = Paths::withoutTrailingSlash(real) + "/.Xauthority";
            ::setenv("XAUTHORITY", cookie.c_str(), 1);
        }
    ::setenv("HOME", given.c_str(), 1);
    for (auto [name, folder] : {std::pair{"XDG_CONFIG_HOME", "/.config"},
                                {"XDG_DATA_HOME", "/.local/share"},
                                {"XDG_CACHE_HOME", "/.cache"},
                                {"XDG_STATE_HOME", "/.local/state"}})
        ::setenv(name, (given + folder).c_str(), 1);
}

bool isSandboxed() {
    return !environment("BRAMWICK_HOME").empty();
}

std::string configHome() {
    return xdg("XDG_CONFIG_HOME", "/.config");
}
std::string dataHome() {
    return xdg("XDG_DATA_HOME", "/.local/share");
}

std::string temporaryDirectory() {
    std::string value = environment("TMPDIR");
    struct stat st {};
    if (!value.empty() && value.front() == '/' && ::stat(value.c_str(), &st) == 0 &&
        S_ISDIR(st.st_mode))
        return Paths::withoutTrailingSlash(value);
    return "/tmp";
}
std::string cacheHome() {
    return xdg("XDG_CACHE_HOME", "/.cache");
}
std::string stateHome() {
    return xdg("XDG_STATE_HOME", "/.local/state");
}

} // namespace bramwick::Edition

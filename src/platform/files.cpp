#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>

#include "base/unique_fd.h"

namespace bramwick::Files {

std::optional<std::string> makeFolders(const std::string& folder) {
    if (folder.empty()) return std::nullopt;
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return std::nullopt;
        return fmt::format("{} is not a folder", folder);
    }
    auto slash = folder.rfind('/');
    if (slash != std::string::npos && slash > 0)
        if (auto problem = makeFolders(folder.substr(0, slash))) return problem;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return fmt::format("cannot create {}: {}", folder, std::strerror(errno));
    return std::nullopt;
}

std::optional<std::string> writeAtomically(const std::string& path, const std::string& contents,
                                           unsigned mode) {
    auto slash = path.rfind('/');
    std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    std::string pattern = path + ".tmp-XXXXXX";
    UniqueFd fd(::mkstemp(pattern.data()));
    if (!fd) return fmt::format("cannot write {}: {}", path, std::strerror(errno));
    // Held until the rename: a file still locked is being written, one not locked was left.
    UniqueFd lock(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 0));
    if (lock) ::flock(lock.get(), LOCK_EX);
    auto fail = [&](const char* what) {
        std::string reason = fmt::format("cannot {} {}: {}", what, path, std::strerror(errno));
        fd.reset();
        ::unlink(pattern.c_str());
        return reason;
    };
    ::fchmod(fd.get(), mode);
    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        ssize_t n = ::write(fd.get(), data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail("write");
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd.get()) != 0) return fail("flush");
    // Closed by hand here: a failed close means the contents may not have been written.
    if (::close(fd.release()) != 0) {
        std::string reason = fmt::format("cannot write {}: {}", path, std::strerror(errno));
        ::unlink(pattern.c_str());
        return reason;
    }
    if (::rename(pattern.c_str(), path.c_str()) != 0) {
        std::string reason = fmt::format("cannot replace {}: {}", path, std::strerror(errno));
        ::unlink(pattern.c_str());
        return reason;
    }
    // Make the rename itself durable.
    if (UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)); dir)
        ::fsync(dir.get());
    return std::nullopt;
}

std::uint64_t raiseOpenFileLimit() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
    if (limit.rlim_cur < limit.rlim_max) {
        struct rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    return static_cast<std::uint64_t>(limit.rlim_cur);
}

void removeStaleTemporaries(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return;
    const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
    const std::string prefix = path.substr(slash + 1) + ".tmp-";
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir) return;
    const time_t old = ::time(nullptr) - 60;
    for (const auto& name : names(folder)) {
        if (!name.starts_with(prefix) || name.size() != prefix.size() + 6) continue;
        UniqueFd fd(::openat(dir.get(), name.c_str(),
                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        struct stat st {
        }, now{};
        if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_mtime > old ||
            ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        // Only the file that was looked at: another one put under the name meanwhile stays.
        if (::fstatat(dir.get(), name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            now.st_dev == st.st_dev && now.st_ino == st.st_ino)
            ::unlinkat(dir.get(), name.c_str(), 0);
    }
}

std::optional<std::string> readAll(int fd) {
    std::string out;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
}

std::optional<std::string> read(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return std::nullopt;
    return readAll(fd.get());
}

std::vector<std::string> names(const std::string& folder) {
    std::vector<std::string> out;
    UniqueDir dir(::opendir(folder.c_str()));
    if (!dir) return out;
    while (dirent* entry = ::readdir(dir.get())) {
        std::string_view name = entry->d_name;
        if (name != "." && name != "..") out.emplace_back(name);
    }
    dir.reset();
    std::sort(out.begin(), out.end());
    return out;
}

namespace {
std::vector<std::string_view> components(std::string_view path) {
    std::vector<std::string_view> out;
    while (!path.empty()) {
        auto slash = path.find('/');
        auto piece = path.substr(0, slash);
        if (!piece.empty()) out.push_back(piece);
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return out;
}
// Whether a name fits a component in which "*" stands for any run of characters (and nothing
// else is special). A hidden name only fits a component that starts with a dot itself.
bool fits(std::string_view name, std::string_view component) {
    if (component.find('*') == std::string_view::npos) return name == component;
    if (name.empty() || (name.front() == '.' && component.front() != '.')) return false;
    std::size_t n = 0, c = 0, star = std::string_view::npos, mark = 0;
    while (n < name.size()) {
        if (c < component.size() && component[c] == '*') {
            star = c++;
            mark = n;
        } else if (c < component.size() && component[c] == name[n]) {
            ++c;
            ++n;
        } else if (star != std::string_view::npos) {
            c = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (c < component.size() && component[c] == '*')
        ++c;
    return c == component.size();
}
} // namespace

bool isPattern(const std::string& path) {
    return path.find('*') != std::string::npos;
}

bool matchesPattern(const std::string& path, const std::string& pattern) {
    if (path.starts_with('/') != pattern.starts_with('/')) return false;
    auto a = components(path);
    auto b = components(pattern);
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!fits(a[i], b[i])) return false;
    return true;
}

std::vector<std::string> matching(const std::string& pattern) {
    std::vector<std::string> found{pattern.starts_with('/') ? "" : "."};
    for (auto piece : components(pattern)) {
        std::vector<std::string> next;
        for (const auto& base : found) {
            std::string folder = base.empty() ? "/" : base;
            if (piece.find('*') == std::string_view::npos) {
                next.push_back(base + "/" + std::string(piece));
                continue;
            }
            for (const auto& name : names(folder)) {
                if (!fits(name, piece)) continue;
                struct stat st {};
                std::string path = base + "/" + name;
                if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                    next.push_back(std::move(path));
            }
        }
        found = std::move(next);
        if (found.empty()) break;
    }
    std::erase_if(found, [](const std::string& path) {
        struct stat st {};
        return path.empty() || ::stat(path.c_str(), &st) != 0;
    });
    if (!pattern.starts_with('/'))
        for (auto& path : found)
            path.erase(0, 2); // the "./" of a relative pattern
    return found;
}

} // namespace bramwick::Files

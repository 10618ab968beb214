#include "platform/held_item.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "base/edition.h"
#include "base/paths.h"

namespace bramwick::Held {

namespace {

// Folders held only as bases for *at calls: O_PATH needs no read permission on them.
constexpr int baseFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The same as openat2 with RESOLVE_NO_SYMLINKS, one component at a time, for kernels without it.
UniqueFd walkWithoutLinks(const std::string& path) {
    UniqueFd at(::open("/", baseFlags));
    if (!at) return at;
    std::size_t start = 1;
    while (start < path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        UniqueFd next(::openat(at.get(), part.c_str(), baseFlags));
        if (!next) {
            // O_PATH with O_NOFOLLOW on a link fails as "not a folder": say what it was.
            if (errno == ENOTDIR) {
                struct stat st {};
                if (::fstatat(at.get(), part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISLNK(st.st_mode))
                    errno = ELOOP;
                else
                    errno = ENOTDIR;
            }
            return {};
        }
        at = std::move(next);
    }
    return at;
}

} // namespace

UniqueFd openFolder(const std::string& path) {
    // "." and ".." would make the folder opened another than the one named; none may appear.
    if (path.empty() || path.front() != '/' ||
        Paths::standardised(path) != Paths::withoutTrailingSlash(path)) {
        errno = EINVAL;
        return {};
    }
#ifdef SYS_openat2
    open_how how{};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    long fd = ::syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
    if (fd >= 0) return UniqueFd(static_cast<int>(fd));
    if (errno != ENOSYS && errno != EPERM) return {};
#endif
    return walkWithoutLinks(path);
}

UniqueFd openChosenFolder(const std::string& path) {
    auto real = Paths::resolved(path);
    if (!real) return {};
    return openFolder(*real);
}

std::optional<std::string> pathOf(int fd) {
    std::string link = "/proc/self/fd/" + std::to_string(fd);
    std::string out(4096, '\0');
    for (;;) {
        ssize_t n = ::readlink(link.c_str(), out.data(), out.size());
        if (n < 0) return std::nullopt;
        if (static_cast<std::size_t>(n) < out.size()) {
            out.resize(static_cast<std::size_t>(n));
            break;
        }
        out.resize(out.size() * 2);
    }
    // A folder removed meanwhile has no path any more.
    if (out.empty() || out.front() != '/' || out.ends_with(" (deleted)")) return std::nullopt;
    return out;
}

namespace {

std::variant<HeldItem, int> holdInOpen(UniqueFd folder, const std::string& name) {
    HeldItem item;
    item.folder = std::move(folder);
    struct stat st {};
    if (::fstat(item.folder.get(), &st) != 0) return errno;
    item.folderIdentity = identityOf(st);
    item.name = name;
    if (::fstatat(item.folder.get(), name.c_str(), &item.seen, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    return item;
}

// `path` with the links of its first `levels` names after the first `start` characters
// resolved, and the names after those kept as they are; all of it resolved when it is no longer.
std::optional<std::string> resolvedUpTo(const std::string& path, std::size_t start, int levels) {
    std::size_t cut = start;
    for (int level = 0; level < levels && cut != std::string::npos; ++level)
        cut = path.find('/', cut + 1);
    if (cut == std::string::npos) return Paths::resolved(path);
    auto top = Paths::resolved(path.substr(0, cut));
    if (!top) return std::nullopt;
    return *top + path.substr(cut);
}

const std::string& physicalHome() {
    static const std::string value = Paths::resolved(Edition::home()).value_or(Edition::home());
    return value;
}

// Whether a folder a link leads to (resolved) can stand for one of the user's own: the user's,
// and neither the home, above it, a folder the whole system shares nor one of the system's.
// ~/.cache linked to the home, to /tmp or to /var/cache would otherwise make a cache category
// list, and a clean empty, all that is there.
bool ownFolder(const std::string& target) {
    struct stat st {};
    return Edition::usableBaseFolder(target, Edition::home()) &&
           Edition::usableBaseFolder(target, physicalHome()) && ::stat(target.c_str(), &st) == 0 &&
           st.st_uid == ::geteuid();
}

// Whether each link among the first `levels` names after the first `start` characters of `path`
// leads to one of the user's own folders.
bool linksLeadToOwnFolders(const std::string& path, std::size_t start, int levels) {
    std::size_t cut = start;
    for (int level = 0; level < levels && cut != std::string::npos; ++level) {
        cut = path.find('/', cut + 1);
        std::string prefix = path.substr(0, cut);
        struct stat st {};
        if (::lstat(prefix.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) continue;
        auto target = Paths::resolved(prefix);
        if (target && !ownFolder(*target)) return false;
    }
    return true;
}

} // namespace

std::optional<std::string> followedFolder(const std::string& path) {
    const std::string& home = Edition::home();
    for (const std::string* base : {&home, &physicalHome()})
        if (path.starts_with(*base + "/")) {
            if (!linksLeadToOwnFolders(path, base->size(), 3)) {
                errno = ELOOP;
                return std::nullopt;
            }
            return resolvedUpTo(path, base->size(), 3);
        }
    if (path == home || path == physicalHome()) return Paths::resolved(path);
    return resolvedUpTo(path, 0, 2);
}

bool reachedWithoutDeepLinks(const std::string& folder) {
    auto followed = followedFolder(folder);
    return followed && followed == Paths::resolved(folder);
}

std::string walkableFolder(const std::string& folder) {
    auto followed = followedFolder(folder);
    if (!followed && errno == ELOOP) return {}; // a top link to what is not the user's own
    auto resolved = Paths::resolved(folder);
    if (!followed || !resolved || followed == resolved) return folder;
    // A deep link: walked where it leads, when that is one of the user's own folders.
    return ownFolder(*resolved) ? *resolved : std::string();
}

std::variant<HeldItem, int> hold(const std::string& rawPath) {
    std::string path = Paths::withoutTrailingSlash(rawPath);
    if (path.empty() || path.front() != '/' || path == "/") return EINVAL;
    std::string name = path.substr(path.rfind('/') + 1);
    if (!Paths::isPlainName(name)) return EINVAL;
    auto parent = followedFolder(Paths::parent(path));
    if (!parent) return errno;
    UniqueFd folder = openFolder(*parent);
    if (!folder) return errno;
    std::string base = pathOf(folder.get()).value_or(*parent);
    auto held = holdInOpen(std::move(folder), name);
    if (auto* item = std::get_if<HeldItem>(&held))
        item->path = base == "/" ? "/" + name : base + "/" + name;
    return held;
}

std::variant<HeldItem, int> holdIn(int folderFd, const std::string& name, const std::string& path) {
    UniqueFd folder(::fcntl(folderFd, F_DUPFD_CLOEXEC, 0));
    if (!folder) return errno;
    auto held = holdInOpen(std::move(folder), name);
    if (auto* item = std::get_if<HeldItem>(&held)) item->path = path;
    return held;
}

std::optional<struct stat> current(const HeldItem& item) {
    struct stat st {};
    if (::fstatat(item.folder.get(), item.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return st;
}

bool stillThere(const HeldItem& item) {
    auto now = current(item);
    return now && identityOf(*now) == item.identity() &&
           (now->st_mode & S_IFMT) == (item.seen.st_mode & S_IFMT);
}

} // namespace bramwick::Held

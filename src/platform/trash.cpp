#include "platform/trash.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <fmt/format.h>

#include "base/edition.h"
#include "base/paths.h"
#include "base/text.h"
#include "base/unique_fd.h"
#include "platform/files.h"
#include "platform/held_item.h"
#include "platform/mounts.h"
#include "platform/safe_delete.h"

namespace bramwick::Trash {

namespace {

using SafeDelete::errorText;

// A folder of the trash that must be a real folder: created (0700) when missing; a link or a
// file in its place makes the trash unusable.
std::optional<std::string> ensureFolder(const std::string& path, bool mustBeOwn) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) return fmt::format("Could not look at {}: {}", path, errorText(errno));
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
            return fmt::format("Could not create {}: {}", path, errorText(errno));
        if (::lstat(path.c_str(), &st) != 0)
            return fmt::format("Could not look at {}: {}", path, errorText(errno));
    }
    if (!S_ISDIR(st.st_mode)) return fmt::format("{} is not a folder", path);
    if (mustBeOwn && st.st_uid != ::getuid())
        return fmt::format("{} belongs to another user", path);
    return std::nullopt;
}

std::optional<std::string> ensureTrash(const Folder& trash, bool mustBeOwn) {
    // The user's own trash may be a link of the user's making; a drive's must be a real folder.
    if (auto problem = mustBeOwn ? ensureFolder(trash.path, true) : Files::makeFolders(trash.path))
        return problem;
    if (auto problem = ensureFolder(trash.path + "/files", mustBeOwn)) return problem;
    return ensureFolder(trash.path + "/info", mustBeOwn);
}

// The name tried the n-th time: "name", then "name 2", "name 3"… before the extension
// ("report 2.pdf"). Shortened, never inside a character, so that "<name>.trashinfo" stays a
// legal file name.
std::string candidateName(const std::string& name, int n) {
    std::string stem = name;
    std::string extension;
    auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && dot + 1 < name.size()) {
        stem = name.substr(0, dot);
        extension = name.substr(dot);
    }
    std::string counter;
    if (n > 1) counter = fmt::format(" {}", n);
    constexpr std::size_t infoSuffix = std::char_traits<char>::length(".trashinfo");
    std::size_t room = NAME_MAX - infoSuffix;
    if (extension.size() + counter.size() >= room) extension.clear();
    if (stem.size() + counter.size() + extension.size() > room) {
        const std::size_t limit = room - counter.size() - extension.size();
        std::size_t keep = limit;
        while (keep > 0 && (static_cast<unsigned char>(stem[keep]) & 0xC0) == 0x80)
            --keep;
        // Stray bytes are no characters to keep whole: cut them at the limit rather than to
        // nothing, since an empty name is no name at all.
        if (keep == 0) keep = limit;
        stem.resize(keep);
    }
    return stem + counter + extension;
}

bool writeAll(int fd, const std::string& text) {
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// Removes the records of info/ that describe no item of files/ and were left by a move that
// never ended (the program killed between reserving the name and moving the item): each takes
// its name for good otherwise. A record is left while a move still holds it locked, or while
// it is younger than an hour (another program's move may still be under way). Done once per
// trash folder and run, before the first item goes in.
void forgetOrphans(int infoFd, int filesFd) {
    static std::mutex mutex;
    static std::set<std::pair<dev_t, ino_t>> done;
    struct stat info {};
    if (::fstat(infoFd, &info) != 0) return;
    {
        std::lock_guard lock(mutex);
        if (!done.insert({info.st_dev, info.st_ino}).second) return;
    }
    UniqueDir dir =
        UniqueDir::adopt(UniqueFd(::openat(infoFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    if (!dir) return;
    constexpr std::string_view suffix = ".trashinfo";
    const time_t old = ::time(nullptr) - 3600;
    while (dirent* entry = ::readdir(dir.get())) {
        std::string_view name = entry->d_name;
        if (name.size() <= suffix.size() || !name.ends_with(suffix)) continue;
        std::string item(name.substr(0, name.size() - suffix.size()));
        struct stat there {};
        if (::fstatat(filesFd, item.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT)
            continue;
        UniqueFd record(::openat(infoFd, entry->d_name,
                                 O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        struct stat st {
        }, now{};
        if (!record || ::fstat(record.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_mtime > old || ::flock(record.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        if (::fstatat(infoFd, entry->d_name, &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            identityOf(now) == identityOf(st))
            ::unlinkat(infoFd, entry->d_name, 0);
    }
}

} // namespace

std::string homeTrash() {
    return Edition::dataHome() + "/Trash";
}

std::string encodePath(std::string_view path) {
    static constexpr std::string_view kept = "-_.!~*'()/";
    std::string out;
    for (unsigned char c : path) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     kept.find(static_cast<char>(c)) != std::string_view::npos;
        if (plain)
            out += static_cast<char>(c);
        else
            out += fmt::format("%{:02X}", c);
    }
    return out;
}

std::string infoText(std::string_view originalPath, time_t deletedAt) {
    struct tm local {};
    ::localtime_r(&deletedAt, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    return fmt::format("[Trash Info]\nPath={}\nDeletionDate={}\n", encodePath(originalPath), date);
}

namespace {

// Why the item may not go to the Trash at all, if it may not.
std::optional<std::string> whyItCannotGo(const HeldItem& item, const std::string& shown) {
    const std::string& name = item.name;
    const std::string& original = item.path;
    if (!Paths::isPlainName(name) || original == "/")
        return fmt::format("Will not move {} to the Trash", original);
    auto now = Held::current(item);
    if (!now) return fmt::format("Could not look at {}: {}", shown, errorText(errno));
    if (identityOf(*now) != item.identity())
        return fmt::format("{} changed after it was chosen, so it was left alone", shown);
    if (S_ISDIR(now->st_mode) && (now->st_dev != item.folderIdentity.device ||
                                  SafeDelete::isMountRoot(item.folder.get(), name)))
        return fmt::format("{} is a mounted file system and cannot go to the Trash", shown);
    // Emptying the Trash would delete what is mounted inside, which lies outside the item.
    if (S_ISDIR(now->st_mode))
        if (auto problem = SafeDelete::mountedWithin(original)) return problem;
    return std::nullopt;
}

// The item's path as the Trash records it: absolute in the home's trash, relative to the top of
// the drive in a drive's.
std::string recordedPath(const std::string& original, const Folder& trash) {
    std::string recorded = original;
    if (trash.topDirectory) {
        auto top = Paths::resolved(*trash.topDirectory);
        if (top && *top != "/" && original.starts_with(*top + "/"))
            recorded = original.substr(top->size() + 1);
        else if (top && *top == "/")
            recorded = original.substr(1);
    }
    return recorded;
}

// Moves the item into files/ under the first free name, its record written to info/ first.
std::optional<std::string> moveUnderFreeName(const HeldItem& item, int infoFd, int filesFd,
                                             const std::string& recorded,
                                             const std::string& shown) {
    const std::string& name = item.name;
    std::optional<std::string> problem = "No free name was found in the Trash";
    for (int n = 1; n <= 10000; ++n) {
        std::string candidate = candidateName(name, n);
        std::string infoName = candidate + ".trashinfo";
        // Reserving the info file first is what makes a name ours: another program trashing
        // at the same moment gets EEXIST and moves on.
        UniqueFd fd(::openat(infoFd, infoName.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd) {
            if (errno == EEXIST) continue;
            problem = fmt::format("Could not write to the Trash: {}", errorText(errno));
            break;
        }
        // Locked until the item is in place, so a record of a move under way is never taken
        // for one left by a move that never ended.
        UniqueFd held(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 0));
        if (held) ::flock(held.get(), LOCK_EX);
        auto release = [&] { ::unlinkat(infoFd, infoName.c_str(), 0); };
        struct stat taken {};
        if (::fstatat(filesFd, candidate.c_str(), &taken, AT_SYMLINK_NOFOLLOW) == 0) {
            // An item without its info file holds this name: leave it be.
            fd.reset();
            release();
            continue;
        }
        bool written =
            writeAll(fd.get(), infoText(recorded, ::time(nullptr))) && ::fsync(fd.get()) == 0;
        int writeError = errno;
        if (::close(fd.release()) != 0 && written) {
            written = false;
            writeError = errno;
        }
        if (!written) {
            release();
            problem = fmt::format("Could not write to the Trash: {}", errorText(writeError));
            break;
        }
        if (!Held::stillThere(item)) {
            release();
            problem = fmt::format("{} changed after it was chosen, so it was left alone", shown);
            break;
        }
        int moved = ::renameat2(item.folder.get(), name.c_str(), filesFd, candidate.c_str(),
                                RENAME_NOREPLACE);
        if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // A file system without no-replace renames: the name was checked free just above.
            moved = ::renameat(item.folder.get(), name.c_str(), filesFd, candidate.c_str());
        }
        if (moved == 0) {
            // Something swapped in between the check and the rename went instead: put it back.
            struct stat arrived {};
            if (::fstatat(filesFd, candidate.c_str(), &arrived, AT_SYMLINK_NOFOLLOW) != 0 ||
                identityOf(arrived) != item.identity()) {
                ::renameat2(filesFd, candidate.c_str(), item.folder.get(), name.c_str(),
                            RENAME_NOREPLACE);
                release();
                problem =
                    fmt::format("{} changed after it was chosen, so it was left alone", shown);
                break;
            }
            problem.reset();
            break;
        }
        int error = errno;
        release();
        if (error == EEXIST) continue;
        if (error == EXDEV)
            problem = "The Trash is on another file system";
        else
            problem = fmt::format("Could not move {} to the Trash: {}", shown, errorText(error));
        break;
    }
    return problem;
}

} // namespace

std::optional<std::string> moveInto(const HeldItem& item, const Folder& trash) {
    const std::string& original = item.path;
    std::string shown = Text::homeShortened(original);
    if (auto problem = whyItCannotGo(item, shown)) return problem;

    if (auto problem = ensureTrash(trash, trash.topDirectory.has_value())) return problem;
    auto trashPath = Paths::resolved(trash.path);
    if (!trashPath) return fmt::format("Could not open the Trash: {}", errorText(errno));
    if (*trashPath == original || trashPath->starts_with(original + "/"))
        return "The Trash itself is inside it";
    if (original.starts_with(*trashPath + "/")) return "It is already in the Trash";

    std::string recorded = recordedPath(original, trash);

    // The trash's own folders are reached without following a link from where it resolved.
    UniqueFd trashFd = Held::openFolder(*trashPath);
    constexpr int folderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    UniqueFd infoFd(trashFd ? ::openat(trashFd.get(), "info", folderFlags) : -1);
    UniqueFd filesFd(trashFd ? ::openat(trashFd.get(), "files", folderFlags) : -1);
    if (!infoFd || !filesFd) return fmt::format("Could not open the Trash: {}", errorText(errno));

    forgetOrphans(infoFd.get(), filesFd.get());
    return moveUnderFreeName(item, infoFd.get(), filesFd.get(), recorded, shown);
}

std::optional<std::string> moveInto(const std::string& rawPath, const Folder& trash) {
    std::string path = Paths::withoutTrailingSlash(rawPath);
    auto held = Held::hold(path);
    if (auto* error = std::get_if<int>(&held))
        return fmt::format("Could not look at {}: {}", Text::homeShortened(path),
                           errorText(*error));
    return moveInto(std::get<HeldItem>(held), trash);
}

std::variant<Folder, std::string> driveTrash(const std::string& rawTop, uid_t user) {
    std::string top = Paths::withoutTrailingSlash(rawTop);
    std::string base = top == "/" ? "" : top;
    std::string uid = std::to_string(user);
    // An administrator's shared .Trash counts only as a real, sticky folder; its per-user
    // folder must then be the user's own.
    struct stat shared {};
    std::string sharedPath = base + "/.Trash";
    if (::lstat(sharedPath.c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX)) {
        Folder folder{sharedPath + "/" + uid, top};
        if (!ensureFolder(folder.path, true) && !ensureTrash(folder, true)) return folder;
    }
    Folder folder{base + "/.Trash-" + uid, top};
    if (auto problem = ensureFolder(folder.path, true)) return *problem;
    if (auto problem = ensureTrash(folder, true)) return *problem;
    return folder;
}

namespace {

// Which mount a path (followed) lies on: the mount's id, so that two bind mounts of one drive
// (one device number) still tell apart, or the device where the system gives no id.
struct Mount {
    bool byId = false;
    std::uint64_t value = 0;
    bool operator==(const Mount&) const = default;
};

// `path` relative to `fd`; an empty path is `fd` itself.
std::optional<Mount> mountOf(int fd, const std::string& path) {
    struct statx stx {};
    int flags = AT_NO_AUTOMOUNT | (path.empty() ? AT_EMPTY_PATH : 0);
    if (::statx(fd, path.c_str(), flags, STATX_MNT_ID | STATX_INO, &stx) != 0) return std::nullopt;
    if (stx.stx_mask & STATX_MNT_ID) return Mount{true, stx.stx_mnt_id};
    return Mount{false, ::makedev(stx.stx_dev_major, stx.stx_dev_minor)};
}

} // namespace

std::optional<std::string> mountTop(const std::string& path) {
    auto current = Paths::resolved(path);
    if (!current) return std::nullopt;
    auto mount = mountOf(AT_FDCWD, *current);
    if (!mount) return std::nullopt;
    while (*current != "/") {
        std::string up = Paths::parent(*current);
        if (mountOf(AT_FDCWD, up) != mount) return current;
        *current = up;
    }
    return current;
}

std::optional<std::string> moveToTrash(const HeldItem& item) {
    std::string shown = Text::homeShortened(item.path);
    auto parent = mountOf(item.folder.get(), "");
    if (!parent) return fmt::format("Could not look at {}: {}", shown, errorText(errno));

    Folder home{homeTrash(), std::nullopt};
    // The home trash may be a link of the user's making; it is used wherever it leads.
    auto homeProblem = Files::makeFolders(home.path);
    auto homeMount = mountOf(AT_FDCWD, home.path);
    if (!homeMount) homeMount = mountOf(AT_FDCWD, Edition::home());
    if (!homeMount) return fmt::format("Could not open the Trash: {}", errorText(errno));
    // Renames stay within one mount: an item on a bind mount inside the home goes to that
    // mount's own trash, even though it is the home's drive.
    if (*homeMount == *parent) {
        if (homeProblem) return fmt::format("Could not open the Trash: {}", *homeProblem);
        return moveInto(item, home);
    }

    auto top = mountTop(Paths::parent(item.path));
    if (!top) return fmt::format("Could not find the drive that holds {}", shown);
    // A trash at the top of the system's drive or of the home's own drive is shown neither by
    // the Trash category nor by the desktop's Trash (which shows the home trash there): an item
    // put there would be lost from sight. That happens when the home trash leads elsewhere.
    auto homeTop = mountTop(Edition::home());
    if (*top == "/" || (homeTop && *homeTop == *top))
        return fmt::format("{} is not on the drive of the Trash ({}), so it cannot be moved there",
                           shown, Paths::resolved(home.path).value_or(home.path));
    // Nor does the desktop's Trash show the system's own file systems (/dev/shm, a tmpfs at
    // /tmp, a drive mounted at /var/tmp).
    const auto mounts = Mounts::current().value_or(std::vector<Mounts::Mount>{});
    const Mounts::Mount* holder = nullptr;
    for (const auto& mount : mounts)
        if (parent->byId ? mount.id == parent->value : mount.point == *top) holder = &mount;
    if (!holder)
        return fmt::format("Could not tell which file system holds {}, so it was not moved to "
                           "the Trash",
                           shown);
    if (Mounts::isSystemInternal(*holder))
        return fmt::format("{} is on {} ({}), which the desktop's Trash leaves out, so it cannot "
                           "be moved to the Trash",
                           shown, holder->point, holder->type);
    auto drive = driveTrash(*top, ::getuid());
    if (auto* reason = std::get_if<std::string>(&drive))
        return fmt::format("{} is on another drive ({}) whose Trash cannot be used: {}", shown,
                           *top, *reason);
    return moveInto(item, std::get<Folder>(drive));
}

std::optional<std::string> moveToTrash(const std::string& rawPath) {
    std::string path = Paths::withoutTrailingSlash(rawPath);
    auto held = Held::hold(path);
    if (auto* error = std::get_if<int>(&held))
        return fmt::format("Could not look at {}: {}", Text::homeShortened(path),
                           errorText(*error));
    return moveToTrash(std::get<HeldItem>(held));
}

std::vector<Folder> driveTrashes(const std::vector<Mounts::Mount>& mounts, uid_t user) {
    std::vector<Folder> out;
    std::set<std::pair<dev_t, ino_t>> seen;
    struct stat home {};
    if (::stat(homeTrash().c_str(), &home) == 0) seen.emplace(home.st_dev, home.st_ino);
    auto usable = [&](const std::string& path) {
        struct stat st {
        }, files{};
        return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == user &&
               ::lstat((path + "/files").c_str(), &files) == 0 && S_ISDIR(files.st_mode) &&
               seen.emplace(st.st_dev, st.st_ino).second;
    };
    std::string uid = std::to_string(user);
    for (const auto& mount : mounts) {
        if (Mounts::isSystemInternal(mount)) continue;
        std::string base = mount.point == "/" ? "" : mount.point;
        struct stat shared {};
        std::string sharedPath = base + "/.Trash";
        if (::lstat(sharedPath.c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
            (shared.st_mode & S_ISVTX) && usable(sharedPath + "/" + uid))
            out.push_back({sharedPath + "/" + uid, mount.point});
        if (usable(base + "/.Trash-" + uid)) out.push_back({base + "/.Trash-" + uid, mount.point});
    }
    return out;
}

std::vector<Folder> driveTrashes() {
    auto mounts = Mounts::current();
    return mounts ? driveTrashes(*mounts, ::getuid()) : std::vector<Folder>{};
}

namespace {

// The trash folders this layer itself puts items in for an item at `path`: the home trash and
// the two of the item's drive.
std::vector<std::string> trashesFor(const std::string& path) {
    std::vector<std::string> out;
    if (auto home = Paths::resolved(homeTrash())) out.push_back(*home);
    if (auto top = mountTop(Paths::parent(path))) {
        std::string base = *top == "/" ? "" : *top;
        std::string uid = std::to_string(::getuid());
        out.push_back(base + "/.Trash/" + uid);
        out.push_back(base + "/.Trash-" + uid);
    }
    return out;
}

} // namespace

void forgetInfo(const HeldItem& item) {
    // Most removals are nowhere near a trash: only a folder named "files" can be one's.
    if (Paths::lastComponent(Paths::parent(item.path)) != "files") return;
    constexpr int folderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    for (const auto& trash : trashesFor(item.path)) {
        UniqueFd trashFd = Held::openFolder(trash);
        if (!trashFd) continue;
        struct stat files {};
        if (::fstatat(trashFd.get(), "files", &files, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISDIR(files.st_mode) || identityOf(files) != item.folderIdentity)
            continue;
        UniqueFd infoFd(::openat(trashFd.get(), "info", folderFlags));
        if (!infoFd) return;
        std::string infoName = item.name + ".trashinfo";
        struct stat st {};
        if (::fstatat(infoFd.get(), infoName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode))
            ::unlinkat(infoFd.get(), infoName.c_str(), 0);
        return;
    }
}

} // namespace bramwick::Trash

#include "platform/safe_delete.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include <tbb/parallel_for_each.h>

#include "base/ending.h"
#include "base/paths.h"
#include "base/text.h"
#include "base/unique_fd.h"
#include "platform/held_item.h"
#include "platform/mounts.h"

namespace bramwick::SafeDelete {

std::string errorText(int error) {
    return std::generic_category().message(error);
}

bool isMountRoot(int folderFd, const std::string& name) {
    struct statx stx {};
    if (::statx(folderFd, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &stx) !=
        0)
        return false;
    return (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
           (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
}

namespace {

// Where file systems are mounted at `folder` (a path with its links resolved) or anywhere below
// it, as this process sees them, bind mounts included; none when the table cannot be read.
std::optional<std::vector<std::string>> mountsWithin(const std::string& folder) {
    auto table = Mounts::current();
    if (!table) return std::nullopt;
    std::vector<std::string> mounts;
    for (auto& mount : *table)
        if (mount.point == folder || mount.point.starts_with(folder == "/" ? folder : folder + "/"))
            mounts.push_back(std::move(mount.point));
    return mounts;
}

} // namespace

std::optional<std::string> mountedWithin(const std::string& folder) {
    std::string shown = Text::homeShortened(folder);
    auto mounts = mountsWithin(folder);
    if (!mounts)
        return "Could not read which file systems are mounted, so " + shown + " was left alone";
    for (const auto& mount : *mounts)
        if (mount == folder) return shown + " is a mounted file system and was left alone";
    if (mounts->empty()) return std::nullopt;
    return Text::homeShortened(mounts->front()) + " is another mounted file system, so " + shown +
           " was left alone";
}

namespace {

// One folder being emptied: its descriptor and the names it held when it was listed.
struct Frame {
    UniqueFd fd;       // closed while the walk is far below it; reopened on the way back up
    Identity identity; // the folder as it was opened, to be checked when it is reopened
    std::vector<std::string> names;
    std::size_t next = 0;
    std::string name; // its name in the folder above
    std::string path; // for messages only, and only near the top (see emptyWithoutRecursion)
    bool madeWritable = false;
};

// A path for a message, spelled only when there is one to give: a walk thousands of levels deep
// must not spell every folder's path on its way.
using PathOf = std::function<std::string()>;

class Removal {
  public:
    Removal(dev_t device, OnEnding onEnding) : device_(device), onEnding_(onEnding) {}

    // Empties and removes the folder `name` of `parentFd`, which `st` describes.
    void removeFolder(int parentFd, const std::string& name, const struct stat& st,
                      const std::string& path) {
        auto frame = open(parentFd, name, st, [&] { return path; });
        if (!frame) return;
        frame->path = path;
        empty(*frame, 0);
        frame.reset(); // closed before the folder itself is removed
        // The item's own folder: its parent lies outside the item and is never changed.
        if (::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT)
            note("Could not remove", path, errno);
    }

  private:
    // Near the top of the tree the subfolders of a folder are emptied in parallel (removing is
    // mostly waiting for the disk); deeper down one walk goes on without recursion, so no depth
    // of tree can exhaust the stack.
    static constexpr int parallelDepth = 6;
    // The folders a walk below the parallel levels keeps open at once: deeper ones are closed
    // and opened again on the way back up, as a careful rm does, so a tree of any depth (and
    // many such walks side by side) stays far below the limit of open descriptors.
    static constexpr std::size_t openLevels = 16;

    struct Subfolder {
        std::string name;
        struct stat st;
        bool emptied = false;
    };

    // The program is ending: the walk stops where it is, and says so.
    bool stopping() {
        if (onEnding_ == OnEnding::finish || !Ending::requested()) return false;
        noteText(endingReason);
        return true;
    }

    // Removes everything inside an opened folder, leaving the folder itself.
    void empty(Frame& folder, int depth) {
        std::vector<Subfolder> subfolders;
        for (const auto& entry : folder.names) {
            if (stopping()) return;
            auto entryPath = [&] { return folder.path + "/" + entry; };
            struct stat child {};
            if (::fstatat(folder.fd.get(), entry.c_str(), &child, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno != ENOENT) note("Could not look at", entryPath(), errno);
                continue;
            }
            if (!S_ISDIR(child.st_mode)) {
                unlink(folder, entry, entryPath, 0);
            } else if (child.st_dev != device_ || isMountRoot(folder.fd.get(), entry)) {
                noteText(Text::homeShortened(entryPath()) +
                         " is another mounted file system and was left alone");
            } else {
                subfolders.push_back({entry, child});
            }
        }
        auto emptySubfolder = [&](Subfolder& sub) {
            auto subPath = [&] { return folder.path + "/" + sub.name; };
            auto child = open(folder.fd.get(), sub.name, sub.st, subPath);
            if (!child) return;
            child->path = subPath();
            if (depth + 1 < parallelDepth) {
                empty(*child, depth + 1);
                child.reset();
            } else {
                emptyWithoutRecursion(std::move(*child));
            }
            sub.emptied = true;
        };
        if (subfolders.size() > 1)
            tbb::parallel_for_each(subfolders.begin(), subfolders.end(), emptySubfolder);
        else
            for (auto& sub : subfolders)
                emptySubfolder(sub);
        // Only this task touches `folder` again: the subfolders are removed one after another.
        for (const auto& sub : subfolders)
            if (sub.emptied)
                unlink(
                    folder, sub.name, [&] { return folder.path + "/" + sub.name; }, AT_REMOVEDIR);
    }

    // Empties an opened folder with one explicit stack, and closes it. Only the folder given
    // keeps its path; the folders below are named from the stack when a message needs them.
    void emptyWithoutRecursion(Frame&& folder) {
        std::vector<Frame> stack;
        stack.push_back(std::move(folder));
        auto pathAt = [&](std::size_t level) {
            std::string path = stack.front().path;
            for (std::size_t i = 1; i <= level; ++i)
                path += "/" + stack[i].name;
            return path;
        };
        while (!stack.empty()) {
            if (stopping()) return;
            Frame& top = stack.back();
            if (top.next < top.names.size()) {
                std::string entry = top.names[top.next++];
                auto entryPath = [&, level = stack.size() - 1] {
                    return pathAt(level) + "/" + entry;
                };
                struct stat child {};
                if (::fstatat(top.fd.get(), entry.c_str(), &child, AT_SYMLINK_NOFOLLOW) != 0) {
                    if (errno != ENOENT) note("Could not look at", entryPath(), errno);
                    continue;
                }
                if (S_ISDIR(child.st_mode)) {
                    if (child.st_dev != device_ || isMountRoot(top.fd.get(), entry)) {
                        noteText(Text::homeShortened(entryPath()) +
                                 " is another mounted file system and was left alone");
                        continue;
                    }
                    auto frame = open(top.fd.get(), entry, child, entryPath);
                    if (!frame) continue;
                    stack.push_back(std::move(*frame)); // `top` is stale from here
                    if (stack.size() > openLevels) stack[stack.size() - 1 - openLevels].fd.reset();
                    continue;
                }
                unlink(top, entry, entryPath, 0);
                continue;
            }
            Frame done = std::move(stack.back());
            stack.pop_back();
            // The folder given is removed by whoever opened it.
            if (stack.empty()) break;
            Frame& parent = stack.back();
            if (!parent.fd && !reopenAbove(done, parent, [&] { return pathAt(stack.size() - 1); }))
                return; // the rest of the tree cannot be reached the way it was walked
            done.fd.reset();
            unlink(
                parent, done.name, [&] { return pathAt(stack.size() - 1) + "/" + done.name; },
                AT_REMOVEDIR);
        }
    }

    // Opens again the folder above `child` (closed while the walk was deeper), through the
    // child's own "..": never a name that could lead elsewhere. It must still be the folder the
    // walk came down through.
    bool reopenAbove(const Frame& child, Frame& parent, const PathOf& parentPath) {
        UniqueFd up(::openat(child.fd.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat st {};
        if (!up) {
            note("Could not open", parentPath(), errno);
            return false;
        }
        if (::fstat(up.get(), &st) != 0 || identityOf(st) != parent.identity) {
            noteText(Text::homeShortened(parentPath()) + " changed while it was being removed");
            return false;
        }
        parent.fd = std::move(up);
        return true;
    }

  public:
    void note(const char* what, const std::string& path, int error) {
        noteText(std::string(what) + " " + Text::homeShortened(path) + ": " + errorText(error));
    }
    void noteText(std::string text) {
        std::lock_guard lock(problemMutex_);
        if (!problem_) problem_ = std::move(text);
    }
    const std::optional<std::string>& problem() const { return problem_; }

  private:
    // Opens a folder met during the walk and lists it. The folder must still be the one that
    // was looked at (same device and inode), so nothing swapped in meanwhile is entered.
    std::optional<Frame> open(int parentFd, const std::string& name, const struct stat& seen,
                              const PathOf& path) {
        const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        UniqueFd fd(::openat(parentFd, name.c_str(), flags));
        if (!fd && errno == EACCES && grantOwnAccess(parentFd, name, seen))
            fd.reset(::openat(parentFd, name.c_str(), flags));
        if (!fd) {
            note("Could not open", path(), errno);
            return std::nullopt;
        }
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0 || st.st_dev != seen.st_dev || st.st_ino != seen.st_ino) {
            noteText(Text::homeShortened(path()) + " changed while it was being removed");
            return std::nullopt;
        }
        Frame frame;
        frame.fd = std::move(fd);
        frame.identity = identityOf(st);
        frame.name = name;
        // Listed through a copy of the descriptor: the stream closes its own, the frame keeps its.
        UniqueDir dir = UniqueDir::adopt(UniqueFd(::dup(frame.fd.get())));
        if (!dir) {
            note("Could not list", path(), errno);
            return frame; // still try to remove it: it may be empty
        }
        for (;;) {
            errno = 0;
            dirent* entry = ::readdir(dir.get());
            if (!entry) {
                if (errno != 0) note("Could not list", path(), errno);
                break;
            }
            const char* n = entry->d_name;
            if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
            frame.names.emplace_back(n);
        }
        return frame;
    }

    // Removes one entry of a folder inside the item. A folder of the user's that was made
    // read-only (module caches do that) is given write access once and the removal retried.
    void unlink(Frame& folder, const std::string& name, const PathOf& path, int flags) {
        if (::unlinkat(folder.fd.get(), name.c_str(), flags) == 0 || errno == ENOENT) return;
        int error = errno;
        if ((error == EACCES || error == EPERM) && !folder.madeWritable) {
            folder.madeWritable = true;
            struct stat st {};
            if (::fstat(folder.fd.get(), &st) == 0 && st.st_uid == ::geteuid() &&
                ::fchmod(folder.fd.get(), (st.st_mode & 07777) | S_IRWXU) == 0) {
                if (::unlinkat(folder.fd.get(), name.c_str(), flags) == 0 || errno == ENOENT)
                    return;
                error = errno;
            }
        }
        note("Could not remove", path(), error);
    }

    // A folder of the user's without read access: give the user access to it, through a
    // descriptor that refers to exactly the folder that was looked at (never through a name
    // that could meanwhile be a link).
    bool grantOwnAccess(int parentFd, const std::string& name, const struct stat& seen) {
        if (seen.st_uid != ::geteuid()) return false;
        UniqueFd handle(
            ::openat(parentFd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!handle) return false;
        struct stat st {};
        if (::fstat(handle.get(), &st) != 0 || st.st_dev != seen.st_dev || st.st_ino != seen.st_ino)
            return false;
        std::string viaDescriptor = "/proc/self/fd/" + std::to_string(handle.get());
        return ::chmod(viaDescriptor.c_str(), (st.st_mode & 07777) | S_IRWXU) == 0;
    }

    dev_t device_;
    OnEnding onEnding_;
    std::mutex problemMutex_;
    std::optional<std::string> problem_;
};

} // namespace

std::optional<std::string> remove(const HeldItem& item, OnEnding onEnding) {
    auto now = Held::current(item);
    if (!now) {
        if (errno == ENOENT) return std::nullopt; // already gone
        return "Could not look at " + Text::homeShortened(item.path) + ": " + errorText(errno);
    }
    if (identityOf(*now) != item.identity() ||
        (now->st_mode & S_IFMT) != (item.seen.st_mode & S_IFMT))
        return Text::homeShortened(item.path) +
               " changed after it was chosen, so it was left alone";
    const int parentFd = item.folder.get();
    if (!S_ISDIR(now->st_mode)) {
        if (::unlinkat(parentFd, item.name.c_str(), 0) != 0 && errno != ENOENT)
            return "Could not remove " + Text::homeShortened(item.path) + ": " + errorText(errno);
        return std::nullopt;
    }
    if (now->st_dev != item.folderIdentity.device || isMountRoot(parentFd, item.name))
        return Text::homeShortened(item.path) + " is a mounted file system and was left alone";
    Removal removal(now->st_dev, onEnding);
    removal.removeFolder(parentFd, item.name, *now, item.path);
    return removal.problem();
}

std::optional<std::string> remove(const std::string& rawPath) {
    std::string path = Paths::withoutTrailingSlash(rawPath);
    std::string name = path.substr(path.rfind('/') + 1);
    if (path.empty() || path.front() != '/' || !Paths::isPlainName(name))
        return "Will not remove " + (path.empty() ? std::string("an empty path") : path);
    auto held = Held::hold(path);
    if (auto* error = std::get_if<int>(&held)) {
        if (*error == ENOENT || *error == ENOTDIR) return std::nullopt; // nothing there any more
        return "Could not look at " + Text::homeShortened(path) + ": " + errorText(*error);
    }
    return remove(std::get<HeldItem>(held));
}

} // namespace bramwick::SafeDelete

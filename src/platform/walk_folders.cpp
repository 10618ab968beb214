#include "platform/walk_folders.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

#include "platform/safe_delete.h"

namespace bramwick::WalkFolders {

UniqueFd openAtAnyDepth(const std::string& path, int flags) {
    UniqueFd fd(::open(path.c_str(), flags));
    if (fd || errno != ENAMETOOLONG) return fd;
    UniqueFd at; // the folder reached so far; none stands for the working folder
    std::size_t start = 0;
    for (;;) {
        int base = at ? at.get() : AT_FDCWD;
        if (path.size() - start < PATH_MAX)
            return UniqueFd(::openat(base, path.c_str() + start, flags));
        auto cut = path.rfind('/', start + PATH_MAX - 1);
        if (cut == std::string::npos || cut < start) { // one name longer than any path
            errno = ENAMETOOLONG;
            return {};
        }
        std::string stretch = cut == 0 ? "/" : path.substr(start, cut - start);
        UniqueFd next(stretch.empty()
                          ? ::dup(base)
                          : ::openat(base, stretch.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!next) return {};
        at = std::move(next);
        start = cut + 1;
    }
}

UniqueDir openSeen(const std::string& path, dev_t device, ino_t inode, bool followLink) {
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    UniqueFd fd = openAtAnyDepth(path, flags); // checked against the listed identity below
    if (!fd) return {};
    struct stat self {};
    if (::fstat(fd.get(), &self) != 0 || self.st_dev != device || self.st_ino != inode) return {};
    return UniqueDir::adopt(std::move(fd));
}

bool entersFolder(int folderFd, const char* name, const struct stat& child, dev_t device) {
    // A bind mount keeps the device of what it shows, so only the mount flag tells it apart.
    return S_ISDIR(child.st_mode) && child.st_dev == device &&
           !SafeDelete::isMountRoot(folderFd, name);
}

} // namespace bramwick::WalkFolders

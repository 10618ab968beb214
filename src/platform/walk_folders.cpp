#include "platform/walk_folders.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

#include "platform/safe_delete.h"

namespace bramwick::WalkFolders {

namespace {

// open(2) refuses a path of PATH_MAX bytes or more, which a deep tree reaches; such a folder is
// opened a stretch of the path at a time, each stretch resolved as open(2) would resolve it.
// What is reached is checked against the listed identity all the same.
int openFolder(const std::string& path, int flags) {
    int fd = ::open(path.c_str(), flags);
    if (fd >= 0 || errno != ENAMETOOLONG) return fd;
    int at = AT_FDCWD;
    std::size_t start = 0;
    for (;;) {
        if (path.size() - start < PATH_MAX) {
            int last = ::openat(at, path.c_str() + start, flags);
            if (at != AT_FDCWD) ::close(at);
            return last;
        }
        auto cut = path.rfind('/', start + PATH_MAX - 1);
        if (cut == std::string::npos || cut < start) { // one name longer than any path
            if (at != AT_FDCWD) ::close(at);
            errno = ENAMETOOLONG;
            return -1;
        }
        std::string stretch = cut == 0 ? "/" : path.substr(start, cut - start);
        int next = stretch.empty()
                       ? ::dup(at)
                       : ::openat(at, stretch.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (at != AT_FDCWD) ::close(at);
        if (next < 0) return -1;
        at = next;
        start = cut + 1;
    }
}

} // namespace

DIR* openSeen(const std::string& path, dev_t device, ino_t inode, bool followLink) {
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    int fd = openFolder(path, flags);
    if (fd < 0) return nullptr;
    struct stat self {};
    if (::fstat(fd, &self) != 0 || self.st_dev != device || self.st_ino != inode) {
        ::close(fd);
        return nullptr;
    }
    DIR* folder = ::fdopendir(fd);
    if (!folder) ::close(fd);
    return folder;
}

bool entersFolder(int folderFd, const char* name, const struct stat& child, dev_t device) {
    // A bind mount keeps the device of what it shows, so only the mount flag tells it apart.
    return S_ISDIR(child.st_mode) && child.st_dev == device &&
           !SafeDelete::isMountRoot(folderFd, name);
}

} // namespace bramwick::WalkFolders

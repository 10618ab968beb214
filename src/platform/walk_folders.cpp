#include "platform/walk_folders.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/safe_delete.h"

namespace bramwick::WalkFolders {

DIR* openSeen(const std::string& path, dev_t device, ino_t inode, bool followLink) {
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    int fd = ::open(path.c_str(), flags);
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

// The file systems mounted where this process sees them, as the kernel lists them in
// /proc/self/mountinfo, and which of them are the system's own rather than a drive of the user's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bramwick::Mounts {

struct Mount {
    std::uint64_t id = 0; // the kernel's mount id, as statx(STATX_MNT_ID) gives it
    std::string point;    // where it is mounted
    std::string type;     // "ext4", "tmpfs", "fuse.sshfs"…
    std::string source;   // "/dev/sdb1", "tmpfs"…
    bool operator==(const Mount&) const = default;
};

// The entries of a mountinfo text, in its order. A line that does not read as one is left out;
// the mount point's escapes (a space as "\040") are undone.
std::vector<Mount> parse(std::string_view mountinfo);

// The mounts of this process; none when the table cannot be read.
std::optional<std::vector<Mount>> current();

// Whether a mount is one of the system's own that the desktop leaves out of its Trash (and
// refuses to trash items on): a file system that lives in memory or stands for the kernel
// (tmpfs, proc, an overlay…), a mount at one of the system's own folders (/, /home, /var, /tmp,
// /mnt, /media…) or anywhere below /dev, /proc or /sys. A drive mounted below those folders
// (/media/<user>/<label>, /mnt/backup, /run/media/<user>/<label>) is the user's.
bool isSystemInternal(const Mount& mount);

} // namespace bramwick::Mounts

#include "platform/mounts.h"

#include <algorithm>
#include <charconv>

#include "platform/files.h"

namespace bramwick::Mounts {

namespace {

// A field with space, tab, newline and backslash written as a backslash and three octal digits.
std::string unescaped(std::string_view field) {
    auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
            isOctal(field[i + 2]) && isOctal(field[i + 3])) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t at = 0;
    while (at < line.size()) {
        auto start = line.find_first_not_of(' ', at);
        if (start == std::string_view::npos) break;
        auto end = line.find(' ', start);
        if (end == std::string_view::npos) end = line.size();
        out.push_back(line.substr(start, end - start));
        at = end;
    }
    return out;
}

} // namespace

std::vector<Mount> parse(std::string_view mountinfo) {
    std::vector<Mount> mounts;
    while (!mountinfo.empty()) {
        auto end = mountinfo.find('\n');
        std::string_view line = mountinfo.substr(0, end);
        mountinfo = end == std::string_view::npos ? std::string_view() : mountinfo.substr(end + 1);
        // id, parent id, device, root, mount point, options, optional fields…, "-", type,
        // source, super options.
        auto parts = fields(line);
        auto separator = std::find(parts.begin(), parts.end(), "-");
        if (parts.size() < 6 || separator == parts.end() || parts.end() - separator < 3 ||
            separator - parts.begin() < 6)
            continue;
        Mount mount;
        auto [rest, error] =
            std::from_chars(parts[0].data(), parts[0].data() + parts[0].size(), mount.id);
        if (error != std::errc() || rest != parts[0].data() + parts[0].size()) continue;
        mount.point = unescaped(parts[4]);
        mount.type = unescaped(separator[1]);
        mount.source = unescaped(separator[2]);
        if (!mount.point.starts_with('/')) continue;
        mounts.push_back(std::move(mount));
    }
    return mounts;
}

std::optional<std::vector<Mount>> current() {
    auto text = Files::read("/proc/self/mountinfo");
    if (!text) return std::nullopt;
    return parse(*text);
}

bool isSystemInternal(const Mount& mount) {
    // File systems in memory or of the kernel: nothing on them is the user's to keep, and what
    // the desktop would put in a Trash there would vanish with the next start or never show.
    static const std::vector<std::string_view> types{"autofs",
                                                     "binfmt_misc",
                                                     "bpf",
                                                     "cgroup",
                                                     "cgroup2",
                                                     "configfs",
                                                     "debugfs",
                                                     "devfs",
                                                     "devpts",
                                                     "devtmpfs",
                                                     "efivarfs",
                                                     "fusectl",
                                                     "fuse.gvfsd-fuse",
                                                     "fuse.portal",
                                                     "fuse.lxcfs",
                                                     "hugetlbfs",
                                                     "mqueue",
                                                     "nfsd",
                                                     "nsfs",
                                                     "overlay",
                                                     "proc",
                                                     "pstore",
                                                     "ramfs",
                                                     "rootfs",
                                                     "rpc_pipefs",
                                                     "securityfs",
                                                     "selinuxfs",
                                                     "sysfs",
                                                     "tmpfs",
                                                     "tracefs"};
    // The system's own folders: a drive is mounted below these, never at them.
    static const std::vector<std::string_view> points{
        "/",          "/bin",   "/boot",      "/dev",       "/etc",     "/home",     "/lib",
        "/lib32",     "/lib64", "/libx32",    "/media",     "/mnt",     "/net",      "/opt",
        "/proc",      "/root",  "/sbin",      "/srv",       "/sys",     "/tmp",      "/usr",
        "/usr/local", "/var",   "/var/crash", "/var/local", "/var/log", "/var/mail", "/var/tmp"};
    if (std::find(types.begin(), types.end(), mount.type) != types.end()) return true;
    if (std::find(points.begin(), points.end(), mount.point) != points.end()) return true;
    for (std::string_view kernel : {"/dev/", "/proc/", "/sys/"})
        if (mount.point.starts_with(kernel)) return true;
    return false;
}

} // namespace bramwick::Mounts

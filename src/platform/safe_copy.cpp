#include "platform/safe_copy.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "base/ending.h"
#include "base/paths.h"
#include "base/text.h"
#include "platform/safe_delete.h"

namespace bramwick::SafeCopy {

bool Seen::operator==(const Seen& other) const {
    return identity == other.identity && type == other.type && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
           changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
}

namespace {

// Why a copy was stopped and taken away: the program was asked to end (Ending::request).
constexpr const char* endingReason = "Bramwick was asked to quit before this was copied whole";

using SafeDelete::errorText;
using SafeDelete::isMountRoot;

// Deeper than this a tree is refused rather than walked (each level holds two descriptors).
constexpr int depthLimit = 400;

Seen seenOf(const struct stat& st) {
    return {identityOf(st), st.st_mode & S_IFMT, st.st_size, st.st_mtim, st.st_ctim};
}

std::string below(const std::string& relative, const std::string& name) {
    return relative.empty() ? name : relative + "/" + name;
}

// The names of an open folder; none when it cannot be listed (errno set).
std::optional<std::vector<std::string>> namesIn(int folderFd) {
    UniqueDir dir =
        UniqueDir::adopt(UniqueFd(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    if (!dir) return std::nullopt;
    std::vector<std::string> names;
    for (;;) {
        errno = 0;
        dirent* e = ::readdir(dir.get());
        if (!e) {
            if (errno != 0) return std::nullopt;
            break;
        }
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        names.emplace_back(n);
    }
    return names;
}

class Copy {
  public:
    Copy(dev_t device, Identity destination, int destinationFd, std::string destinationPath,
         std::string name)
        : device_(device), top_(destinationFd), topPath_(std::move(destinationPath)),
          topName_(std::move(name)) {
        made_.insert(destination);
    }

    // Copies the entry `name` of `fromDir`, which `st` describes, to the new entry `to` of
    // `toDir`. False once a problem was met.
    bool entry(int fromDir, const std::string& name, const struct stat& st, int toDir,
               const std::string& to, const std::string& path, const std::string& relative) {
        // Asked to end: the unfinished copy is taken away and the original stays.
        if (Ending::requested()) return failText(endingReason);
        if (S_ISREG(st.st_mode)) return file(fromDir, name, st, toDir, to, path, relative);
        if (S_ISDIR(st.st_mode)) return folder(fromDir, name, st, toDir, to, path, relative);
        if (S_ISLNK(st.st_mode)) return link(fromDir, name, st, toDir, to, path, relative);
        if (S_ISFIFO(st.st_mode)) {
            // A pipe is made anew, never opened: opening one waits for a writer.
            if (::mkfifoat(toDir, to.c_str(), st.st_mode & 07777) != 0)
                return fail("Could not copy", path, errno);
            made();
            seen_[relative] = seenOf(st);
            return true;
        }
        return failText(Text::homeShortened(path) + " is a special file that cannot be copied");
    }

    const std::string& problem() const { return problem_; }
    const std::optional<std::string>& notKept() const { return notKept_; }
    bool intoItself() const { return intoItself_; }
    // Whether the destination itself was created by this copy (and so may be taken away).
    bool createdDestination() const { return createdTop_; }
    Snapshot takeSeen() { return std::move(seen_); }

  private:
    void made() {
        if (depth_ == 0) createdTop_ = true;
    }

    bool fail(const char* what, const std::string& path, int error) {
        return failText(std::string(what) + " " + Text::homeShortened(path) + ": " +
                        errorText(error));
    }
    bool failText(std::string text) {
        if (problem_.empty()) problem_ = std::move(text);
        return false;
    }
    bool changed(const std::string& path) {
        return failText(Text::homeShortened(path) + " changed while it was being copied");
    }

    bool file(int fromDir, const std::string& name, const struct stat& seen, int toDir,
              const std::string& to, const std::string& path, const std::string& relative) {
        // Non-blocking, so that a pipe or device swapped in for the file cannot hold the open;
        // what was opened must then be the very regular file that was looked at.
        UniqueFd in(::openat(fromDir, name.c_str(),
                             O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
        if (!in) return fail("Could not read", path, errno);
        struct stat st {};
        if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
            identityOf(st) != identityOf(seen))
            return changed(path);
        seen_[relative] = seenOf(st);
        // Another name of a file already copied: another name of its copy, as on the source.
        if (st.st_nlink > 1) {
            const std::pair<dev_t, ino_t> key{st.st_dev, st.st_ino};
            if (auto first = linked_.find(key); first != linked_.end()) {
                if (::linkat(top_, first->second.c_str(), toDir, to.c_str(), 0) != 0)
                    return failText(fmt::format("{} could not be kept as another name of the same "
                                                "file at {}: {}",
                                                Text::homeShortened(path), topPath_,
                                                errorText(errno)));
                made();
                return true;
            }
            linked_.emplace(key, destinationOf(relative));
        }
        UniqueFd out(::openat(toDir, to.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out) return fail("Could not copy", path, errno);
        made();
        bool ok = bytes(in.get(), out.get(), st.st_size, path);
        if (ok) attributes(in.get(), out.get(), path);
        if (ok && ::fchmod(out.get(), st.st_mode & 07777) != 0)
            ok = fail("Could not copy", path, errno);
        if (ok) {
            struct timespec times[2] = {st.st_atim, st.st_mtim};
            ::futimens(out.get(), times);
        }
        if (::close(out.release()) != 0 && ok) ok = fail("Could not copy", path, errno);
        return ok;
    }

    // The file's data, region by region: its holes (a sparse disk image, a database) are left
    // holes, so the copy takes the room of the data and not of the file's length.
    bool bytes(int in, int out, off_t size, const std::string& path) {
        off_t at = 0;
        while (at < size) {
            off_t data = ::lseek(in, at, SEEK_DATA);
            off_t hole = size;
            if (data < 0) {
                if (errno == ENXIO) break; // nothing but a hole is left
                data = at;                 // a file system that cannot tell: all of it is data
            } else {
                hole = ::lseek(in, data, SEEK_HOLE);
                if (hole < 0 || hole > size) hole = size;
            }
            if (data >= size) break;
            if (!region(in, out, data, hole - data, path)) return false;
            at = hole;
        }
        // The length, with a hole at the end left unwritten.
        if (::ftruncate(out, size) != 0) return fail("Could not copy", path, errno);
        return true;
    }

    // A large file is copied a step at a time, so a request to end is heeded within a step.
    static constexpr off_t kernelStep = off_t{64} << 20;

    bool region(int in, int out, off_t from, off_t length, const std::string& path) {
        off_t inAt = from, outAt = from;
        while (length > 0 && kernelCopy_) {
            if (Ending::requested()) return failText(endingReason);
            ssize_t n = ::copy_file_range(
                in, &inAt, out, &outAt, static_cast<std::size_t>(std::min(length, kernelStep)), 0);
            if (n > 0) {
                length -= n;
                continue;
            }
            if (n == 0) return true; // the file ended sooner: the check afterwards tells
            if (errno == EINTR) continue;
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP &&
                errno != EPERM)
                return fail("Could not copy", path, errno);
            kernelCopy_ = false; // this pair of file systems wants plain reads and writes
        }
        std::vector<char> buffer(static_cast<std::size_t>(std::min<off_t>(length, 1 << 20)));
        while (length > 0) {
            if (Ending::requested()) return failText(endingReason);
            ssize_t n = ::pread(in, buffer.data(),
                                static_cast<std::size_t>(std::min<off_t>(length, 1 << 20)), inAt);
            if (n < 0) {
                if (errno == EINTR) continue;
                return fail("Could not read", path, errno);
            }
            if (n == 0) return true;
            for (ssize_t done = 0; done < n;) {
                ssize_t w = ::pwrite(out, buffer.data() + done, static_cast<std::size_t>(n - done),
                                     outAt + done);
                if (w < 0) {
                    if (errno == EINTR) continue;
                    return fail("Could not copy", path, errno);
                }
                done += w;
            }
            inAt += n;
            outAt += n;
            length -= n;
        }
        return true;
    }

    // The extended attributes of an open file or folder, as far as the destination takes them.
    // One it refuses does not fail the copy (the data and the names are what matters), but the
    // move says so.
    void attributes(int in, int out, const std::string& path) {
        std::vector<char> names(4096);
        ssize_t length = 0;
        for (;;) {
            length = ::flistxattr(in, names.data(), names.size());
            if (length >= 0) break;
            if (errno != ERANGE || names.size() > (1 << 20)) return; // none that can be read
            names.resize(names.size() * 4);
        }
        std::vector<std::string> refused;
        int refusal = 0;
        for (ssize_t at = 0; at < length;) {
            std::string name(names.data() + at);
            at += static_cast<ssize_t>(name.size()) + 1;
            std::vector<char> value(256);
            ssize_t size = 0;
            for (;;) {
                size = ::fgetxattr(in, name.c_str(), value.data(), value.size());
                if (size >= 0 || errno != ERANGE || value.size() > (1 << 24)) break;
                value.resize(value.size() * 4);
            }
            if (size < 0) continue; // gone meanwhile, or not ours to read
            if (::fsetxattr(out, name.c_str(), value.data(), static_cast<std::size_t>(size), 0) !=
                0) {
                refusal = errno;
                refused.push_back(std::move(name));
            }
        }
        if (!refused.empty() && !notKept_)
            notKept_ = fmt::format(
                "{} lost its extended attributes ({}) at {}: {}", Text::homeShortened(path),
                fmt::format("{}", fmt::join(refused, ", ")), topPath_, errorText(refusal));
    }

    // Where an entry of the source (by its path relative to the item) is copied to, relative to
    // the destination folder.
    std::string destinationOf(const std::string& relative) const {
        return relative.empty() ? topName_ : topName_ + "/" + relative;
    }

    bool link(int fromDir, const std::string& name, const struct stat& st, int toDir,
              const std::string& to, const std::string& path, const std::string& relative) {
        std::vector<char> target(static_cast<std::size_t>(std::max<off_t>(st.st_size, 255)) + 2);
        for (;;) {
            ssize_t n = ::readlinkat(fromDir, name.c_str(), target.data(), target.size());
            if (n < 0) return fail("Could not read", path, errno);
            if (static_cast<std::size_t>(n) < target.size()) {
                target[static_cast<std::size_t>(n)] = 0;
                break;
            }
            target.resize(target.size() * 2);
        }
        if (::symlinkat(target.data(), toDir, to.c_str()) != 0)
            return fail("Could not copy", path, errno);
        made();
        seen_[relative] = seenOf(st);
        struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::utimensat(toDir, to.c_str(), times, AT_SYMLINK_NOFOLLOW);
        return true;
    }

    bool folder(int fromDir, const std::string& name, const struct stat& seen, int toDir,
                const std::string& to, const std::string& path, const std::string& relative) {
        if (seen.st_dev != device_ || isMountRoot(fromDir, name))
            return failText(Text::homeShortened(path) +
                            " is another mounted file system; it was not copied");
        if (made_.contains(identityOf(seen))) {
            intoItself_ = true;
            return failText(Text::homeShortened(path) +
                            " holds the destination; a folder cannot be copied into itself");
        }
        if (depth_ >= depthLimit)
            return failText(Text::homeShortened(path) + " is nested too deeply to be copied");
        UniqueFd from(
            ::openat(fromDir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!from) return fail("Could not open", path, errno);
        struct stat st {};
        if (::fstat(from.get(), &st) != 0 || identityOf(st) != identityOf(seen))
            return changed(path);
        // Looked at before listing: an entry added or removed later changes these times.
        seen_[relative] = seenOf(st);
        if (::mkdirat(toDir, to.c_str(), 0700) != 0) return fail("Could not copy", path, errno);
        made();
        UniqueFd into(::openat(toDir, to.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat intoStat {};
        if (!into || ::fstat(into.get(), &intoStat) != 0)
            return fail("Could not copy", path, errno);
        made_.insert(identityOf(intoStat));
        auto names = namesIn(from.get());
        if (!names) return fail("Could not list", path, errno);
        attributes(from.get(), into.get(), path);
        bool ok = true;
        ++depth_;
        for (std::size_t i = 0; ok && i < names->size(); ++i) {
            const std::string& child = (*names)[i];
            struct stat childStat {};
            std::string childPath = path + "/" + child;
            if (::fstatat(from.get(), child.c_str(), &childStat, AT_SYMLINK_NOFOLLOW) != 0) {
                // Gone meanwhile: the check after the copy notices the folder changed.
                if (errno == ENOENT) continue;
                ok = fail("Could not read", childPath, errno);
                break;
            }
            ok = entry(from.get(), child, childStat, into.get(), child, childPath,
                       below(relative, child));
        }
        --depth_;
        if (ok && ::fchmod(into.get(), st.st_mode & 07777) != 0)
            ok = fail("Could not copy", path, errno);
        if (ok) {
            struct timespec times[2] = {st.st_atim, st.st_mtim};
            ::futimens(into.get(), times);
        }
        return ok;
    }

    dev_t device_;
    int top_;             // the destination folder
    std::string topPath_; // its path, for messages
    std::string topName_; // the item's name in it
    std::string problem_;
    std::optional<std::string> notKept_;
    bool kernelCopy_ = true;
    // The first copy of each file with several names, for the names met later.
    std::map<std::pair<dev_t, ino_t>, std::string> linked_;
    int depth_ = 0;
    bool createdTop_ = false;
    bool intoItself_ = false;
    struct IdentitySet {
        std::set<std::pair<dev_t, ino_t>> set;
        void insert(Identity id) { set.emplace(id.device, id.inode); }
        bool contains(Identity id) const { return set.contains({id.device, id.inode}); }
    } made_;
    Snapshot seen_;
};

// Walks the source again and compares every entry with what the copy saw.
bool sameAsSeen(int folderFd, const std::string& name, const struct stat& st,
                const std::string& relative, const Snapshot& seen, std::size_t& matched,
                int depth) {
    auto found = seen.find(relative);
    if (found == seen.end() || !(found->second == seenOf(st))) return false;
    ++matched;
    if (!S_ISDIR(st.st_mode)) return true;
    if (depth >= depthLimit) return false;
    UniqueFd folder(
        ::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat now {};
    if (!folder || ::fstat(folder.get(), &now) != 0 || !(seenOf(now) == found->second))
        return false;
    auto names = namesIn(folder.get());
    if (!names) return false;
    for (const auto& child : *names) {
        struct stat childStat {};
        if (::fstatat(folder.get(), child.c_str(), &childStat, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        if (!sameAsSeen(folder.get(), child, childStat, below(relative, child), seen, matched,
                        depth + 1))
            return false;
    }
    return true;
}

} // namespace

Result copy(const HeldItem& source, int destination, const std::string& name,
            const std::string& path) {
    Result result;
    if (!Paths::isPlainName(name)) {
        result.problem = "Will not copy " + Text::homeShortened(source.path);
        return result;
    }
    struct stat destinationStat {};
    if (::fstat(destination, &destinationStat) != 0) {
        result.problem = "Could not open " + Paths::parent(path) + ": " + errorText(errno);
        return result;
    }
    auto now = Held::current(source);
    if (!now) {
        result.problem =
            "Could not read " + Text::homeShortened(source.path) + ": " + errorText(errno);
        return result;
    }
    if (identityOf(*now) != source.identity()) {
        result.problem = Text::homeShortened(source.path) + " changed while it was being copied";
        return result;
    }
    Copy copy(now->st_dev, identityOf(destinationStat), destination, Paths::parent(path), name);
    bool ok =
        copy.entry(source.folder.get(), source.name, *now, destination, name, source.path, "");
    // syncfs wants a descriptor that is open for reading, not a bare path handle.
    UniqueFd flush(ok ? ::openat(destination, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1);
    if (ok && (!flush || ::syncfs(flush.get()) != 0)) {
        // The source is only removed once the copy is safely on its drive.
        ok = false;
        result.problem = "Could not write the copy to its drive: " + errorText(errno);
    } else if (!ok) {
        result.problem = copy.problem();
        result.intoItself = copy.intoItself();
    }
    // Only what this call made is taken away, never something that was there before.
    if (!ok && copy.createdDestination()) {
        auto made = Held::holdIn(destination, name, path);
        if (auto* held = std::get_if<HeldItem>(&made))
            if (auto left = SafeDelete::remove(*held, SafeDelete::OnEnding::finish))
                *result.problem += " (the unfinished copy could not be removed: " + *left + ")";
    }
    if (ok) {
        result.seen = copy.takeSeen();
        result.notKept = copy.notKept();
    }
    return result;
}

std::optional<std::string> copy(const std::string& rawSource, const std::string& rawDestination) {
    std::string source = Paths::withoutTrailingSlash(rawSource);
    std::string destination = Paths::withoutTrailingSlash(rawDestination);
    auto held = Held::hold(source);
    if (auto* error = std::get_if<int>(&held))
        return "Could not read " + Text::homeShortened(source) + ": " + errorText(*error);
    UniqueFd into = Held::openChosenFolder(Paths::parent(destination));
    if (!into) return "Could not open " + Paths::parent(destination) + ": " + errorText(errno);
    return copy(std::get<HeldItem>(held), into.get(),
                destination.substr(destination.rfind('/') + 1), destination)
        .problem;
}

bool unchangedSince(const HeldItem& source, const Snapshot& seen) {
    auto now = Held::current(source);
    if (!now) return false;
    std::size_t matched = 0;
    return sameAsSeen(source.folder.get(), source.name, *now, "", seen, matched, 0) &&
           matched == seen.size();
}

} // namespace bramwick::SafeCopy

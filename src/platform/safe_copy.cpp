#include "platform/safe_copy.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "base/text.h"
#include "base/paths.h"
#include "platform/safe_delete.h"

namespace bramwick::SafeCopy {

namespace {

using SafeDelete::errorText;
using SafeDelete::isMountRoot;

class Copy {
  public:
    explicit Copy(dev_t device) : device_(device) {}

    // Copies the entry `name` of `fromDir`, which `st` describes, to the new entry `to` of
    // `toDir`. False once a problem was met.
    bool entry(int fromDir, const std::string& name, const struct stat& st, int toDir,
               const std::string& to, const std::string& path) {
        if (S_ISREG(st.st_mode)) return file(fromDir, name, st, toDir, to, path);
        if (S_ISDIR(st.st_mode)) return folder(fromDir, name, st, toDir, to, path);
        if (S_ISLNK(st.st_mode)) return link(fromDir, name, st, toDir, to, path);
        if (S_ISFIFO(st.st_mode)) {
            if (::mkfifoat(toDir, to.c_str(), st.st_mode & 07777) != 0)
                return fail("Could not copy", path, errno);
            made();
            return true;
        }
        return failText(Text::homeShortened(path) + " is a special file that cannot be copied");
    }

    const std::string& problem() const { return problem_; }
    // Whether the destination itself was created by this copy (and so may be taken away).
    bool createdDestination() const { return createdTop_; }

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

    bool file(int fromDir, const std::string& name, const struct stat& seen, int toDir,
              const std::string& to, const std::string& path) {
        int in = ::openat(fromDir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
        if (in < 0) return fail("Could not read", path, errno);
        struct stat st {};
        if (::fstat(in, &st) != 0 || st.st_dev != seen.st_dev || st.st_ino != seen.st_ino) {
            ::close(in);
            return failText(Text::homeShortened(path) + " changed while it was being copied");
        }
        int out =
            ::openat(toDir, to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (out < 0) {
            int error = errno;
            ::close(in);
            return fail("Could not copy", path, error);
        }
        made();
        bool ok = bytes(in, out, path);
        if (ok && ::fchmod(out, st.st_mode & 07777) != 0) ok = fail("Could not copy", path, errno);
        if (ok) {
            struct timespec times[2] = {st.st_atim, st.st_mtim};
            ::futimens(out, times);
        }
        if (::close(out) != 0 && ok) ok = fail("Could not copy", path, errno);
        ::close(in);
        return ok;
    }

    bool bytes(int in, int out, const std::string& path) {
        bool kernelCopy = true;
        std::vector<char> buffer;
        for (;;) {
            if (kernelCopy) {
                ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
                if (n > 0) continue;
                if (n == 0) return true;
                if (errno == EINTR) continue;
                if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP &&
                    errno != EPERM)
                    return fail("Could not copy", path, errno);
                kernelCopy = false; // this pair of file systems wants plain reads and writes
                buffer.resize(1 << 20);
            }
            ssize_t n = ::read(in, buffer.data(), buffer.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                return fail("Could not read", path, errno);
            }
            if (n == 0) return true;
            for (ssize_t done = 0; done < n;) {
                ssize_t w = ::write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
                if (w < 0) {
                    if (errno == EINTR) continue;
                    return fail("Could not copy", path, errno);
                }
                done += w;
            }
        }
    }

    bool link(int fromDir, const std::string& name, const struct stat& st, int toDir,
              const std::string& to, const std::string& path) {
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
        struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::utimensat(toDir, to.c_str(), times, AT_SYMLINK_NOFOLLOW);
        return true;
    }

    bool folder(int fromDir, const std::string& name, const struct stat& seen, int toDir,
                const std::string& to, const std::string& path) {
        if (seen.st_dev != device_ || isMountRoot(fromDir, name))
            return failText(Text::homeShortened(path) +
                            " is another mounted file system; it was not copied");
        int from = ::openat(fromDir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (from < 0) return fail("Could not open", path, errno);
        struct stat st {};
        if (::fstat(from, &st) != 0 || st.st_dev != seen.st_dev || st.st_ino != seen.st_ino) {
            ::close(from);
            return failText(Text::homeShortened(path) + " changed while it was being copied");
        }
        if (::mkdirat(toDir, to.c_str(), 0700) != 0) {
            int error = errno;
            ::close(from);
            return fail("Could not copy", path, error);
        }
        made();
        int into = ::openat(toDir, to.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (into < 0) {
            int error = errno;
            ::close(from);
            return fail("Could not copy", path, error);
        }
        bool ok = true;
        std::vector<std::string> names;
        int listing = ::dup(from);
        DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
        if (!dir) {
            if (listing >= 0) ::close(listing);
            ok = fail("Could not list", path, errno);
        } else {
            for (;;) {
                errno = 0;
                dirent* e = ::readdir(dir);
                if (!e) {
                    if (errno != 0) ok = fail("Could not list", path, errno);
                    break;
                }
                const char* n = e->d_name;
                if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
                names.emplace_back(n);
            }
            ::closedir(dir);
        }
        ++depth_;
        for (std::size_t i = 0; ok && i < names.size(); ++i) {
            struct stat child {};
            std::string childPath = path + "/" + names[i];
            if (::fstatat(from, names[i].c_str(), &child, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno == ENOENT) continue; // gone meanwhile: nothing to carry over
                ok = fail("Could not read", childPath, errno);
                break;
            }
            ok = entry(from, names[i], child, into, names[i], childPath);
        }
        --depth_;
        if (ok && ::fchmod(into, st.st_mode & 07777) != 0) ok = fail("Could not copy", path, errno);
        if (ok) {
            struct timespec times[2] = {st.st_atim, st.st_mtim};
            ::futimens(into, times);
        }
        ::close(into);
        ::close(from);
        return ok;
    }

    dev_t device_;
    std::string problem_;
    int depth_ = 0;
    bool createdTop_ = false;
};

} // namespace

std::optional<std::string> copy(const std::string& rawSource, const std::string& rawDestination) {
    std::string source = Paths::withoutTrailingSlash(rawSource);
    std::string destination = Paths::withoutTrailingSlash(rawDestination);
    std::string name = Paths::lastComponent(source);
    std::string target = Paths::lastComponent(destination);
    if (name.empty() || name == "." || name == ".." || target.empty() || target == "." ||
        target == "..")
        return "Will not copy " + source;

    int fromDir = ::open(Paths::parent(source).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fromDir < 0)
        return "Could not open " + Text::homeShortened(Paths::parent(source)) + ": " +
               errorText(errno);
    int toDir = ::open(Paths::parent(destination).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (toDir < 0) {
        int error = errno;
        ::close(fromDir);
        return "Could not open " + Paths::parent(destination) + ": " + errorText(error);
    }
    std::optional<std::string> problem;
    struct stat st {};
    if (::fstatat(fromDir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        problem = "Could not read " + Text::homeShortened(source) + ": " + errorText(errno);
    } else {
        Copy copy(st.st_dev);
        if (!copy.entry(fromDir, name, st, toDir, target, source)) {
            problem = copy.problem();
            // Only what this call made is taken away, never something that was there before.
            if (copy.createdDestination()) {
                if (auto left = SafeDelete::remove(destination))
                    *problem += " (the unfinished copy could not be removed: " + *left + ")";
            }
        } else if (::syncfs(toDir) != 0) {
            // The source is only removed once the copy is safely on its drive.
            problem = "Could not write the copy to its drive: " + errorText(errno);
            SafeDelete::remove(destination);
        }
    }
    ::close(toDir);
    ::close(fromDir);
    return problem;
}

} // namespace bramwick::SafeCopy

// Owning handles for a file descriptor and a folder stream: each closes what it holds exactly
// once, when it goes out of scope or is reset, so no early return can leak one.
#pragma once

#include <dirent.h>
#include <unistd.h>
#include <utility>

namespace bramwick {

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Hands the descriptor over; the caller now closes it.
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

  private:
    int fd_ = -1;
};

class UniqueDir {
  public:
    UniqueDir() = default;
    explicit UniqueDir(DIR* dir) : dir_(dir) {}
    UniqueDir(UniqueDir&& other) noexcept : dir_(std::exchange(other.dir_, nullptr)) {}
    UniqueDir& operator=(UniqueDir&& other) noexcept {
        if (this != &other) reset(std::exchange(other.dir_, nullptr));
        return *this;
    }
    UniqueDir(const UniqueDir&) = delete;
    UniqueDir& operator=(const UniqueDir&) = delete;
    ~UniqueDir() { reset(); }

    DIR* get() const { return dir_; }
    explicit operator bool() const { return dir_ != nullptr; }
    void reset(DIR* dir = nullptr) {
        if (dir_) ::closedir(dir_);
        dir_ = dir;
    }

    // Opens a folder stream over a descriptor the stream then owns; on failure the descriptor is
    // closed here, so the caller never has to. Given no descriptor, it leaves errno as the failed
    // open set it.
    static UniqueDir adopt(UniqueFd fd) {
        if (!fd) return {};
        DIR* dir = ::fdopendir(fd.get());
        if (dir) fd.release();
        return UniqueDir(dir);
    }

  private:
    DIR* dir_ = nullptr;
};

} // namespace bramwick

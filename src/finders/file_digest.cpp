#include "finders/file_digest.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <openssl/evp.h>
// xxHash compiled in here, from its header: one library fewer for every run to load.
#define XXH_INLINE_ALL
#include <xxhash.h>

#include "base/unique_fd.h"

namespace bramwick::FileDigest {

namespace {

constexpr std::size_t chunkBytes = 1 << 20;
// Reading a file this large through the page cache would push out what the user is working
// with, so the pages it brings in are dropped again.
constexpr std::int64_t largeFileBytes = std::int64_t{64} << 20;

const EVP_MD* sha256Method() {
    static EVP_MD* method = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    return method;
}

// One digest context and one read buffer per thread, made once and reused for every file.
struct ThreadReader {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    std::unique_ptr<unsigned char[]> buffer = std::make_unique<unsigned char[]>(chunkBytes);
    ThreadReader() = default;
    ThreadReader(const ThreadReader&) = delete;
    ThreadReader& operator=(const ThreadReader&) = delete;
    ~ThreadReader() { EVP_MD_CTX_free(context); }
};

ThreadReader& threadReader() {
    thread_local ThreadReader reader;
    return reader;
}

// Leaves the page cache as it found it: after a range is read, the pages of it that were not
// cached before are dropped, and those that were stay.
class CacheKeeper {
  public:
    CacheKeeper(int fd, std::int64_t size) : fd_(fd), size_(static_cast<std::size_t>(size)) {
        ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
        void* map = ::mmap(nullptr, size_, PROT_READ, MAP_SHARED, fd_, 0);
        if (map != MAP_FAILED) map_ = static_cast<unsigned char*>(map);
    }
    CacheKeeper(const CacheKeeper&) = delete;
    CacheKeeper& operator=(const CacheKeeper&) = delete;
    ~CacheKeeper() {
        if (map_) ::munmap(map_, size_);
    }

    // Which pages of [offset, offset + length) are cached now; offset is page-aligned.
    void before(std::size_t offset, std::size_t length) {
        std::size_t pages = (length + page_ - 1) / page_;
        cached_.assign(pages, 0);
        if (!map_ || offset >= size_) return;
        std::size_t inMap = std::min(length, size_ - offset);
        if (::mincore(map_ + offset, inMap, cached_.data()) != 0)
            std::fill(cached_.begin(), cached_.end(), 0);
    }

    // Drops the runs of pages that `before` found uncached.
    void after(std::size_t offset, std::size_t length) {
        std::size_t pages = (length + page_ - 1) / page_;
        for (std::size_t p = 0; p < pages && p < cached_.size();) {
            if (cached_[p] & 1) {
                ++p;
                continue;
            }
            std::size_t end = p;
            while (end < pages && end < cached_.size() && !(cached_[end] & 1))
                ++end;
            ::posix_fadvise(fd_, static_cast<off_t>(offset + p * page_),
                            static_cast<off_t>((end - p) * page_), POSIX_FADV_DONTNEED);
            p = end;
        }
    }

  private:
    int fd_;
    std::size_t size_;
    std::size_t page_ = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    unsigned char* map_ = nullptr;
    std::vector<unsigned char> cached_;
};

ssize_t readAt(int fd, unsigned char* buffer, std::size_t length, std::int64_t offset) {
    for (;;) {
        ssize_t got = ::pread(fd, buffer, length, static_cast<off_t>(offset));
        if (got >= 0 || errno != EINTR) return got;
    }
}

// Where the data from `offset` on begins, in a file that may have holes: `offset` itself when
// it is in data, the end of the file when only a hole is left, or -1 when the file system cannot
// say (the caller then reads every byte).
std::int64_t dataFrom(int fd, std::int64_t offset, std::int64_t size) {
    off_t data = ::lseek(fd, static_cast<off_t>(offset), SEEK_DATA);
    if (data >= 0) return std::min<std::int64_t>(data, size);
    return errno == ENXIO ? size : -1;
}

// Where the hole after `offset` (which is in data) begins, or the end of the file.
std::int64_t holeFrom(int fd, std::int64_t offset, std::int64_t size) {
    off_t hole = ::lseek(fd, static_cast<off_t>(offset), SEEK_HOLE);
    return hole >= 0 ? std::min<std::int64_t>(hole, size) : size;
}

// A hole reads as zeros: they are digested from memory rather than read, which would have the
// kernel fill and copy a page of zeros for every page of it (a disk image is mostly holes).
bool digestZeros(EVP_MD_CTX* context, std::int64_t length) {
    static const std::vector<unsigned char> zeros(chunkBytes, 0);
    for (; length > 0; length -= static_cast<std::int64_t>(chunkBytes)) {
        auto part = static_cast<std::size_t>(std::min<std::int64_t>(length, chunkBytes));
        if (EVP_DigestUpdate(context, zeros.data(), part) != 1) return false;
    }
    return true;
}

} // namespace

std::optional<Digest> sha256(const std::string& path, FileWalk::Identity identity,
                             std::int64_t size, std::optional<std::int64_t> limit) {
    std::int64_t actual = 0;
    UniqueFd fd(FileWalk::openRegular(path, identity, &actual));
    if (!fd) return std::nullopt;
    if (actual != size) return std::nullopt; // changed since the walk
    std::int64_t wanted = limit ? std::min(*limit, size) : size;
    ThreadReader& reader = threadReader();
    if (!sha256Method() || EVP_DigestInit_ex2(reader.context, sha256Method(), nullptr) != 1)
        return std::nullopt;
    std::unique_ptr<CacheKeeper> keeper;
    const bool large = !limit && size >= largeFileBytes;
    if (large) keeper = std::make_unique<CacheKeeper>(fd.get(), size);
    // A large file is read by its data only, its holes digested as the zeros they read as.
    bool holes = large;
    std::int64_t dataEnd = holes ? 0 : size; // where the data being read ends

    std::int64_t done = 0;
    bool failed = false;
    // A whole read goes on to the end of the file, so a file that grew is seen to have grown.
    while (limit ? done < wanted : done <= size) {
        if (holes && done < size && done >= dataEnd) {
            std::int64_t data = dataFrom(fd.get(), done, size);
            if (data < 0) {
                holes = false; // every byte is read
                dataEnd = size;
            } else {
                if (!digestZeros(reader.context, data - done)) {
                    failed = true;
                    break;
                }
                done = data;
                dataEnd = done < size ? holeFrom(fd.get(), done, size) : size;
                if (done >= size) continue;
            }
        }
        std::size_t want = chunkBytes;
        if (limit)
            want = static_cast<std::size_t>(std::min<std::int64_t>(chunkBytes, wanted - done));
        else if (holes && done < dataEnd)
            want = static_cast<std::size_t>(std::min<std::int64_t>(chunkBytes, dataEnd - done));
        if (keeper) keeper->before(static_cast<std::size_t>(done), want);
        ssize_t got = readAt(fd.get(), reader.buffer.get(), want, done);
        if (got < 0) {
            failed = true;
            break;
        }
        if (got == 0) break;
        if (keeper) keeper->after(static_cast<std::size_t>(done), static_cast<std::size_t>(got));
        if (EVP_DigestUpdate(reader.context, reader.buffer.get(), static_cast<std::size_t>(got)) !=
            1) {
            failed = true;
            break;
        }
        done += got;
    }
    // Zeros digested for a hole are no proof the file still reaches that far: one cut short
    // meanwhile is no longer the file the walk saw.
    if (holes) {
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0 || st.st_size != size) failed = true;
    }
    keeper.reset();
    fd.reset();
    Digest digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(reader.context, digest.data(), &length) != 1 || length != digest.size())
        failed = true;
    if (failed || done != wanted) return std::nullopt;
    return digest;
}

std::optional<std::uint64_t> leadingPrint(const std::string& path, FileWalk::Identity identity,
                                          std::int64_t size) {
    std::int64_t actual = 0;
    UniqueFd fd(FileWalk::openRegular(path, identity, &actual));
    if (!fd) return std::nullopt;
    unsigned char buffer[leadingBytes];
    auto wanted = static_cast<std::size_t>(std::min(size, leadingBytes));
    std::size_t done = 0;
    bool failed = actual != size; // changed since the walk
    while (!failed && done < wanted) {
        ssize_t got =
            readAt(fd.get(), buffer + done, wanted - done, static_cast<std::int64_t>(done));
        if (got <= 0)
            failed = true;
        else
            done += static_cast<std::size_t>(got);
    }
    fd.reset();
    if (failed) return std::nullopt;
    return XXH3_64bits(buffer, wanted);
}

std::string hex(const Digest& digest) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(digest.size() * 2);
    for (unsigned char byte : digest) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

} // namespace bramwick::FileDigest

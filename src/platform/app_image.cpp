#include "platform/app_image.h"

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <vector>

#include <sqfs/compressor.h>
#include <sqfs/data_reader.h>
#include <sqfs/dir.h>
#include <sqfs/dir_reader.h>
#include <sqfs/error.h>
#include <sqfs/inode.h>
#include <sqfs/io.h>
#include <sqfs/super.h>

#include "base/unique_fd.h"

namespace bramwick::AppImage {

namespace {

constexpr std::size_t entryLimit = 256 * 1024;
constexpr int linkLimit = 8;

// The few calls of libsquashfs this reader makes, looked up when the first image is read, so
// that a run that reads none never maps the library or the compressors it brings along.
struct Library {
    decltype(&sqfs_super_read) superRead;
    decltype(&sqfs_compressor_config_init) configInit;
    decltype(&sqfs_compressor_create) compressorCreate;
    decltype(&sqfs_dir_reader_create) dirReaderCreate;
    decltype(&sqfs_dir_reader_get_root_inode) rootInode;
    decltype(&sqfs_dir_reader_open_dir) openDir;
    decltype(&sqfs_dir_reader_read) readEntry;
    decltype(&sqfs_dir_reader_find_by_path) findByPath;
    decltype(&sqfs_data_reader_create) dataReaderCreate;
    decltype(&sqfs_data_reader_load_fragment_table) loadFragments;
    decltype(&sqfs_data_reader_read) readData;
    decltype(&sqfs_inode_get_file_size) fileSize;
    decltype(&sqfs_free) free;
};

template <typename Function> bool lookUp(void* handle, const char* name, Function& out) {
    out = reinterpret_cast<Function>(::dlsym(handle, name));
    return out != nullptr;
}

const Library* library() {
    static const std::unique_ptr<Library> loaded = []() -> std::unique_ptr<Library> {
        // Kept for the rest of the run: the next image needs it again.
        void* handle = ::dlopen(BRAMWICK_SQUASHFS_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!handle) return nullptr;
        auto sq = std::make_unique<Library>();
        bool found = lookUp(handle, "sqfs_super_read", sq->superRead) &&
                     lookUp(handle, "sqfs_compressor_config_init", sq->configInit) &&
                     lookUp(handle, "sqfs_compressor_create", sq->compressorCreate) &&
                     lookUp(handle, "sqfs_dir_reader_create", sq->dirReaderCreate) &&
                     lookUp(handle, "sqfs_dir_reader_get_root_inode", sq->rootInode) &&
                     lookUp(handle, "sqfs_dir_reader_open_dir", sq->openDir) &&
                     lookUp(handle, "sqfs_dir_reader_read", sq->readEntry) &&
                     lookUp(handle, "sqfs_dir_reader_find_by_path", sq->findByPath) &&
                     lookUp(handle, "sqfs_data_reader_create", sq->dataReaderCreate) &&
                     lookUp(handle, "sqfs_data_reader_load_fragment_table", sq->loadFragments) &&
                     lookUp(handle, "sqfs_data_reader_read", sq->readData) &&
                     lookUp(handle, "sqfs_inode_get_file_size", sq->fileSize) &&
                     lookUp(handle, "sqfs_free", sq->free);
        if (!found) return nullptr;
        return sq;
    }();
    return loaded.get();
}

// The image as a file of its own: the part of the AppImage after the runtime, read only.
struct ImageFile {
    sqfs_file_t file; // first, so that the library's pointer to it is one to the whole
    int fd;
    sqfs_u64 offset;
    sqfs_u64 size;
};

ImageFile* self(sqfs_file_t* file) {
    return reinterpret_cast<ImageFile*>(file);
}

int readAt(sqfs_file_t* file, sqfs_u64 offset, void* buffer, size_t size) {
    ImageFile* image = self(file);
    if (offset > image->size || size > image->size - offset) return SQFS_ERROR_OUT_OF_BOUNDS;
    auto* out = static_cast<char*>(buffer);
    while (size > 0) {
        ssize_t n = ::pread(image->fd, out, size, static_cast<off_t>(image->offset + offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return SQFS_ERROR_IO;
        out += n;
        offset += static_cast<sqfs_u64>(n);
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

int refuseWrite(sqfs_file_t*, sqfs_u64, const void*, size_t) {
    return SQFS_ERROR_UNSUPPORTED;
}

int refuseTruncate(sqfs_file_t*, sqfs_u64) {
    return SQFS_ERROR_UNSUPPORTED;
}

sqfs_u64 sizeOf(const sqfs_file_t* file) {
    return reinterpret_cast<const ImageFile*>(file)->size;
}

void destroyCopy(sqfs_object_t* object) {
    delete reinterpret_cast<ImageFile*>(object);
}

sqfs_object_t* copyOf(const sqfs_object_t* object) {
    auto* copy = new ImageFile(*reinterpret_cast<const ImageFile*>(object));
    copy->file.base.destroy = destroyCopy;
    return reinterpret_cast<sqfs_object_t*>(copy);
}

struct Destroy {
    void operator()(void* object) const {
        if (object) sqfs_destroy(object);
    }
};
template <typename T> using Owned = std::unique_ptr<T, Destroy>;

// Memory the library handed over, given back with its own free.
struct Free {
    const Library* sq;
    void operator()(void* memory) const { sq->free(memory); }
};
using Inode = std::unique_ptr<sqfs_inode_generic_t, Free>;

bool isFile(const sqfs_inode_generic_t& inode) {
    return inode.base.type == SQFS_INODE_FILE || inode.base.type == SQFS_INODE_EXT_FILE;
}

// A path inside the image with "." and ".." worked out; none when it climbs above the top.
std::optional<std::string> withinImage(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (parts.empty()) return std::nullopt;
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    std::string out;
    for (const auto& part : parts)
        out += (out.empty() ? "" : "/") + part;
    return out;
}

// The regular file at `path`, links inside the image followed a few times at most.
Inode findFile(const Library& sq, sqfs_dir_reader_t* dir, std::string path) {
    for (int hop = 0; hop <= linkLimit; ++hop) {
        auto inside = withinImage(path);
        if (!inside || inside->empty()) return Inode(nullptr, Free{&sq});
        sqfs_inode_generic_t* raw = nullptr;
        if (sq.findByPath(dir, nullptr, inside->c_str(), &raw) != 0) raw = nullptr;
        Inode inode(raw, Free{&sq});
        if (!inode || isFile(*inode)) return inode;
        sqfs_u32 length = 0;
        if (inode->base.type == SQFS_INODE_SLINK)
            length = inode->data.slink.target_size;
        else if (inode->base.type == SQFS_INODE_EXT_SLINK)
            length = inode->data.slink_ext.target_size;
        else
            return Inode(nullptr, Free{&sq});
        if (length > inode->payload_bytes_used) return Inode(nullptr, Free{&sq});
        std::string target(reinterpret_cast<const char*>(inode->extra), length);
        // An absolute link names a place in the image as it is when mounted.
        auto slash = inside->rfind('/');
        path = target.starts_with('/')      ? target
               : slash == std::string::npos ? target
                                            : inside->substr(0, slash) + "/" + target;
    }
    return Inode(nullptr, Free{&sq});
}

std::uint64_t field(const unsigned char* bytes, std::size_t size, bool bigEndian) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i)
        value |= static_cast<std::uint64_t>(bytes[bigEndian ? size - 1 - i : i]) << (8 * i);
    return value;
}

} // namespace

std::optional<std::uint64_t> imageOffset(int fd) {
    unsigned char header[64] = {};
    ssize_t n = ::pread(fd, header, sizeof header, 0);
    if (n < 52 || std::memcmp(header,
                              "\x7f"
                              "ELF",
                              4) != 0)
        return std::nullopt;
    bool wide = header[4] == 2;
    if (header[4] != 1 && !wide) return std::nullopt;
    if (header[5] != 1 && header[5] != 2) return std::nullopt;
    if (wide && n < 64) return std::nullopt;
    bool big = header[5] == 2;
    std::uint64_t tableStart = wide ? field(header + 0x28, 8, big) : field(header + 0x20, 4, big);
    std::uint64_t entrySize = field(header + (wide ? 0x3A : 0x2E), 2, big);
    std::uint64_t entries = field(header + (wide ? 0x3C : 0x30), 2, big);
    struct stat st {};
    if (::fstat(fd, &st) != 0) return std::nullopt;
    auto fileSize = static_cast<std::uint64_t>(st.st_size);
    if (tableStart > fileSize || entrySize * entries > fileSize - tableStart) return std::nullopt;
    return tableStart + entrySize * entries;
}

std::optional<Entry> desktopEntry(const std::string& path) {
    // When an image was last read is when its application was last used: reading it here must
    // not change that, so it is read only where the system keeps the access time as it was.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOATIME));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    auto offset = imageOffset(fd.get());
    // Only a SquashFS image is worth the library: anything else is no AppImage of this kind.
    char magic[4] = {};
    if (!offset || ::pread(fd.get(), magic, 4, static_cast<off_t>(*offset)) != 4 ||
        std::memcmp(magic, "hsqs", 4) != 0)
        return std::nullopt;
    const Library* sq = library();
    if (!sq) return std::nullopt;

    ImageFile image{};
    image.file.base.destroy = nullptr; // on the stack: never destroyed by the library
    image.file.base.copy = copyOf;
    image.file.read_at = readAt;
    image.file.write_at = refuseWrite;
    image.file.get_size = sizeOf;
    image.file.truncate = refuseTruncate;
    image.fd = fd.get();
    image.offset = *offset;
    image.size = static_cast<std::uint64_t>(st.st_size) - *offset;
    sqfs_file_t* file = &image.file;

    sqfs_super_t super{};
    if (sq->superRead(&super, file) != 0) return std::nullopt;
    sqfs_compressor_config_t config{};
    if (sq->configInit(&config, static_cast<SQFS_COMPRESSOR>(super.compression_id),
                       super.block_size, SQFS_COMP_FLAG_UNCOMPRESS) != 0)
        return std::nullopt;
    sqfs_compressor_t* rawCompressor = nullptr;
    if (sq->compressorCreate(&config, &rawCompressor) != 0) return std::nullopt;
    Owned<sqfs_compressor_t> compressor(rawCompressor);
    if ((super.flags & SQFS_FLAG_COMPRESSOR_OPTIONS) &&
        compressor->read_options(compressor.get(), file) != 0)
        return std::nullopt;

    Owned<sqfs_dir_reader_t> dir(sq->dirReaderCreate(&super, compressor.get(), file, 0));
    if (!dir) return std::nullopt;
    sqfs_inode_generic_t* rawRoot = nullptr;
    if (sq->rootInode(dir.get(), &rawRoot) != 0) return std::nullopt;
    Inode root(rawRoot, Free{sq});
    if (sq->openDir(dir.get(), root.get(), 0) != 0) return std::nullopt;
    std::optional<std::string> chosen;
    for (int listed = 0; listed < 10'000; ++listed) {
        sqfs_dir_entry_t* raw = nullptr;
        if (sq->readEntry(dir.get(), &raw) != 0) break; // the end, or a damaged listing
        std::unique_ptr<sqfs_dir_entry_t, Free> entry(raw, Free{sq});
        std::string name(reinterpret_cast<const char*>(entry->name),
                         static_cast<std::size_t>(entry->size) + 1);
        if (name.size() > 8 && name.ends_with(".desktop") && name.find('/') == std::string::npos &&
            (!chosen || name < *chosen))
            chosen = std::move(name);
    }
    if (!chosen) return std::nullopt;

    Inode inode = findFile(*sq, dir.get(), *chosen);
    sqfs_u64 size = 0;
    if (!inode || sq->fileSize(inode.get(), &size) != 0) return std::nullopt;
    size = std::min<sqfs_u64>(size, entryLimit);
    Owned<sqfs_data_reader_t> data(
        sq->dataReaderCreate(file, super.block_size, compressor.get(), 0));
    if (!data || sq->loadFragments(data.get(), &super) != 0) return std::nullopt;
    std::string text(size, '\0');
    if (size > 0 && sq->readData(data.get(), inode.get(), 0, text.data(),
                                 static_cast<sqfs_u32>(size)) != static_cast<sqfs_s32>(size))
        return std::nullopt;
    return Entry{*chosen, std::move(text)};
}

} // namespace bramwick::AppImage

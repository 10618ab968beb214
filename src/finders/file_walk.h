// The walk both finders share: the regular files under a few roots that a user would call their
// own documents, and a safe way to open one of them again later.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/models.h"

namespace bramwick::FileWalk {

// Where a file was found: the same device and inode later prove it is still that file.
struct Identity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const Identity&) const = default;
};

struct File {
    std::string path;
    std::int64_t size = 0; // logical bytes
    std::optional<Date> modified;
    Identity identity;
    std::uint64_t links = 1; // its names on the disk: removing one of several frees nothing
    FoundEntry found{};      // as the walk looked at it, for the clean to check again
};

// The bytes a file's removal gives back: none while it has other names (hard links), whose data
// stays where it is.
inline std::int64_t freedByRemoving(std::int64_t size, std::uint64_t links) {
    return links > 1 ? 0 : size;
}

// Folder names never entered, at any depth (and files of these names are never taken): trees
// of other people's code that hold copies by design.
bool isSkippedName(std::string_view name);

// The regular files of at least `minimumBytes` under the roots ("~" allowed), walked in
// parallel. Passed over: hidden entries, skipped names, the contents of packages, symbolic links
// (a root that is itself a link is followed), other mounted file systems below a root, and every
// later name of a file already taken (hard links, overlapping roots). When `acceptName` is given,
// a file whose name it refuses is passed over before anything is read. Unreadable folders are
// passed over silently. Root order, then path order.
std::vector<File> regularFiles(const std::vector<std::string>& roots, std::int64_t minimumBytes,
                               const std::function<bool(std::string_view name)>& acceptName = {});

// While one lives, every call of regularFiles over the same roots with a minimum of at least
// `floorBytes` shares one walk: the first call walks them (every regular file of that floor,
// whatever its name) and every call takes from it what its own walk would have found. For a run
// that measures several categories over the same folders at once (--report), whose walks would
// otherwise list each of those folders again; the files it holds are those of one moment, so it
// must live no longer than that run. One at a time.
class SharedWalks {
  public:
    explicit SharedWalks(std::int64_t floorBytes);
    ~SharedWalks();
    SharedWalks(const SharedWalks&) = delete;
    SharedWalks& operator=(const SharedWalks&) = delete;
};

// The number of path components (of "/a/b": 2).
std::size_t depth(std::string_view path);

// How both finders choose between two copies their other rules cannot tell apart: the older
// first (an unknown date counts as the distant future), then the one with fewer path components,
// then by path. A strict order: a path never comes before itself.
bool olderThenShallower(const std::string& pathA, const std::optional<Date>& modifiedA,
                        const std::string& pathB, const std::optional<Date>& modifiedB);

// Opens a file for reading without following a link and without blocking (a FIFO put in its
// place cannot hang the caller), and only when it is a regular file, with `identity` when one is
// given (a zero identity is not checked). The descriptor, or -1.
int openRegular(const std::string& path, std::optional<Identity> identity = std::nullopt,
                std::int64_t* size = nullptr);

} // namespace bramwick::FileWalk

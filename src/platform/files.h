// Small file helpers shared by the platform layers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bramwick::Files {

// Creates the folder and its missing parents (mode 0700 for new ones). The reason on failure.
std::optional<std::string> makeFolders(const std::string& folder);

// Replaces `path` with `contents` so that a crash leaves either the old or the new file:
// a temporary file in the same folder ("<path>.tmp-XXXXXX", locked while it is written),
// written, flushed to disk, then renamed over `path`. The reason on failure; the old file is
// then untouched.
std::optional<std::string> writeAtomically(const std::string& path, const std::string& contents,
                                           unsigned mode = 0600);

// Removes the temporary files of writeAtomically for `path` that a write ended midway left (the
// program killed): those no write holds locked that are more than a minute old.
void removeStaleTemporaries(const std::string& path);

// Raises this process's soft limit of open files to its hard limit: deleting a deep tree, or
// many trees side by side, holds a few dozen folders open at once, and a lower soft limit of
// another program's choosing would make such a clean fail. The soft limit afterwards.
std::uint64_t raiseOpenFileLimit();

// What is left to read from an open file, or none on a read error.
std::optional<std::string> readAll(int fd);
// The whole file, or none when it cannot be read.
std::optional<std::string> read(const std::string& path);

// The names in a folder ("." and ".." left out), in name order; empty when it cannot be listed.
std::vector<std::string> names(const std::string& folder);

// The existing paths a pattern stands for, in name order. In a component holding "*" the star
// stands for any run of characters (nothing else is special), and the component stands for the
// real folders there that fit (never a link; a hidden one only when the component starts with a
// dot). Other components are taken as written. A path without a star gives itself when it
// exists. Empty when nothing matches.
std::vector<std::string> matching(const std::string& pattern);

// Whether a path holds a "*" (see `matching`).
bool isPattern(const std::string& path);

// Whether `path` is one that `pattern` stands for, compared as text only: every "*" component
// component of the pattern fits exactly one component of the path, as in `matching`.
bool matchesPattern(const std::string& path, const std::string& pattern);

} // namespace bramwick::Files

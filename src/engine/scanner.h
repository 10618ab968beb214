// Turns a category into the items it holds now, each measured in allocated bytes, larger first.
// Also the measuring primitives the finders share. Nothing here fails: what cannot be read
// measures as nothing and drops out.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/models.h"

struct stat;

namespace bramwick::Scanner {

// The items of one category, sorted by size, larger first (equal sizes keep the order the
// source produced). Items of size 0 are dropped unless they carry a command. Duplicate files
// and repeated pictures are the finders' to find: here they list nothing, and
// `CategoryItems::items` (finders/category_items.h) lists every kind.
std::vector<ScanItem> items(const CleanupCategory& category);

using NameFunction = std::function<std::string(const std::string& path)>;
using NoteFunction = std::function<std::optional<std::string>(const std::string& path)>;

// Measures each path in parallel into one item, in input order. The functions are called from
// several threads at once. By default the name is the last path component and there is no note.
std::vector<ScanItem> measure(const std::vector<std::string>& paths, NameFunction name = {},
                              NoteFunction note = {});

// The allocated bytes of a file or a whole folder tree: symbolic links count nothing and are
// never followed, another mounted file system is never entered, a file with several hard links
// counts once, folders themselves add nothing. 0 when nothing can be read.
std::int64_t allocatedSize(const std::string& path);

// The content modification date (of a link itself, never its target), or none.
std::optional<Date> modified(const std::string& path);

// What is at `path` now (a link itself, not followed) and the folder that holds it, as the
// item's `found`; none when nothing is there. The folder is reached with its links followed:
// wherever a clean can hold the item (Held::hold follows the links of the top levels and
// refuses any other), that is the very folder it holds it in.
std::optional<FoundEntry> foundAt(const std::string& path);
// The same of an entry already looked at, and of its folder (null when not known).
FoundEntry foundEntry(const struct stat& entry, const struct stat* folder);

// The direct children of the roots that the category `owner` may list: ".DS_Store" and
// ".localized" left out, and so is anything another catalog category lists by its own path. A
// root that the Linux places list as a file (LinuxLocations::isListedFile) stands for itself,
// when it is a regular file. Root order, then name order.
std::vector<std::string> children(const std::vector<std::string>& roots, const std::string& owner);

// The items, each reduced by the size of folders that other categories list inside it (only
// the outermost such folders, so nothing is subtracted twice, and only those its own walk
// reached, not ones behind a link or another mount), never below 0.
std::vector<ScanItem> excludingNested(std::vector<ScanItem> items, const std::string& owner);

// Keeps items with a positive size or a command (or every item, with `keepEmpty`), and sorts
// them larger first, stably.
std::vector<ScanItem> keepAndSort(std::vector<ScanItem> items, bool keepEmpty = false);

// The last component of a path ("" for "/"); the same as Paths::lastComponent.
std::string lastComponent(const std::string& path);

} // namespace bramwick::Scanner

// Copying a file or folder tree to a new place, for moves to another drive: links are copied as
// links (never followed), another mounted file system inside the item is refused, nothing at the
// destination is ever replaced, and only regular files are ever opened for reading (a named pipe
// swapped in cannot make the copy wait for ever). The copy is faithful: the holes of a sparse
// file stay holes, the names of one file (hard links) within the item stay names of one copy,
// permissions, times and extended attributes are kept. A destination that cannot keep hard links
// fails the copy; one that refuses extended attributes is said in `notKept`. The copy records
// what it saw of every entry, so a move can tell afterwards whether the source changed while it
// was being copied.
#pragma once

#include <ctime>
#include <map>
#include <optional>
#include <string>

#include "platform/held_item.h"

namespace bramwick::SafeCopy {

// One entry of the source as the copy read it.
struct Seen {
    Identity identity;
    mode_t type = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
    bool operator==(const Seen& other) const;
};

// Every entry of the source by its path relative to the item ("" for the item itself).
using Snapshot = std::map<std::string, Seen>;

struct Result {
    std::optional<std::string> problem; // none on success
    bool intoItself = false;            // the source holds the destination
    Snapshot seen;
    // What the copy could not keep though it is complete (the extended attributes a destination
    // refuses), as a sentence; none when it kept everything.
    std::optional<std::string> notKept;
};

// Copies the held entry to the new entry `name` of the open folder `destination` (`path` names
// it for messages), keeping permissions and modification times, and flushes the copy to its
// drive. On failure whatever this call created at the destination has been removed again. A
// folder of the source that is the destination folder or anything the copy made is never
// entered: the copy would copy itself without end.
Result copy(const HeldItem& source, int destination, const std::string& name,
            const std::string& path);

// Copies `source` to `destination` (both absolute; the destination must not exist yet). None on
// success, else the reason.
std::optional<std::string> copy(const std::string& source, const std::string& destination);

// True when the held source still is exactly what the copy saw: the same entries, each with
// the same identity, type, size, modification and change times.
bool unchangedSince(const HeldItem& source, const Snapshot& seen);

} // namespace bramwick::SafeCopy

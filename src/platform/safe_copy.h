// Copying a file or folder tree to a new place, for moves to another drive: links are copied as
// links (never followed), another mounted file system inside the item is refused, and nothing
// at the destination is ever replaced.
#pragma once

#include <optional>
#include <string>

namespace bramwick::SafeCopy {

// Copies `source` to `destination`, which must not exist yet, keeping permissions and
// modification times, and flushes the copy to its drive. None on success; else the reason, and
// whatever this call created at `destination` has been removed again.
std::optional<std::string> copy(const std::string& source, const std::string& destination);

} // namespace bramwick::SafeCopy

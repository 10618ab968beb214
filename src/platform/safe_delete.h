// Permanent removal of a file or a whole folder tree, built so that nothing outside the item can
// be reached: every step works relative to an open folder, a symbolic link is removed as a link
// and never followed (the item itself included), and another mounted file system is never
// entered. A link or mount swapped in while the removal runs therefore cannot redirect it.
#pragma once

#include <optional>
#include <string>

#include "platform/held_item.h"

namespace bramwick::SafeDelete {

// Why an item was left partly removed: the program was asked to end (Ending::request).
inline constexpr const char* endingReason =
    "Bramwick was asked to quit before this was removed whole";

// What a removal does when the program is asked to end while it runs: stop at its next entry
// (the user's files: what is left is reported), or finish (what the program made itself and must
// not leave half there, such as an unfinished copy).
enum class OnEnding { stop, finish };

// Removes the held entry, first checking that its name still holds the object that was judged
// (else nothing is touched and the reason says it changed). None when nothing is left (also
// when it was already gone), else the reason of the first problem.
std::optional<std::string> remove(const HeldItem& item, OnEnding onEnding = OnEnding::stop);

// Removes what is at `path` (absolute; links above it resolved once, then held). None when nothing
// is left there (also when it was already gone), else the reason of the first problem; everything
// else that could be removed is removed. A mount point, the item itself or one inside it, is never
// entered and is reported.
std::optional<std::string> remove(const std::string& path);

// The text for an error number, as the system words it ("Permission denied").
std::string errorText(int error);

// True when the folder `name` of `folderFd` is where a file system is mounted, bind mounts of
// the same drive included (those keep the drive's device number, so comparing devices alone
// misses them).
bool isMountRoot(int folderFd, const std::string& name);

// Why a folder (a path with its links resolved) that is, or holds, a mounted file system must
// not be removed, trashed or moved whole: none when it holds no mount. Deleting stops at every
// mount, but a Trash that is emptied later, or a rename that takes the mount along, does not.
std::optional<std::string> mountedWithin(const std::string& folder);

} // namespace bramwick::SafeDelete

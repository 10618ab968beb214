// Path forms shared by the cleaner and the layers under it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace bramwick::Paths {

// The absolute form of a path with "." and ".." resolved and empty or trailing slashes
// dropped, without looking at the disk: links stay as they are ("/" for the root).
std::string standardised(std::string_view path);

// The path with every link resolved, or none when it does not exist.
std::optional<std::string> resolved(const std::string& path);

// The folder that holds a path ("/" for an entry at the top, "." for a bare name).
std::string parent(const std::string& path);

// Without trailing slashes ("/" stays).
std::string withoutTrailingSlash(std::string path);

// The last component of a path ("" for "/").
std::string lastComponent(const std::string& path);

// Whether `path` is `folder` itself or lies inside it, by their text alone: both are taken as
// written (standardise them first), so "/a/bc" is not within "/a/b".
bool within(std::string_view path, std::string_view folder);

// Whether a text taken from outside (a bundle identifier, a bundle or unit name) may stand as
// one file name inside a folder: not empty, not "." or "..", without "/" or NUL. Anything else
// could climb out of the folder or stand for the folder itself.
bool isPlainName(std::string_view text);

} // namespace bramwick::Paths

// The user's own folders as the desktop names them in ~/.config/user-dirs.dirs ("Téléchargements",
// "Bilder"…), so that the personal categories look where this user's files really are.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace bramwick::UserFolders {

// The folders of a user-dirs.dirs text, by their key without "XDG_" and "_DIR" ("DOWNLOAD",
// "PICTURES", "VIDEOS"…), as absolute paths. A value is "$HOME/…" or an absolute path, in double
// quotes, with \ escaping the next character. A folder that is the home itself (the desktop's
// way of switching one off), the root, or anything else is left out.
std::map<std::string, std::string> parse(std::string_view text, const std::string& home);

// The folders of this user: <config home>/user-dirs.dirs read once. Empty when it is missing.
const std::map<std::string, std::string>& current();

// The folder under this key, if the user has one.
std::optional<std::string> folder(const std::string& key);

} // namespace bramwick::UserFolders

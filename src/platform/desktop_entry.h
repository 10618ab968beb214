// Desktop entry files (the .desktop files of application menus and of autostart): the quoting
// of their Exec lines, reading their main group, and whether this program is installed.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bramwick::DesktopEntry {

// One argument of an Exec value, as the file holds it: always in double quotes, with ", `, $
// and \ escaped for the quotes, % doubled, and then every backslash doubled (and line breaks and
// tabs written as \n, \t, \r) as string values require. "/a b/x" → "\"/a b/x\"".
std::string execArgument(std::string_view argument);

// The arguments of an Exec value, the reverse of `execArgument`; field codes such as %f are
// dropped and %% gives %.
std::vector<std::string> execArguments(std::string_view value);

// The program an Exec value starts: its first argument, looked up on $PATH when it names no
// folder; "" when there is none or it is not an executable file.
std::string program(std::string_view execValue);

// The keys and raw values of the group `name` (without brackets) of a key file's text, such as
// a desktop entry. Comments, other groups and malformed lines are skipped.
std::map<std::string, std::string> group(std::string_view text, std::string_view name);

// The "[Desktop Entry]" group of a desktop entry's text.
inline std::map<std::string, std::string> mainGroup(std::string_view text) {
    return group(text, "Desktop Entry");
}

// The absolute path of this running program ("" when it cannot be read).
std::string currentExecutable();

// The desktop entry that menus use for the application with this desktop-file id (without
// ".desktop"): applications/<id>.desktop in the data home, then in each of $XDG_DATA_DIRS.
std::optional<std::string> entryFor(std::string_view id);

// The desktop entry that menus use for this program (applications/<app id>.desktop in the data
// home, then in each of $XDG_DATA_DIRS), if one is installed.
std::optional<std::string> installedEntry();

// True when this program's desktop entry is installed and starts this very executable, so a run
// from the build tree, even beside an installed copy, is not the installed program.
bool runsInstalled();

} // namespace bramwick::DesktopEntry

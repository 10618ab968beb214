// Where this user's things live: the real home folder and the folders derived from it.
#pragma once

#include <string>

namespace bramwick::Edition {

// The program's name as users see it, and its application id: the name of its desktop entry,
// its notifications, its autostart entry and its own "bundle identifier" among running apps.
inline constexpr const char* displayName = "Bramwick";
inline constexpr const char* appId = "app.bramwick.Bramwick";

// The user's home directory from the user database (else $HOME), computed once. When
// BRAMWICK_HOME is set it replaces the home for the whole process, and every folder below is
// derived from it as well, so a test or a sandbox never touches the real user.
const std::string& home();

// $XDG_CONFIG_HOME, else <home>/.config (always <home>/.config under BRAMWICK_HOME).
std::string configHome();
// $XDG_DATA_HOME, else <home>/.local/share (always under the home with BRAMWICK_HOME).
std::string dataHome();
// True when BRAMWICK_HOME replaces the real home.
bool isSandboxed();
// $TMPDIR when it names a folder, else /tmp.
std::string temporaryDirectory();

} // namespace bramwick::Edition

// Where this user's things live: the real home folder and the folders derived from it.
#pragma once

#include <optional>
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
// $XDG_CACHE_HOME, else <home>/.cache (always under the home with BRAMWICK_HOME).
std::string cacheHome();
// $XDG_STATE_HOME, else <home>/.local/state (always under the home with BRAMWICK_HOME).
std::string stateHome();
// True when BRAMWICK_HOME replaces the real home.
bool isSandboxed();

// Whether an XDG variable's value, or where a link among the home's own folders leads, may stand
// for one of the user's base folders: an absolute path that is neither a folder shared by the
// whole system ("/tmp", "/var/tmp", "/run"…), nor in one of the system's own trees ("/usr",
// "/var/cache"…), nor the home or one above it. What the categories list in such a place would
// be everyone's, or all of the user's, and a cache category there would empty it.
bool usableBaseFolder(const std::string& value, const std::string& home);

// The home a BRAMWICK_HOME value names: made absolute against the current folder and without a
// trailing slash, and why it cannot stand in for the home (set but empty, missing, not a
// folder), so that a mistyped value is refused instead of read as an empty home or, when
// empty, falling back to the real one.
struct SandboxHome {
    std::string folder;
    std::optional<std::string> problem;
};
SandboxHome sandboxHome(const std::string& value);
// The problem with the BRAMWICK_HOME of this process, if it is set and cannot be used.
std::optional<std::string> sandboxProblem();
// When BRAMWICK_HOME is set, points HOME and the XDG base folders (XDG_CONFIG_HOME,
// XDG_DATA_HOME, XDG_CACHE_HOME, XDG_STATE_HOME) of this process at the home it gives, so that
// every library it loads and every program it starts reads and writes there (a file dialog's
// state, a font cache, a tool's own settings), never in the real home. The display's
// authorization file stays the one the session has, which is only read. Called once at start,
// before anything reads them; does nothing without BRAMWICK_HOME.
void standInForHome();
// $TMPDIR when it names a folder, else /tmp.
std::string temporaryDirectory();

} // namespace bramwick::Edition

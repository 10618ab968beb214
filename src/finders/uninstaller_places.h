// Where an application may have left something outside its bundle: the tables of places in the
// user's Library and the system's /Library, the "~" and "/" they stand on in an environment, and
// the search through them by identifier, by name and by vendor. The uninstaller's own: callers
// use finders/uninstaller.h.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "finders/uninstaller.h"

namespace bramwick::Uninstaller {

using Ownership = AppLeftover::Ownership;

// A place where the application may have left something.
struct Candidate {
    std::string path;
    std::string kind;
    Ownership ownership;
};

// A location of the place tables: a folder ("~/" for the user's home, "/" for the system's
// root, "$CONFIG/"… for an XDG base folder) and, for the per-identifier paths, the text that
// follows the identifier.
struct Location {
    const char* folder;
    const char* suffix;
    const char* kind;
    Ownership ownership;
};

// "~", "/" and the XDG base folders ("$CONFIG"…) of the locations, as this environment places
// them.
class Roots {
  public:
    explicit Roots(const Environment& environment);

    // The location as a path: its "~", "$CONFIG"… replaced, anything else below the root.
    std::string expand(std::string_view location) const;
    const std::string& home() const { return home_; }
    // The root as a prefix of absolute paths: empty for "/".
    const std::string& system() const { return system_; }

  private:
    std::string home_;
    std::string system_;
    std::vector<std::pair<std::string, std::string>> bases_;
};

// The name without its last extension; a name that only starts with a dot has none.
std::string_view stem(std::string_view name);

// An entry named after the identifier itself, the identifier with more after a dot
// ("com.example.app.agent"), or something and a dot before it ("TEAM.com.example.app"). The
// last two need a dotted identifier: a bare word such as "com" or "plist" would otherwise claim
// every other application's entries.
bool namedAfter(std::string_view name, const std::string& identifier);

// "Vendor/Product" for a name whose first word (leading spaces skipped) is a shared vendor name
// and whose product is all after that word's space; none otherwise.
std::optional<std::string> vendorFolder(const std::string& appName);

// The identifier of the bundle that describes the application, looking through wrappers.
std::optional<std::string> bundleIdentifier(const std::string& appPath);

// The identifiers of the helper bundles (login items, services, extensions, frameworks…)
// directly inside the application's helper folders.
std::vector<std::string> helperIdentifiers(const std::string& appPath);

// Every place the application may have left something, in a fixed order; the first finding of
// a place gives its kind. Nothing here looks at whether the places exist.
std::vector<Candidate> candidates(const std::vector<std::string>& allIdentifiers,
                                  const std::string& appName, const Roots& roots);

} // namespace bramwick::Uninstaller

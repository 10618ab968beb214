// Application bundles: folders ending in ".app" that describe themselves in an Info.plist
// (Contents/Info.plist, or Info.plist at the top for the flat layout), in XML or binary form.
#pragma once

#include <optional>
#include <string>

namespace bramwick {

struct Bundle {
    std::string path;                      // the bundle folder, as given
    std::optional<std::string> identifier; // CFBundleIdentifier; never an empty text
    std::optional<std::string> executable; // full path of CFBundleExecutable, when it names one
    std::optional<std::string> name;       // CFBundleDisplayName, else CFBundleName

    bool operator==(const Bundle&) const = default;
};

namespace Bundles {

// The bundle at a folder (links followed), or none when `path` is not a folder. A missing,
// unreadable or malformed Info.plist gives a bundle without identifier or executable.
std::optional<Bundle> open(const std::string& path);

// The bundle that describes an application, looking through wrappers: the application itself
// when it has an identifier; else its "WrappedBundle" (links resolved) when that has one; else
// the first ".app" inside its "Wrapper" folder, by name, identifier or not.
std::optional<Bundle> describing(const std::string& applicationPath);

// The ".app" folder that holds `path` (or is it): the innermost one, or the outermost one.
std::optional<std::string> containing(const std::string& path, bool outermost = false);

} // namespace Bundles

} // namespace bramwick

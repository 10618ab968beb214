// The cleaner's administrator batch, both sides. The user's side lists every judged item with
// its identity and the identity of the folder it was found in; the root side (this program run
// through pkexec in its removal mode) reads that list, holds each item again with its own
// rights, removes it only when it is still that very object in that very folder, lies where
// the administrator's removal may reach and passes the cleaner's checks again, and answers with
// a line for every item it did not remove. Root passes every permission check, so where it may
// remove is bounded here, whatever a list names.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/shell.h"
#include "platform/held_item.h"

namespace bramwick::AdminRemoval {

struct Entry {
    Identity identity; // the item as judged
    Identity folder;   // the folder it was found in
    std::string path;  // where it was found, links resolved
    bool operator==(const Entry&) const = default;
};

Entry entryFor(const HeldItem& item);

// The list as text: any path (every byte but NUL) survives it.
std::string encode(const std::vector<Entry>& entries);
// None when the text is no such list.
std::optional<std::vector<Entry>> decode(std::string_view text);

// Where the root side may remove: what lies strictly inside one of `places` (the folders the
// uninstaller's system leftovers are searched in, never such a folder itself), one of `listed`
// (the administrator rows' own paths, each an item itself) or what lies in it, and never
// anything in the system's own trees or in another user's home. Paths with links resolved.
struct Bounds {
    std::vector<std::string> places;
    std::vector<std::string> otherHomes;
    std::vector<std::string> listed = {};
};

// The system's own trees: /etc, /usr, /bin, /sbin, /lib*, /boot, /var/lib, /root and the
// kernel's own (/proc, /sys, /dev, /run).
bool inSystemTree(const std::string& path);

// Why the root side must leave `path` (absolute, links resolved) alone; none when it may go.
std::optional<std::string> outOfBounds(const std::string& path, const Bounds& bounds);

// How an item the root side judged is removed (SafeDelete::remove unless a test says otherwise).
using Remover = std::function<std::optional<std::string>(const HeldItem&)>;

// The root side: removes what the list names, item by item. Status 0 when every item is gone,
// else 1; the output has a line "<index>\t<reason>" for each item left in place.
Shell::Result removeListed(std::string_view list, const Bounds& bounds,
                           const std::string& ownBundlePath = {}, const Remover& remove = {});

// The answer when the list cannot be acted on at all: every item left with `reason`.
Shell::Result refuseListed(std::string_view list, const std::string& reason);

// The reasons of an answer by item index.
std::map<std::size_t, std::string> reasons(std::string_view output);

} // namespace bramwick::AdminRemoval

// The cleaner's administrator batch, both sides. The user's side lists every judged item with
// its identity and the identity of the folder it was found in; the root side (this program run
// through pkexec in its removal mode) reads that list, holds each item again with its own
// rights, removes it only when it is still that very object in that very folder and passes the
// cleaner's checks again, and answers with a line for every item it did not remove.
#pragma once

#include <cstddef>
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

// The root side: removes what the list names, item by item. Status 0 when every item is gone,
// else 1; the output has a line "<index>\t<reason>" for each item left in place.
Shell::Result removeListed(std::string_view list, const std::string& ownBundlePath = {});

// The reasons of an answer by item index.
std::map<std::size_t, std::string> reasons(std::string_view output);

} // namespace bramwick::AdminRemoval

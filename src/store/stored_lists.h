// The lists the store keeps in the settings: the history ("cleanupLog"), the level overrides
// and the custom folders. Each is read entry by entry, so one damaged entry costs only itself.
// A stored value that cannot be read in full (not a list, or an entry that cannot be read) is
// remembered, and copied whole to "<key>.unreadable" before the store first writes the key
// again, so nothing the user had is lost unseen.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/custom_folders.h"
#include "engine/level_overrides.h"
#include "engine/models.h"
#include "platform/settings.h"

namespace bramwick::StoredLists {

template <typename T> struct Loaded {
    T value{};
    // The stored value when some or all of it could not be read.
    std::optional<nlohmann::json> unreadable;
};

// Newest first, as stored. A list, or a text holding one, of {"id","date","title","detail"}.
Loaded<std::vector<CleanupRecord>> history(const Settings& settings);
Loaded<LevelOverrides::Overrides> levelOverrides(const Settings& settings);
Loaded<std::vector<CustomFolder>> customFolders(const Settings& settings);

// Stores the whole history as a list of records, newest first, and writes it in the background
// (Settings::updateLater): the caller, the window's thread, never waits on the file. When the
// stored list is the history without its newest record, that record is only put in front of it.
void saveHistory(const std::vector<CleanupRecord>& log, Settings& settings);

// Copies a value that could not be read to "<key>.unreadable", once, before `key` is written.
// Forgets it when the copy is made; the reason when it could not be.
std::optional<std::string> keepAside(Settings& settings, const std::string& key,
                                     std::optional<nlohmann::json>& unreadable);

} // namespace bramwick::StoredLists

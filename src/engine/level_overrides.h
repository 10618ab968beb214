// The user's moves of catalog categories to another level, kept in the settings under
// "levelOverrides" as category id → level raw string.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "engine/models.h"

namespace bramwick {
class Settings;
}

namespace bramwick::LevelOverrides {

using Overrides = std::map<std::string, Level>;

// Replaces the stored overrides wholesale. The reason when they could not be saved.
std::optional<std::string> save(const Overrides& overrides, Settings& settings);

// The stored overrides. None stored, or any value that is not text, gives none at all;
// entries whose value is not one of the four raw level strings are dropped.
Overrides load(const Settings& settings);

} // namespace bramwick::LevelOverrides

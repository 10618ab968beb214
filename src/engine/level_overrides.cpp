#include "engine/level_overrides.h"

#include "engine/settings_keys.h"
#include "platform/settings.h"

namespace bramwick::LevelOverrides {

std::optional<std::string> save(const Overrides& overrides, Settings& settings) {
    nlohmann::json stored = nlohmann::json::object();
    for (const auto& [id, level] : overrides)
        stored[id] = std::string(Levels::rawValue(level));
    return settings.set(SettingsKeys::levelOverrides, std::move(stored));
}

Overrides load(const Settings& settings) {
    Overrides overrides;
    auto stored = settings.value(SettingsKeys::levelOverrides);
    if (!stored || !stored->is_object()) return overrides;
    for (const auto& [id, value] : stored->items())
        if (!value.is_string()) return {};
    for (const auto& [id, value] : stored->items())
        if (auto level = Levels::fromRaw(value.get<std::string>())) overrides[id] = *level;
    return overrides;
}

} // namespace bramwick::LevelOverrides

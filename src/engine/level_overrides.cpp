#include "engine/level_overrides.h"

#include "platform/settings.h"

namespace bramwick::LevelOverrides {

namespace {
constexpr const char* key = "levelOverrides";
}

std::optional<std::string> save(const Overrides& overrides, Settings& settings) {
    nlohmann::json stored = nlohmann::json::object();
    for (const auto& [id, level] : overrides)
        stored[id] = std::string(Levels::rawValue(level));
    return settings.set(key, std::move(stored));
}

Overrides load(const Settings& settings) {
    Overrides overrides;
    auto stored = settings.value(key);
    if (!stored || !stored->is_object()) return overrides;
    for (const auto& [id, value] : stored->items())
        if (!value.is_string()) return {};
    for (const auto& [id, value] : stored->items())
        if (auto level = Levels::fromRaw(value.get<std::string>())) overrides[id] = *level;
    return overrides;
}

} // namespace bramwick::LevelOverrides

#include "store/stored_lists.h"

#include "engine/settings_keys.h"

namespace bramwick::StoredLists {

namespace {

// A list read entry by entry with `decode`, which gives none for an entry it cannot read. The
// stored value is read where it is (a history can be long); a text may hold the list as JSON.
template <typename T, typename Decode>
Loaded<std::vector<T>> listOf(const Settings& settings, const char* key, Decode decode) {
    Loaded<std::vector<T>> loaded;
    settings.read(key, [&](const nlohmann::json* stored) {
        if (!stored) return;
        nlohmann::json parsed;
        const nlohmann::json* list = stored;
        if (stored->is_string()) {
            parsed = nlohmann::json::parse(stored->get_ref<const std::string&>(), nullptr, false);
            list = &parsed;
        }
        if (!list->is_array()) {
            loaded.unreadable = *stored;
            return;
        }
        loaded.value.reserve(list->size());
        for (const auto& entry : *list)
            if (std::optional<T> one = decode(entry)) loaded.value.push_back(std::move(*one));
        if (loaded.value.size() < list->size()) loaded.unreadable = *stored;
    });
    return loaded;
}

bool sameId(const nlohmann::json& stored, const CleanupRecord& record) {
    if (!stored.is_object()) return false;
    auto id = stored.find("id");
    return id != stored.end() && id->is_string() && id->get_ref<const std::string&>() == record.id;
}

} // namespace

Loaded<std::vector<CleanupRecord>> history(const Settings& settings) {
    return listOf<CleanupRecord>(settings, SettingsKeys::history,
                                 [](const nlohmann::json& entry) { return recordFromJson(entry); });
}

Loaded<LevelOverrides::Overrides> levelOverrides(const Settings& settings) {
    Loaded<LevelOverrides::Overrides> loaded;
    auto stored = settings.value(SettingsKeys::levelOverrides);
    if (!stored) return loaded;
    if (!stored->is_object()) {
        loaded.unreadable = *stored;
        return loaded;
    }
    for (const auto& [id, value] : stored->items()) {
        if (!value.is_string()) continue;
        if (auto level = Levels::fromRaw(value.get<std::string>())) loaded.value[id] = *level;
    }
    if (loaded.value.size() < stored->size()) loaded.unreadable = *stored;
    return loaded;
}

Loaded<std::vector<CustomFolder>> customFolders(const Settings& settings) {
    return listOf<CustomFolder>(settings, SettingsKeys::customFolders, CustomFolders::fromJson);
}

void saveHistory(const std::vector<CleanupRecord>& log, Settings& settings) {
    settings.updateLater(SettingsKeys::history, [&](nlohmann::json& stored) {
        // The usual case, one record added: a long list is not rebuilt for it.
        if (!log.empty() && stored.is_array() && stored.size() + 1 == log.size() &&
            (stored.empty() || sameId(stored.front(), log[1]))) {
            stored.insert(stored.begin(), toJson(log.front()));
            return;
        }
        nlohmann::json list = nlohmann::json::array();
        for (const auto& record : log)
            list.push_back(toJson(record));
        stored = std::move(list);
    });
}

std::optional<std::string> keepAside(Settings& settings, const std::string& key,
                                     std::optional<nlohmann::json>& unreadable) {
    if (!unreadable) return std::nullopt;
    if (auto problem = settings.set(key + SettingsKeys::unreadableSuffix, *unreadable))
        return problem;
    unreadable.reset();
    return std::nullopt;
}

} // namespace bramwick::StoredLists

#include "settings/settings_plan.h"

#include <chrono>
#include <ctime>

#include "base/edition.h"
#include "base/text.h"
#include "engine/auto_clean.h"

namespace bramwick::SettingsPlan {

std::size_t tabIndex(const std::optional<std::string>& stored) {
    std::string_view wanted = stored ? std::string_view(*stored) : std::string_view("cleaning");
    for (std::size_t i = 0; i < tabs.size(); ++i)
        if (tabs[i].tag == wanted) return i;
    return 1;
}

bool skinSelected(const std::optional<std::string>& stored, Skin skin) {
    return Skins::rawValue(skin).toStdString() == stored.value_or("nightfall");
}

bool animationSwitchEnabled(const std::optional<std::string>& stored) {
    return stored.value_or("nightfall") != "classic";
}

std::string_view skinName(Skin skin) {
    switch (skin) {
    case Skin::classic:
        return "Classic";
    case Skin::nightfall:
        return "Nightfall";
    case Skin::hibernia:
        return "Hibernia Glass";
    }
    return "";
}

std::string_view skinDescription(Skin skin) {
    switch (skin) {
    case Skin::classic:
        return "The standard desktop window. Follows the system light or dark setting.";
    case Skin::nightfall:
        return "The Lunmere look: deep navy, neon glows, frosted tiles. Always dark.";
    case Skin::hibernia:
        return "Light and green, with frosted glass tiles.";
    }
    return "";
}

std::optional<std::size_t> scheduleIndex(const std::string& raw) {
    auto schedule = AutoClean::scheduleFromRaw(raw);
    if (!schedule) return std::nullopt;
    for (std::size_t i = 0; i < AutoClean::allSchedules.size(); ++i)
        if (AutoClean::allSchedules[i] == *schedule) return i;
    return std::nullopt;
}

bool showsTime(const std::string& raw) {
    return raw != "off";
}

std::string nextCleanText(Date due) {
    return Text::dateTime(due);
}

std::string lastAutoCleanText(std::int64_t freed, Date date, Date now) {
    std::string amount = freed < 1 ? "nothing to clean" : Text::byteCount(freed);
    return amount + " \u00b7 " + Text::relativeDate(date, now);
}

std::string gigabytes(std::int64_t gb) {
    return std::to_string(gb) + " GB";
}

std::vector<CleanupCategory> scheduleCandidates(const std::vector<CleanupCategory>& categories) {
    std::vector<CleanupCategory> candidates;
    for (const auto& category : categories)
        if (category.risk == Risk::safe && category.action.kind == CleanAction::Kind::delete_ &&
            !category.neverAutomatic && !category.movedFrom && !category.customFolder)
            candidates.push_back(category);
    return candidates;
}

std::string unsavedChangeText(std::string_view reason) {
    std::string said = Text::sentence(reason);
    return (said.empty() ? std::string("Couldn't save this change.")
                         : "Couldn't save this change: " + said) +
           " It applies until " + Edition::displayName + " quits.";
}

} // namespace bramwick::SettingsPlan

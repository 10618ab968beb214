// What the settings window and the schedule sheet show, decided without a window: the tabs and
// the tab a stored "settingsTab" opens on, which skin card is selected, which rows of the
// automatic clean are shown or enabled, their texts, and which categories the automatic clean
// may be told to leave alone, and what they say when a change could not be saved.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "appearance/skin.h"
#include "base/date.h"
#include "engine/models.h"

namespace bramwick::SettingsPlan {

struct Tab {
    std::string_view tag; // what "settingsTab" stores
    std::string_view label;
    std::string_view symbol;
};
inline constexpr std::array<Tab, 3> tabs{{{"general", "General", "gearshape"},
                                          {"cleaning", "Cleaning", "calendar.badge.clock"},
                                          {"appearance", "Appearance", "paintpalette"}}};
// The tab a stored value opens on; missing or naming no tab: Cleaning.
std::size_t tabIndex(const std::optional<std::string>& stored);

// A card is selected only when the stored string is its skin's raw value (missing: nightfall),
// so a stored value naming no skin selects none.
bool skinSelected(const std::optional<std::string>& stored, Skin skin);
// The animation switch is off limits only while the stored skin is exactly "classic".
bool animationSwitchEnabled(const std::optional<std::string>& stored);
std::string_view skinName(Skin skin);
std::string_view skinDescription(Skin skin);

// The picker's entry for a stored schedule, or none for a string that is none of the four.
std::optional<std::size_t> scheduleIndex(const std::string& raw);
// "At" (and "Next clean") show while the stored schedule is anything but "off".
bool showsTime(const std::string& raw);
// The date and time of "Next clean", in local time as the user's locale writes them short
// (LC_TIME), as the command line writes the next automatic clean.
std::string nextCleanText(Date due);
// "1.2 GB · 2 hours ago", or "nothing to clean · …" when nothing was freed.
std::string lastAutoCleanText(std::int64_t freed, Date date, Date now);
// "10 GB".
std::string gigabytes(std::int64_t gb);

// The line under the settings when a change could not be saved: "Couldn't save this change:
// <reason>. It applies until Bramwick quits." The reason is the settings' own, ended as a
// sentence.
std::string unsavedChangeText(std::string_view reason);

// The categories the schedule sheet lists with a switch, in their order: the safe catalog
// categories deleted outright that are not only cleaned by hand, neither moved there by the
// user nor added as folders.
std::vector<CleanupCategory> scheduleCandidates(const std::vector<CleanupCategory>& categories);

} // namespace bramwick::SettingsPlan

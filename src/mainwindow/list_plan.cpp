#include "mainwindow/list_plan.h"

#include <algorithm>

#include "base/text.h"
#include "engine/custom_folders.h"
#include "engine/settings_keys.h"
#include "platform/settings.h"
#include "sheets/sheet_rules.h"
#include "store/messages.h"

namespace bramwick::ListPlan {

std::string_view rawValue(Arrangement arrangement) {
    switch (arrangement) {
    case Arrangement::level:
        return "level";
    case Arrangement::group:
        return "group";
    case Arrangement::size:
        return "size";
    }
    return "level";
}

std::optional<Arrangement> arrangementFromRaw(std::string_view raw) {
    for (Arrangement a : {Arrangement::level, Arrangement::group, Arrangement::size})
        if (rawValue(a) == raw) return a;
    return std::nullopt;
}

ListSettings readSettings(const Settings& settings) {
    ListSettings read;
    if (auto stored = settings.string(SettingsKeys::arrangement))
        read.arrangement = arrangementFromRaw(*stored).value_or(Arrangement::level);
    read.levelFilter = settings.string(SettingsKeys::levelFilter).value_or("");
    read.hideEmpty = settings.boolean(SettingsKeys::hideEmpty).value_or(false);
    return read;
}

std::string_view caption(Level level) {
    switch (level) {
    case Level::safe:
        return "Regenerates on its own. Nothing of value is lost.";
    case Level::warning:
        return "Costs a rebuild, a re-download or an app restart \u2014 check before cleaning.";
    case Level::redFlag:
        return "Your data. Move it to another drive, or pick items one at a time.";
    case Level::protected_:
        return "Can't be deleted here. Take the action shown to free space instead.";
    }
    return {};
}

std::string_view symbol(Level level) {
    switch (level) {
    case Level::safe:
        return "checkmark.circle.fill";
    case Level::warning:
        return "eye.fill";
    case Level::redFlag:
        return "externaldrive.fill";
    case Level::protected_:
        return "lock.shield.fill";
    }
    return {};
}

std::string_view levelKey(Level level) {
    switch (level) {
    case Level::safe:
        return "safe";
    case Level::warning:
        return "warning";
    case Level::redFlag:
        return "redFlag";
    case Level::protected_:
        return "protected";
    }
    return {};
}

std::string_view groupKey(CategoryGroup group) {
    switch (group) {
    case CategoryGroup::caches:
        return "caches";
    case CategoryGroup::logs:
        return "logs";
    case CategoryGroup::developer:
        return "developer";
    case CategoryGroup::xcode:
        return "xcode";
    case CategoryGroup::android:
        return "android";
    case CategoryGroup::ai:
        return "ai";
    case CategoryGroup::apps:
        return "apps";
    case CategoryGroup::personal:
        return "personal";
    case CategoryGroup::system:
        return "system";
    }
    return {};
}

std::string levelHelp(Level level) {
    return std::string(Levels::title(level)) + ": " + std::string(caption(level));
}

std::int64_t total(const States& states, std::string_view id) {
    auto found = states.find(std::string(id));
    if (found == states.end()) return 0;
    return found->second.total;
}

bool passes(const CleanupCategory& category, const States& states, const ListSettings& settings) {
    if (!settings.levelFilter.empty() && Levels::rawValue(category.level()) != settings.levelFilter)
        return false;
    if (!settings.hideEmpty || category.id == Store::applicationsId) return true;
    auto found = states.find(category.id);
    if (found == states.end() || !found->second.scanned) return true;
    return found->second.total > 0;
}

std::vector<std::string> visible(const std::vector<CleanupCategory>& categories,
                                 const States& states, const ListSettings& settings) {
    std::vector<std::string> ids;
    for (const auto& category : categories)
        if (passes(category, states, settings)) ids.push_back(category.id);
    return ids;
}

std::vector<std::string> sizeOrder(std::vector<std::string> ids, const States& states) {
    std::vector<std::pair<std::int64_t, std::string>> sized;
    sized.reserve(ids.size());
    for (auto& id : ids)
        sized.emplace_back(total(states, id), std::move(id));
    std::stable_sort(sized.begin(), sized.end(),
                     [](const auto& a, const auto& b) { return b.first < a.first; });
    std::vector<std::string> ordered;
    ordered.reserve(sized.size());
    for (auto& entry : sized)
        ordered.push_back(std::move(entry.second));
    return ordered;
}

namespace {

std::int64_t sectionTotal(const std::vector<std::string>& ids, const States& states) {
    std::int64_t sum = 0;
    for (const auto& id : ids)
        sum = StoreText::add(sum, total(states, id));
    return sum;
}

} // namespace

Plan plan(const std::vector<CleanupCategory>& categories, const States& states,
          const ListSettings& settings) {
    Plan made;
    made.runningNow = settings.levelFilter.empty();
    const auto shown = visible(categories, states, settings);
    made.emptyState = shown.empty();

    switch (settings.arrangement) {
    case Arrangement::level:
        for (Level level : Levels::allCases) {
            Section section;
            for (const auto& category : categories)
                if (category.level() == level && passes(category, states, settings))
                    section.ids.push_back(category.id);
            // An empty movable section stays while no filter is set, so rows can be dropped on
            // its header.
            if (section.ids.empty() &&
                (level == Level::protected_ || !settings.levelFilter.empty()))
                continue;
            section.key = std::string(levelKey(level));
            section.level = level;
            if (acceptsDrop(level)) section.dropLevel = level;
            section.title = std::string(Levels::title(level));
            section.caption = std::string(caption(level));
            section.total = sectionTotal(section.ids, states);
            made.sections.push_back(std::move(section));
        }
        break;
    case Arrangement::group:
        for (CategoryGroup group : CategoryGroups::allCases) {
            Section section;
            for (const auto& category : categories)
                if (category.group == group && passes(category, states, settings))
                    section.ids.push_back(category.id);
            if (section.ids.empty()) continue;
            section.key = std::string(groupKey(group));
            section.title = std::string(CategoryGroups::rawValue(group));
            section.total = sectionTotal(section.ids, states);
            made.sections.push_back(std::move(section));
        }
        break;
    case Arrangement::size: {
        Section section;
        section.key = "all";
        section.header = false;
        section.ids = sizeOrder(shown, states);
        section.total = sectionTotal(section.ids, states);
        made.sections.push_back(std::move(section));
        break;
    }
    }
    return made;
}

std::string addFolderHelp(Level level) {
    return "Add a folder of your own to " + std::string(Levels::title(level));
}

RowPlan row(const CleanupCategory& category, const Store::CategoryState* state, bool classic,
            std::int64_t unusedAppDays) {
    RowPlan made;
    const bool scanning = state && state->scanning;
    const bool cleaning = state && state->cleaning;
    const bool scanned = state && state->scanned;
    const bool busy = scanning || cleaning;
    const bool empty = scanned && state->items.empty();

    made.level = category.level();
    made.levelHelp = levelHelp(made.level);
    if (category.movedFrom) {
        made.badge = "Moved by you";
        made.badgeHelp = "Normally in " + std::string(Levels::title(*category.movedFrom)) +
                         ". Right-click to move it back.";
    } else if (category.customFolder) {
        made.badge = "Your folder";
        made.badgeHelp = "A folder you added. Its contents go to the Trash when cleaned. "
                         "Right-click to remove it from the list.";
    }
    made.summary = category.id == Store::applicationsId
                       ? "Not used for " + std::to_string(unusedAppDays) + " " +
                             SheetRules::daysWord(unusedAppDays)
                       : category.summary;

    if (busy) {
        made.size = RowPlan::Size::progress;
    } else if (!scanned) {
        made.size = RowPlan::Size::never;
        made.sizeText = "\u2014";
    } else if (empty) {
        made.size = RowPlan::Size::empty;
        made.sizeText = "Empty";
    } else {
        made.size = RowPlan::Size::total;
        made.sizeText = Text::byteCount(state->total);
    }

    made.rescanEnabled = !busy;
    made.detailsEnabled = scanned && (!empty || category.source.kind == Source::Kind::applications);

    if (category.managedBy) {
        made.slot = RowPlan::Slot::open;
        made.slotLabel = "Open " + category.managedBy->name;
        made.slotEnabled = true;
    } else {
        if (category.action.kind == CleanAction::Kind::reviewOnly) {
            made.slot = RowPlan::Slot::howToFree;
            made.slotLabel = "How to Free";
        } else if (offersMove(category)) {
            made.slot = RowPlan::Slot::move;
            made.slotLabel = "Move\u2026";
            made.slotHelp =
                "Choose items to copy to another drive, and then remove from this computer";
        } else {
            made.slot = RowPlan::Slot::clean;
            made.slotLabel = "Clean";
            made.slotProminent = true;
        }
        made.slotEnabled = scanned && !empty && !cleaning;
    }
    made.cleaningBar = cleaning && !classic;
    made.sweep = scanning && !classic;
    return made;
}

InfoText info(const CleanupCategory& category) {
    InfoText made{category.name, category.info, std::nullopt,
                  SheetRules::actionSentence(category.action)};
    if (category.action.kind == CleanAction::Kind::reviewOnly) made.advice = category.action.advice;
    return made;
}

std::string DetailsRequest::id() const {
    return everyApp ? category.id + "-all" : category.id;
}

CleanRequest cleanRequest(const CleanupCategory& category, const Store::CategoryState* state) {
    if (category.risk == Risk::danger || category.action.kind == CleanAction::Kind::reviewOnly)
        return DetailsRequest{category, false};
    Confirmation confirmation;
    confirmation.category = category;
    if (state) confirmation.items = state->items;
    return confirmation;
}

std::vector<MenuEntry> moveMenu(const CleanupCategory& category) {
    std::vector<MenuEntry> entries;
    if (category.action.kind != CleanAction::Kind::reviewOnly) {
        const Level current = category.level();
        for (Level level : {Level::safe, Level::warning, Level::redFlag})
            entries.push_back({MenuEntry::Kind::moveTo, "move-to-" + std::string(levelKey(level)),
                               std::string(Levels::title(level)), level, level != current});
        if (category.movedFrom)
            entries.push_back({MenuEntry::Kind::moveBack, "move-back",
                               "Move Back to " + std::string(Levels::title(*category.movedFrom)),
                               category.movedFrom, true});
    }
    if (category.customFolder) {
        entries.push_back({MenuEntry::Kind::separator, "", "", std::nullopt, true});
        entries.push_back({MenuEntry::Kind::showFolder, "show-folder", "Show in the file manager",
                           std::nullopt, true});
        entries.push_back({MenuEntry::Kind::removeFolder, "remove-folder",
                           "Remove Folder from List", std::nullopt, true});
    }
    return entries;
}

std::vector<Chip> chips(const std::vector<CleanupCategory>& categories, const States& states,
                        const std::string& selection, bool withTotals) {
    std::vector<Chip> made;
    Chip all;
    all.objectName = "chip-all";
    all.title = "All";
    all.symbol = "square.grid.2x2";
    all.help = "Show every category";
    made.push_back(std::move(all));
    for (Level level : Levels::allCases) {
        Chip chip;
        chip.objectName = "chip-" + std::string(levelKey(level));
        chip.title = std::string(Levels::title(level));
        chip.symbol = std::string(symbol(level));
        chip.level = level;
        chip.value = std::string(Levels::rawValue(level));
        chip.showsTotal = withTotals;
        chip.help = std::string(caption(level));
        if (acceptsDrop(level)) {
            chip.dropLevel = level;
            chip.help += " Drag a row here to move it.";
        }
        made.push_back(std::move(chip));
    }
    for (const auto& category : categories) {
        const std::int64_t sum = total(states, category.id);
        if (sum < 1) continue;
        for (auto& chip : made)
            if (!chip.level || *chip.level == category.level()) {
                chip.counted.push_back(category.id);
                chip.total = StoreText::add(chip.total, sum);
            }
    }
    for (auto& chip : made)
        chip.selected = chip.value == selection;
    return made;
}

std::string chipCount(const Chip& chip) {
    std::string text = std::to_string(chip.counted.size());
    if (chip.showsTotal) text += " \u00b7 " + Text::byteCount(chip.total);
    return text;
}

int chipRowWidth(const std::vector<int>& chipWidths) {
    int width = 2 * chipBarPadding;
    for (std::size_t i = 0; i < chipWidths.size(); ++i)
        width += chipWidths[i] + (i == 0 ? 0 : chipSpacing);
    return width;
}

bool chipTotalsFit(const std::vector<int>& widthsWithTotals, int barWidth) {
    return chipRowWidth(widthsWithTotals) <= barWidth;
}

std::optional<std::string> dragPayload(const CleanupCategory& category) {
    if (category.action.kind == CleanAction::Kind::reviewOnly) return std::nullopt;
    return category.id;
}

std::vector<std::string> droppedIds(std::string_view text) {
    std::vector<std::string> ids;
    while (!text.empty()) {
        auto end = text.find('\n');
        auto line = Text::trimmed(text.substr(0, end));
        if (!line.empty()) ids.push_back(std::move(line));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return ids;
}

bool acceptsDrop(std::optional<Level> level) {
    return level && *level != Level::protected_;
}

std::optional<Level> afterLeave(std::optional<Level> hover, Level level) {
    if (hover == level) return std::nullopt;
    return hover;
}

} // namespace bramwick::ListPlan

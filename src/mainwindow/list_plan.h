// What the main window's category list shows, decided without a widget: which sections, which
// rows in which order, what each row says and which of its buttons work, what the filter chips
// count, what a row's menu offers and where a dragged category may land. The widgets only draw
// these plans and reconcile themselves against them; every function here is pure and cheap (a
// plan of the whole catalog is a few dozen sums), so the list recomputes it on every refresh and
// caches nothing.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/models.h"
#include "store/store.h"

namespace bramwick {

class Settings;

namespace ListPlan {

using States = std::map<std::string, Store::CategoryState>;

// How the list is arranged; the raw values are what the setting "arrangement" stores.
enum class Arrangement { level, group, size };
std::string_view rawValue(Arrangement arrangement);
// Exactly "level", "group" or "size"; anything else is none.
std::optional<Arrangement> arrangementFromRaw(std::string_view raw);

// The window's stored choices: "arrangement" (unknown values read as level), "levelFilter"
// (empty for all levels, else a level's raw value; anything else matches no category) and
// "hideEmpty".
struct ListSettings {
    Arrangement arrangement = Arrangement::level;
    std::string levelFilter;
    bool hideEmpty = false;
    bool operator==(const ListSettings&) const = default;
};
ListSettings readSettings(const Settings& settings);

// The level vocabulary the rows, sections and chips share (titles are Levels::title).
std::string_view caption(Level level);
std::string_view symbol(Level level);
// "safe", "warning", "redFlag", "protected": the part of object names that names a level.
std::string_view levelKey(Level level);
// "caches", "logs", …: likewise for a group.
std::string_view groupKey(CategoryGroup group);
// The level marker's help: "Review: Costs a rebuild…".
std::string levelHelp(Level level);

// The sum of the sizes of the category's items (its state's total, which never wraps around);
// 0 without a state.
std::int64_t total(const States& states, std::string_view id);

// Whether the level filter and the hide-empty switch let the category through. Hide-empty drops
// only a category whose finished scan found nothing (0 bytes or less), never "applications".
bool passes(const CleanupCategory& category, const States& states, const ListSettings& settings);
// The ids of the categories that pass, in the given order.
std::vector<std::string> visible(const std::vector<CleanupCategory>& categories,
                                 const States& states, const ListSettings& settings);
// Largest total first; equal totals keep the given order (a stable sort).
std::vector<std::string> sizeOrder(std::vector<std::string> ids, const States& states);

struct Section {
    std::string key; // object-name suffix: a level key, a group key, or "all"
    // Level sections: the level whose title, symbol and caption head the section.
    std::optional<Level> level;
    // Where a dragged category dropped on the header or a row goes; also whether the header has
    // the add-folder button. Only safe, warning and red flag sections have one.
    std::optional<Level> dropLevel;
    std::string title;   // the level's title or the group's
    std::string caption; // level sections only
    std::vector<std::string> ids;
    std::int64_t total = 0;
    bool header = true; // false for the flat list of the size arrangement
    bool operator==(const Section&) const = default;
};

struct Plan {
    bool runningNow = false; // the running-now section leads the list (no filter set)
    std::vector<Section> sections;
    bool emptyState = false; // "Nothing to show" over the list: no category passes
    bool operator==(const Plan&) const = default;
};

Plan plan(const std::vector<CleanupCategory>& categories, const States& states,
          const ListSettings& settings);

// "Add a folder of your own to Review".
std::string addFolderHelp(Level level);

inline constexpr const char* emptyTitle = "Nothing to show";
inline constexpr const char* emptyMessage = "No categories match this filter.";

// One category row.
struct RowPlan {
    enum class Size { progress, never, empty, total };
    enum class Slot { open, clean, move, howToFree };

    Level level = Level::safe;
    std::string levelHelp;
    std::optional<std::string> badge; // "Moved by you" or "Your folder"
    std::string badgeHelp;
    std::string summary; // the applications row's: "Not used for 30 days"
    Size size = Size::never;
    std::string sizeText; // "—", "Empty" or the byte count; empty while busy
    bool rescanEnabled = true;
    bool detailsEnabled = false;
    Slot slot = Slot::clean;
    std::string slotLabel;
    bool slotProminent = false;
    std::string slotHelp;
    bool slotEnabled = false;
    bool cleaningBar = false; // under the row while it is cleaned (painted skins only)
    bool sweep = false;       // over the row while it is measured (painted skins only)
    bool operator==(const RowPlan&) const = default;
};

// `unusedAppDays` is the store's: how long an application has gone unused to be listed.
RowPlan row(const CleanupCategory& category, const Store::CategoryState* state, bool classic,
            std::int64_t unusedAppDays);

// What the info popover says, top to bottom.
struct InfoText {
    std::string name;
    std::string info;
    std::optional<std::string> advice; // review-only: the lightbulb line
    std::string sentence;
    bool operator==(const InfoText&) const = default;
};
InfoText info(const CleanupCategory& category);

// What the window is asked to open.
struct DetailsRequest {
    CleanupCategory category;
    bool everyApp = false;
    // The category's id, with "-all" in every-app mode.
    std::string id() const;
    bool operator==(const DetailsRequest&) const = default;
};
struct Confirmation {
    enum class Kind { category, allSafe };
    Kind kind = Kind::category;
    CleanupCategory category;    // kind category
    std::vector<ScanItem> items; // as they were when the user asked
    bool operator==(const Confirmation&) const = default;
};
using CleanRequest = std::variant<Confirmation, DetailsRequest>;
// A row's action pill: the card with the items found so far, or the details sheet for a
// dangerous or review-only category, which is never cleaned from the card.
CleanRequest cleanRequest(const CleanupCategory& category, const Store::CategoryState* state);

// A row's context menu.
struct MenuEntry {
    enum class Kind { moveTo, moveBack, separator, showFolder, removeFolder };
    Kind kind = Kind::moveTo;
    std::string objectName;
    std::string label;
    std::optional<Level> level; // moveTo: the target; moveBack: the catalog level
    bool enabled = true;
    bool operator==(const MenuEntry&) const = default;
};
inline constexpr const char* moveToTitle = "Move To";
// The entries in order; "Move To" entries form its submenu. Empty for a review-only category.
std::vector<MenuEntry> moveMenu(const CleanupCategory& category);

// The filter bar.
struct Chip {
    std::string objectName; // "chip-all", "chip-safe", …
    std::string title;
    std::string symbol;
    std::optional<Level> level;       // none for All
    std::string value;                // the selection it stands for
    std::vector<std::string> counted; // categories holding at least one byte
    std::int64_t total = 0;
    bool selected = false;
    bool showsTotal = false; // level chips, when the bar is wide enough
    std::optional<Level> dropLevel;
    std::string help;
    bool operator==(const Chip&) const = default;
};
// All, then one chip per level. `withTotals` is the wide form of the bar.
std::vector<Chip> chips(const std::vector<CleanupCategory>& categories, const States& states,
                        const std::string& selection, bool withTotals);
// "3" or "3 · 1.2 GB".
std::string chipCount(const Chip& chip);
// The bar's chips stand this far apart, this far in from its sides.
inline constexpr int chipSpacing = 8;
inline constexpr int chipBarPadding = 20;
// The width of a bar of chips this wide (their capsules), padding included.
int chipRowWidth(const std::vector<int>& chipWidths);
// The bar shows the totals when its chips with totals fit the width it has.
bool chipTotalsFit(const std::vector<int>& widthsWithTotals, int barWidth);

// Dragging and dropping categories.
// What a drag of the category carries: its id, or none when it cannot be dragged (review-only).
std::optional<std::string> dragPayload(const CleanupCategory& category);
// The ids in dropped plain text: one per line, blank lines ignored, in the order given.
std::vector<std::string> droppedIds(std::string_view text);
// Whether a target of this level takes drops: safe, warning and red flag only.
bool acceptsDrop(std::optional<Level> level);
// The hover state after a drag leaves a target of `level`: cleared only when it still names it.
std::optional<Level> afterLeave(std::optional<Level> hover, Level level);

} // namespace ListPlan

} // namespace bramwick

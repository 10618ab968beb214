// What the sheets show, decided without a window: titles, sentences, counts and which buttons
// are offered and enabled. The sheets only draw what these return; the tests call them directly.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/date.h"
#include "engine/catalog.h"
#include "engine/models.h"
#include "finders/uninstaller.h"
#include "system/maintenance.h"
#include "system/memory_users.h"
#include "system/vitals.h"

namespace bramwick::SheetRules {

// A date as the user's locale writes it short (LC_TIME), without the time, as the command line
// writes its dates: "12/10/2026" in the United States, "10.12.2026" in Germany.
std::string abbreviatedDate(Date date);

// The details sheet.

// A move to another folder is offered beside the clean: deleted or trashed, and dangerous.
bool offersMove(const CleanupCategory& category);
// The title and symbol of a level in the sheet's header.
struct LevelBadge {
    std::string title;
    std::string symbol;
    bool operator==(const LevelBadge&) const = default;
};
LevelBadge levelBadge(Level level);
// A note that asks the user to look (shown in orange).
bool noteNeedsAttention(const std::string& note);
bool isApplications(const CleanupCategory& category);
std::string dateColumnTitle(const CleanupCategory& category);
std::string dateCell(const CleanupCategory& category, const ScanItem& item);
// "3 selected · 1.2 MB" with a selection, else "10 items · 4 MB".
std::string detailsSummary(bool selectionEmpty, std::size_t count, std::int64_t bytes);

// What the footer of the details sheet holds, left to right after the summary.
struct FooterButton {
    enum class Look { standard, bordered, prominent };
    std::string id; // the button's object name
    std::string title;
    Look look = Look::standard;
    bool destructive = false;
    std::optional<bool> redTint; // prominent buttons: red when true, green when false
    bool enabled = true;
    std::string tooltip;
    bool operator==(const FooterButton&) const = default;
};
struct DetailsFooterState {
    bool selectionEmpty = true; // no listed item is selected
    bool exactlyOne = false;    // one listed item is selected
    bool cleaning = false;      // the category is being cleaned or moved
    bool findingLeftovers = false;
};
std::vector<FooterButton> detailsFooter(const CleanupCategory& category,
                                        const DetailsFooterState& state);

// The clean confirmation of n items.
std::string cleanTitle(std::size_t count);
// The one sentence saying what a clean of a category does, or its advice when it cannot be
// cleaned here; every card that confirms a clean says it.
std::string actionSentence(const CleanAction& action);
// "1.5 MB. " and the category's action sentence.
std::string cleanMessage(const CleanupCategory& category, std::int64_t bytes);

// The entries of a row menu opened on `count` rows; `single` is the one item when it is one
// listed item.
struct MenuEntry {
    enum class Kind { reveal, uninstall };
    Kind kind;
    std::string title;
    bool operator==(const MenuEntry&) const = default;
};
std::vector<MenuEntry> rowMenu(const CleanupCategory& category, std::size_t count,
                               const ScanItem* single);

// Where the move's folder dialog opens: a mounted drive named "Backup Drive" of the user when
// there is one, else none (the dialog's own default).
std::optional<std::string> moveDialogStart(const std::vector<std::string>& mountParents,
                                           const std::function<bool(const std::string&)>& exists);

// The answer of a folder dialog (where a move goes, a folder to add): the path typed there ("~"
// is the home, a relative path starts at the folder shown), else the folder picked in its list,
// else the folder shown.
std::string chosenFolder(const std::string& typed, const std::string& shown,
                         const std::optional<std::string>& picked, const std::string& home);
// What lies at a path, as a folder dialog's answer is checked.
enum class PathKind { missing, folder, other };
// Why a folder dialog cannot answer with `path`; none when it is a folder.
std::optional<std::string> folderProblem(const std::string& path, PathKind kind);

// Why "Move Here" cannot move now, said over the folder dialog (which stays open); none when
// it can. `selected` is how many of the items chosen are still listed when the folder is.
std::optional<std::string> moveRefusal(std::string_view category, std::size_t selected,
                                       bool cleaning);

// The unused-days summary and editor.

inline constexpr std::int64_t stepperMinimum = 1;
inline constexpr std::int64_t stepperMaximum = Catalog::maximumUnusedAppDays;
inline constexpr std::int64_t stepperStep = 10;
std::string daysWord(std::int64_t days);
// One step of the stepper up (+1) or down (-1), kept within its range.
std::int64_t stepDays(std::int64_t days, int direction);
// What the days field makes of its text: a whole number in the user's locale, else none (the
// value stays as it was).
std::optional<std::int64_t> parseDays(const std::string& text);
inline const std::vector<std::int64_t> dayPresets{30, 60, 100, 180, 365};

// The uninstall sheet.

// The leftovers whose id is chosen, in the plan's order.
std::vector<AppLeftover> pickedLeftovers(const UninstallPlan& plan,
                                         const std::set<std::string>& chosen);
// The application and the picked leftovers together.
std::int64_t uninstallTotal(const UninstallPlan& plan, const std::vector<AppLeftover>& picked);
std::string uninstallSummary(const UninstallPlan& plan);
// The line under the title: the bundle identifier, else the application's home-relative path.
std::string uninstallSubtitle(const UninstallPlan& plan, const std::string& home);
std::string uninstallFooter(std::size_t picked, std::int64_t total);
// `appByCommand`: the app itself is uninstalled by its own command (a Flatpak), not trashed.
std::string uninstallConfirmMessage(std::int64_t total, const std::vector<AppLeftover>& picked,
                                    bool appByCommand = false);

// The maintenance sheet.

// The card's message: what the task costs, and the password sentence when it asks for one.
std::string maintenanceConfirmMessage(const MaintenanceTask& task);
struct RunButton {
    bool shown = false; // only tasks with commands can run
    std::string title;
    bool enabled = false;
    bool operator==(const RunButton&) const = default;
};
RunButton runButton(bool hasCommands, const std::string& taskId,
                    const std::optional<std::string>& runningTask);

// The memory users sheet.

std::string pressureSentence(Vitals::Pressure pressure);
// The caption under an entry's name, or none.
std::optional<std::string> memoryCaption(const MemoryUsers::Entry& entry);
enum class MemoryTrailing { thisApp, buttons, notAnApp };
// `ownId` is this program's own identifier: its entry offers nothing.
MemoryTrailing memoryTrailing(const MemoryUsers::Entry& entry, const std::string& ownId);
std::string showNote(const std::string& name, bool broughtForward);
std::string quitNote(const std::string& name, const MemoryUsers::QuitResult& result);

} // namespace bramwick::SheetRules

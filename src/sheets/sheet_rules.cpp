#include "sheets/sheet_rules.h"

#include <algorithm>

#include <QLocale>

#include "base/paths.h"
#include "base/text.h"
#include "store/to_qstring.h"

namespace bramwick::SheetRules {

std::string abbreviatedDate(Date date) {
    return Text::numericDate(date);
}

bool offersMove(const CleanupCategory& category) {
    const auto kind = category.action.kind;
    return (kind == CleanAction::Kind::delete_ || kind == CleanAction::Kind::trash) &&
           category.risk == Risk::danger;
}

LevelBadge levelBadge(Level level) {
    switch (level) {
    case Level::protected_:
        return {"Protected", "lock.shield.fill"};
    case Level::safe:
        return {"Safe to Remove", "checkmark.circle.fill"};
    case Level::warning:
        return {"Review", "eye.fill"};
    case Level::redFlag:
        return {"Move to Backup", "externaldrive.fill"};
    }
    return {};
}

bool noteNeedsAttention(const std::string& note) {
    return note.find("check") != std::string::npos || note.find("Running") != std::string::npos;
}

bool isApplications(const CleanupCategory& category) {
    return category.id == "applications";
}

std::string dateColumnTitle(const CleanupCategory& category) {
    return isApplications(category) ? "Last Opened" : "Modified";
}

std::string dateCell(const CleanupCategory& category, const ScanItem& item) {
    if (isApplications(category)) return item.lastUsed ? abbreviatedDate(*item.lastUsed) : "Never";
    return item.modified ? abbreviatedDate(*item.modified) : "\u2014";
}

std::string detailsSummary(bool selectionEmpty, std::size_t count, std::int64_t bytes) {
    return std::to_string(count) + (selectionEmpty ? " items \u00b7 " : " selected \u00b7 ") +
           Text::byteCount(bytes);
}

std::vector<FooterButton> detailsFooter(const CleanupCategory& category,
                                        const DetailsFooterState& state) {
    using Look = FooterButton::Look;
    const std::string moveTip = "Copy to another drive, then remove from this computer";
    std::vector<FooterButton> out;
    out.push_back({"selectAll", "Select All", Look::standard, false, {}, true, {}});
    out.push_back({"revealSelected",
                   "Show in File Manager",
                   Look::standard,
                   false,
                   {},
                   !state.selectionEmpty,
                   {}});
    if (category.source.kind == Source::Kind::applications)
        out.push_back({"uninstall",
                       state.findingLeftovers ? "Looking\u2026" : "Uninstall\u2026",
                       Look::standard,
                       false,
                       {},
                       state.exactlyOne && !state.findingLeftovers,
                       "Remove the app and everything it left behind \u2014 preferences, "
                       "containers, login items"});
    const bool canAct = !state.selectionEmpty && !state.cleaning;
    const FooterButton done{"done", "Done", Look::standard, false, {}, true, {}};
    if (offersMove(category)) {
        out.push_back(done);
        out.push_back({"cleanSelected", "Clean Selected", Look::bordered, true, {}, canAct, {}});
        out.push_back({"moveSelected",
                       "Move Selected to\u2026",
                       Look::prominent,
                       false,
                       {},
                       canAct,
                       moveTip});
        return out;
    }
    // A move while the category is being cleaned would take items the clean is removing.
    if (category.action.kind == CleanAction::Kind::trash)
        out.push_back({"moveTo", "Move to\u2026", Look::standard, false, {}, canAct, moveTip});
    out.push_back(done);
    if (category.action.kind != CleanAction::Kind::reviewOnly)
        out.push_back({"cleanSelected",
                       "Clean Selected",
                       Look::prominent,
                       true,
                       category.risk == Risk::danger,
                       canAct,
                       {}});
    return out;
}

std::string cleanTitle(std::size_t count) {
    return "Clean " + std::to_string(count) + " item" + (count == 1 ? "" : "s") + "?";
}

std::string actionSentence(const CleanAction& action) {
    if (!action.sentence.empty()) return action.sentence;
    switch (action.kind) {
    case CleanAction::Kind::delete_:
        return "These will be permanently deleted. They regenerate when needed.";
    case CleanAction::Kind::trash:
        return "These will be moved to the Trash. Space is freed once you empty the Trash.";
    case CleanAction::Kind::admin:
        return "These are owned by the system. The system will ask for your password, then "
               "delete them permanently.";
    case CleanAction::Kind::command:
        return "These will be removed using Xcode's simctl tool.";
    case CleanAction::Kind::reviewOnly:
        return action.advice;
    }
    return {};
}

std::string cleanMessage(const CleanupCategory& category, std::int64_t bytes) {
    return Text::byteCount(bytes) + ". " + actionSentence(category.action);
}

std::vector<MenuEntry> rowMenu(const CleanupCategory& category, std::size_t count,
                               const ScanItem* single) {
    std::vector<MenuEntry> out{{MenuEntry::Kind::reveal, "Show in File Manager"}};
    if (category.source.kind == Source::Kind::applications && count == 1 && single)
        out.push_back({MenuEntry::Kind::uninstall, "Uninstall " + single->name + "\u2026"});
    return out;
}

std::optional<std::string> moveDialogStart(const std::vector<std::string>& mountParents,
                                           const std::function<bool(const std::string&)>& exists) {
    for (const auto& parent : mountParents) {
        const std::string drive = parent + "/Backup Drive";
        if (exists(drive)) return drive;
    }
    return std::nullopt;
}

std::string chosenFolder(const std::string& typed, const std::string& shown,
                         const std::optional<std::string>& picked, const std::string& home) {
    if (typed.empty()) return Paths::standardised(picked.value_or(shown));
    if (typed == "~") return Paths::standardised(home);
    if (typed.starts_with("~/")) return Paths::standardised(home + typed.substr(1));
    if (typed.front() == '/') return Paths::standardised(typed);
    return Paths::standardised(shown + "/" + typed);
}

std::optional<std::string> moveRefusal(std::string_view category, std::size_t selected,
                                       bool cleaning) {
    if (selected == 0)
        return "Nothing was moved: the items you chose are no longer listed in " +
               std::string(category) + ". Cancel, and choose again from what is listed now.";
    if (cleaning)
        return "Nothing was moved yet: a clean of " + std::string(category) +
               " is still under way. Choose Move Here again once it has ended.";
    return std::nullopt;
}

std::optional<std::string> folderProblem(const std::string& path, PathKind kind) {
    switch (kind) {
    case PathKind::folder:
        return std::nullopt;
    case PathKind::missing:
        return "There is no folder at " + path +
               ". Type the path of a folder that exists, or choose one in the list.";
    case PathKind::other:
        return path + " is not a folder. Type the path of a folder, or choose one in the list.";
    }
    return std::nullopt;
}

std::string daysWord(std::int64_t days) {
    return days == 1 ? "day" : "days";
}

std::int64_t stepDays(std::int64_t days, int direction) {
    // The field takes any whole number: one far outside the range must not overflow the step.
    const std::int64_t from =
        std::clamp(days, stepperMinimum - stepperStep, stepperMaximum + stepperStep);
    return std::clamp(from + direction * stepperStep, stepperMinimum, stepperMaximum);
}

std::optional<std::int64_t> parseDays(const std::string& text) {
    bool ok = false;
    const qlonglong value = QLocale().toLongLong(toQString(text).trimmed(), &ok);
    if (!ok) return std::nullopt;
    return value;
}

std::vector<AppLeftover> pickedLeftovers(const UninstallPlan& plan,
                                         const std::set<std::string>& chosen) {
    std::vector<AppLeftover> out;
    for (const auto& leftover : plan.leftovers)
        if (chosen.contains(leftover.id)) out.push_back(leftover);
    return out;
}

std::int64_t uninstallTotal(const UninstallPlan& plan, const std::vector<AppLeftover>& picked) {
    std::int64_t total = plan.app.size;
    for (const auto& leftover : picked)
        total += leftover.size;
    return total;
}

std::string uninstallSummary(const UninstallPlan& plan) {
    const std::string app = Text::byteCount(plan.app.size);
    if (plan.leftovers.empty()) return "The app is " + app + ". Nothing else was found outside it.";
    const std::size_t n = plan.leftovers.size();
    std::int64_t left = 0;
    for (const auto& leftover : plan.leftovers)
        left += leftover.size;
    return "The app is " + app + ", and left " + std::to_string(n) + " item" + (n == 1 ? "" : "s") +
           " behind (" + Text::byteCount(left) + ").";
}

std::string uninstallSubtitle(const UninstallPlan& plan, const std::string& home) {
    if (plan.bundleID) return *plan.bundleID;
    return Text::homeShortened(plan.app.url, home);
}

std::string uninstallFooter(std::size_t picked, std::int64_t total) {
    return std::to_string(picked + 1) + " item" + (picked == 0 ? "" : "s") + " \u00b7 " +
           Text::byteCount(total);
}

std::string uninstallConfirmMessage(std::int64_t total, const std::vector<AppLeftover>& picked,
                                    bool appByCommand) {
    // The files go only once the app has: an app that could not be removed keeps them.
    const bool files = std::any_of(picked.begin(), picked.end(), [](const AppLeftover& leftover) {
        return leftover.ownership == AppLeftover::Ownership::user;
    });
    std::string message = Text::byteCount(total) + ". ";
    if (appByCommand)
        message += files ? "The app is uninstalled for good; the files you chose in your home "
                           "folder go to the Trash once it is gone, so you can put them back "
                           "until you empty it."
                         : "The app is uninstalled for good.";
    else
        message += files ? "The app and the files you chose in your home folder go to the Trash, "
                           "so you can put them back until you empty it."
                         : "The app goes to the Trash, so you can put it back until you empty it.";
    const auto k = std::count_if(picked.begin(), picked.end(), [](const AppLeftover& leftover) {
        return leftover.ownership == AppLeftover::Ownership::system;
    });
    if (k == 0) return message;
    message += "\n\n" + std::to_string(k) + " item" + (k == 1 ? " is" : "s are") +
               " owned by the system \u2014 you will be asked for your password, and " +
               (k == 1 ? "it" : "they") + " will be deleted permanently.";
    return message;
}

std::string maintenanceConfirmMessage(const MaintenanceTask& task) {
    std::string message = task.cost;
    if (task.needsPassword) message += "\n\nThe system will ask for your administrator password.";
    return message;
}

RunButton runButton(bool hasCommands, const std::string& taskId,
                    const std::optional<std::string>& runningTask) {
    if (!hasCommands) return {};
    return {true, runningTask == taskId ? "Working\u2026" : "Run", !runningTask.has_value()};
}

std::string pressureSentence(Vitals::Pressure pressure) {
    switch (pressure) {
    case Vitals::Pressure::normal:
        return "Memory is under no pressure. The system fills spare memory with cache on purpose "
               "\u2014 "
               "a computer with little free RAM is a computer using its RAM.";
    case Vitals::Pressure::warning:
        return "Memory is under pressure. Quitting one of the applications below is the only "
               "thing that returns memory; a purge would not.";
    case Vitals::Pressure::critical:
        return "The system is out of memory and is paging to disk. Quitting the largest "
               "application "
               "below will help most.";
    }
    return {};
}

std::optional<std::string> memoryCaption(const MemoryUsers::Entry& entry) {
    const std::string n = std::to_string(entry.pids.size());
    if (entry.isBrowser())
        return n +
               " processes \u2014 mostly tabs. Closing a few returns more than you would think.";
    if (entry.pids.size() >= 2) return n + " processes";
    return std::nullopt;
}

MemoryTrailing memoryTrailing(const MemoryUsers::Entry& entry, const std::string& ownId) {
    if (entry.bundleID && *entry.bundleID == ownId) return MemoryTrailing::thisApp;
    if (entry.canQuit()) return MemoryTrailing::buttons;
    return MemoryTrailing::notAnApp;
}

std::string showNote(const std::string& name, bool broughtForward) {
    if (broughtForward)
        return name + " is at the front. Close what you do not need and come back \u2014 this "
                      "list refreshes when you do.";
    return "Could not bring " + name + " forward.";
}

std::string quitNote(const std::string& name, const MemoryUsers::QuitResult& result) {
    switch (result.kind) {
    case MemoryUsers::QuitResult::Kind::asked:
        return "Asked " + name + " to quit. If it has unsaved work it will ask you first.";
    case MemoryUsers::QuitResult::Kind::notRunning:
        return name + " had already quit.";
    case MemoryUsers::QuitResult::Kind::refused:
        return result.reason;
    }
    return {};
}

} // namespace bramwick::SheetRules

#include "store/messages.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <system_error>
#include <variant>

#include "base/text.h"
#include "engine/scanner.h"

namespace bramwick::StoreText {

namespace {

constexpr std::size_t failuresListed = 5;
constexpr std::size_t namesRecorded = 6;

// Joined pieces. (Chains of `"text" + string` trip a false overlap warning of GCC 12.)
std::string concat(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (auto piece : pieces)
        text.append(piece);
    return text;
}

std::string plural(std::size_t count, std::string_view word) {
    return std::to_string(count) + " " + std::string(word) + (count == 1 ? "" : "s");
}

std::string joinedNames(const std::vector<ScanItem>& items, std::size_t from, std::size_t limit) {
    std::string names;
    for (std::size_t i = from; i < items.size() && i - from < limit; ++i)
        names += (i == from ? "" : ", ") + items[i].name;
    return names;
}

// A sentence that follows others in a message; nothing for no text.
std::string laterSentence(std::string_view text) {
    std::string said = Text::sentence(text);
    return said.empty() ? said : " " + said;
}

} // namespace

std::int64_t add(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<std::int64_t>::max()
                     : std::numeric_limits<std::int64_t>::min();
    return sum;
}

std::int64_t subtract(std::int64_t a, std::int64_t b) {
    std::int64_t difference = 0;
    if (__builtin_sub_overflow(a, b, &difference))
        return b < 0 ? std::numeric_limits<std::int64_t>::max()
                     : std::numeric_limits<std::int64_t>::min();
    return difference;
}

std::int64_t totalSize(const std::vector<ScanItem>& items) {
    std::int64_t total = 0;
    for (const auto& item : items)
        total = add(total, item.size);
    return total;
}

std::string failureBlock(const std::vector<Cleaner::Failure>& failures) {
    if (failures.empty()) return {};
    std::string block = "\n\n" + std::to_string(failures.size()) + " could not be removed:\n";
    for (std::size_t i = 0; i < failures.size() && i < failuresListed; ++i) {
        if (i) block += '\n';
        block += "\u2022 ";
        block += failures[i].item.name;
        block += ": ";
        block += failures[i].reason;
    }
    return block;
}

std::string cleanVerb(const CleanupCategory& category, bool byCommand) {
    return category.action.kind == CleanAction::Kind::trash && !byCommand ? "Moved to Trash"
                                                                          : "Removed";
}

std::string moveVerb(std::string_view destination) {
    return "Moved to " + Scanner::lastComponent(std::string(destination));
}

std::string cleanMessage(std::string_view verb, std::size_t cleaned, std::int64_t freed,
                         bool wentToTrash, std::int64_t gain,
                         const std::vector<Cleaner::Failure>& failures,
                         std::string_view extraCommandProblem,
                         const std::vector<std::string>& notKept) {
    std::string message =
        std::string(verb) + " " + plural(cleaned, "item") + " (" + Text::byteCount(freed) + ").";
    if (wentToTrash)
        message += " Empty the Trash to free the space.";
    else if (gain >= 1)
        message += " Free space went up by " + Text::byteCount(gain) + ".";
    else
        message += " The system can take a minute to show the freed space in its total.";
    message += laterSentence(extraCommandProblem);
    for (const auto& lost : notKept)
        message += laterSentence(lost);
    return message + failureBlock(failures);
}

RecordText cleanRecord(const CleanupCategory& category, const std::vector<ScanItem>& cleaned) {
    return {category.name + ": " + Text::byteCount(totalSize(cleaned)),
            joinedNames(cleaned, 0, namesRecorded)};
}

ReportText withUnsavedHistory(const ReportText& report, std::string_view problem) {
    const std::string said =
        concat({"The history could not be saved: ", Text::sentence(problem),
                " Its newest records are lost if Bramwick quits before a save succeeds."});
    return {report.title, report.message.empty() ? said : report.message + " " + said, true};
}

ReportText failedReport(std::string_view title, std::string_view what) {
    std::string reason = what.empty() ? std::string("an unknown error") : std::string(what);
    return {std::string(title),
            "It stopped on an error: " + reason + ". Anything done before it stays done.", true};
}

ReportText busyReport(std::string_view category) {
    return {std::string(category),
            "Nothing was done: another clean of it is still finishing. Try again once its list "
            "has been measured again.",
            true};
}

ReportText unreadableSettingsReport(std::string_view problem) {
    return {"Settings could not be read",
            std::string(problem) +
                ". The default settings are in use. The file stays as it is until a setting is "
                "changed; it is then kept beside the new one, named with \".corrupt-\" and the "
                "date.",
            true};
}

ReportText stopReport(const RunningItem& item, const std::optional<Shell::Result>& result) {
    if (!result) return {"Couldn't stop " + item.name, "The command didn't run.", true};
    if (result->status != 0)
        return {"Couldn't stop " + item.name, Text::trimmed(result->output), true};
    bool simulator = std::holds_alternative<RunningItem::Simulator>(item.kind);
    char cpu[64];
    std::snprintf(cpu, sizeof cpu, "%.0f", item.cpu);
    return {(simulator ? "Shut down " : "Stopped ") + item.name,
            "It was using " + std::string(cpu) + "% of a CPU core and " +
                Text::byteCount(item.memory) + " of memory.",
            false};
}

std::string allSafeWarning(std::int64_t total, const std::vector<std::string>& yours,
                           const TrashContents& trash, std::int64_t toTrash) {
    const std::int64_t deleted =
        std::max<std::int64_t>(subtract(subtract(total, trash.size), toTrash), 0);
    std::string text = "Permanently deletes " + Text::byteCount(deleted) +
                       " of caches, logs and build data that regenerate on their own";
    if (trash.items > 0)
        text += ", and empties the Trash (" + plural(trash.items, "item") + ", " +
                Text::byteCount(trash.size) + ")";
    text += ". Quit Xcode, Chrome and other busy apps first.";
    if (yours.empty()) return text;
    std::string names;
    for (const auto& name : yours)
        names += (names.empty() ? "" : ", ") + name;
    return text + "\n\nAlso cleans what you put in Safe to Remove: " + names +
           ". Folders you added go to the Trash.";
}

RecordText allSafeRecord(std::int64_t freed, std::int64_t gain) {
    return {"Cleaned all safe categories",
            "Freed " + Text::byteCount(freed) + ". Free space went up by " +
                Text::byteCount(std::max<std::int64_t>(gain, 0)) + "."};
}

bool reachedOpenFileLimit(const std::vector<Cleaner::Failure>& failures) {
    const std::string process = std::generic_category().message(EMFILE);
    const std::string system = std::generic_category().message(ENFILE);
    return std::any_of(failures.begin(), failures.end(), [&](const Cleaner::Failure& failure) {
        return Text::contains(failure.reason, process) || Text::contains(failure.reason, system);
    });
}

ReportText allSafeReport(std::int64_t freed, std::size_t failures,
                         const std::vector<std::string>& extraCommandProblems, bool openFileLimit,
                         bool stopped) {
    const std::string stoppedText =
        "Bramwick was asked to quit, so what it had not cleaned yet was left as it is.";
    std::string message =
        failures == 0 ? (stopped ? stoppedText : "All safe categories are clean.")
        : openFileLimit
            ? std::to_string(failures) +
                  " items could not be removed: Bramwick reached the system's limit of open files."
            : std::to_string(failures) +
                  " items could not be removed. Usually an app has them open \u2014 quit it and "
                  "try again.";
    if (failures > 0 && stopped) message += laterSentence(stoppedText);
    for (const auto& problem : extraCommandProblems)
        message += laterSentence(problem);
    return {"Freed " + Text::byteCount(freed), message, failures > 0};
}

UninstallCount uninstallCount(const UninstallPlan& plan, const std::vector<AppLeftover>& chosen,
                              const Cleaner::Outcome& outcome) {
    UninstallCount count;
    for (const auto& removed : outcome.cleaned) {
        count.size = add(count.size, removed.size);
        if (!count.appMoved && removed.url == plan.app.url) {
            count.appMoved = true;
            count.appByCommand = removed.command.has_value();
            continue;
        }
        count.leftovers.push_back(removed);
        bool system = std::any_of(chosen.begin(), chosen.end(), [&](const AppLeftover& leftover) {
            return leftover.ownership == AppLeftover::Ownership::system &&
                   leftover.url == removed.url;
        });
        if (system) ++count.systemRemoved;
    }
    // What went neither way stayed with an application that could not be removed.
    for (const auto& leftover : chosen) {
        auto same = [&](const ScanItem& item) { return item.url == leftover.url; };
        const bool handled =
            std::any_of(outcome.cleaned.begin(), outcome.cleaned.end(), same) ||
            std::any_of(outcome.failures.begin(), outcome.failures.end(),
                        [&](const Cleaner::Failure& failure) { return same(failure.item); });
        if (!handled) ++count.leftoversKept;
    }
    return count;
}

ReportText uninstallReport(std::string_view appName, const UninstallCount& count,
                           const std::vector<Cleaner::Failure>& failures) {
    const std::string leftovers = plural(count.leftovers.size(), "leftover item");
    const std::string size = Text::byteCount(count.size);
    const std::string_view trashed = ". Empty the Trash to free the space.";
    std::string message;
    if (count.appMoved && count.appByCommand)
        message = concat({"Uninstalled ", appName, " and moved ", leftovers, " to the Trash (",
                          size, ")", trashed});
    else if (count.appMoved)
        message =
            concat({"Moved ", appName, " and ", leftovers, " to the Trash (", size, ")", trashed});
    else if (!count.leftovers.empty())
        message = concat({appName, " stayed where it was. Moved ", leftovers, " to the Trash (",
                          size, ")", trashed});
    else
        message = concat({"Nothing of ", appName, " was removed."});
    if (!count.appMoved && count.leftoversKept > 0)
        message.append(concat({" Its ",
                               count.leftoversKept == 1
                                   ? std::string("leftover item was")
                                   : plural(count.leftoversKept, "leftover item") + " were",
                               " kept, since the app itself could not be removed."}));
    if (count.systemRemoved > 0)
        message.append(
            concat({" ", std::to_string(count.systemRemoved), " system item",
                    count.systemRemoved == 1 ? " was" : "s were", " deleted permanently."}));
    message.append(failureBlock(failures));
    return {concat({count.appMoved ? "Uninstalled " : "Couldn't uninstall ", appName}), message,
            !failures.empty()};
}

std::optional<RecordText> uninstallRecord(std::string_view appName, const UninstallCount& count) {
    if (!count.appMoved && count.leftovers.empty()) return std::nullopt;
    return RecordText{concat({count.appMoved ? "Uninstalled " : "Leftovers of ", appName, ": ",
                              Text::byteCount(count.size)}),
                      joinedNames(count.leftovers, 0, namesRecorded)};
}

ReportText maintenanceReport(std::string_view name, bool succeeded, std::string_view output,
                             std::int64_t gain) {
    std::string message = output.empty() ? "Done." : std::string(output);
    if (succeeded && gain >= 1)
        message = "Free space went up by " + Text::byteCount(gain) + ".\n\n" + message;
    return {std::string(name), message, !succeeded};
}

std::optional<RecordText> maintenanceRecord(std::string_view name, std::string_view detail,
                                            bool succeeded, std::int64_t gain) {
    if (!succeeded || gain < 1) return std::nullopt;
    return RecordText{std::string(name) + ": " + Text::byteCount(gain), std::string(detail)};
}

} // namespace bramwick::StoreText

// Every sentence the store leaves for the user: the banner reports of cleans, moves, stops,
// Clean All Safe, uninstalls and maintenance tasks, and the history records they add. Plain
// functions of their figures, so each text can be checked on its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/shell.h"
#include "engine/cleaner.h"
#include "engine/models.h"
#include "finders/uninstaller.h"
#include "system/running.h"

namespace bramwick::StoreText {

// A report's words (the store gives each its own id).
struct ReportText {
    std::string title;
    std::string message;
    bool hasFailures = false;
    bool operator==(const ReportText&) const = default;
};

// A record's words.
struct RecordText {
    std::string title;
    std::string detail;
    bool operator==(const RecordText&) const = default;
};

// Sums that stay at the largest (or smallest) count instead of wrapping around.
std::int64_t add(std::int64_t a, std::int64_t b);
std::int64_t subtract(std::int64_t a, std::int64_t b);
std::int64_t totalSize(const std::vector<ScanItem>& items);

// "\n\n7 could not be removed:\n• name: reason…" naming at most five; "" without failures.
std::string failureBlock(const std::vector<Cleaner::Failure>& failures);

// The verb of a clean: "Moved to Trash" for a category that moves to the Trash, else "Removed".
// `byCommand`: some item went by its own command (a Flatpak uninstalled), so not to the Trash.
std::string cleanVerb(const CleanupCategory& category, bool byCommand = false);
// The verb of a move: "Moved to " and the destination folder's name.
std::string moveVerb(std::string_view destination);

// The message of a clean or move: the verb, the count and size, then the sentence about free
// space (the Trash one only when the items went to the Trash), then why the category's extra
// command could not run (when it could not), then what a move could not keep, then the failures.
std::string cleanMessage(std::string_view verb, std::size_t cleaned, std::int64_t freed,
                         bool wentToTrash, std::int64_t gain,
                         const std::vector<Cleaner::Failure>& failures,
                         std::string_view extraCommandProblem,
                         const std::vector<std::string>& notKept = {});
// The record of a clean or move: the category and the size, and the first six names.
RecordText cleanRecord(const CleanupCategory& category, const std::vector<ScanItem>& cleaned);

// The report after stopping a running item; `result` is none when the command did not start.
ReportText stopReport(const RunningItem& item, const std::optional<Shell::Result>& result);

// The report when a clean or move was asked of a category another clean is still finishing.
ReportText busyReport(std::string_view category);

// The report at start when the settings file could not be read (`problem` says why).
ReportText unreadableSettingsReport(std::string_view problem);

// A report that also says the history could not be saved (`problem` says why): what it holds
// only in memory is lost if the program quits before a save succeeds. Every report says so
// while that holds, so no later one hides it; a report with no message says only that.
ReportText withUnsavedHistory(const ReportText& report, std::string_view problem);

// The report when an operation stopped on an unexpected error (`what` says which).
ReportText failedReport(std::string_view title, std::string_view what);

// What a clean would take out of the Trash: its entries and their size.
struct TrashContents {
    std::size_t items = 0;
    std::int64_t size = 0;
    bool operator==(const TrashContents&) const = default;
};

// The confirmation before Clean All Safe; `total` counts the Trash's part too, and a Trash with
// entries is said apart: those are the user's own files, gone for good, not data that comes back.
// `toTrash` is the part of `total` that goes to the Trash rather than being deleted (folders the
// user added, categories moved into Safe to Remove that go to the Trash): it is not said to be
// deleted.
std::string allSafeWarning(std::int64_t total, const std::vector<std::string>& yours,
                           const TrashContents& trash = {}, std::int64_t toTrash = 0);
// The record and the report after Clean All Safe.
RecordText allSafeRecord(std::int64_t freed, std::int64_t gain);
// Why any extra command could not be run follows the message, each as a sentence; those are no
// failures, as the items were cleaned all the same.
// When the failures came from the limit of open files, the message says so rather than blame
// an application. `failures` leaves out what was left because the program is ending; `stopped`
// says something was.
ReportText allSafeReport(std::int64_t freed, std::size_t failures,
                         const std::vector<std::string>& extraCommandProblems,
                         bool openFileLimit = false, bool stopped = false);
// Whether any of the failures is the system's limit of open files being reached.
bool reachedOpenFileLimit(const std::vector<Cleaner::Failure>& failures);

// The report and record after an uninstall, counting only what was really removed: the
// application when its own move succeeded, and the leftovers among `cleaned`; `systemRemoved`
// is how many of those were system leftovers, deleted permanently.
struct UninstallCount {
    bool appMoved = false;
    bool appByCommand = false;       // uninstalled by its own command (a Flatpak), not trashed
    std::vector<ScanItem> leftovers; // the removed leftovers, in order
    // Chosen leftovers that were neither removed nor failed: kept with an application that
    // could not be removed.
    std::size_t leftoversKept = 0;
    std::size_t systemRemoved = 0;
    std::int64_t size = 0; // of everything removed
};
UninstallCount uninstallCount(const UninstallPlan& plan, const std::vector<AppLeftover>& chosen,
                              const Cleaner::Outcome& outcome);
ReportText uninstallReport(std::string_view appName, const UninstallCount& count,
                           const std::vector<Cleaner::Failure>& failures);
std::optional<RecordText> uninstallRecord(std::string_view appName, const UninstallCount& count);

// The report after a maintenance task, and its record when it freed space.
ReportText maintenanceReport(std::string_view name, bool succeeded, std::string_view output,
                             std::int64_t gain);
std::optional<RecordText> maintenanceRecord(std::string_view name, std::string_view detail,
                                            bool succeeded, std::int64_t gain);

} // namespace bramwick::StoreText

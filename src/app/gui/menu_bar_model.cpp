#include "app/gui/menu_bar_model.h"

#include <algorithm>

#include "appearance/skin.h"
#include "base/edition.h"
#include "base/text.h"
#include "mainwindow/main_actions.h"
#include "store/messages.h"

namespace bramwick::MenuBar {

Colour iconColour(const std::optional<Store::Disk>& disk) {
    return disk ? TrayColours::rating(DiskHealths::rate(*disk)) : TrayColours::secondary;
}

std::string accessibilityLabel(const std::optional<Store::Disk>& disk) {
    std::string name = Edition::displayName;
    if (!disk) return name;
    return name + ": " + Text::byteCount(disk->available) + " free";
}

std::string caption(DiskHealth rating) {
    switch (rating) {
    case DiskHealth::healthy:
        return "Less than 85% of the disk is in use.";
    case DiskHealth::gettingFull:
        return "Over 85% full. Cleaning now keeps room for builds and updates.";
    case DiskHealth::almostFull:
        return "Over 95% full or under 5 GB free. Builds and updates start failing here.";
    }
    return {};
}

DiskSummary diskSummary(const Store::Disk& disk) {
    DiskSummary summary;
    summary.rating = DiskHealths::rate(disk);
    summary.free = Text::byteCount(disk.available) + " free";
    summary.of = "of " + Text::byteCount(disk.total);
    summary.usedFraction = (static_cast<double>(disk.total) - static_cast<double>(disk.available)) /
                           static_cast<double>(std::max<std::int64_t>(disk.total, 1));
    summary.freeInRed = summary.rating == DiskHealth::almostFull;
    summary.caption = caption(summary.rating);
    return summary;
}

CleanState cleanState(bool cleaningAll, bool scanningAll, bool scannedOnce, bool confirming) {
    if (cleaningAll) return CleanState::cleaning;
    if (scanningAll) return CleanState::scanning;
    if (!scannedOnce) return CleanState::firstScan;
    if (confirming) return CleanState::confirming;
    return CleanState::safeTotal;
}

CleanSection cleanSection(const Store& store, bool confirming) {
    CleanSection section;
    section.state = cleanState(store.cleaningAll(), store.scanningAll(),
                               store.lastScan().has_value(), confirming);
    switch (section.state) {
    case CleanState::cleaning:
        section.progress = "Cleaning safe categories\u2026";
        break;
    case CleanState::scanning:
        section.progress = "Scanning for space\u2026";
        break;
    case CleanState::firstScan:
        break;
    case CleanState::confirming:
        // The same sentence as the main window's card, what goes to the Trash told apart.
        section.warning = StoreText::allSafeWarning(
            store.safeTotal(), store.yoursInSafe(), store.trashInSafe(),
            MainActions::safeCleanToTrash(store.categories(), store.states()));
        break;
    case CleanState::safeTotal: {
        std::int64_t total = store.safeTotal();
        section.total = Text::byteCount(total);
        section.cleanEnabled = total != 0;
        break;
    }
    }
    return section;
}

AutoCleanRow autoCleanRow(const Store::AutoCleanRun& last, bool running, Date now) {
    if (running) return {true, "Cleaning automatically\u2026"};
    std::string outcome =
        last.freed >= 1 ? "freed " + Text::byteCount(last.freed) : std::string("nothing to clean");
    return {false, "Automatic clean " + Text::relativeDate(last.date, now) + " \u00b7 " + outcome};
}

Panel panel(const Store& store, bool confirming, Date now) {
    Panel made;
    if (store.disk()) made.disk = diskSummary(*store.disk());
    made.clean = cleanSection(store, confirming);
    if (const auto& report = store.report())
        made.report = ReportRow{report->title, report->message, report->hasFailures};
    if (const auto& running = store.vitals().running(); !running.items.empty())
        made.running = std::to_string(running.items.size()) + " left running in the background";
    made.accessRow = !store.hasFullDiskAccess();
    if (store.lastAutoClean())
        made.autoClean = autoCleanRow(*store.lastAutoClean(), store.autoCleaning(), now);
    made.rescanEnabled = !store.scanningAll() && !store.cleaningAll();
    return made;
}

} // namespace bramwick::MenuBar

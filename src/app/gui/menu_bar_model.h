// What the tray shows: the icon's colour and label, and every section of its panel with the
// quick clean, computed from the store as plain values. The widgets only draw these.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/health.h"
#include "engine/models.h"
#include "store/store.h"

namespace bramwick::MenuBar {

// The icon's colour: the rating's (TrayColours in appearance/skin.h), or the grey while the disk
// was never read.
Colour iconColour(const std::optional<Store::Disk>& disk);
// "Bramwick: 12.3 GB free" (the space available, never the purgeable one), or "Bramwick".
std::string accessibilityLabel(const std::optional<Store::Disk>& disk);

std::string caption(DiskHealth rating);

struct DiskSummary {
    DiskHealth rating;
    std::string free;        // "12.3 GB free"
    std::string of;          // "of 500 GB"
    double usedFraction = 0; // (total − available) / max(total, 1)
    bool freeInRed = false;
    std::string caption;
    bool operator==(const DiskSummary&) const = default;
};
DiskSummary diskSummary(const Store::Disk& disk);

// The quick clean's five states; the first that holds wins, in this order.
enum class CleanState { cleaning, scanning, firstScan, confirming, safeTotal };
CleanState cleanState(bool cleaningAll, bool scanningAll, bool scannedOnce, bool confirming);

struct CleanSection {
    CleanState state = CleanState::firstScan;
    std::string progress;      // the progress states' text
    std::string total;         // the safe total as a byte count
    bool cleanEnabled = false; // "Clean All Safe…" (off at a total of 0)
    std::string warning;       // the confirmation's text
    bool operator==(const CleanSection&) const = default;
};
CleanSection cleanSection(const Store& store, bool confirming);

struct ReportRow {
    std::string title;
    std::string message;
    bool hasFailures = false;
    bool operator==(const ReportRow&) const = default;
};

struct AutoCleanRow {
    bool running = false;
    std::string text;
    bool operator==(const AutoCleanRow&) const = default;
};
// "Cleaning automatically…" while one runs, else "Automatic clean yesterday · freed 1.2 GB".
AutoCleanRow autoCleanRow(const Store::AutoCleanRun& last, bool running, Date now);

// The whole panel, top to bottom; a section that is none is not shown.
struct Panel {
    std::optional<DiskSummary> disk; // the badge and the disk summary
    CleanSection clean;
    std::optional<ReportRow> report;
    std::optional<std::string> running; // "3 left running in the background"
    bool accessRow = false;
    std::optional<AutoCleanRow> autoClean;
    bool rescanEnabled = true;
    bool operator==(const Panel&) const = default;
};
Panel panel(const Store& store, bool confirming, Date now);

} // namespace bramwick::MenuBar

// The plain value types every part of the program passes around: categories, their levels,
// found items and history records.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "base/date.h"

namespace bramwick {

// The user-facing bucket of a category. The raw strings are what settings store.
enum class Level { safe, warning, redFlag, protected_ };

namespace Levels {
inline constexpr std::array<Level, 4> allCases{Level::safe, Level::warning, Level::redFlag,
                                               Level::protected_};
std::string_view rawValue(Level level);
std::string_view title(Level level);
// Accepts exactly the four raw strings (case-sensitive); a title such as "Review" gives none.
std::optional<Level> fromRaw(std::string_view raw);
} // namespace Levels

enum class Risk : int { safe = 0, caution = 1, danger = 2 };

namespace Risks {
std::optional<Risk> fromRaw(int raw);
inline constexpr int rawValue(Risk risk) {
    return static_cast<int>(risk);
}
} // namespace Risks

inline constexpr bool operator<(Risk a, Risk b) {
    return static_cast<int>(a) < static_cast<int>(b);
}
inline constexpr bool operator<=(Risk a, Risk b) {
    return !(b < a);
}
inline constexpr bool operator>(Risk a, Risk b) {
    return b < a;
}
inline constexpr bool operator>=(Risk a, Risk b) {
    return !(a < b);
}

enum class CategoryGroup { caches, logs, developer, xcode, android, ai, apps, personal, system };

namespace CategoryGroups {
inline constexpr std::array<CategoryGroup, 9> allCases{
    CategoryGroup::caches, CategoryGroup::logs,     CategoryGroup::developer,
    CategoryGroup::xcode,  CategoryGroup::android,  CategoryGroup::ai,
    CategoryGroup::apps,   CategoryGroup::personal, CategoryGroup::system};
// The section title, which is also the group's id.
std::string_view rawValue(CategoryGroup group);
std::optional<CategoryGroup> fromRaw(std::string_view raw);
} // namespace CategoryGroups

// Where a category's items come from. `paths` holds the listed paths or the roots ("~" allowed);
// `minimumBytes` matters for large files, duplicate files and repeated pictures only.
struct Source {
    enum class Kind {
        paths,
        contents,
        projectArtifacts,
        largeFiles,
        duplicateFiles,
        repeatedPictures,
        claudeScratchpads,
        claudeScratchpadBuilds,
        applications,
        simulatorDevices,
        simulatorRuntimes,
    };
    Kind kind = Kind::paths;
    std::vector<std::string> paths;
    std::int64_t minimumBytes = 0;

    bool operator==(const Source&) const = default;
};

// How a category is cleaned; `advice` is set for review-only categories.
struct CleanAction {
    enum class Kind { reviewOnly, delete_, trash, admin, command };
    Kind kind = Kind::delete_;
    std::string advice;
    // What cleaning does, said in place of the kind's own sentence where that would mislead
    // (items that go by their own command rather than to the Trash); empty: the kind's.
    std::string sentence{};

    bool operator==(const CleanAction&) const = default;
};

struct ManagedBy {
    std::string name;
    std::string bundleID;
    // The same application's desktop-file ids on this platform (without ".desktop"), in the
    // order to try them when the application is to be opened.
    std::vector<std::string> desktopIDs{};
    bool operator==(const ManagedBy&) const = default;
};

struct CleanupCategory {
    std::string id;
    std::string name;
    std::string summary;
    std::string info;
    std::string symbol;
    CategoryGroup group = CategoryGroup::caches;
    Risk risk = Risk::safe;
    Source source;
    CleanAction action;
    std::optional<std::vector<std::string>> alsoRun;
    std::vector<std::string> busyApps;
    bool neverAutomatic = false;
    std::optional<ManagedBy> managedBy;
    std::optional<std::string> needsFolder;
    std::vector<std::string> widenedBy;
    std::optional<Level> movedFrom;
    std::optional<std::string> customFolder;

    // Derived, never stored: review-only categories are protected, the rest follow their risk.
    Level level() const;

    bool operator==(const CleanupCategory&) const = default;
};

// The level a risk shows as, and the risk a level override stands for.
Level levelForRisk(Risk risk);
std::optional<Risk> riskForLevel(Level level);

// A file or folder as a scan found it (a link itself, never its target): which object of which
// file system it was, in which folder, and its size and times then (nanoseconds since 1970).
struct FoundEntry {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t folderDevice = 0; // the folder that held it; both 0 when not known
    std::uint64_t folderInode = 0;
    std::int64_t size = 0;
    std::int64_t modified = 0;
    std::int64_t changed = 0;
    bool operator==(const FoundEntry&) const = default;
};

// The copy a redundant copy (a duplicate file or picture) is a copy of, as it was found.
struct KeptCopy {
    std::string path;
    FoundEntry found;
    bool operator==(const KeptCopy&) const = default;
};

struct ScanItem {
    std::string id;  // the item's path; a simulator runtime's identifier
    std::string url; // the item's location on disk
    std::string name;
    std::int64_t size = 0; // allocated bytes (logical size for duplicate rows)
    std::optional<Date> modified;
    std::optional<std::string> note;
    std::optional<std::vector<std::string>> command;
    std::optional<Date> lastUsed;
    // What the scan found at `url`: a clean or move acts on that very object only, so a folder
    // swapped for a link since (links in the home's top levels are followed) redirects nothing.
    // None where the scan did not look at a path of its own (an item run by its command).
    std::optional<FoundEntry> found{};
    // For a redundant copy: the copy that stays. The item is removed only while that copy and
    // the item itself are both exactly as found, so cleaning never takes the last copy.
    std::optional<KeptCopy> keeps{};

    bool operator==(const ScanItem&) const = default;
};

struct CleanupRecord {
    std::string id; // upper-case UUID text
    Date date;
    std::string title;
    std::string detail;

    bool operator==(const CleanupRecord&) const = default;
};

// Seconds between 1970-01-01 and 2001-01-01, the epoch of stored dates.
inline constexpr double referenceDateOffset = 978307200.0;

double secondsSinceReferenceDate(Date date);
Date dateFromReferenceSeconds(double seconds);

// The stored JSON form of a record: {"id", "date" (seconds since 2001), "title", "detail"}.
nlohmann::json toJson(const CleanupRecord& record);
// Fails (nullopt, with the reason in `error`) when a key is missing or of the wrong type.
std::optional<CleanupRecord> recordFromJson(const nlohmann::json& json,
                                            std::string* error = nullptr);

} // namespace bramwick

template <> struct std::hash<bramwick::ScanItem> {
    std::size_t operator()(const bramwick::ScanItem& item) const noexcept;
};

#include "engine/models.h"

#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

#include "base/text.h"

namespace bramwick {

namespace Levels {
std::string_view rawValue(Level level) {
    switch (level) {
    case Level::safe:
        return "Safe to Remove";
    case Level::warning:
        return "Yellow Warning";
    case Level::redFlag:
        return "Red Flag";
    case Level::protected_:
        return "Protected";
    }
    return {};
}

std::string_view title(Level level) {
    switch (level) {
    case Level::safe:
        return "Safe to Remove";
    case Level::warning:
        return "Review";
    case Level::redFlag:
        return "Move to Backup";
    case Level::protected_:
        return "Protected";
    }
    return {};
}

std::optional<Level> fromRaw(std::string_view raw) {
    for (Level level : allCases)
        if (rawValue(level) == raw) return level;
    return std::nullopt;
}
} // namespace Levels

namespace Risks {
std::optional<Risk> fromRaw(int raw) {
    if (raw < 0 || raw > 2) return std::nullopt;
    return static_cast<Risk>(raw);
}
} // namespace Risks

namespace CategoryGroups {
std::string_view rawValue(CategoryGroup group) {
    switch (group) {
    case CategoryGroup::caches:
        return "Caches & Temporary Files";
    case CategoryGroup::logs:
        return "Logs";
    case CategoryGroup::developer:
        return "Developer Tools";
    case CategoryGroup::xcode:
        return "Xcode & Simulators";
    case CategoryGroup::android:
        return "Android";
    case CategoryGroup::ai:
        return "AI Tools";
    case CategoryGroup::apps:
        return "Apps & App Data";
    case CategoryGroup::personal:
        return "Personal Files";
    case CategoryGroup::system:
        return "System \u2014 needs your admin password";
    }
    return {};
}

std::optional<CategoryGroup> fromRaw(std::string_view raw) {
    for (CategoryGroup group : allCases)
        if (rawValue(group) == raw) return group;
    return std::nullopt;
}
} // namespace CategoryGroups

Level levelForRisk(Risk risk) {
    switch (risk) {
    case Risk::safe:
        return Level::safe;
    case Risk::caution:
        return Level::warning;
    case Risk::danger:
        return Level::redFlag;
    }
    return Level::safe;
}

std::optional<Risk> riskForLevel(Level level) {
    switch (level) {
    case Level::safe:
        return Risk::safe;
    case Level::warning:
        return Risk::caution;
    case Level::redFlag:
        return Risk::danger;
    case Level::protected_:
        return std::nullopt;
    }
    return std::nullopt;
}

Level CleanupCategory::level() const {
    if (action.kind == CleanAction::Kind::reviewOnly) return Level::protected_;
    return levelForRisk(risk);
}

double secondsSinceReferenceDate(Date date) {
    using namespace std::chrono;
    double unix = duration<double>(date.time_since_epoch()).count();
    return unix - referenceDateOffset;
}

Date dateFromReferenceSeconds(double seconds) {
    using namespace std::chrono;
    // Out-of-range stored values clamp instead of overflowing the clock's integer.
    double unix = seconds + referenceDateOffset;
    // The clock counts nanoseconds in 64 bits: about 292 years either side of 1970.
    constexpr double limit = 9.0e9;
    if (!std::isfinite(unix)) unix = 0;
    unix = std::clamp(unix, -limit, limit);
    return Date(duration_cast<Date::duration>(duration<double>(unix)));
}

nlohmann::json toJson(const CleanupRecord& record) {
    return nlohmann::json{{"id", record.id},
                          {"date", secondsSinceReferenceDate(record.date)},
                          {"title", record.title},
                          {"detail", record.detail}};
}

std::optional<CleanupRecord> recordFromJson(const nlohmann::json& json, std::string* error) {
    auto fail = [&](std::string why) -> std::optional<CleanupRecord> {
        if (error) *error = std::move(why);
        return std::nullopt;
    };
    if (!json.is_object()) return fail("record is not an object");
    auto id = json.find("id");
    if (id == json.end() || !id->is_string()) return fail("missing or invalid \"id\"");
    auto uuid = Text::parseUuid(id->get<std::string>());
    if (!uuid) return fail("\"id\" is not a UUID");
    auto date = json.find("date");
    if (date == json.end() || !date->is_number()) return fail("missing or invalid \"date\"");
    auto title = json.find("title");
    if (title == json.end() || !title->is_string()) return fail("missing or invalid \"title\"");
    auto detail = json.find("detail");
    if (detail == json.end() || !detail->is_string()) return fail("missing or invalid \"detail\"");
    return CleanupRecord{*uuid, dateFromReferenceSeconds(date->get<double>()),
                         title->get<std::string>(), detail->get<std::string>()};
}

} // namespace bramwick

namespace {
inline void combine(std::size_t& seed, std::size_t value) {
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}
} // namespace

std::size_t
std::hash<bramwick::ScanItem>::operator()(const bramwick::ScanItem& item) const noexcept {
    std::hash<std::string> text;
    std::size_t seed = 0;
    combine(seed, text(item.id));
    combine(seed, text(item.url));
    combine(seed, text(item.name));
    combine(seed, std::hash<std::int64_t>{}(item.size));
    auto date = [&](const std::optional<bramwick::Date>& d) {
        combine(seed, d ? 1 : 0);
        if (d) combine(seed, std::hash<bramwick::Date::rep>{}(d->time_since_epoch().count()));
    };
    date(item.modified);
    combine(seed, item.note ? 1 : 0);
    if (item.note) combine(seed, text(*item.note));
    combine(seed, item.command ? 1 : 0);
    if (item.command) {
        combine(seed, item.command->size());
        for (const auto& arg : *item.command)
            combine(seed, text(arg));
    }
    date(item.lastUsed);
    return seed;
}

#include "engine/catalog.h"

#include <algorithm>
#include <pwd.h>
#include <unistd.h>

#include "base/edition.h"
#include "base/text.h"
#include "engine/catalog_rows.h"
#include "engine/linux_locations.h"
#include "engine/settings_keys.h"
#include "platform/files.h"
#include "platform/settings.h"

namespace bramwick::Catalog {

const std::vector<CleanupCategory>& all() {
    static const std::vector<CleanupCategory> table = rows();
    return table;
}

const CleanupCategory* find(std::string_view id) {
    for (const auto& category : all())
        if (category.id == id) return &category;
    return nullptr;
}

const std::unordered_map<std::string, std::string>& claimedPaths() {
    static const std::unordered_map<std::string, std::string> map = [] {
        std::unordered_map<std::string, std::string> claimed;
        for (const auto& category : all()) {
            auto kind = category.source.kind;
            if (kind != Source::Kind::paths && kind != Source::Kind::contents) continue;
            for (const auto& path : category.source.paths)
                claimed[expand(path)] = category.id;
        }
        for (auto& [path, id] : LinuxLocations::claimedElsewhere())
            claimed.try_emplace(path, id);
        return claimed;
    }();
    return map;
}

namespace {
// The claimed patterns, apart, so a lookup only tries these few after the map's own entry.
const std::vector<std::pair<std::string, std::string>>& claimedPatterns() {
    static const std::vector<std::pair<std::string, std::string>> patterns = [] {
        std::vector<std::pair<std::string, std::string>> out;
        for (const auto& [path, id] : claimedPaths())
            if (Files::isPattern(path)) out.emplace_back(path, id);
        std::sort(out.begin(), out.end());
        return out;
    }();
    return patterns;
}
} // namespace

const std::string* claimant(const std::string& path) {
    const auto& claimed = claimedPaths();
    if (auto it = claimed.find(path); it != claimed.end()) return &it->second;
    for (const auto& [pattern, id] : claimedPatterns())
        if (Files::matchesPattern(path, pattern)) return &id;
    return nullptr;
}

std::vector<std::pair<std::string, std::string>> claimedOnDisk() {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& [path, id] : claimedPaths())
        if (!Files::isPattern(path)) out.emplace_back(path, id);
    for (const auto& [pattern, id] : claimedPatterns())
        for (auto& path : Files::matching(pattern))
            out.emplace_back(std::move(path), id);
    return out;
}

std::int64_t unusedAppDays(const Settings& settings) {
    return std::clamp<std::int64_t>(settings.integer(SettingsKeys::unusedAppDays).value_or(100), 1,
                                    maximumUnusedAppDays);
}

std::string expand(std::string_view path) {
    if (path == "~") return Edition::home();
    if (path.starts_with("~/")) return Edition::home() + std::string(path.substr(1));
    if (path.starts_with("~")) {
        auto slash = path.find('/');
        std::string user(path.substr(1, slash == std::string_view::npos ? path.npos : slash - 1));
        std::string rest = slash == std::string_view::npos ? "" : std::string(path.substr(slash));
        long size = sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
        passwd entry{};
        passwd* result = nullptr;
        if (getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(), &result) == 0 &&
            result && result->pw_dir)
            return std::string(result->pw_dir) + rest;
    }
    return std::string(path);
}

std::string shortFolder(std::string_view path) {
    std::string shown = Text::homeShortened(path, Edition::home());
    std::vector<std::string_view> pieces;
    std::string_view rest = shown;
    while (!rest.empty()) {
        auto slash = rest.find('/');
        auto piece = rest.substr(0, slash);
        if (!piece.empty()) pieces.push_back(piece);
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    if (pieces.size() >= 4)
        return "\u2026/" + std::string(pieces[pieces.size() - 2]) + "/" +
               std::string(pieces.back());
    return shown;
}

const std::vector<std::string>& personalFolders() {
    static const std::vector<std::string> folders{"~/Downloads", "~/Desktop",  "~/Documents",
                                                  "~/Movies",    "~/Pictures", "~/Music"};
    return folders;
}

const std::vector<std::string>& searchedPersonalFolders() {
    return find("duplicates")->source.paths;
}

} // namespace bramwick::Catalog

#include "engine/custom_folders.h"

#include <cstdlib>

#include <nlohmann/json.hpp>
#include <openssl/evp.h>

#include "base/edition.h"
#include "base/paths.h"
#include "base/text.h"
#include "engine/scanner.h"
#include "engine/settings_keys.h"
#include "platform/settings.h"

namespace bramwick {

namespace {

std::string base64(const std::vector<std::uint8_t>& data) {
    std::string out(4 * ((data.size() + 2) / 3), '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data.data(),
                            static_cast<int>(data.size()));
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::optional<std::vector<std::uint8_t>> fromBase64(const std::string& text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::size_t padding = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '+' || c == '/';
        if (c == '=' && i + 2 >= text.size()) {
            ++padding;
        } else if (!letter || padding > 0) {
            return std::nullopt;
        }
    }
    std::vector<std::uint8_t> out(text.size() / 4 * 3);
    if (text.empty()) return out;
    int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                            static_cast<int>(text.size()));
    if (n < 0) return std::nullopt;
    out.resize(static_cast<std::size_t>(n) - padding);
    return out;
}

const char* const refusedInHome[] = {"", "/Library",
                                     // This platform's own standard folders.
                                     "/.local", "/.local/share", "/.local/share/Trash",
                                     "/.local/share/Trash/files", "/.config", "/.cache", "/Videos",
                                     "/Templates", "/Public"};

const char* const refusedSystem[] = {
    "/", "/Users", "/System", "/Library", "/Applications", "/usr", "/private", "/opt", "/Volumes",
    // This platform's own system folders.
    "/home", "/usr/local", "/var/tmp", "/var/log", "/var/cache", "/var/lib", "/etc", "/var",
    "/boot", "/root", "/srv", "/proc", "/sys", "/dev", "/run"};

} // namespace

bool offersMove(const CleanupCategory& category) {
    auto kind = category.action.kind;
    return (kind == CleanAction::Kind::delete_ || kind == CleanAction::Kind::trash) &&
           category.risk == Risk::danger;
}

namespace CustomFolders {

nlohmann::json toJson(const CustomFolder& folder) {
    nlohmann::json json{{"id", folder.id}, {"path", folder.path}, {"level", folder.level}};
    if (folder.bookmark) json["bookmark"] = base64(*folder.bookmark);
    return json;
}

std::optional<CustomFolder> fromJson(const nlohmann::json& json) {
    if (!json.is_object()) return std::nullopt;
    CustomFolder folder;
    for (auto [name, field] :
         {std::pair{"id", &folder.id}, {"path", &folder.path}, {"level", &folder.level}}) {
        auto it = json.find(name);
        if (it == json.end() || !it->is_string()) return std::nullopt;
        *field = it->get<std::string>();
    }
    if (folder.path.find('*') != std::string::npos) return std::nullopt; // see choose()
    // What choose() would never have made: a list edited by hand may hold anything.
    if (!folder.id.starts_with("custom-") || folder.path.empty() || folder.path.front() != '/')
        return std::nullopt;
    // In the form choose() keeps, links resolved, so a link to the home is the home.
    folder.path = Paths::resolved(folder.path).value_or(Paths::standardised(folder.path));
    if (refused().contains(folder.path)) return std::nullopt;
    if (auto it = json.find("bookmark"); it != json.end() && !it->is_null()) {
        if (!it->is_string()) return std::nullopt;
        folder.bookmark = fromBase64(it->get<std::string>());
        if (!folder.bookmark) return std::nullopt;
    }
    return folder;
}

std::optional<std::string> save(const std::vector<CustomFolder>& folders, Settings& settings) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& folder : folders)
        list.push_back(toJson(folder));
    return settings.set(SettingsKeys::customFolders, std::move(list));
}

std::vector<CustomFolder> load(const Settings& settings) {
    auto stored = settings.value(SettingsKeys::customFolders);
    if (!stored || !stored->is_array()) return {};
    std::vector<CustomFolder> folders;
    for (const auto& entry : *stored) {
        auto folder = fromJson(entry);
        if (!folder) return {}; // one damaged entry spoils the list
        folders.push_back(std::move(*folder));
    }
    return folders;
}

std::set<std::string> refused() {
    std::vector<std::string> listed;
    for (const char* suffix : refusedInHome)
        listed.push_back(Edition::home() + suffix);
    for (const char* path : refusedSystem)
        listed.emplace_back(path);
    std::set<std::string> set;
    for (const auto& path : listed) {
        set.insert(Paths::standardised(path));
        // A chosen folder is compared with links resolved, so its resolved forms count too.
        if (auto real = Paths::resolved(path)) set.insert(*real);
    }
    return set;
}

std::string displayPath(const std::string& path) {
    return Text::homeShortened(path);
}

Choice choose(Level level, const std::vector<CustomFolder>& existing,
              const std::vector<std::string>& chosenPaths) {
    Choice choice;
    std::set<std::string> known;
    for (const auto& folder : existing)
        known.insert(folder.path);
    auto refusedSet = refused();
    for (const auto& chosen : chosenPaths) {
        std::string path = Paths::resolved(chosen).value_or(Paths::standardised(chosen));
        // A "*" in a listed folder is read as a pattern, which would list other folders too.
        if (refusedSet.contains(path) || path.find('*') != std::string::npos) {
            choice.refusedNames.push_back(displayPath(path));
            continue;
        }
        if (!known.insert(path).second) continue;
        choice.added.push_back({"custom-" + Text::newUuid(), path,
                                std::string(Levels::rawValue(level)), std::nullopt});
    }
    return choice;
}

std::string panelPrompt(Level level) {
    return "Add to " + std::string(Levels::title(level));
}

std::string panelMessage(Level level) {
    return "Choose folders to add to " + std::string(Levels::title(level)) +
           ". What is inside them is listed, and cleaning moves it to the Trash.";
}

std::string refusedMessage(const std::vector<std::string>& refusedNames) {
    std::string names;
    for (const auto& name : refusedNames)
        names += (names.empty() ? "" : ", ") + name;
    return names + " can't be added";
}

CleanupCategory category(const CustomFolder& folder) {
    CleanupCategory c;
    c.id = folder.id;
    c.name = Scanner::lastComponent(folder.path);
    c.summary = displayPath(folder.path);
    c.info = "A folder you added. Everything inside " + c.summary +
             " is listed, and cleaning moves it to the Trash, so you can put anything back. The "
             "folder itself stays. "
             "It is only ever cleaned when you ask — never on a schedule.";
    c.symbol = "folder";
    c.group = CategoryGroup::personal;
    auto level = Levels::fromRaw(folder.level);
    c.risk = level == Level::safe      ? Risk::safe
             : level == Level::redFlag ? Risk::danger
                                       : Risk::caution;
    c.source = Source{Source::Kind::contents, {folder.path}, 0};
    c.action.kind = CleanAction::Kind::trash;
    c.neverAutomatic = true;
    c.customFolder = folder.path;
    return c;
}

bool touches(const std::string& path, const std::vector<CustomFolder>& folders,
             std::unordered_map<std::string, std::optional<std::string>>& parents) {
    if (folders.empty()) return false;
    auto related = [](const std::string& a, const std::string& b) {
        return a == b || a.starts_with(b + "/") || b.starts_with(a + "/");
    };
    // Where the path is, its own name kept: an item that is a link goes as the link.
    const std::string parent = Paths::parent(path);
    auto known = parents.find(parent);
    if (known == parents.end()) known = parents.emplace(parent, Paths::resolved(parent)).first;
    std::optional<std::string> real;
    if (known->second)
        real = (*known->second == "/" ? std::string() : *known->second) + "/" +
               path.substr(path.rfind('/') + 1);
    for (const auto& folder : folders)
        if (related(path, folder.path) || (real && related(*real, folder.path))) return true;
    return false;
}

} // namespace CustomFolders

} // namespace bramwick

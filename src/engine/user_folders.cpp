#include "engine/user_folders.h"

#include "base/edition.h"
#include "base/paths.h"
#include "platform/files.h"

namespace bramwick::UserFolders {

namespace {

// The value between the double quotes, unescaped; none when it is not quoted.
std::optional<std::string> quotedValue(std::string_view value) {
    if (value.size() < 2 || value.front() != '"') return std::nullopt;
    std::string out;
    for (std::size_t i = 1; i < value.size(); ++i) {
        char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            out += value[++i];
        } else if (c == '"') {
            return out;
        } else {
            out += c;
        }
    }
    return std::nullopt; // no closing quote
}

} // namespace

std::map<std::string, std::string> parse(std::string_view text, const std::string& home) {
    std::map<std::string, std::string> folders;
    std::string ownHome = Paths::standardised(home);
    while (!text.empty()) {
        auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        auto first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == '#') continue;
        line.remove_prefix(first);
        auto equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        std::string_view key = line.substr(0, equals);
        if (!key.starts_with("XDG_") || !key.ends_with("_DIR") || key.size() <= 8) continue;
        auto value = quotedValue(line.substr(equals + 1));
        if (!value) continue;
        std::string path;
        if (*value == "$HOME" || value->starts_with("$HOME/"))
            path = home + value->substr(5);
        else if (value->starts_with('/'))
            path = *value;
        else
            continue;
        path = Paths::standardised(path);
        // The home, a folder above it or one of the system's, or a name a pattern would read as
        // more than one folder ("*"): none stands for one of the user's folders.
        if (!Edition::usableBaseFolder(path, ownHome) || path.find('*') != std::string::npos)
            continue;
        folders[std::string(key.substr(4, key.size() - 8))] = path;
    }
    return folders;
}

const std::map<std::string, std::string>& current() {
    static const std::map<std::string, std::string> folders = [] {
        auto text = Files::read(Edition::configHome() + "/user-dirs.dirs");
        return text ? parse(*text, Edition::home()) : std::map<std::string, std::string>{};
    }();
    return folders;
}

std::optional<std::string> folder(const std::string& key) {
    const auto& all = current();
    auto it = all.find(key);
    if (it == all.end()) return std::nullopt;
    return it->second;
}

} // namespace bramwick::UserFolders

#include "finders/uninstaller_places.h"

#include <algorithm>

#include "base/edition.h"
#include "base/paths.h"
#include "base/text.h"
#include "finders/uninstaller_judgements.h"
#include "platform/bundle.h"
#include "platform/files.h"

namespace bramwick::Uninstaller {

namespace {

constexpr Location perIdentifier[] = {
    {"~/Library/Preferences/", ".plist", "Preferences", Ownership::user},
    {"~/Library/Preferences/", ".plist.lockfile", "Preferences", Ownership::user},
    {"~/Library/Application Support/", "", "Application support", Ownership::user},
    {"~/Library/Caches/", "", "Cache", Ownership::user},
    {"~/Library/HTTPStorages/", "", "Web storage", Ownership::user},
    {"~/Library/HTTPStorages/", ".binarycookies", "Cookies", Ownership::user},
    {"~/Library/Cookies/", ".binarycookies", "Cookies", Ownership::user},
    {"~/Library/WebKit/", "", "Web storage", Ownership::user},
    {"~/Library/Saved Application State/", ".savedState", "Saved window state", Ownership::user},
    {"~/Library/Logs/", "", "Logs", Ownership::user},
    {"~/Library/Application Scripts/", "", "App scripts", Ownership::user},
    {"/Library/Application Support/", "", "Application support (system)", Ownership::system},
    {"/Library/Caches/", "", "Cache (system)", Ownership::system},
    {"/Library/Preferences/", ".plist", "Preferences (system)", Ownership::system},
    {"/Library/PrivilegedHelperTools/", "", "Privileged helper", Ownership::system},
};

// Shared folders whose entries are named after the identifiers of the applications they serve.
constexpr Location scanned[] = {
    {"~/Library/Containers", "", "Container", Ownership::user},
    {"~/Library/Group Containers", "", "Shared container", Ownership::user},
    {"~/Library/Application Scripts", "", "App scripts", Ownership::user},
    {"~/Library/Preferences/ByHost", "", "Preferences", Ownership::user},
    {"~/Library/LaunchAgents", "", "Login item", Ownership::user},
    {"/Library/LaunchAgents", "", "Login item", Ownership::system},
    {"/Library/LaunchDaemons", "", "Background service", Ownership::system},
};

constexpr Location byName[] = {
    {"~/Library/Application Support/", "", "Application support", Ownership::user},
    {"~/Library/Caches/", "", "Cache", Ownership::user},
    {"~/Library/Logs/", "", "Logs", Ownership::user},
    {"/Library/Application Support/", "", "Application support (system)", Ownership::system},
};

constexpr Location byVendor[] = {
    {"~/Library/Application Support/", "", "Application support", Ownership::user},
    {"~/Library/Caches/", "", "Cache", Ownership::user},
};

// Folders inside a bundle that hold helper bundles with identifiers of their own.
constexpr const char* helperFolders[] = {"Contents/Library/LoginItems",
                                         "Contents/Library/LaunchServices",
                                         "Contents/XPCServices",
                                         "Contents/PlugIns",
                                         "Contents/Helpers",
                                         "Contents/Frameworks",
                                         "Contents/Resources"};

// A folder as the start of the paths below it: "/" becomes empty.
std::string prefix(std::string folder) {
    folder = Paths::withoutTrailingSlash(std::move(folder));
    return folder == "/" ? std::string() : folder;
}

void appendMatches(std::vector<Candidate>& out, const Location& location,
                   const std::vector<std::string>& identifiers, const Roots& roots) {
    if (identifiers.empty()) return;
    std::string folder = roots.expand(location.folder);
    for (const auto& name : Files::names(folder)) {
        bool matches = std::any_of(identifiers.begin(), identifiers.end(), [&](const auto& id) {
            return namedAfter(name, id) || namedAfter(stem(name), id);
        });
        if (matches) out.push_back({folder + "/" + name, location.kind, location.ownership});
    }
}

} // namespace

Roots::Roots(const Environment& environment)
    : home_(prefix(environment.home.empty() ? Edition::home() : environment.home)),
      system_(prefix(environment.systemRoot)) {
    // The XDG base folders: the user's own, unless the environment names another home.
    bool own = environment.home.empty();
    bases_ = {{"$CONFIG", own ? Edition::configHome() : home_ + "/.config"},
              {"$DATA", own ? Edition::dataHome() : home_ + "/.local/share"},
              {"$CACHE", own ? Edition::cacheHome() : home_ + "/.cache"},
              {"$STATE", own ? Edition::stateHome() : home_ + "/.local/state"}};
}

std::string Roots::expand(std::string_view location) const {
    if (location.starts_with("~/")) return home_ + std::string(location.substr(1));
    for (const auto& [token, folder] : bases_)
        if (location.starts_with(token) && location.size() > token.size() &&
            location[token.size()] == '/')
            return folder + std::string(location.substr(token.size()));
    return system_ + std::string(location);
}

std::string_view stem(std::string_view name) {
    auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return name;
    return name.substr(0, dot);
}

bool namedAfter(std::string_view name, const std::string& identifier) {
    if (name == identifier) return true;
    if (identifier.find('.') == std::string::npos) return false;
    return (name.starts_with(identifier) && name.size() > identifier.size() &&
            name[identifier.size()] == '.') ||
           (name.ends_with(identifier) && name.size() > identifier.size() &&
            name[name.size() - identifier.size() - 1] == '.');
}

std::optional<std::string> vendorFolder(const std::string& appName) {
    auto first = appName.find_first_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    auto space = appName.find(' ', first);
    if (space == std::string::npos || space + 1 >= appName.size()) return std::nullopt;
    std::string vendor = appName.substr(first, space - first);
    std::string product = appName.substr(space + 1);
    if (!isVendorName(vendor) || !Paths::isPlainName(product)) return std::nullopt;
    return vendor + "/" + product;
}

std::optional<std::string> bundleIdentifier(const std::string& appPath) {
    if (!appPath.starts_with('/')) return std::nullopt;
    auto describing = Bundles::describing(appPath);
    return describing ? describing->identifier : std::nullopt;
}

std::vector<std::string> helperIdentifiers(const std::string& appPath) {
    std::vector<std::string> out;
    for (const char* folder : helperFolders) {
        std::string path = appPath + "/" + folder;
        for (const auto& name : Files::names(path)) {
            std::string_view extension = name;
            auto dot = name.rfind('.');
            if (dot == std::string::npos) continue;
            extension = extension.substr(dot + 1);
            if (extension != "app" && extension != "xpc" && extension != "appex" &&
                extension != "bundle")
                continue;
            if (auto bundle = Bundles::open(path + "/" + name); bundle && bundle->identifier)
                out.push_back(*bundle->identifier);
        }
    }
    return out;
}

std::vector<Candidate> candidates(const std::vector<std::string>& allIdentifiers,
                                  const std::string& appName, const Roots& roots) {
    // Identifiers and names come from bundles and stand as path components only as plain names:
    // an empty, "." or ".." identifier would turn "/Library/Application Support/" itself into a
    // leftover.
    std::vector<std::string> identifiers;
    for (const auto& identifier : allIdentifiers)
        if (Paths::isPlainName(identifier)) identifiers.push_back(identifier);

    std::vector<Candidate> out;
    auto add = [&](const Location& location, const std::string& name) {
        out.push_back({roots.expand(std::string(location.folder) + name + location.suffix),
                       location.kind, location.ownership});
    };
    for (const auto& identifier : identifiers)
        for (const auto& location : perIdentifier)
            add(location, identifier);
    for (const auto& location : scanned)
        appendMatches(out, location, identifiers, roots);

    if (Paths::isPlainName(appName) && Text::characterCount(appName) >= 3 && !isVendorName(appName))
        for (const auto& location : byName)
            add(location, appName);

    if (auto folder = vendorFolder(appName))
        for (const auto& location : byVendor)
            add(location, *folder);
    return out;
}

std::vector<std::string> systemPlaces() {
    std::vector<std::string> places;
    auto add = [&](const auto& table) {
        for (const Location& location : table) {
            std::string folder = Paths::withoutTrailingSlash(location.folder);
            if (location.ownership == Ownership::system &&
                std::find(places.begin(), places.end(), folder) == places.end())
                places.push_back(std::move(folder));
        }
    };
    add(perIdentifier);
    add(scanned);
    add(byName);
    return places;
}

} // namespace bramwick::Uninstaller

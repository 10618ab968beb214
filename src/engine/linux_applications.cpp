#include "engine/linux_applications.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sys/stat.h>

#include "base/edition.h"
#include "base/paths.h"
#include "base/text.h"
#include "engine/catalog.h"
#include "platform/admin.h"
#include "platform/app_image.h"
#include "platform/desktop_entry.h"
#include "platform/files.h"

namespace bramwick::LinuxApplications {

namespace {

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::optional<Date> dateOf(const timespec& time) {
    using namespace std::chrono;
    return Date(duration_cast<Date::duration>(seconds(time.tv_sec) + nanoseconds(time.tv_nsec)));
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isPlainFile(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool hasAppImageExtension(std::string_view name) {
    constexpr std::string_view extension = ".appimage";
    return name.size() > extension.size() &&
           Text::asciiLowercased(std::string(name.substr(name.size() - extension.size()))) ==
               extension;
}

// The main group of the exported desktop entry of a Flatpak application.
std::map<std::string, std::string> exportedEntry(const Installation& installation,
                                                 const std::string& id) {
    auto text = Files::read(installation.path + "/exports/share/applications/" + id + ".desktop");
    if (!text) return {};
    return DesktopEntry::mainGroup(*text);
}

Application flatpakApplication(const Installation& installation, const std::string& id) {
    Application app;
    app.kind = Kind::flatpak;
    app.path = installation.path + "/app/" + id;
    app.id = id;
    app.system = installation.system;
    app.installation = installation.path;
    auto entry = exportedEntry(installation, id);
    auto name = entry.find("Name");
    app.name = name != entry.end() && !name->second.empty() ? name->second : id;
    if (auto icon = entry.find("Icon"); icon != entry.end() && !icon->second.empty())
        app.icon = icon->second;
    return app;
}

Application appImageApplication(const std::string& path) {
    Application app;
    app.kind = Kind::appImage;
    app.path = path;
    std::string file = path.substr(path.rfind('/') + 1);
    app.name = appImageName(file);
    // The desktop entry inside the image names the application as its menus do, and the entry's
    // own name is its id ("org.kde.krita.desktop"); an image that cannot be read is known by
    // its file name only.
    auto embedded = AppImage::desktopEntry(path);
    if (!embedded) return app;
    auto entry = DesktopEntry::mainGroup(embedded->text);
    if (auto name = entry.find("Name"); name != entry.end()) {
        std::string shown = Text::trimmed(name->second);
        if (!shown.empty() && shown.size() <= 200) app.name = shown;
    }
    if (auto icon = entry.find("Icon"); icon != entry.end() && !icon->second.empty())
        app.icon = icon->second;
    std::string id = embedded->fileName.substr(0, embedded->fileName.size() - 8);
    if (isFlatpakId(id)) app.id = id;
    return app;
}

// A Flatpak application is deployed when its "current" link leads to an architecture and branch.
bool isDeployed(const std::string& appFolder) {
    struct stat st {};
    return isFolder(appFolder) && ::stat((appFolder + "/current").c_str(), &st) == 0 &&
           S_ISDIR(st.st_mode);
}

std::string defaultUserInstallation() {
    // flatpak itself honours XDG_DATA_HOME for the user's installation.
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string base = data && *data == '/' ? Paths::withoutTrailingSlash(data) : std::string();
    if (base.empty()) {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : Edition::home().c_str()) + "/.local/share";
    }
    return Paths::standardised(base + "/flatpak");
}

} // namespace

Places defaultPlaces() {
    Places places;
    places.flatpak = {{Edition::dataHome() + "/flatpak", false}, {"/var/lib/flatpak", true}};
    places.appImageFolders = {"~/Applications", "~/AppImages", "~/.local/bin"};
    places.flatpakData = "~/.var/app";
    places.usageRecord = Edition::dataHome() + "/gnome-shell/application_state";
    return places;
}

bool isFlatpakId(std::string_view text) {
    if (text.empty() || text.size() > 255) return false;
    std::size_t elements = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto dot = text.find('.', start);
        bool last = dot == std::string_view::npos;
        std::string_view element = text.substr(start, last ? text.npos : dot - start);
        if (element.empty() || isDigit(element.front()) || element.front() == '-') return false;
        for (char c : element)
            if (!isLetter(c) && !isDigit(c) && c != '_' && !(last && c == '-')) return false;
        ++elements;
        if (last) break;
        start = dot + 1;
    }
    return elements >= 3;
}

std::string appImageName(std::string_view fileName) {
    std::string stem(fileName);
    if (hasAppImageExtension(stem)) stem.resize(stem.size() - 9);
    static const char* const architectures[] = {"x86_64", "x86-64", "amd64", "aarch64", "arm64",
                                                "armhf",  "i386",   "i686",  "linux",   "x64"};
    for (std::size_t i = 1; i < stem.size(); ++i) {
        char c = stem[i];
        if (c != '-' && c != '_' && c != ' ' && c != '.') continue;
        std::string rest = Text::asciiLowercased(stem.substr(i + 1));
        bool version =
            !rest.empty() &&
            (isDigit(rest.front()) || (rest.front() == 'v' && rest.size() > 1 && isDigit(rest[1])));
        bool architecture = std::any_of(std::begin(architectures), std::end(architectures),
                                        [&](const char* a) { return rest.starts_with(a); });
        if (version || architecture) return stem.substr(0, i);
    }
    return stem;
}

std::vector<Application> list(const Places& places) {
    std::vector<Application> found;
    for (const auto& installation : places.flatpak)
        for (const auto& id : Files::names(installation.path + "/app"))
            if (isFlatpakId(id) && id != Edition::appId &&
                isDeployed(installation.path + "/app/" + id))
                found.push_back(flatpakApplication(installation, id));

    // Ourselves, when started from an AppImage: its runtime names the file.
    const char* own = std::getenv("APPIMAGE");
    std::string ownImage = own && *own == '/' ? Paths::standardised(own) : std::string();
    for (const auto& root : places.appImageFolders) {
        std::string folder = Paths::withoutTrailingSlash(Catalog::expand(root));
        for (const auto& name : Files::names(folder)) {
            std::string path = folder + "/" + name;
            if (!hasAppImageExtension(name) || !isPlainFile(path)) continue;
            if (!ownImage.empty() && Paths::standardised(path) == ownImage) continue;
            found.push_back(appImageApplication(path));
        }
    }
    return found;
}

std::optional<Application> identify(const std::string& path, const Places& places) {
    std::string standard = Paths::standardised(path);
    for (const auto& installation : places.flatpak) {
        std::string apps = Paths::standardised(installation.path) + "/app/";
        if (!standard.starts_with(apps)) continue;
        std::string id = standard.substr(apps.size());
        if (isFlatpakId(id)) return flatpakApplication(installation, id);
    }
    std::string folder = Paths::parent(standard);
    std::string file = standard.substr(standard.rfind('/') + 1);
    if (!hasAppImageExtension(file)) return std::nullopt;
    for (const auto& root : places.appImageFolders)
        if (Paths::standardised(Catalog::expand(root)) == folder)
            return appImageApplication(standard);
    return std::nullopt;
}

std::optional<std::vector<std::string>> uninstallCommand(const Application& application) {
    if (application.kind != Kind::flatpak || !application.id || !isFlatpakId(*application.id))
        return std::nullopt;
    if (application.system)
        return Admin::arguments("flatpak uninstall --noninteractive --system " +
                                Admin::quote(*application.id));
    std::vector<std::string> command;
    if (Paths::standardised(application.installation) != defaultUserInstallation())
        command.push_back("FLATPAK_USER_DIR=" + application.installation);
    for (const char* argument : {"flatpak", "uninstall", "--noninteractive", "--user"})
        command.emplace_back(argument);
    command.push_back(*application.id);
    return command;
}

std::map<std::string, Date> usageHistory(const std::string& recordPath) {
    std::map<std::string, Date> history;
    auto text = Files::read(Catalog::expand(recordPath));
    if (!text) return history;
    // <application id="org.gnome.Maps.desktop" … last-seen="1700000000"/>, seconds since 1970.
    auto attribute = [](std::string_view element,
                        std::string_view name) -> std::optional<std::string> {
        std::string key(" ");
        key.append(name).append("=\"");
        auto at = element.find(key);
        if (at == std::string_view::npos) return std::nullopt;
        auto start = at + key.size();
        auto end = element.find('"', start);
        if (end == std::string_view::npos) return std::nullopt;
        return std::string(element.substr(start, end - start));
    };
    std::string_view rest = *text;
    while (true) {
        auto open = rest.find("<application ");
        if (open == std::string_view::npos) break;
        auto close = rest.find('>', open);
        if (close == std::string_view::npos) break;
        std::string_view element = rest.substr(open, close - open);
        rest.remove_prefix(close);
        auto id = attribute(element, "id");
        auto seen = attribute(element, "last-seen");
        if (!id || !seen || seen->empty()) continue;
        char* end = nullptr;
        double seconds = std::strtod(seen->c_str(), &end);
        if (*end != '\0' || !std::isfinite(seconds) || seconds <= 0 || seconds > 9.0e9) continue;
        Date date(
            std::chrono::duration_cast<Date::duration>(std::chrono::duration<double>(seconds)));
        auto [it, added] = history.try_emplace(*id, date);
        if (!added && date > it->second) it->second = date;
    }
    return history;
}

std::optional<Date> lastUsed(const Application& application, const Places& places,
                             const std::map<std::string, Date>& usage) {
    std::optional<Date> latest;
    auto consider = [&](std::optional<Date> date) {
        if (date && (!latest || *date > *latest)) latest = date;
    };
    if (application.kind == Kind::appImage) {
        struct stat st {};
        if (::stat(application.path.c_str(), &st) == 0) consider(dateOf(st.st_atim));
        return latest;
    }
    if (!application.id) return latest;
    if (auto it = usage.find(*application.id + ".desktop"); it != usage.end()) consider(it->second);
    std::string data =
        Paths::withoutTrailingSlash(Catalog::expand(places.flatpakData)) + "/" + *application.id;
    if (!isFolder(data)) return latest;
    struct stat st {};
    if (::lstat(data.c_str(), &st) == 0) consider(dateOf(st.st_mtim));
    for (const auto& name : Files::names(data)) {
        std::string sub = data + "/" + name;
        if (::lstat(sub.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) consider(dateOf(st.st_mtim));
    }
    return latest;
}

} // namespace bramwick::LinuxApplications

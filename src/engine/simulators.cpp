#include "engine/simulators.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <dirent.h>
#include <exception>
#include <limits>
#include <regex>

#include "base/text.h"
#include "base/unique_fd.h"
#include "engine/catalog.h"
#include "engine/scanner.h"

namespace bramwick::Scanner {

namespace {

using nlohmann::json;

constexpr double toolLimit = 300;
constexpr const char* leftOverNote = "Not known to Xcode — left over";
constexpr const char* unavailableNote = "Its runtime is no longer installed";
constexpr const char* defaultRuntimePath = "/Library/Developer/CoreSimulator/Volumes";

std::string stringOr(const json& object, const char* key, std::string fallback = {}) {
    auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return fallback;
    return it->get<std::string>();
}

std::string replaceAll(std::string text, std::string_view what, std::string_view with) {
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// A size the tool reports: anything but a finite number in the range of a byte count is 0.
std::int64_t byteCount(const json& value) {
    if (value.is_number_unsigned()) {
        auto n = value.get<std::uint64_t>();
        return n > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
                   ? 0
                   : static_cast<std::int64_t>(n);
    }
    if (value.is_number_integer()) return std::max<std::int64_t>(0, value.get<std::int64_t>());
    if (value.is_number_float()) {
        double d = value.get<double>();
        if (!std::isfinite(d) || d < 0 || d >= 9.2e18) return 0;
        return static_cast<std::int64_t>(d);
    }
    return 0;
}

bool digits(const std::string& text, std::size_t at, std::size_t count, int& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

} // namespace

std::optional<json> runJSON(const std::vector<std::string>& arguments,
                            const Shell::Runner& runner) {
    Shell::Result result;
    try {
        result = runner(arguments, toolLimit);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (result.status != 0) return std::nullopt;
    json parsed = json::parse(result.output, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) return std::nullopt;
    return parsed;
}

std::string runtimeName(const std::string& key) {
    auto dot = key.rfind('.');
    std::string name = dot == std::string::npos ? key : key.substr(dot + 1);
    std::replace(name.begin(), name.end(), '-', ' ');
    static const std::regex versionParts("(\\d+) (\\d+)");
    return std::regex_replace(name, versionParts, "$1.$2");
}

std::unordered_map<std::string, KnownDevice> knownDevices(const json& answer) {
    std::unordered_map<std::string, KnownDevice> known;
    auto devices = answer.find("devices");
    if (devices == answer.end() || !devices->is_object()) return known;
    for (const auto& [key, list] : devices->items()) {
        if (!list.is_array()) return {};
        for (const auto& device : list)
            if (!device.is_object()) return {};
    }
    for (const auto& [key, list] : devices->items()) {
        std::string runtime = runtimeName(key);
        for (const auto& device : list) {
            auto udid = device.find("udid");
            if (device.empty() || udid == device.end() || !udid->is_string()) continue;
            std::string id = udid->get<std::string>();
            auto available = device.find("isAvailable");
            bool isAvailable =
                available == device.end() || !available->is_boolean() || available->get<bool>();
            KnownDevice entry{stringOr(device, "name", id) + " — " + runtime, std::nullopt};
            if (!isAvailable) entry.note = unavailableNote;
            known[id] = std::move(entry);
        }
    }
    return known;
}

std::vector<ScanItem> simulatorDevices(const Shell::Runner& runner,
                                       const std::string& devicesFolder) {
    std::unordered_map<std::string, KnownDevice> known;
    if (auto answer = runJSON({"xcrun", "simctl", "list", "devices", "-j"}, runner))
        known = knownDevices(*answer);

    std::string folder = Catalog::expand(devicesFolder);
    std::vector<std::string> children;
    if (UniqueDir dir(::opendir(folder.c_str())); dir) {
        while (dirent* entry = ::readdir(dir.get())) {
            std::string name = entry->d_name;
            if (Text::characterCount(name) == 36) children.push_back(folder + "/" + name);
        }
    }
    std::sort(children.begin(), children.end());
    auto items = measure(
        children,
        [&](const std::string& path) {
            std::string name = lastComponent(path);
            auto it = known.find(name);
            return it != known.end() ? it->second.name
                                     : "Unknown simulator " + Text::prefix(name, 8);
        },
        [&](const std::string& path) -> std::optional<std::string> {
            auto it = known.find(lastComponent(path));
            return it != known.end() ? it->second.note : std::optional<std::string>(leftOverNote);
        });
    for (auto& item : items) {
        std::string udid = lastComponent(item.url);
        if (known.contains(udid))
            item.command = std::vector<std::string>{"xcrun", "simctl", "delete", udid};
    }
    return items;
}

std::optional<Date> parseInternetDate(const std::string& text) {
    // YYYY-MM-DDTHH:MM:SS followed by Z or an offset ±HH:MM (or ±HHMM).
    int year, month, day, hour, minute, second;
    if (text.size() < 20 || !digits(text, 0, 4, year) || text[4] != '-' ||
        !digits(text, 5, 2, month) || text[7] != '-' || !digits(text, 8, 2, day) ||
        text[10] != 'T' || !digits(text, 11, 2, hour) || text[13] != ':' ||
        !digits(text, 14, 2, minute) || text[16] != ':' || !digits(text, 17, 2, second))
        return std::nullopt;
    static constexpr int monthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month < 1 || month > 12 || day < 1 || day > monthDays[month - 1] ||
        (month == 2 && day == 29 && !leap) || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    long offset = 0;
    std::string zone = text.substr(19);
    if (zone != "Z") {
        int zh, zm;
        bool colon = zone.size() == 6 && zone[3] == ':';
        if ((zone.size() != 6 && zone.size() != 5) || (zone[0] != '+' && zone[0] != '-') ||
            !digits(zone, 1, 2, zh) || (zone.size() == 6 && !colon) ||
            !digits(zone, colon ? 4 : 3, 2, zm) || zh > 23 || zm > 59)
            return std::nullopt;
        offset = (zone[0] == '+' ? 1 : -1) * (zh * 3600L + zm * 60L);
    }
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    double seconds = static_cast<double>(::timegm(&tm)) - static_cast<double>(offset);
    if (std::fabs(seconds) > 9.0e9) return std::nullopt; // beyond what a date holds here
    return Date(std::chrono::seconds(static_cast<std::int64_t>(seconds)));
}

std::optional<ScanItem> runtimeItem(const json& runtime, Date now) {
    if (!runtime.is_object()) return std::nullopt;
    auto identifier = runtime.find("identifier");
    if (identifier == runtime.end() || !identifier->is_string()) return std::nullopt;
    std::string id = identifier->get<std::string>();

    static const std::unordered_map<std::string, std::string> platforms{
        {"iphone", "iOS"}, {"watch", "watchOS"}, {"appletv", "tvOS"}, {"xr", "visionOS"}};
    std::string word =
        replaceAll(replaceAll(stringOr(runtime, "platformIdentifier"), "com.apple.platform.", ""),
                   "simulator", "");
    auto platform = platforms.find(word);
    std::string shown = platform != platforms.end() ? platform->second : word;

    ScanItem item;
    item.id = id;
    item.url = stringOr(runtime, "path", defaultRuntimePath);
    item.name =
        shown + " " + stringOr(runtime, "version") + " (" + stringOr(runtime, "build") + ")";
    if (auto size = runtime.find("sizeBytes"); size != runtime.end()) item.size = byteCount(*size);
    if (auto used = runtime.find("lastUsedAt"); used != runtime.end() && used->is_string())
        item.lastUsed = parseInternetDate(used->get<std::string>());
    std::vector<std::string> notes;
    if (auto deletable = runtime.find("deletable");
        deletable != runtime.end() && deletable->is_boolean() && !deletable->get<bool>())
        notes.emplace_back("Not deletable (bundled with Xcode)");
    if (item.lastUsed) notes.push_back("Last used " + Text::relativeDate(*item.lastUsed, now));
    if (!notes.empty()) {
        std::string joined = notes.front();
        for (std::size_t i = 1; i < notes.size(); ++i)
            joined += " · " + notes[i];
        item.note = joined;
    }
    item.command = std::vector<std::string>{"xcrun", "simctl", "runtime", "delete", id};
    return item;
}

std::vector<ScanItem> simulatorRuntimes(const Shell::Runner& runner) {
    std::vector<ScanItem> items;
    auto answer = runJSON({"xcrun", "simctl", "runtime", "list", "-j"}, runner);
    if (!answer) return items;
    Date now = std::chrono::system_clock::now();
    for (const auto& [key, value] : answer->items())
        if (auto item = runtimeItem(value, now)) items.push_back(std::move(*item));
    return items;
}

} // namespace bramwick::Scanner

#include "system/maintenance.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include <plist/plist.h>

#include "base/text.h"
#include "base/unique_fd.h"
#include "engine/catalog.h"
#include "engine/models.h"
#include "engine/scanner.h"
#include "platform/admin.h"
#include "platform/files.h"

namespace bramwick::Maintenance {

namespace {

constexpr std::string_view dot = " \u00B7 ";
constexpr const char* xprotectBundle = "/Library/Apple/System/Library/CoreServices/XProtect.bundle";
constexpr const char* xprotectScanner = "/Library/Apple/System/Library/CoreServices/XProtect.app";
constexpr const char* lsregister = "/System/Library/Frameworks/CoreServices.framework/Frameworks/"
                                   "LaunchServices.framework/Support/lsregister";
constexpr double commandLimit = 600;
constexpr double adminLimit = 900;

using Commands = std::vector<std::vector<std::string>>;

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool executable(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::string join(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& part : parts) {
        if (!out.empty()) out += dot;
        out += part;
    }
    return out;
}

// A parsed property list, freed with its owner.
using Plist = std::unique_ptr<std::remove_pointer_t<plist_t>, decltype(&plist_free)>;

Plist parsePlist(const std::string& data) {
    plist_t root = nullptr;
    if (!data.empty() && data.size() < UINT32_MAX)
        plist_from_memory(data.data(), static_cast<std::uint32_t>(data.size()), &root);
    return Plist(root, &plist_free);
}

std::optional<std::string> stringValue(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
    char* value = nullptr;
    plist_get_string_val(node, &value);
    if (!value) return std::nullopt;
    std::string out(value);
    std::free(value);
    return out;
}

// A string value of the dictionary at the top of a property-list file.
std::optional<std::string> plistString(const std::string& path, const char* key) {
    auto data = Files::read(path);
    if (!data) return std::nullopt;
    Plist plist = parsePlist(*data);
    if (!plist || plist_get_node_type(plist.get()) != PLIST_DICT) return std::nullopt;
    return stringValue(plist_dict_get_item(plist.get(), key));
}

// The latest install date of an item of the system's install history.
std::optional<Date> lastInstalled(const std::string& name, const Probes& probes) {
    Shell::Result result;
    try {
        result = probes.runner({"system_profiler", "-xml", "SPInstallHistoryDataType"}, 30);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    Plist plist = parsePlist(result.output);
    plist_t top = plist.get();
    if (!top || plist_get_node_type(top) != PLIST_ARRAY || plist_array_get_size(top) == 0)
        return std::nullopt;
    for (std::uint32_t i = 0; i < plist_array_get_size(top); ++i)
        if (plist_get_node_type(plist_array_get_item(top, i)) != PLIST_DICT) return std::nullopt;
    plist_t items = plist_dict_get_item(plist_array_get_item(top, 0), "_items");
    if (!items || plist_get_node_type(items) != PLIST_ARRAY) return std::nullopt;
    std::optional<Date> latest;
    for (std::uint32_t i = 0; i < plist_array_get_size(items); ++i) {
        plist_t item = plist_array_get_item(items, i);
        if (plist_get_node_type(item) != PLIST_DICT) return std::nullopt;
        if (stringValue(plist_dict_get_item(item, "_name")) != name) continue;
        plist_t date = plist_dict_get_item(item, "install_date");
        if (!date || plist_get_node_type(date) != PLIST_DATE) continue;
        std::int32_t seconds = 0, microseconds = 0;
        plist_get_date_val(date, &seconds, &microseconds);
        Date when = dateFromReferenceSeconds(seconds + microseconds / 1e6);
        if (!latest || when > *latest) latest = when;
    }
    return latest;
}

enum class Gatekeeper { on, off, unknown };

Gatekeeper gatekeeper(const Probes& probes) {
    Shell::Result result;
    try {
        result = probes.runner({"spctl", "--status"}, 15);
    } catch (const std::exception&) {
        return Gatekeeper::unknown;
    }
    // Missing (env's 127), not executable (126) or stopped at the time limit (-1): no answer.
    if (result.status == 127 || result.status == 126 || result.status == -1)
        return Gatekeeper::unknown;
    return Text::contains(result.output, "assessments enabled") ? Gatekeeper::on : Gatekeeper::off;
}

// A listing line without the table drawing around it.
std::string_view trimmedListingLine(std::string_view line) {
    auto drawing = [](char c) {
        return c == '|' || c == '+' || c == '-' || c == ' ' || c == '\t' || c == '\v' ||
               c == '\f' || c == '\r';
    };
    while (!line.empty() && drawing(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && drawing(line.back()))
        line.remove_suffix(1);
    return line;
}

std::optional<std::string> snapshotsMeasure(const Probes& probes) {
    auto [total, purgeable] = localSnapshots(probes);
    if (total < 1) return "No local snapshots.";
    if (purgeable != 0)
        return std::to_string(purgeable) + " of " + std::to_string(total) +
               " local snapshots can be dropped" + std::string(dot) + "the volume reports " +
               Text::byteCount(purgeableBytes()) + " purgeable";
    return std::to_string(total) + " local snapshot" + (total == 1 ? "" : "s") +
           ", none purgeable \u2014 every one was made for an OS update, so this would free "
           "nothing";
}

std::optional<std::string> mailMeasure(const Probes& probes) {
    std::int64_t sum = 0;
    for (const auto& index : mailIndexes())
        sum += Scanner::allocatedSize(index);
    if (sum < 1) return std::nullopt;
    return Text::byteCount(sum) +
           (mailIsRunning(probes) ? std::string(dot) + "quit Mail first" : "");
}

// Asks to thin at least 1 GB, or all the volume reports purgeable when that is more.
Commands thinSnapshotsCommands() {
    std::int64_t bytes = std::max<std::int64_t>(purgeableBytes(), 1'000'000'000);
    return Commands{{"tmutil", "thinlocalsnapshots", "/", std::to_string(bytes), "4"}};
}

// One vacuum per index found when the task runs, so an account added since is included.
Commands mailIndexCommands() {
    Commands commands;
    for (const auto& index : mailIndexes())
        commands.push_back({"sqlite3", index, "vacuum;"});
    return commands;
}

// The administrator run of one script line.
Result runAsAdmin(const std::string& script, const Probes& probes) {
    Shell::Result result;
    try {
        result = Admin::run(script, adminLimit, probes.runner);
    } catch (const std::exception&) {
        return {false, "Couldn't ask for the administrator password."};
    }
    if (result.status == 0) return {true, Text::trimmed(result.output)};
    if (result.status == Admin::cancelledStatus) return {false, "Cancelled."};
    return {false, Admin::failureReason(result)};
}

} // namespace

std::vector<MaintenanceTask> all(const Probes& probes) {
    const std::string& root = probes.root;
    auto none = [] { return std::optional<std::string>(); };
    auto nothing = [] { return Commands{}; };
    auto tool = [root](std::string path) {
        return [root, path] { return executable(root + path); };
    };
    auto run = [](Commands commands) { return [commands] { return commands; }; };
    return {
        {.id = "malware",
         .name = "Malware protection",
         .detail = "macOS checks every app you open against Apple's own malware definitions "
                   "(XProtect), scans for known infections in the background (XProtect "
                   "Remediator), and refuses unsigned apps (Gatekeeper). Apple updates all of it "
                   "silently and at no cost.",
         .cost = "", // an information row: nothing to run
         .symbol = "checkmark.shield",
         .isAvailable = [root] { return exists(root + xprotectBundle); },
         .measure = [probes] { return std::optional<std::string>(xprotectStatus(probes)); },
         .commands = nothing},
        {.id = "memory-purge",
         .name = "Memory purge",
         .detail = "Other cleaners offer a button that empties the disk cache so the free-memory "
                   "figure jumps. The cache was never taking memory away from anything: macOS "
                   "drops it by itself the moment an app needs the space, and reads it back "
                   "afterwards.",
         .cost = "", // an information row: nothing to run
         .symbol = "memorychip",
         .isAvailable = [probes] { return probes.memorySnapshot().has_value(); },
         .measure = [probes] { return purgeReality(probes); },
         .commands = nothing},
        {.id = "logs",
         .name = "Rotate and compress logs",
         .detail = "Rotates every system log that is due and gzips the old ones, which is where "
                   "the space is.",
         .cost = "A few seconds.",
         .symbol = "doc.text.magnifyingglass",
         .needsPassword = true,
         .isAvailable = tool("/usr/sbin/newsyslog"),
         .measure = none,
         .commands = run({{"newsyslog", "-F"}})},
        {.id = "snapshots",
         .name = "Thin local snapshots",
         .detail = "Time Machine keeps hourly snapshots on the startup disk when the backup drive "
                   "is away. macOS deletes them under pressure; this asks for it now.",
         .cost = "You lose the ability to roll back to those points without your backup drive. "
                 "Snapshots macOS made for an OS update are not purgeable and stay.",
         .symbol = "clock.arrow.2.circlepath",
         .needsPassword = true,
         .isAvailable = tool("/usr/bin/tmutil"),
         .measure = [probes] { return snapshotsMeasure(probes); },
         .commands = thinSnapshotsCommands},
        {.id = "dns",
         .name = "Flush the DNS cache",
         .detail = "Makes the Mac look addresses up again. The fix when a site still resolves to "
                   "an address it has moved off.",
         .cost = "The first visit to each site is a fraction slower.",
         .symbol = "network",
         .needsPassword = true,
         .isAvailable = tool("/usr/bin/dscacheutil"),
         .measure = none,
         .commands = run({{"dscacheutil", "-flushcache"}, {"killall", "-HUP", "mDNSResponder"}})},
        {.id = "launch-services",
         .name = "Rebuild the Open With list",
         .detail = "Clears out apps you have deleted and duplicate entries from the Open With "
                   "menu and from which app opens what.",
         .cost = "Takes a minute, and the menu is rebuilt as apps are re-registered.",
         .symbol = "square.and.arrow.up.on.square",
         .isAvailable = tool(lsregister),
         .measure = none,
         .commands = run({{lsregister, "-kill", "-r", "-domain", "local", "-domain", "system",
                           "-domain", "user"}})},
        {.id = "mail-index",
         .name = "Compact Mail's index",
         .detail = "Rewrites Mail's message index without the gaps left by deleted mail. Mail "
                   "opens faster afterwards.",
         .cost = "Mail has to be closed. Your mail is not touched \u2014 only the index of it.",
         .symbol = "envelope.badge",
         .isAvailable = [] { return !mailIndexes().empty(); },
         .measure = [probes] { return mailMeasure(probes); },
         .commands = mailIndexCommands},
        {.id = "spotlight",
         .name = "Rebuild the Spotlight index",
         .detail = "Throws the search index away and builds it again. Fixes searches that find "
                   "nothing, and it is what Bramwick reads for when an app was last opened.",
         .cost = "Hours of background work, and the Mac runs hot and busy throughout. Only worth "
                 "it when search is actually broken.",
         .symbol = "magnifyingglass",
         .needsPassword = true,
         .isAvailable = tool("/usr/bin/mdutil"),
         .measure = none,
         .commands = run({{"mdutil", "-E", "/"}})},
        {.id = "verify-disk",
         .name = "Check the startup disk",
         .detail = "Runs First Aid's read-only check and reports what it finds. Nothing is "
                   "changed.",
         .cost = "A minute or two. Read-only, so it is always safe to run.",
         .symbol = "stethoscope",
         .isAvailable = tool("/usr/sbin/diskutil"),
         .measure = none,
         .commands = run({{"diskutil", "verifyVolume", "/"}})},
    };
}

bool periodicExists(const Probes& probes) {
    return executable(probes.root + "/usr/sbin/periodic") ||
           executable(probes.root + "/usr/bin/periodic");
}

std::vector<Retired> retired(const Probes& probes) {
    return {
        {"Run the periodic maintenance scripts",
         periodicExists(probes) ? "The daily, weekly and monthly scripts still exist here, but "
                                  "launchd already runs them. "
                                  "Rotate and compress logs above is the part that frees space."
                                : "macOS no longer ships the `periodic` command at all \u2014 "
                                  "there is no /etc/periodic and "
                                  "no launch daemon for it. Log rotation moved to newsyslog, which "
                                  "is the task above."},
        {"Scan for malware",
         "macOS already does, and the row above says how current it is. A third-party scanner is "
         "only as "
         "good as the threat feed behind it, and a feed has to be paid for every month for as long "
         "as the "
         "app exists \u2014 which a one-off purchase cannot fund. An app that stops updating its "
         "definitions is worse than none, because it still reports that it found nothing."},
        {"Repair disk permissions", "macOS has protected and repaired system file permissions "
                                    "itself since El Capitan. There has "
                                    "been nothing for this button to do for ten years."},
        {"Free up RAM",
         "The row above measures what the button would do on this Mac right now. macOS fills spare "
         "memory with cache on purpose and rebuilds it within seconds of it being dropped; a Mac "
         "with "
         "little free RAM is a Mac using its RAM."},
    };
}

std::string xprotectStatus(const Probes& probes) {
    std::vector<std::string> parts;
    if (auto version = plistString(probes.root + xprotectBundle + "/Contents/Info.plist",
                                   "CFBundleShortVersionString")) {
        if (auto date = lastInstalled("XProtectPlistConfigData", probes))
            parts.push_back("Definitions " + *version + ", updated " + Text::numericDate(*date));
        else
            parts.push_back("Definitions " + *version);
    }
    if (auto version = plistString(probes.root + xprotectScanner + "/Contents/Info.plist",
                                   "CFBundleShortVersionString"))
        parts.push_back("scanner " + *version);
    switch (gatekeeper(probes)) {
    case Gatekeeper::on:
        parts.push_back("Gatekeeper on");
        break;
    case Gatekeeper::off:
        parts.push_back("GATEKEEPER IS OFF");
        break;
    case Gatekeeper::unknown:
        parts.push_back("cannot tell whether Gatekeeper is on");
        break;
    }
    return join(parts);
}

std::optional<std::string> purgeReality(const Probes& probes) {
    auto snapshot = probes.memorySnapshot();
    if (!snapshot) return std::nullopt;
    std::vector<std::string> parts{"Would free " + Text::byteCount(snapshot->purgeableBytes) +
                                   " that is genuinely spare"};
    if (snapshot->externalBytes >= 1)
        parts.push_back("drop " + Text::byteCount(snapshot->externalBytes) +
                        " of disk cache macOS reads straight back");
    if (snapshot->compressorBytes >= 1)
        parts.push_back("cannot touch the " + Text::byteCount(snapshot->compressorBytes) +
                        " the compressor holds");
    return join(parts);
}

Snapshots localSnapshots(const Probes& probes) {
    Shell::Result result;
    try {
        result = probes.runner({"diskutil", "apfs", "listSnapshots", "/"}, 30);
    } catch (const std::exception&) {
        return {};
    }
    Snapshots snapshots;
    std::string_view output = result.output;
    while (!output.empty()) {
        std::size_t end = output.find('\n');
        std::string_view line = trimmedListingLine(output.substr(0, end));
        if (line.starts_with("Name:")) ++snapshots.total;
        if (line.starts_with("Purgeable:") && line.ends_with("Yes")) ++snapshots.purgeable;
        if (end == std::string_view::npos) break;
        output.remove_prefix(end + 1);
    }
    return snapshots;
}

std::int64_t purgeableBytes() {
    return 0;
}

std::vector<std::string> mailIndexes() {
    std::string folder = Catalog::expand("~/Library/Mail");
    std::vector<std::string> names;
    if (UniqueDir dir(::opendir(folder.c_str())); dir) {
        while (dirent* entry = ::readdir(dir.get())) {
            std::string_view name = entry->d_name;
            if (name != "." && name != "..") names.emplace_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> indexes;
    for (const auto& name : names) {
        std::string account = folder + "/" + name, data = account + "/MailData",
                    index = data + "/Envelope Index";
        // Only a file of the mail folders themselves: a link on the way would have sqlite3
        // rewrite whatever database it leads to.
        auto is = [](const std::string& path, mode_t type) {
            struct stat st {};
            return ::lstat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == type;
        };
        if (is(account, S_IFDIR) && is(data, S_IFDIR) && is(index, S_IFREG))
            indexes.push_back(std::move(index));
    }
    return indexes;
}

bool mailIsRunning(const Probes& probes) {
    auto apps = probes.applications();
    return std::any_of(apps.begin(), apps.end(), [](const RunningApplication& app) {
        return app.bundleIdentifier == "com.apple.mail";
    });
}

Result run(const MaintenanceTask& task, const Probes& probes) {
    if (task.id == "mail-index" && mailIsRunning(probes))
        return {false,
                "Mail is open. Quit Mail and run this again \u2014 the index cannot be rewritten "
                "while Mail holds it."};
    Commands commands = task.commands ? task.commands() : Commands{};

    if (task.needsPassword) {
        if (commands.empty()) return {true, ""}; // nothing to ask the password for
        std::string script;
        for (const auto& command : commands) {
            if (!script.empty()) script += " && ";
            for (std::size_t i = 0; i < command.size(); ++i) {
                if (i > 0) script += ' ';
                script += Admin::quote(command[i]);
            }
        }
        return runAsAdmin(script, probes);
    }

    std::string collected;
    for (const auto& command : commands) {
        Shell::Result result;
        try {
            // An empty vector would run env alone, which prints the environment: never run it.
            if (command.empty()) throw std::invalid_argument("empty command");
            result = probes.runner(command, commandLimit);
        } catch (const std::exception&) {
            return {false, collected + "\nCouldn't run " +
                               (command.empty() ? "the command" : command[0]) + "."};
        }
        collected += result.output;
        if (result.status != 0) return {false, Text::trimmed(collected)};
    }
    return {true, Text::trimmed(collected)};
}

} // namespace bramwick::Maintenance

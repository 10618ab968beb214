#include "system/running.h"

#include <algorithm>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <regex>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "base/text.h"
#include "platform/kernel_stats.h"
#include "system/process_list.h"

namespace bramwick::RunningScanner {

namespace {

constexpr std::string_view dot = " \u00B7 ";
constexpr double watcherMinimumAge = 3600; // a log stream younger than an hour may be in use

struct Process {
    std::int32_t pid = 0;
    std::int32_t ppid = 0;
    double cpu = 0;
    std::int64_t memory = 0;
    double age = 0; // seconds since it started
    std::string command;
    // For a log stream: who the pid was right after the listing, so that stopping it later
    // never hits a process that took the pid over.
    std::optional<ProcessTable::Identity> identity;
    bool anotherUsers = false; // runs as another user (or root): never the user's to stop
};

struct BootedSimulator {
    std::string udid;
    std::string name;
    std::string os;
    std::optional<Date> booted;
};

// ps's elapsed time, [[dd-]hh:]mm:ss, in seconds.
double secondsFromElapsed(std::string_view text) {
    auto value = [](std::string_view piece) {
        double v = 0;
        auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), v);
        return error == std::errc{} && end == piece.data() + piece.size() ? v : 0.0;
    };
    double days = 0;
    if (std::size_t dash = text.find('-'); dash != std::string_view::npos) {
        days = value(text.substr(0, dash));
        text.remove_prefix(dash + 1);
    }
    double seconds = 0;
    while (!text.empty()) {
        std::size_t colon = text.find(':');
        std::string_view piece = text.substr(0, colon);
        if (!piece.empty()) seconds = seconds * 60 + value(piece);
        if (colon == std::string_view::npos) break;
        text.remove_prefix(colon + 1);
    }
    return days * 86400 + seconds;
}

std::vector<Process> processList(const std::string& output) {
    std::vector<Process> processes;
    for (std::string_view line : ProcessList::lines(output)) {
        auto split = ProcessList::split(line, 5);
        if (!split) continue;
        auto pid = ProcessList::int32(split->fields[0]);
        auto ppid = ProcessList::int32(split->fields[1]);
        if (!pid || !ppid) continue;
        processes.push_back(
            {*pid, *ppid, ProcessList::real(split->fields[2]).value_or(0),
             ProcessList::kibibytes(
                 std::max<std::int64_t>(ProcessList::int64(split->fields[3]).value_or(0), 0)),
             secondsFromElapsed(split->fields[4]), std::string(split->rest), std::nullopt});
    }
    return processes;
}

// An internet date-time ("2024-05-01T10:20:30Z", with or without fractional seconds, "Z" or a
// numeric offset).
std::optional<Date> internetDate(std::string_view text) {
    int year, month, day, hour, minute, second, consumed = 0;
    std::string copy(text);
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute,
                    &second, &consumed) != 6 ||
        consumed != 19)
        return std::nullopt;
    using namespace std::chrono;
    year_month_day date{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                        std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok() || hour > 23 || minute > 59 || second > 60) return std::nullopt;
    std::string_view rest = text.substr(19);
    double fraction = 0;
    if (rest.starts_with('.')) {
        std::size_t digits = 1;
        while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9')
            ++digits;
        if (digits == 1) return std::nullopt;
        fraction = std::stod("0" + std::string(rest.substr(0, digits)));
        rest.remove_prefix(digits);
    }
    int offset = 0;
    if (rest == "Z" || rest == "z") {
    } else if (rest.size() >= 5 && (rest[0] == '+' || rest[0] == '-')) {
        int oh = 0, om = 0;
        std::string zone(rest.substr(1));
        if (std::sscanf(zone.c_str(), "%2d:%2d", &oh, &om) != 2 &&
            std::sscanf(zone.c_str(), "%2d%2d", &oh, &om) != 2)
            return std::nullopt;
        offset = (oh * 60 + om) * 60 * (rest[0] == '-' ? -1 : 1);
    } else {
        return std::nullopt;
    }
    auto moment =
        sys_days(date) + hours(hour) + minutes(minute) + seconds(second) - seconds(offset);
    return time_point_cast<system_clock::duration>(moment) +
           duration_cast<system_clock::duration>(duration<double>(fraction));
}

// "iOS-17-2" (the last piece of a runtime key) → "iOS 17.2".
std::string osLabel(const std::string& runtime) {
    std::string last =
        runtime.substr(runtime.rfind('.') == std::string::npos ? 0 : runtime.rfind('.') + 1);
    std::replace(last.begin(), last.end(), '-', ' ');
    static const std::regex numbers(R"((\d+) (\d+))");
    return std::regex_replace(last, numbers, "$1.$2");
}

std::vector<BootedSimulator> bootedSimulators(const Shell::Runner& runner) {
    Shell::Result result;
    try {
        result = runner({"xcrun", "simctl", "list", "devices", "booted", "-j"}, 30);
    } catch (const std::exception&) {
        return {};
    }
    if (result.status != 0) return {};
    auto document = nlohmann::ordered_json::parse(result.output, nullptr, false);
    if (document.is_discarded() || !document.is_object()) return {};
    auto devices = document.find("devices");
    if (devices == document.end() || !devices->is_object()) return {};
    for (const auto& [runtime, list] : devices->items()) {
        if (!list.is_array()) return {};
        for (const auto& device : list)
            if (!device.is_object()) return {};
    }
    std::vector<BootedSimulator> simulators;
    for (const auto& [runtime, list] : devices->items()) {
        for (const auto& device : list) {
            auto state = device.find("state");
            auto udid = device.find("udid");
            if (state == device.end() || !state->is_string() || *state != "Booted") continue;
            if (udid == device.end() || !udid->is_string()) continue;
            BootedSimulator simulator;
            simulator.udid = udid->get<std::string>();
            auto name = device.find("name");
            simulator.name = name != device.end() && name->is_string() ? name->get<std::string>()
                                                                       : simulator.udid;
            simulator.os = osLabel(runtime);
            if (auto booted = device.find("lastBootedAt");
                booted != device.end() && booted->is_string())
                simulator.booted = internetDate(booted->get<std::string>());
            simulators.push_back(std::move(simulator));
        }
    }
    return simulators;
}

// Adds a process's figures to an item once, however often it is reached.
struct Tally {
    std::unordered_set<std::int32_t> seen;
    double cpu = 0;
    std::int64_t memory = 0;
    bool add(const Process& process) {
        if (!seen.insert(process.pid).second) return false;
        cpu += process.cpu;
        memory = ProcessList::sum(memory, process.memory);
        return true;
    }
};

std::vector<RunningItem> simulatorItems(const std::vector<BootedSimulator>& simulators,
                                        const std::vector<Process>& processes, Date now) {
    std::unordered_map<std::int32_t, std::vector<const Process*>> children;
    for (const auto& process : processes)
        children[process.ppid].push_back(&process);
    std::vector<const Process*> shared;
    if (simulators.size() == 1)
        for (const auto& process : processes)
            if (Text::contains(process.command, "SimRenderServer") ||
                Text::contains(process.command, "SimMetalHost"))
                shared.push_back(&process);

    std::vector<RunningItem> items;
    for (const auto& simulator : simulators) {
        Tally tally;
        std::optional<double> firstAge;
        auto gather = [&](const Process& process) {
            if (tally.add(process) && !firstAge) firstAge = process.age;
        };
        std::vector<std::int32_t> stack;
        for (const auto& process : processes)
            if (!simulator.udid.empty() && Text::contains(process.command, "launchd_sim") &&
                Text::contains(process.command, simulator.udid)) {
                gather(process);
                stack.push_back(process.pid);
            }
        std::unordered_set<std::int32_t> walked; // a pid listed as its own ancestor cannot loop
        while (!stack.empty()) {
            std::int32_t pid = stack.back();
            stack.pop_back();
            if (!walked.insert(pid).second) continue;
            if (auto found = children.find(pid); found != children.end())
                for (const Process* child : found->second) {
                    gather(*child);
                    stack.push_back(child->pid);
                }
        }
        for (const Process* process : shared)
            gather(*process);

        std::optional<double> running;
        if (simulator.booted)
            running = std::chrono::duration<double>(now - *simulator.booted).count();
        else
            running = firstAge;

        RunningItem item;
        item.id = "sim-" + simulator.udid;
        item.kind = RunningItem::Simulator{simulator.udid};
        item.name = simulator.name;
        item.detail = simulator.os;
        if (running) item.detail += std::string(dot) + "running for " + runningTime(*running);
        item.cpu = tally.cpu;
        item.memory = tally.memory;
        items.push_back(std::move(item));
    }
    return items;
}

// The identity of a watcher's pid, kept only when it still is a log stream.
std::optional<ProcessTable::Identity> watcherIdentity(std::int32_t pid, const std::string& root) {
    auto identity = ProcessTable::identity(pid, root);
    if (!identity) return std::nullopt;
    std::string words = identity->commandLine;
    std::replace(words.begin(), words.end(), '\0', ' ');
    if (!Text::contains(words, "log stream")) return std::nullopt;
    return identity;
}

std::vector<RunningItem> watcherItems(const std::vector<Process>& processes,
                                      const std::vector<BootedSimulator>& simulators,
                                      const Source& source) {
    std::vector<const Process*> candidates;
    std::unordered_set<std::int32_t> candidatePids;
    for (const auto& process : processes)
        if (Text::contains(process.command, "log stream") && process.age >= watcherMinimumAge &&
            process.pid != source.ownPid && !process.anotherUsers &&
            !Text::contains(process.command, "RuntimeRoot")) {
            candidates.push_back(&process);
            candidatePids.insert(process.pid);
        }

    // The names of the booted simulators by udid; the first name of a udid stays.
    std::vector<std::pair<std::string, std::string>> names;
    for (const auto& simulator : simulators)
        if (std::none_of(names.begin(), names.end(),
                         [&](const auto& n) { return n.first == simulator.udid; }))
            names.emplace_back(simulator.udid, simulator.name);

    std::vector<RunningItem> items;
    for (const Process* root : candidates) {
        if (candidatePids.contains(root->ppid)) continue;
        Tally tally;
        RunningItem::Watcher watcher;
        auto join = [&](const Process& member) {
            if (!tally.add(member)) return;
            watcher.pids.push_back(member.pid);
            watcher.identities.push_back(member.identity);
        };
        join(*root);
        for (const Process* candidate : candidates)
            if (candidate->ppid == root->pid) join(*candidate);

        std::optional<std::string> simulatorName;
        for (const auto& [udid, name] : names)
            if (!udid.empty() && Text::contains(root->command, udid)) {
                simulatorName = name;
                break;
            }

        std::string running = runningTime(root->age);
        std::string detail;
        if (Text::contains(root->command, "/Applications/Claude.app"))
            detail = "Started by Claude" + std::string(dot) + "running for " + running;
        else if (Text::contains(root->command, "Xcode.app"))
            detail = "Started by Xcode" + std::string(dot) + "running for " + running;
        else
            detail = "Running for " + running;
        if (root->ppid == 1) detail += std::string(dot) + "left behind by a tool that has quit";
        if (!simulatorName && Text::contains(root->command, "simctl"))
            detail += std::string(dot) + "its simulator isn't running";

        RunningItem item;
        item.id = "watch-" + std::to_string(root->pid);
        item.kind = std::move(watcher);
        item.name = simulatorName ? "Log watcher on " + *simulatorName : "Log watcher";
        item.detail = std::move(detail);
        item.cpu = tally.cpu;
        item.memory = tally.memory;
        items.push_back(std::move(item));
    }
    return items;
}

} // namespace

std::string runningTime(double seconds) {
    if (!(seconds >= 60)) seconds = 60; // anything up to a minute reads as one minute
    auto phrase = [](double count, const char* unit) {
        auto whole = static_cast<long long>(std::min(count, 9.0e15));
        return fmt::format("{} {}{}", whole, unit, whole == 1 ? "" : "s");
    };
    if (seconds >= 86400) return phrase(seconds / 86400, "day");
    if (seconds >= 3600) return phrase(seconds / 3600, "hour");
    return phrase(seconds / 60, "minute");
}

RunningSnapshot snapshot(const Source& source) {
    std::vector<Process> processes;
    std::string watchersProblem;
    try {
        processes = processList(
            source.runner({"ps", "-Ao", "pid=,ppid=,pcpu=,rss=,etime=,command="}, 30).output);
    } catch (const std::exception& error) {
        // ps could not be started: no processes, so no watchers, and the snapshot says why
        watchersProblem = std::string("Couldn't run ps: ") + error.what();
    }
    for (auto& process : processes)
        if (Text::contains(process.command, "log stream")) {
            process.identity = watcherIdentity(process.pid, source.root);
            // ps lists everyone's processes; the kernel gives a process's folder its owner.
            struct stat st {};
            std::string folder = source.root + "/proc/" + std::to_string(process.pid);
            process.anotherUsers = ::stat(folder.c_str(), &st) == 0 && st.st_uid != source.ownUid;
        }
    auto simulators = bootedSimulators(source.runner);
    auto swap = KernelStats::swapUsage(source.root);

    RunningSnapshot snapshot;
    snapshot.items = simulatorItems(simulators, processes, source.now());
    auto watchers = watcherItems(processes, simulators, source);
    snapshot.items.insert(snapshot.items.end(), std::make_move_iterator(watchers.begin()),
                          std::make_move_iterator(watchers.end()));
    snapshot.swapUsed = swap.used;
    snapshot.swapTotal = swap.total;
    snapshot.watchersProblem = std::move(watchersProblem);
    snapshot.scanned = true;
    return snapshot;
}

std::vector<std::string> stopCommand(const RunningItem& item) {
    if (const auto* simulator = std::get_if<RunningItem::Simulator>(&item.kind))
        return {"xcrun", "simctl", "shutdown", simulator->udid};
    std::vector<std::string> command{"kill"};
    for (std::int32_t pid : std::get<RunningItem::Watcher>(item.kind).pids)
        command.push_back(std::to_string(pid));
    return command;
}

Shell::Result stop(const RunningItem& item, const Shell::Runner& runner) {
    if (std::holds_alternative<RunningItem::Simulator>(item.kind)) {
        auto command = stopCommand(item);
        try {
            return runner(command, 120);
        } catch (const std::exception& error) {
            return {1, fmt::format("Couldn't run {}: {}", command[0], error.what())};
        }
    }
    const auto& watcher = std::get<RunningItem::Watcher>(item.kind);
    std::vector<std::string> problems;
    bool signalled = false;
    for (std::size_t i = 0; i < watcher.pids.size(); ++i) {
        pid_t pid = watcher.pids[i];
        const auto& identity = i < watcher.identities.size() ? watcher.identities[i] : std::nullopt;
        if (!identity) {
            // Never confirmed as the log stream that was listed: left alone unless it is gone.
            if (ProcessTable::identity(pid))
                problems.push_back(fmt::format("Process {} was left running: it could not be "
                                               "confirmed as the log watcher that was listed.",
                                               pid));
            continue;
        }
        auto outcome = ProcessTable::signalIfUnchanged(pid, *identity, SIGTERM);
        if (outcome.kind == ProcessTable::SignalOutcome::Kind::sent) signalled = true;
        if (outcome.kind == ProcessTable::SignalOutcome::Kind::refused)
            problems.push_back(fmt::format("Could not stop process {}: {}.", pid, outcome.reason));
    }
    // Members that end with their root before their own turn are fine; but when nothing at all
    // was signalled, nothing was stopped here.
    if (!signalled && problems.empty())
        problems.push_back(watcher.pids.size() == 1 ? "The process had already ended."
                                                    : "Its processes had already ended.");
    if (problems.empty()) return {0, ""};
    std::string output;
    for (const auto& problem : problems)
        output += (output.empty() ? "" : "\n") + problem;
    return {1, output};
}

} // namespace bramwick::RunningScanner

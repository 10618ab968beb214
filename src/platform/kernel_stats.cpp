#include "platform/kernel_stats.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <dirent.h>
#include <limits>
#include <mutex>
#include <string_view>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#include "base/unique_fd.h"
#include "platform/files.h"

namespace bramwick::KernelStats {

namespace {

constexpr std::int64_t int64Max = std::numeric_limits<std::int64_t>::max();

std::int64_t times(std::int64_t a, std::int64_t b) {
    std::int64_t out = 0;
    if (__builtin_mul_overflow(a, b, &out))
        return a < 0 ? std::numeric_limits<std::int64_t>::min() : int64Max;
    return out;
}

std::int64_t plus(std::int64_t a, std::int64_t b) {
    std::int64_t out = 0;
    if (__builtin_add_overflow(a, b, &out))
        return a < 0 ? std::numeric_limits<std::int64_t>::min() : int64Max;
    return out;
}

std::string_view skipSpaces(std::string_view text) {
    std::size_t i = text.find_first_not_of(" \t");
    return i == std::string_view::npos ? std::string_view{} : text.substr(i);
}

// The next whitespace-separated word of `text`, which moves past it.
std::string_view nextWord(std::string_view& text) {
    text = skipSpaces(text);
    std::size_t end = text.find_first_of(" \t\n");
    std::string_view word = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end);
    return word;
}

template <typename Number> std::optional<Number> number(std::string_view word) {
    Number value{};
    auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc{} || end != word.data() + word.size()) return std::nullopt;
    if constexpr (std::is_floating_point_v<Number>)
        if (!std::isfinite(value)) return std::nullopt;
    return value;
}

// Calls `line` for each line of `text`.
template <typename Function> void eachLine(std::string_view text, Function line) {
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        line(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

// A "Name:  value kB" line of /proc/meminfo, in bytes.
std::optional<std::int64_t> meminfoBytes(std::string_view text, std::string_view name) {
    std::optional<std::int64_t> found;
    eachLine(text, [&](std::string_view line) {
        if (found || !line.starts_with(name) || line.size() <= name.size() ||
            line[name.size()] != ':')
            return;
        line.remove_prefix(name.size() + 1);
        auto value = number<std::int64_t>(nextWord(line));
        if (!value || *value < 0) return;
        found = nextWord(line) == "kB" ? times(*value, 1024) : *value;
    });
    return found;
}

// A "name value" line of /proc/vmstat.
std::optional<std::uint64_t> vmstatValue(std::string_view text, std::string_view name) {
    std::optional<std::uint64_t> found;
    eachLine(text, [&](std::string_view line) {
        if (found || !line.starts_with(name) || line.size() <= name.size() ||
            line[name.size()] != ' ')
            return;
        line.remove_prefix(name.size());
        found = number<std::uint64_t>(nextWord(line));
    });
    return found;
}

std::vector<std::string> entriesStartingWith(const std::string& folder, std::string_view prefix) {
    std::vector<std::string> names;
    if (UniqueDir dir(::opendir(folder.c_str())); dir) {
        while (dirent* entry = ::readdir(dir.get()))
            if (std::string_view(entry->d_name).starts_with(prefix))
                names.emplace_back(entry->d_name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::int64_t> readInteger(const std::string& path) {
    auto text = Files::read(path);
    if (!text) return std::nullopt;
    std::string_view rest = *text;
    return number<std::int64_t>(nextWord(rest));
}

// A trip point that matters for the state: crossing it gives `crossed`.
struct Trip {
    ThermalState crossed = ThermalState::serious;
    std::int64_t milli = 0; // millidegrees Celsius
};

std::vector<Trip> readTrips(const std::string& zone) {
    std::vector<Trip> trips;
    for (int n = 0;; ++n) {
        std::string trip = zone + "/trip_point_" + std::to_string(n);
        auto type = Files::read(trip + "_type");
        if (!type) break;
        std::string_view kind = *type;
        kind = nextWord(kind);
        if (kind != "critical" && kind != "hot" && kind != "passive") continue; // fans only
        auto limit = readInteger(trip + "_temp");
        if (!limit || *limit <= 0) continue; // unset trip points read 0 or below
        trips.push_back(
            {kind == "critical" ? ThermalState::critical : ThermalState::serious, *limit});
    }
    return trips;
}

// Trip points are the driver's settings and seldom change, while a machine can have dozens of
// zones with several trips each: they are read again once a minute, the temperatures on every
// call, so that a sample stays cheap.
std::vector<Trip> tripsOf(const std::string& zone) {
    using Clock = std::chrono::steady_clock;
    constexpr auto refresh = std::chrono::seconds(60);
    struct Table {
        std::vector<Trip> trips;
        Clock::time_point readAt;
    };
    static std::mutex mutex;
    static std::unordered_map<std::string, Table> tables;
    auto now = Clock::now();
    {
        std::lock_guard lock(mutex);
        if (auto found = tables.find(zone);
            found != tables.end() && now - found->second.readAt < refresh)
            return found->second.trips;
    }
    auto trips = readTrips(zone);
    std::lock_guard lock(mutex);
    tables[zone] = Table{trips, now};
    return trips;
}

ThermalState zoneState(const std::string& zone) {
    auto temperature = readInteger(zone + "/temp"); // millidegrees Celsius
    if (!temperature) return ThermalState::nominal;
    ThermalState state = ThermalState::nominal;
    for (const Trip& trip : tripsOf(zone)) {
        ThermalState here = ThermalState::nominal;
        // The distance in doubles: a broken sensor's extreme reading must not overflow it.
        if (*temperature >= trip.milli)
            here = trip.crossed;
        else if (static_cast<double>(trip.milli) - static_cast<double>(*temperature) <=
                 fairMarginCelsius * 1000)
            here = ThermalState::fair;
        state = std::max(state, here);
    }
    return state;
}

// The avg10 figure of one line ("some" or "full") of a pressure file.
std::optional<double> stallPercent(std::string_view text, std::string_view kind) {
    std::optional<double> found;
    eachLine(text, [&](std::string_view line) {
        if (found || nextWord(line) != kind) return;
        for (std::string_view word = nextWord(line); !word.empty(); word = nextWord(line))
            if (word.starts_with("avg10=")) found = number<double>(word.substr(6));
    });
    return found;
}

} // namespace

CpuStat cpu(const std::string& root) {
    CpuStat stat;
    auto text = Files::read(root + "/proc/stat");
    if (!text) return stat;
    eachLine(*text, [&](std::string_view line) {
        if (!line.starts_with("cpu")) return;
        std::string_view name = nextWord(line);
        if (name.size() > 3) {
            if (name[3] >= '0' && name[3] <= '9') ++stat.processors;
            return;
        }
        // user nice system idle iowait irq softirq steal (guest time is inside user already)
        double field[8] = {};
        for (double& f : field)
            f = static_cast<double>(number<std::uint64_t>(nextWord(line)).value_or(0));
        double busy = field[0] + field[1] + field[2] + field[5] + field[6] + field[7];
        stat.ticks = CpuStat::Ticks{busy, busy + field[3] + field[4]};
    });
    return stat;
}

double loadAverage(const std::string& root) {
    auto text = Files::read(root + "/proc/loadavg");
    if (!text) return 0;
    std::string_view rest = *text;
    return number<double>(nextWord(rest)).value_or(0);
}

SwapUsage swapUsage(const std::string& root) {
    auto text = Files::read(root + "/proc/meminfo");
    if (!text) return {};
    std::int64_t total = meminfoBytes(*text, "SwapTotal").value_or(0);
    std::int64_t free = meminfoBytes(*text, "SwapFree").value_or(total);
    return {std::clamp<std::int64_t>(total - free, 0, total), total};
}

MemoryPressure memoryPressure(const std::string& root) {
    if (auto text = Files::read(root + "/proc/pressure/memory")) {
        auto full = stallPercent(*text, "full");
        auto some = stallPercent(*text, "some");
        if (full || some) {
            if (full.value_or(0) >= criticalFullStallPercent) return MemoryPressure::critical;
            if (some.value_or(0) >= warningSomeStallPercent) return MemoryPressure::warning;
            return MemoryPressure::normal;
        }
    }
    auto text = Files::read(root + "/proc/meminfo");
    if (!text) return MemoryPressure::normal;
    auto total = meminfoBytes(*text, "MemTotal");
    auto available = meminfoBytes(*text, "MemAvailable");
    if (!total || !available || *total <= 0) return MemoryPressure::normal;
    double share = static_cast<double>(*available) / static_cast<double>(*total);
    if (share < criticalAvailableShare) return MemoryPressure::critical;
    if (share < warningAvailableShare) return MemoryPressure::warning;
    return MemoryPressure::normal;
}

ThermalState thermalState(const std::string& root) {
    std::string folder = root + "/sys/class/thermal";
    ThermalState state = ThermalState::nominal;
    for (const auto& zone : entriesStartingWith(folder, "thermal_zone"))
        state = std::max(state, zoneState(folder + "/" + zone));
    return state;
}

std::optional<MemorySnapshot> memorySnapshot(const std::string& root) {
    auto vmstat = Files::read(root + "/proc/vmstat");
    if (!vmstat) return std::nullopt;
    auto ins = vmstatValue(*vmstat, "pswpin");
    auto outs = vmstatValue(*vmstat, "pswpout");
    if (!ins || !outs) return std::nullopt;

    MemorySnapshot snapshot;
    snapshot.swapins = *ins;
    snapshot.swapouts = *outs;
    std::uint64_t filePages = vmstatValue(*vmstat, "nr_active_file").value_or(0) +
                              vmstatValue(*vmstat, "nr_inactive_file").value_or(0);
    snapshot.externalBytes =
        times(static_cast<std::int64_t>(std::min<std::uint64_t>(filePages, int64Max)), pageSize());

    if (auto meminfo = Files::read(root + "/proc/meminfo")) {
        snapshot.compressorBytes = meminfoBytes(*meminfo, "Zswap").value_or(0);
        snapshot.compressedBytes = meminfoBytes(*meminfo, "Zswapped").value_or(0);
    }
    std::string blocks = root + "/sys/block";
    for (const auto& device : entriesStartingWith(blocks, "zram")) {
        auto stat = Files::read(blocks + "/" + device + "/mm_stat");
        if (!stat) continue;
        // orig_data_size compr_data_size mem_used_total ...
        std::string_view rest = *stat;
        auto original = number<std::int64_t>(nextWord(rest));
        nextWord(rest);
        auto used = number<std::int64_t>(nextWord(rest));
        if (!original || !used || *original < 0 || *used < 0) continue;
        snapshot.compressedBytes = plus(snapshot.compressedBytes, *original);
        snapshot.compressorBytes = plus(snapshot.compressorBytes, *used);
    }
    return snapshot;
}

std::int64_t pageSize() {
    static const std::int64_t size = [] {
        long bytes = ::sysconf(_SC_PAGESIZE);
        return bytes > 0 ? static_cast<std::int64_t>(bytes) : std::int64_t{4096};
    }();
    return size;
}

} // namespace bramwick::KernelStats

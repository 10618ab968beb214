// The kernel's own figures for the vital meters: CPU ticks, load, swap, memory pressure, the
// memory compressor (zram and zswap) and the thermal zones, read from /proc and /sys.
//
// Every reader takes `root`, a prefix put before /proc and /sys ("" for the running system), so
// tests read fixture trees. None of them fails: what cannot be read counts as absent or zero.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace bramwick::KernelStats {

// The kernel's memory pressure levels, with the numbers other systems use for them.
enum class MemoryPressure : std::int32_t { normal = 1, warning = 2, critical = 4 };

// How hot the machine runs, from the thermal zones' trip points.
enum class ThermalState { nominal, fair, serious, critical };

// Memory pressure from /proc/pressure/memory: the share of the last 10 seconds (in percent)
// that tasks stalled waiting for memory.
inline constexpr double criticalFullStallPercent = 5.0; // "full": every task stalled
inline constexpr double warningSomeStallPercent = 10.0; // "some": at least one task stalled
// Without pressure stall information (kernels built without it): MemAvailable / MemTotal.
inline constexpr double criticalAvailableShare = 0.05;
inline constexpr double warningAvailableShare = 0.10;
// A zone this close below a passive, hot or critical trip point reads as fair.
inline constexpr double fairMarginCelsius = 10.0;

struct CpuStat {
    // Tick sums over all processors: busy (user, nice, system, irq, softirq, steal) and the
    // total with idle and iowait added. Absent when /proc/stat has no "cpu" line.
    struct Ticks {
        double busy = 0;
        double total = 0;
    };
    std::optional<Ticks> ticks;
    int processors = 0; // the "cpuN" lines: the processors online
};

struct SwapUsage {
    std::int64_t used = 0;  // bytes
    std::int64_t total = 0; // bytes
};

// One reading of the virtual-memory statistics.
struct MemorySnapshot {
    std::int64_t purgeableBytes = 0;  // memory the kernel may drop without asking: none here
    std::int64_t externalBytes = 0;   // file-backed page cache (active and inactive file pages)
    std::int64_t compressorBytes = 0; // RAM that zram and zswap occupy
    std::int64_t compressedBytes = 0; // what they hold, uncompressed
    std::uint64_t swapins = 0;        // pages swapped in since boot
    std::uint64_t swapouts = 0;       // pages swapped out since boot

    bool operator==(const MemorySnapshot&) const = default;
};

// /proc/stat.
CpuStat cpu(const std::string& root = "");
// The one-minute load average of /proc/loadavg; 0 when unreadable.
double loadAverage(const std::string& root = "");
// SwapTotal and SwapTotal - SwapFree of /proc/meminfo.
SwapUsage swapUsage(const std::string& root = "");
// From /proc/pressure/memory, else from the available share of /proc/meminfo; normal when
// neither can be read.
MemoryPressure memoryPressure(const std::string& root = "");
// The worst state over /sys/class/thermal/thermal_zone*; nominal without zones. Temperatures
// are read on every call, a zone's trip points once a minute.
ThermalState thermalState(const std::string& root = "");
// /proc/vmstat with /proc/meminfo's zswap lines and /sys/block/zram*/mm_stat; absent when
// /proc/vmstat cannot be read or lacks the swap counters.
std::optional<MemorySnapshot> memorySnapshot(const std::string& root = "");
// The memory page size in bytes.
std::int64_t pageSize();

} // namespace bramwick::KernelStats

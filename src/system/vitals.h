// The machine's live state for the vital meters: CPU busy share since the previous sample, load
// per processor, memory pressure, swap and its rate, the memory compressor, the thermal state
// and, when asked, the processes using the most CPU and memory.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/shell.h"
#include "platform/kernel_stats.h"

namespace bramwick {

using MemorySnapshot = KernelStats::MemorySnapshot;

// The record the meters show: one reading with the histories the store keeps.
struct Vitals {
    using Pressure = KernelStats::MemoryPressure;
    using Thermal = KernelStats::ThermalState;

    struct Process {
        std::string name;
        double cpu = 0;          // percent of one processor, as ps reports it
        std::int64_t memory = 0; // resident bytes
        bool operator==(const Process&) const = default;
    };

    double cpuBusy = 0; // 0…1
    // Whether `cpuBusy` was ever measured: the first reading has no earlier ticks to compare.
    bool cpuMeasured = false;
    std::vector<double> cpuHistory; // oldest first, measured shares only
    double loadPerCore = 0;
    Pressure pressure = Pressure::normal;
    std::vector<double> swapHistory; // swap rate ÷ swapRateFullScale, oldest first
    std::int64_t swapUsed = 0;
    std::int64_t swapTotal = 0;
    std::int64_t swapRate = 0; // bytes per second
    std::int64_t compressorBytes = 0;
    std::int64_t compressedBytes = 0;
    Thermal thermal = Thermal::nominal;
    std::optional<Process> topCPU;
    std::optional<Process> topMemory;
    bool sampled = false;

    // The swap rate (bytes per second) that fills the gauge: 1000 pages a second.
    static double swapRateFullScale();
    // The level with this number (1, 2 or 4), or none.
    static std::optional<Pressure> pressureFromRaw(std::int32_t raw);
};

namespace VitalsReader {

struct Reading {
    double cpuBusy = 0;
    // False when there were no earlier ticks to measure the busy share against (the first
    // reading, one after the ticks could not be read, or no tick since): `cpuBusy` is then 0
    // and says nothing.
    bool cpuMeasured = true;
    double loadPerCore = 0;
    Vitals::Pressure pressure = Vitals::Pressure::normal;
    std::int64_t swapUsed = 0;
    std::int64_t swapTotal = 0;
    std::int64_t swapRate = 0;
    std::int64_t compressorBytes = 0;
    std::int64_t compressedBytes = 0;
    Vitals::Thermal thermal = Vitals::Thermal::nominal;
    std::optional<Vitals::Process> topCPU;
    std::optional<Vitals::Process> topMemory;
    // Why the top processes are absent although they were asked for: ps could not be started
    // ("Couldn't run ps: …"). Empty when ps ran, or was not asked for.
    std::string topProcessesProblem;
};

using Clock = std::chrono::steady_clock;

// Where a sampler reads: the /proc and /sys root, the command runner for ps, and the clock the
// swap rate is measured against.
struct Source {
    std::string root;
    Shell::Runner runner = Shell::run;
    std::function<Clock::time_point()> now = [] { return Clock::now(); };
};

// Keeps the previous CPU ticks and swap counters, so that each sample measures since the one
// before it. Not thread-safe: one thread samples.
class Sampler {
  public:
    explicit Sampler(Source source = {});
    // Never fails: what cannot be read counts as zero, normal or absent.
    Reading sample(bool topProcesses);

  private:
    struct SwapCounters {
        std::uint64_t ins = 0;
        std::uint64_t outs = 0;
        Clock::time_point at;
    };
    Source source_;
    std::optional<KernelStats::CpuStat::Ticks> lastTicks_;
    std::optional<SwapCounters> lastSwap_;
};

// One sample of the process-wide sampler (the window's meters). Call from one thread only.
Reading sample(bool topProcesses);

// The virtual-memory statistics now; absent when they cannot be read. Any thread.
std::optional<MemorySnapshot> memorySnapshot();
// Swap in use and allocated, in bytes. Any thread.
KernelStats::SwapUsage swapUsage();

// The process with the highest CPU share and the one with the most resident memory in the
// output of "ps -Ao pid=,pcpu=,rss=,comm="; ties keep the earlier line, lines that do not parse
// are skipped. Each is named by its whole executable name, read under the /proc root `root`.
std::pair<std::optional<Vitals::Process>, std::optional<Vitals::Process>>
topProcesses(const std::string& psOutput, const std::string& root = "");

} // namespace VitalsReader

} // namespace bramwick

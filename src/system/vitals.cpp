#include "system/vitals.h"

#include <algorithm>
#include <limits>

#include "base/text.h"
#include "system/process_list.h"

namespace bramwick {

double Vitals::swapRateFullScale() {
    static const double scale = static_cast<double>(KernelStats::pageSize()) * 1000.0;
    return scale;
}

std::optional<Vitals::Pressure> Vitals::pressureFromRaw(std::int32_t raw) {
    for (Pressure level : {Pressure::normal, Pressure::warning, Pressure::critical})
        if (static_cast<std::int32_t>(level) == raw) return level;
    return std::nullopt;
}

namespace VitalsReader {

namespace {

// Bytes per second from two readings of the page counters. A counter that went down (a reset)
// adds nothing, and the rate stays within the 64-bit range.
std::int64_t swapRate(std::uint64_t ins, std::uint64_t outs, std::uint64_t lastIns,
                      std::uint64_t lastOuts, double seconds) {
    double pages = static_cast<double>(ins >= lastIns ? ins - lastIns : 0) +
                   static_cast<double>(outs >= lastOuts ? outs - lastOuts : 0);
    double bytes = pages / seconds * static_cast<double>(KernelStats::pageSize());
    constexpr double limit = 9.2e18; // just below 2^63
    if (!(bytes > 0)) return 0;
    if (bytes >= limit) return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(bytes);
}

// The top processes from one run of ps, or why ps could not be started.
void readTopProcesses(const Source& source, Reading& reading) {
    try {
        // The pid tells where to read the whole name: ps prints the kernel's cut one.
        auto ps = source.runner({"ps", "-Ao", "pid=,pcpu=,rss=,comm="}, 20);
        // env's own statuses for a program missing from the path or not executable
        if (ps.status == 127 || ps.status == 126)
            reading.topProcessesProblem = "Couldn't run ps: " + Text::trimmed(ps.output);
        else
            std::tie(reading.topCPU, reading.topMemory) =
                VitalsReader::topProcesses(ps.output, source.root);
    } catch (const std::exception& error) {
        reading.topProcessesProblem = std::string("Couldn't run ps: ") + error.what();
    }
}

} // namespace

Sampler::Sampler(Source source) : source_(std::move(source)) {}

Reading Sampler::sample(bool topProcesses) {
    Reading reading;

    KernelStats::CpuStat cpu = KernelStats::cpu(source_.root);
    reading.cpuMeasured = false;
    if (cpu.ticks) {
        if (lastTicks_) {
            double total = cpu.ticks->total - lastTicks_->total;
            if (total > 0) {
                reading.cpuBusy =
                    std::clamp((cpu.ticks->busy - lastTicks_->busy) / total, 0.0, 1.0);
                reading.cpuMeasured = true;
            }
        }
        lastTicks_ = cpu.ticks;
    }

    reading.loadPerCore = KernelStats::loadAverage(source_.root) / std::max(cpu.processors, 1);

    auto swap = KernelStats::swapUsage(source_.root);
    reading.swapUsed = swap.used;
    reading.swapTotal = swap.total;

    if (topProcesses) readTopProcesses(source_, reading);

    reading.pressure = KernelStats::memoryPressure(source_.root);
    reading.thermal = KernelStats::thermalState(source_.root);

    if (auto snapshot = KernelStats::memorySnapshot(source_.root)) {
        auto now = source_.now();
        if (lastSwap_) {
            double seconds = std::chrono::duration<double>(now - lastSwap_->at).count();
            if (seconds > 0.5)
                reading.swapRate = swapRate(snapshot->swapins, snapshot->swapouts, lastSwap_->ins,
                                            lastSwap_->outs, seconds);
        }
        lastSwap_ = SwapCounters{snapshot->swapins, snapshot->swapouts, now};
        reading.compressorBytes = snapshot->compressorBytes;
        reading.compressedBytes = snapshot->compressedBytes;
    }
    return reading;
}

Reading sample(bool topProcesses) {
    static Sampler sampler;
    return sampler.sample(topProcesses);
}

std::optional<MemorySnapshot> memorySnapshot() {
    return KernelStats::memorySnapshot();
}

KernelStats::SwapUsage swapUsage() {
    return KernelStats::swapUsage();
}

std::pair<std::optional<Vitals::Process>, std::optional<Vitals::Process>>
topProcesses(const std::string& psOutput, const std::string& root) {
    struct Listed {
        std::int32_t pid = 0;
        std::string_view name;
        Vitals::Process process;
    };
    std::optional<Listed> topCPU, topMemory;
    for (std::string_view line : ProcessList::lines(psOutput)) {
        auto split = ProcessList::split(line, 3);
        if (!split) continue;
        auto pid = ProcessList::int32(split->fields[0]);
        auto cpu = ProcessList::real(split->fields[1]);
        auto kib = ProcessList::int64(split->fields[2]);
        if (!pid || !cpu || !kib) continue;
        Listed listed{*pid, split->rest, {{}, *cpu, ProcessList::kibibytes(*kib)}};
        if (listed.process.cpu > (topCPU ? topCPU->process.cpu : -1.0)) topCPU = listed;
        if (listed.process.memory > (topMemory ? topMemory->process.memory : -1))
            topMemory = listed;
    }
    // Only the two that stand out are read from /proc: this runs on the window's thread.
    auto named = [&](std::optional<Listed>& top) -> std::optional<Vitals::Process> {
        if (!top) return std::nullopt;
        top->process.name = ProcessList::shownName(top->pid, top->name, root);
        return std::move(top->process);
    };
    return {named(topCPU), named(topMemory)};
}

} // namespace VitalsReader

} // namespace bramwick

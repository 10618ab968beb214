#include <functional>
#include <limits>
#include <stdexcept>

#include <gtest/gtest.h>

#include "platform/kernel_stats.h"
#include "support/long_named_process.h"
#include "support/system_tree.h"
#include "system/vitals.h"

using namespace bramwick;
using namespace std::chrono_literals;

namespace {

std::string stat(long user, long system, long idle, int processors = 2) {
    std::string text = "cpu  " + std::to_string(user) + " 0 " + std::to_string(system) + " " +
                       std::to_string(idle) + " 0 0 0 0 0 0\n";
    for (int i = 0; i < processors; ++i)
        text += "cpu" + std::to_string(i) + " 1 0 1 1 0 0 0 0 0 0\n";
    return text;
}

std::string vmstat(unsigned long long ins, unsigned long long outs) {
    return "nr_active_file 10\npswpin " + std::to_string(ins) + "\npswpout " +
           std::to_string(outs) + "\n";
}

// A fake system with a clock the test moves.
struct Bench {
    test::SystemTree tree;
    VitalsReader::Clock::time_point now{};
    int psRuns = 0;
    VitalsReader::Sampler sampler{
        VitalsReader::Source{tree.root(),
                             [this](const std::vector<std::string>&, double) {
                                 ++psRuns;
                                 return Shell::Result{0, " 1 3.0 100 a\n 2 9.5 50 b\n"};
                             },
                             [this] { return now; }}};
};

} // namespace

TEST(Vitals, BusyShareIsMeasuredSinceThePreviousSample) {
    Bench bench;
    bench.tree.write("/proc/stat", stat(100, 100, 800));
    const auto first = bench.sampler.sample(false);
    EXPECT_EQ(first.cpuBusy, 0) << "the first sample has nothing to compare";
    EXPECT_FALSE(first.cpuMeasured);
    struct Step {
        std::string stat;
        double busy;
        bool measured = true;
    } steps[] = {
        {stat(150, 150, 900), 0.5},        // 100 busy of 200 ticks
        {stat(150, 150, 900), 0.0, false}, // no tick since: nothing to measure
        {stat(150, 150, 1000), 0.0},       // idle only
        {stat(400, 150, 1000), 1.0},       // all busy
        {stat(300, 150, 1200), 0.0},       // busy went back: never below 0
        {stat(900, 150, 1000), 1.0},       // more busy than total: capped
    };
    for (const auto& step : steps) {
        bench.tree.write("/proc/stat", step.stat);
        const auto reading = bench.sampler.sample(false);
        EXPECT_DOUBLE_EQ(reading.cpuBusy, step.busy) << step.stat;
        EXPECT_EQ(reading.cpuMeasured, step.measured) << step.stat;
    }
    bench.tree.remove("/proc/stat");
    const auto unreadable = bench.sampler.sample(false);
    EXPECT_EQ(unreadable.cpuBusy, 0) << "unreadable ticks count 0";
    EXPECT_FALSE(unreadable.cpuMeasured);
    bench.tree.write("/proc/stat", stat(1000, 150, 1000));
    EXPECT_DOUBLE_EQ(bench.sampler.sample(false).cpuBusy, 1.0)
        << "a failed reading keeps the previous ticks";
}

TEST(Vitals, SwapRateFromTheInjectedClock) {
    Bench bench;
    const std::int64_t page = KernelStats::pageSize();
    bench.tree.write("/proc/vmstat", vmstat(100, 100));
    EXPECT_EQ(bench.sampler.sample(false).swapRate, 0) << "the first sample has nothing to compare";
    struct Step {
        std::chrono::milliseconds after;
        unsigned long long ins, outs;
        std::int64_t rate;
    } steps[] = {
        {2000ms, 300, 200, 150 * page},  // 300 pages in 2 s
        {500ms, 900, 200, 0},            // 0.5 s or less: 0, and the base moves on
        {1000ms, 1000, 300, 200 * page}, // measured from the sample above
        {2000ms, 10, 10, 0},             // counters reset: never negative, never wrapped
        {1000ms, 20, 15, 15 * page},
    };
    for (const auto& step : steps) {
        bench.now += step.after;
        bench.tree.write("/proc/vmstat", vmstat(step.ins, step.outs));
        EXPECT_EQ(bench.sampler.sample(false).swapRate, step.rate) << step.ins << " " << step.outs;
    }
    bench.now += 1ms * 600;
    bench.tree.write("/proc/vmstat", vmstat(std::numeric_limits<std::uint64_t>::max(), 15));
    EXPECT_EQ(bench.sampler.sample(false).swapRate, std::numeric_limits<std::int64_t>::max());
}

TEST(Vitals, OneSampleReadsEverySource) {
    Bench bench;
    bench.tree.write("/proc/stat", stat(1, 1, 1, 4));
    bench.tree.write("/proc/loadavg", "2.00 1.00 0.50 1/100 42\n");
    bench.tree.write("/proc/meminfo", "MemTotal: 1000 kB\nMemAvailable: 20 kB\nSwapTotal: 100 kB\n"
                                      "SwapFree: 40 kB\nZswap: 3 kB\nZswapped: 9 kB\n");
    bench.tree.write("/proc/vmstat", vmstat(1, 1));
    bench.tree.write("/sys/class/thermal/thermal_zone0/temp", "99000\n");
    bench.tree.write("/sys/class/thermal/thermal_zone0/trip_point_0_type", "passive\n");
    bench.tree.write("/sys/class/thermal/thermal_zone0/trip_point_0_temp", "95000\n");
    auto reading = bench.sampler.sample(false);
    EXPECT_EQ(reading.loadPerCore, 0.5);
    EXPECT_EQ(reading.pressure, Vitals::Pressure::critical);
    EXPECT_EQ(reading.swapUsed, 60 * 1024);
    EXPECT_EQ(reading.swapTotal, 100 * 1024);
    EXPECT_EQ(reading.compressorBytes, 3 * 1024);
    EXPECT_EQ(reading.compressedBytes, 9 * 1024);
    EXPECT_EQ(reading.thermal, Vitals::Thermal::serious);
    EXPECT_FALSE(reading.topCPU);
    EXPECT_FALSE(reading.topMemory);
    EXPECT_EQ(bench.psRuns, 0) << "ps runs only when the top processes are asked for";

    auto withProcesses = bench.sampler.sample(true);
    EXPECT_EQ(bench.psRuns, 1);
    EXPECT_EQ(withProcesses.topCPU, (Vitals::Process{"b", 9.5, 50 * 1024}));
    EXPECT_EQ(withProcesses.topMemory, (Vitals::Process{"a", 3.0, 100 * 1024}));

    bench.tree.write("/proc/stat", stat(1, 1, 1, 0));
    EXPECT_EQ(bench.sampler.sample(false).loadPerCore, 2.0) << "no processor count: not divided";
}

TEST(Vitals, NothingReadableGivesZeros) {
    test::SystemTree empty;
    VitalsReader::Sampler sampler{VitalsReader::Source{
        empty.root(), [](const std::vector<std::string>&, double) -> Shell::Result {
            throw std::runtime_error("cannot launch");
        }}};
    auto reading = sampler.sample(true);
    EXPECT_EQ(reading.cpuBusy, 0);
    EXPECT_EQ(reading.loadPerCore, 0);
    EXPECT_EQ(reading.pressure, Vitals::Pressure::normal);
    EXPECT_EQ(reading.swapTotal, 0);
    EXPECT_EQ(reading.swapRate, 0);
    EXPECT_EQ(reading.thermal, Vitals::Thermal::nominal);
    EXPECT_FALSE(reading.topCPU);
}

TEST(Vitals, APsThatCannotStartIsSaidAndListsNothing) {
    test::SystemTree empty;
    struct Case {
        std::string name;
        std::function<Shell::Result()> ps;
        bool asked;
        std::string problem;
        bool listed;
    } cases[] = {
        {"launch refused", []() -> Shell::Result { throw std::runtime_error("cannot launch"); },
         true, "Couldn't run ps: cannot launch", false},
        {"missing from the path",
         [] {
             return Shell::Result{127, "/usr/bin/env: 'ps': No such file or directory\n"};
         },
         true, "Couldn't run ps: /usr/bin/env: 'ps': No such file or directory", false},
        {"ran",
         [] {
             return Shell::Result{0, " 1 3.0 100 a\n"};
         },
         true, "", true},
        {"not asked", []() -> Shell::Result { throw std::runtime_error("cannot launch"); }, false,
         "", false},
    };
    for (const auto& c : cases) {
        VitalsReader::Sampler sampler{VitalsReader::Source{
            empty.root(), [&](const std::vector<std::string>&, double) { return c.ps(); }}};
        auto reading = sampler.sample(c.asked);
        EXPECT_EQ(reading.topProcessesProblem, c.problem) << c.name;
        EXPECT_EQ(reading.topCPU.has_value(), c.listed) << c.name;
        EXPECT_EQ(reading.topMemory.has_value(), c.listed) << c.name;
    }
}

TEST(Vitals, TopProcessesFromAListing) {
    test::SystemTree empty; // no process of the listing can be read: ps's names stay
    auto [cpu, memory] = VitalsReader::topProcesses(
        "  10  12.5  2048 /Applications/Some App.app/Contents/MacOS/Some Helper\n"
        "  11  12.5  4096 /usr/lib/firefox-esr/firefox-esr\n" // equal CPU: the earlier stays
        "  12   0.0     0 kworker/0:1-events\n"               // kept whole, not cut at "/"
        "  13   1,5 99999 comma\n"                            // not a number: skipped
        "  14   abc 99999 word\n"
        "  pid  1.0 99999 word\n"
        "  15   2.0\n"
        "\n"
        "  16   0.1  4096 Web Content\n", // equal memory: the earlier stays
        empty.root());
    ASSERT_TRUE(cpu && memory);
    EXPECT_EQ(*cpu, (Vitals::Process{"Some App", 12.5, 2048 * 1024}));
    EXPECT_EQ(*memory, (Vitals::Process{"firefox-esr", 12.5, 4096 * 1024}));

    auto [kernelCpu, kernelMemory] =
        VitalsReader::topProcesses("  12   5.0     0 kworker/0:1-events\n", empty.root());
    ASSERT_TRUE(kernelCpu);
    EXPECT_EQ(kernelCpu->name, "kworker/0:1-events");
    auto [none, nothing] = VitalsReader::topProcesses("Stopped after 20 seconds.\n");
    EXPECT_FALSE(none);
    EXPECT_FALSE(nothing);
}

TEST(Vitals, TopProcessesAreNamedByTheirWholeExecutableName) {
    test::LongNamedProcess helper;
    ASSERT_GT(helper.pid(), 0);
    std::string pid = std::to_string(helper.pid());
    auto [cpu, memory] = VitalsReader::topProcesses(
        pid + " 99.0 1 " + test::LongNamedProcess::kernelName + "\n" + "  1 0.0 0 x\n");
    ASSERT_TRUE(cpu && memory);
    EXPECT_EQ(cpu->name, test::LongNamedProcess::name);
    EXPECT_EQ(memory->name, test::LongNamedProcess::name);
}

TEST(Vitals, SwapRateFullScaleAndPressureLevels) {
    EXPECT_EQ(Vitals::swapRateFullScale(), static_cast<double>(KernelStats::pageSize()) * 1000);
    EXPECT_EQ(Vitals::pressureFromRaw(1), Vitals::Pressure::normal);
    EXPECT_EQ(Vitals::pressureFromRaw(2), Vitals::Pressure::warning);
    EXPECT_EQ(Vitals::pressureFromRaw(4), Vitals::Pressure::critical);
    for (int raw : {0, 3, -1})
        EXPECT_FALSE(Vitals::pressureFromRaw(raw)) << raw;
}

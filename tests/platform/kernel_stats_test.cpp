#include <limits>

#include <gtest/gtest.h>

#include "platform/kernel_stats.h"
#include "support/system_tree.h"

using namespace bramwick;
using KernelStats::MemoryPressure;
using KernelStats::ThermalState;

namespace {

std::string pressureFile(const char* some, const char* full) {
    return std::string("some avg10=") + some + " avg60=0.00 avg300=0.00 total=12\n" +
           "full avg10=" + full + " avg60=0.00 avg300=0.00 total=3\n";
}

std::string meminfo(long totalKb, long availableKb) {
    return "MemTotal:       " + std::to_string(totalKb) + " kB\nMemFree:          1000 kB\n" +
           "MemAvailable:   " + std::to_string(availableKb) + " kB\n";
}

} // namespace

TEST(KernelStats, MemoryPressureFromStallFigures) {
    struct Case {
        const char* some;
        const char* full;
        MemoryPressure expected;
    } cases[] = {
        {"0.00", "0.00", MemoryPressure::normal},   {"9.99", "4.99", MemoryPressure::normal},
        {"10.00", "0.00", MemoryPressure::warning}, {"40.00", "4.99", MemoryPressure::warning},
        {"0.00", "5.00", MemoryPressure::critical}, {"80.00", "60.00", MemoryPressure::critical},
    };
    test::SystemTree tree;
    tree.write("/proc/meminfo", meminfo(1000000, 10000)); // would be critical: ignored
    for (const auto& c : cases) {
        tree.write("/proc/pressure/memory", pressureFile(c.some, c.full));
        EXPECT_EQ(KernelStats::memoryPressure(tree.root()), c.expected) << c.some << " " << c.full;
    }
}

TEST(KernelStats, MemoryPressureFromAvailableMemoryWithoutStallFigures) {
    struct Case {
        long available;
        MemoryPressure expected;
    } cases[] = {{49999, MemoryPressure::critical},
                 {50000, MemoryPressure::warning},
                 {99999, MemoryPressure::warning},
                 {100000, MemoryPressure::normal}};
    test::SystemTree tree;
    for (const auto& c : cases) {
        tree.write("/proc/meminfo", meminfo(1000000, c.available));
        EXPECT_EQ(KernelStats::memoryPressure(tree.root()), c.expected) << c.available;
    }
    tree.write("/proc/pressure/memory", "garbage\n"); // unreadable figures: the fallback again
    tree.write("/proc/meminfo", meminfo(1000000, 1000));
    EXPECT_EQ(KernelStats::memoryPressure(tree.root()), MemoryPressure::critical);
    tree.remove("/proc");
    EXPECT_EQ(KernelStats::memoryPressure(tree.root()), MemoryPressure::normal);
}

TEST(KernelStats, ThermalStateFromTripPoints) {
    struct Trip {
        const char* type;
        long milli;
    };
    struct Case {
        long temperature;
        std::vector<Trip> trips;
        ThermalState expected;
    } cases[] = {
        {50000, {{"passive", 80000}, {"critical", 105000}}, ThermalState::nominal},
        {70000, {{"passive", 80000}, {"critical", 105000}}, ThermalState::fair},
        {80000, {{"passive", 80000}, {"critical", 105000}}, ThermalState::serious},
        {90000, {{"active", 60000}, {"hot", 90000}}, ThermalState::serious},
        {96000, {{"critical", 105000}}, ThermalState::fair},
        {106000, {{"passive", 80000}, {"critical", 105000}}, ThermalState::critical},
        {90000, {{"active", 50000}}, ThermalState::nominal},                     // fans only
        {30000, {{"passive", 0}, {"critical", -273000}}, ThermalState::nominal}, // unset trips
        // A broken sensor's reading far below any trip is no warm zone.
        {std::numeric_limits<long>::min(), {{"passive", 80000}}, ThermalState::nominal},
    };
    for (const auto& c : cases) {
        test::SystemTree tree;
        std::string zone = "/sys/class/thermal/thermal_zone0";
        tree.write(zone + "/temp", std::to_string(c.temperature) + "\n");
        for (std::size_t i = 0; i < c.trips.size(); ++i) {
            std::string trip = zone + "/trip_point_" + std::to_string(i);
            tree.write(trip + "_type", std::string(c.trips[i].type) + "\n");
            tree.write(trip + "_temp", std::to_string(c.trips[i].milli) + "\n");
        }
        EXPECT_EQ(KernelStats::thermalState(tree.root()), c.expected) << c.temperature;
    }
}

TEST(KernelStats, ThermalStateIsTheWorstZoneAndNominalWithoutZones) {
    test::SystemTree tree;
    EXPECT_EQ(KernelStats::thermalState(tree.root()), ThermalState::nominal);
    tree.write("/sys/class/thermal/cooling_device0/type", "Processor\n");
    tree.write("/sys/class/thermal/thermal_zone0/temp", "40000\n");
    tree.write("/sys/class/thermal/thermal_zone0/trip_point_0_type", "critical\n");
    tree.write("/sys/class/thermal/thermal_zone0/trip_point_0_temp", "100000\n");
    tree.write("/sys/class/thermal/thermal_zone1/temp", "99000\n");
    tree.write("/sys/class/thermal/thermal_zone1/trip_point_0_type", "hot\n");
    tree.write("/sys/class/thermal/thermal_zone1/trip_point_0_temp", "95000\n");
    tree.write("/sys/class/thermal/thermal_zone2/temp", "unreadable\n");
    EXPECT_EQ(KernelStats::thermalState(tree.root()), ThermalState::serious);
}

TEST(KernelStats, CpuTicksLoadAndSwap) {
    test::SystemTree tree;
    tree.write("/proc/stat", "cpu  100 5 50 800 20 3 2 1 40 0\n"
                             "cpu0 50 2 25 400 10 1 1 0 20 0\n"
                             "cpu1 50 3 25 400 10 2 1 1 20 0\n"
                             "intr 12345 0 0\nctxt 999\n");
    tree.write("/proc/loadavg", "1.50 0.80 0.30 3/173 11610\n");
    tree.write("/proc/meminfo", "MemTotal: 1000 kB\nSwapTotal:  2048 kB\nSwapFree:  512 kB\n");
    auto cpu = KernelStats::cpu(tree.root());
    ASSERT_TRUE(cpu.ticks);
    EXPECT_EQ(cpu.ticks->busy, 100 + 5 + 50 + 3 + 2 + 1); // guest time is inside user already
    EXPECT_EQ(cpu.ticks->total, 161 + 800 + 20);
    EXPECT_EQ(cpu.processors, 2);
    EXPECT_EQ(KernelStats::loadAverage(tree.root()), 1.5);
    auto swap = KernelStats::swapUsage(tree.root());
    EXPECT_EQ(swap.total, 2048 * 1024);
    EXPECT_EQ(swap.used, 1536 * 1024);

    test::SystemTree empty;
    EXPECT_FALSE(KernelStats::cpu(empty.root()).ticks);
    EXPECT_EQ(KernelStats::loadAverage(empty.root()), 0);
    EXPECT_EQ(KernelStats::swapUsage(empty.root()).total, 0);
}

TEST(KernelStats, MemorySnapshotAddsZswapAndEveryZramDevice) {
    test::SystemTree tree;
    EXPECT_FALSE(KernelStats::memorySnapshot(tree.root())) << "no /proc/vmstat, no snapshot";
    tree.write("/proc/vmstat", "nr_free_pages 1000\nnr_inactive_file 300\nnr_active_file 200\n"
                               "pswpin 70\npswpout 90\n");
    auto plain = KernelStats::memorySnapshot(tree.root());
    ASSERT_TRUE(plain);
    EXPECT_EQ(*plain,
              (KernelStats::MemorySnapshot{0, 500 * KernelStats::pageSize(), 0, 0, 70, 90}));

    tree.write("/proc/meminfo", "MemTotal: 1000 kB\nZswap:  100 kB\nZswapped:  400 kB\n");
    tree.write("/sys/block/zram0/mm_stat", "   8192   2048   4096 0 4096 0 0 0 0\n");
    tree.write("/sys/block/zram1/mm_stat", "   1000    500    600 0 600 0 0 0 0\n");
    tree.write("/sys/block/vda/stat", "1 2 3\n");
    auto compressed = KernelStats::memorySnapshot(tree.root());
    ASSERT_TRUE(compressed);
    EXPECT_EQ(compressed->compressorBytes, 100 * 1024 + 4096 + 600);
    EXPECT_EQ(compressed->compressedBytes, 400 * 1024 + 8192 + 1000);

    tree.write("/proc/vmstat", "nr_free_pages 1000\n");
    EXPECT_FALSE(KernelStats::memorySnapshot(tree.root())) << "no swap counters, no snapshot";
}

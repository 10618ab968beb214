// What the disk header, its ring and its vital meters show, decided without a window.
#include <cmath>

#include <gtest/gtest.h>

#include "mainwindow/disk_header.h"
#include "mainwindow/disk_ring.h"
#include "mainwindow/vital_meter.h"

using namespace bramwick;

TEST(DiskRingValues, UsedPercentRoundsHalvesAwayAndSurvivesAnEmptyTotal) {
    struct Case {
        std::int64_t total, available;
        std::int64_t percent;
    };
    for (const Case& c :
         {Case{1'000'000'000'000, 250'000'000'000, 75}, Case{1000, 5, 100}, Case{1000, 6, 99},
          Case{1000, 995, 1}, Case{1000, 0, 100}, Case{0, 0, 0}, Case{-5, -5, 0}}) {
        const double f = DiskRingValues::usedFraction({c.total, c.available, c.available});
        EXPECT_TRUE(std::isfinite(f));
        EXPECT_EQ(DiskRingValues::percent(f), c.percent) << c.total << " " << c.available;
    }
    EXPECT_DOUBLE_EQ(DiskRingValues::usedFraction({1000, 250, 250}), 0.75);
    EXPECT_NEAR(DiskRingValues::strokeWidth(84), 8.82, 1e-9);
}

TEST(DiskRingValues, ColourFollowsTheDisksHealth) {
    const QColor green = healthColor(DiskHealth::healthy, false);
    EXPECT_NEAR(green.redF(), 0.31, 0.01);
    EXPECT_NEAR(green.greenF(), 0.85, 0.01);
    EXPECT_EQ(healthColor(DiskHealth::gettingFull, false), systemColor(SystemColor::orange, false));
    EXPECT_EQ(healthColor(DiskHealth::almostFull, true), systemColor(SystemColor::red, true));
}

namespace {

Vitals cpu(double busy, double load, Vitals::Thermal thermal = Vitals::Thermal::nominal) {
    Vitals v;
    v.cpuBusy = busy;
    v.cpuMeasured = true;
    v.loadPerCore = load;
    v.thermal = thermal;
    return v;
}

} // namespace

TEST(VitalMeters, CpuTitleWordAndHealth) {
    using K = VitalMeters::Kind;
    struct Case {
        Vitals vitals;
        const char* title;
        const char* word;
        DiskHealth health;
    };
    for (const Case& c :
         {Case{cpu(0.375, 0.1), "CPU 38%", "normal", DiskHealth::healthy},
          Case{cpu(0.374, 0.69), "CPU 37%", "normal", DiskHealth::healthy},
          Case{cpu(0.5, 0.7), "CPU 50%", "busy", DiskHealth::gettingFull},
          Case{cpu(1, 1.0), "CPU 100%", "overloaded", DiskHealth::almostFull},
          Case{cpu(0, 0.1, Vitals::Thermal::serious), "CPU 0%", "throttling",
               DiskHealth::almostFull},
          Case{cpu(0, 0.1, Vitals::Thermal::critical), "CPU 0%", "throttling",
               DiskHealth::almostFull},
          Case{cpu(0, 0.1, Vitals::Thermal::fair), "CPU 0%", "normal", DiskHealth::healthy}}) {
        EXPECT_EQ(VitalMeters::title(K::cpu, c.vitals), c.title);
        EXPECT_EQ(VitalMeters::word(K::cpu, c.vitals), c.word) << c.title;
        EXPECT_EQ(VitalMeters::health(K::cpu, c.vitals), c.health) << c.title;
    }
    // Before its busy share was measured (the first sample, on a loaded machine): no number, no
    // word and no colour, never "0% overloaded" in red.
    Vitals first = cpu(0, 1.4);
    first.cpuMeasured = false;
    first.sampled = true;
    EXPECT_FALSE(VitalMeters::hasState(K::cpu, first));
    EXPECT_EQ(VitalMeters::title(K::cpu, first), "CPU");
    EXPECT_EQ(VitalMeters::word(K::cpu, first), "");
    EXPECT_TRUE(VitalMeters::hasState(K::memory, first)) << "pressure is read at once";
    EXPECT_FALSE(VitalMeters::hasState(K::memory, Vitals{}));

    Vitals memory;
    memory.sampled = true;
    EXPECT_EQ(VitalMeters::title(K::memory, memory), "Memory");
    for (auto [pressure, word, health] :
         {std::tuple{Vitals::Pressure::normal, "normal pressure", DiskHealth::healthy},
          std::tuple{Vitals::Pressure::warning, "under pressure", DiskHealth::gettingFull},
          std::tuple{Vitals::Pressure::critical, "out of memory", DiskHealth::almostFull}}) {
        memory.pressure = pressure;
        EXPECT_EQ(VitalMeters::word(K::memory, memory), word);
        EXPECT_EQ(VitalMeters::health(K::memory, memory), health);
    }
}

TEST(VitalMeters, Captions) {
    using K = VitalMeters::Kind;
    Vitals v = cpu(0.2, 0.456);
    EXPECT_EQ(VitalMeters::caption(K::cpu, v), "Load 0.46 per core");
    v.topCPU = Vitals::Process{"make", 0.5, 0};
    EXPECT_EQ(VitalMeters::caption(K::cpu, v), "Load 0.46 per core") << "under 1 % falls back";
    v.topCPU = Vitals::Process{"make", 87.6, 0};
    EXPECT_EQ(VitalMeters::caption(K::cpu, v), "make 88%");
    v.topMemory = Vitals::Process{"browser", 0, 1};
    EXPECT_EQ(VitalMeters::caption(K::cpu, v), "make 88%") << "no suffix on the CPU meter";

    Vitals m;
    m.compressorBytes = 2'000'000'000;
    m.compressedBytes = 5'000'000'000;
    m.topMemory = Vitals::Process{"browser", 0, 1};
    EXPECT_EQ(VitalMeters::caption(K::memory, m), "5 GB held in 2 GB \u00b7 browser");
    m.swapRate = 1'500'000;
    EXPECT_EQ(VitalMeters::caption(K::memory, m), "Swapping 1.5 MB/s \u00b7 browser");
    Vitals quiet;
    quiet.compressorBytes = quiet.compressedBytes = 1000;
    EXPECT_EQ(VitalMeters::caption(K::memory, quiet), "Nothing swapped");
    quiet.swapUsed = 3'000'000'000;
    EXPECT_EQ(VitalMeters::caption(K::memory, quiet), "3 GB swapped");
}

TEST(VitalMeters, TheEndDotIsDrawnWholeInsideTheMeter) {
    // The meter's width (its column and the room beside it), and a line part-way down.
    const QRectF meter(0, 0, VitalMeters::width + VitalMeters::endDotRoom, 100);
    const QRectF line(0, 30, VitalMeters::width, VitalMeters::sparklineHeight);
    for (const std::vector<double>& values :
         {std::vector<double>{0, 1}, std::vector<double>(30, 0.5), std::vector<double>(30, 0)}) {
        const QRectF dot = VitalMeters::sparklineEndDot(values, line);
        EXPECT_EQ(dot.center().x(), VitalMeters::width) << "on the right edge";
        EXPECT_TRUE(meter.contains(dot)) << "not cut in half";
    }
    EXPECT_TRUE(VitalMeters::sparklineEndDot({0.5}, line).isEmpty());
}

TEST(VitalMeters, SparklinePositions) {
    EXPECT_TRUE(VitalMeters::sparklinePositions({}, {168, 22}).empty());
    const auto two = VitalMeters::sparklinePositions({0, 1}, {168, 22});
    ASSERT_EQ(two.size(), 2u);
    EXPECT_NEAR(two[0].x(), 168 - 168.0 / 29, 1e-9);
    EXPECT_DOUBLE_EQ(two[1].x(), 168);
    EXPECT_DOUBLE_EQ(two[0].y(), 20);
    EXPECT_DOUBLE_EQ(two[1].y(), 3);

    std::vector<double> thirty(30, 0.5);
    thirty[0] = -3;
    thirty[1] = 7;
    thirty[2] = std::nan("");
    const auto full = VitalMeters::sparklinePositions(thirty, {168, 22});
    EXPECT_NEAR(full.front().x(), 0, 1e-9);
    EXPECT_DOUBLE_EQ(full.back().x(), 168);
    EXPECT_NEAR(full[10].x() - full[9].x(), 168.0 / 29, 1e-9);
    EXPECT_DOUBLE_EQ(full[0].y(), 20) << "below 0 sits on the bottom line";
    EXPECT_DOUBLE_EQ(full[1].y(), 3) << "above 1 on the top line";
    EXPECT_DOUBLE_EQ(full[2].y(), 3) << "not a number counts as 1";
    EXPECT_LT(VitalMeters::sparklinePositions(std::vector<double>(31, 0), {168, 22})[0].x(), 0);
}

TEST(DiskHeaderValues, PurgeableCaptionSafeSentenceAndTheButton) {
    const DiskFigures disk{1'000'000'000'000, 10'000'000'000, 10'500'000'000};
    EXPECT_EQ(DiskHeaderValues::purgeableCaption(disk, 1), std::nullopt);
    EXPECT_EQ(DiskHeaderValues::purgeableCaption(std::nullopt, 1), std::nullopt);
    DiskFigures more = disk;
    more.availableIncludingPurgeable = 10'500'000'001;
    EXPECT_EQ(DiskHeaderValues::purgeableCaption(more, 2'000'000'000),
              "2 GB can be cleaned safely right now \u00b7 10.5 GB free including purgeable "
              "space");
    EXPECT_EQ(DiskHeaderValues::safeSentence(0), "Zero KB can be cleaned safely right now");

    int asked = 0;
    auto total = [&](std::int64_t value) {
        return [&asked, value] {
            ++asked;
            return value;
        };
    };
    EXPECT_FALSE(DiskHeaderValues::cleanAllSafeEnabled(true, total(5)));
    EXPECT_EQ(asked, 0) << "the total is not computed while a scan runs";
    EXPECT_FALSE(DiskHeaderValues::cleanAllSafeEnabled(false, total(0)));
    EXPECT_TRUE(DiskHeaderValues::cleanAllSafeEnabled(false, total(5)));

    // Red exactly when almost full: over 95 % used, or under 5 GB free.
    EXPECT_FALSE(DiskHeaderValues::freeSpaceAlarming({1'000'000'000'000, 100'000'000'000, 0}));
    EXPECT_FALSE(DiskHeaderValues::freeSpaceAlarming({1'000'000'000'000, 50'000'000'000, 0}));
    EXPECT_TRUE(DiskHeaderValues::freeSpaceAlarming({1'000'000'000'000, 49'000'000'000, 0}));
    EXPECT_TRUE(DiskHeaderValues::freeSpaceAlarming({20'000'000'000, 4'999'999'999, 0}));
    EXPECT_EQ(DiskHeaderValues::freeText(disk.available), "10 GB free");
    EXPECT_EQ(DiskHeaderValues::ofTotal(disk), "of 1 TB");
}

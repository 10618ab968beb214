#include "store/store_vitals.h"

#include <algorithm>
#include <limits>

#include "store/store.h"

namespace bramwick {

StoreVitals::StoreVitals(Store& store) : store_(store) {
    timer_.setInterval(interval);
    connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
}

// Running processes

QCoro::Task<> StoreVitals::refreshRunning() {
    refreshingRunning_ = true;
    emit refreshingRunningChanged();
    auto refreshing = store_.clearOnExit([this] {
        refreshingRunning_ = false;
        emit refreshingRunningChanged();
    });
    try {
        auto snapshotWork =
            store_.onUserPool([take = store_.services_.runningSnapshot] { return take(); });
        auto snapshot = co_await snapshotWork;
        running_ = std::move(snapshot);
        emit runningChanged();
    } catch (const StoreWork::Closed&) {
        throw;
    } catch (...) {
        store_.reportFailure("Running processes");
    }
}

QCoro::Task<> StoreVitals::stop(RunningItem item) {
    stopping_.insert(item.id);
    emit stoppingChanged();
    auto stopping = store_.clearOnExit([this, id = item.id] {
        stopping_.erase(id);
        emit stoppingChanged();
    });
    auto resultWork =
        store_.onUserPool([stop = store_.services_.stop, item]() -> std::optional<Shell::Result> {
            try {
                return stop(item);
            } catch (const std::exception&) {
                return std::nullopt; // the command could not be started
            }
        });
    auto result = co_await resultWork;
    stopping.now();
    auto refreshing = refreshRunning();
    co_await refreshing;
    store_.refreshDisk();
    store_.setReport(StoreText::stopReport(item, result));
}

// Vitals

QCoro::Task<> StoreVitals::sample() {
    if (reading_) co_return;
    const std::int64_t n = ticks_;
    if (ticks_ < std::numeric_limits<std::int64_t>::max()) ++ticks_;
    // The busiest processes need a process listing: the first sample and every fifth after it.
    // The reading (the listing runs ps) stays off this thread, where it would stall the window.
    const bool top = n % 5 == 0;
    reading_ = true;
    auto readingOut = store_.clearOnExit([this] { reading_ = false; });
    VitalsReader::Reading reading;
    try {
        auto readingWork = store_.onUserPool(
            [sample = store_.services_.sampleVitals, top] { return sample(top); });
        reading = co_await readingWork;
    } catch (const StoreWork::Closed&) {
        throw;
    } catch (...) {
        co_return; // a reader that failed this once; the next tick reads again
    }
    readingOut.now();

    Vitals next = vitals_;
    // A share that was not measured leaves the last measured one (none before the first).
    if (reading.cpuMeasured) {
        next.cpuBusy = reading.cpuBusy;
        next.cpuMeasured = true;
    }
    next.loadPerCore = reading.loadPerCore;
    next.pressure = reading.pressure;
    next.swapUsed = reading.swapUsed;
    next.swapTotal = reading.swapTotal;
    next.swapRate = reading.swapRate;
    next.compressorBytes = reading.compressorBytes;
    next.compressedBytes = reading.compressedBytes;
    next.thermal = reading.thermal;
    if (top) {
        next.topCPU = reading.topCPU;
        next.topMemory = reading.topMemory;
    }
    const double fullScale = Vitals::swapRateFullScale();
    if (reading.cpuMeasured) next.cpuHistory.push_back(reading.cpuBusy);
    next.swapHistory.push_back(
        fullScale > 0 ? std::min(static_cast<double>(reading.swapRate) / fullScale, 1.0) : 0.0);
    for (auto* history : {&next.cpuHistory, &next.swapHistory})
        if (history->size() > historyLength)
            history->erase(history->begin(),
                           history->begin() +
                               static_cast<std::ptrdiff_t>(history->size() - historyLength));
    next.sampled = true;
    vitals_ = std::move(next);
    emit vitalsChanged();
}

void StoreVitals::startSampling() {
    if (timer_.isActive()) return;
    auto sampling = sample();
    Q_UNUSED(sampling);
    timer_.start();
}

void StoreVitals::stopSampling() {
    timer_.stop();
}

void StoreVitals::tick() {
    auto sampling = sample();
    Q_UNUSED(sampling);
}

} // namespace bramwick

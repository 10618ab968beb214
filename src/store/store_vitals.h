// The store's live vitals and the running processes: the latest vitals sample with its
// histories, read every two seconds while something on screen shows them; the snapshot of
// what runs in the background (simulators, log watchers), measured with each full scan and on
// request; and the stops of those processes. It belongs to one `Store` (`store.vitals()`), works
// through its pools and reports through its banner, and lives on its thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include <QObject>
#include <QTimer>
#include <qcoro/qcorotask.h>

#include "system/running.h"
#include "system/vitals.h"

namespace bramwick {

class Store;

class StoreVitals : public QObject {
    Q_OBJECT

  public:
    static constexpr int interval = 2'000; // between two samples, in milliseconds
    static constexpr std::size_t historyLength = 30;

    explicit StoreVitals(Store& store);

    const Vitals& latest() const { return vitals_; }
    const RunningSnapshot& running() const { return running_; }
    bool refreshingRunning() const { return refreshingRunning_; }
    const std::set<std::string>& stopping() const { return stopping_; }

    // Running processes.
    QCoro::Task<> refreshRunning();
    QCoro::Task<> stop(RunningItem item);

    // Reads the vitals on a worker (the busiest processes on the first sample and every fifth
    // after it) and applies the reading when it comes back. One reading is out at a time: a
    // sample asked for meanwhile is not taken and does not count.
    QCoro::Task<> sample();
    // One sample now, then one every `interval` until stopped; a second start changes nothing.
    void startSampling();
    void stopSampling();
    bool sampling() const { return timer_.isActive(); }
    // The timer's work (tests call it directly instead of waiting).
    void tick();

  signals:
    void vitalsChanged();
    void runningChanged();
    void refreshingRunningChanged();
    void stoppingChanged();

  private:
    Store& store_;
    Vitals vitals_;
    QTimer timer_;
    std::int64_t ticks_ = 0;
    bool reading_ = false;
    RunningSnapshot running_;
    bool refreshingRunning_ = false;
    std::set<std::string> stopping_;
};

} // namespace bramwick

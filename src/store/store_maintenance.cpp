#include "store/store_maintenance.h"

#include "store/store.h"

namespace bramwick {

StoreMaintenance::StoreMaintenance(Store& store) : store_(store) {}

void StoreMaintenance::setShown(bool shown) {
    shown_ = shown;
    emit shownChanged();
}

QCoro::Task<> StoreMaintenance::run(MaintenanceTask task) {
    if (runningTask_ || store_.ending_) co_return;
    runningTask_ = task.id;
    emit runningTaskChanged();
    auto running = store_.clearOnExit([this] {
        runningTask_.reset();
        emit runningTaskChanged();
    });
    const auto before = store_.available();
    std::optional<Maintenance::Result> outcome;
    try {
        auto resultWork =
            store_.onUserPool([run = store_.services_.runMaintenance, task] { return run(task); });
        outcome = co_await resultWork;
    } catch (const StoreWork::Closed&) {
        throw;
    } catch (...) {
        store_.reportFailure(task.name);
        co_return;
    }
    running.now();
    const auto& result = *outcome;
    store_.refreshDisk();
    const std::int64_t gain = store_.gainSince(before);
    if (auto entry = StoreText::maintenanceRecord(task.name, task.detail, result.succeeded, gain))
        store_.record(entry->title, entry->detail);
    store_.setReport(
        StoreText::maintenanceReport(task.name, result.succeeded, result.output, gain));
}

} // namespace bramwick

// The store's maintenance: whether the maintenance sheet is shown (the main window presents it
// while this says so), and the task running now, one at a time, which then reads the disk
// again, records what it freed and reports. It belongs to one `Store` (`store.maintenance()`),
// works through its pools and reports through its banner, and lives on its thread.
#pragma once

#include <optional>
#include <string>

#include <QObject>
#include <qcoro/qcorotask.h>

#include "system/maintenance.h"

namespace bramwick {

class Store;

class StoreMaintenance : public QObject {
    Q_OBJECT

  public:
    explicit StoreMaintenance(Store& store);

    bool shown() const { return shown_; }
    void setShown(bool shown);
    // The id of the task running now.
    const std::optional<std::string>& runningTask() const { return runningTask_; }

    // Does nothing while another task runs, or once the program is ending.
    QCoro::Task<> run(MaintenanceTask task);

  signals:
    void shownChanged();
    void runningTaskChanged();

  private:
    Store& store_;
    bool shown_ = false;
    std::optional<std::string> runningTask_;
};

} // namespace bramwick

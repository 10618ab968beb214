// The maintenance tasks this machine can run, each with a measurement of what it would touch
// now, run only after a confirmation; below them the actions deliberately not offered, with
// their reasons. Measurements run off the GUI thread; a result is shown only when it answers
// the latest request and the sheet is still open.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <QWidget>

#include "system/maintenance.h"

class QVBoxLayout;

namespace bramwick {

class ConfirmPresenter;
class Store;
class StoreMaintenance;

// Where the sheet takes its tasks from and where it measures them; `standard()` is the system's.
struct MaintenanceSource {
    std::function<std::vector<MaintenanceTask>()> tasks;
    std::function<std::vector<Maintenance::Retired>()> retired;
    // Runs a job off the GUI thread.
    std::function<void(std::function<void()>)> work;
    static MaintenanceSource standard();
};

class MaintenanceSheet : public QWidget {
    Q_OBJECT
  public:
    static constexpr int minimumWidth = 680;
    static constexpr int minimumHeight = 720;

    // The tasks run through `maintenance`; the banner shows the report of `reports`, its store.
    MaintenanceSheet(StoreMaintenance& maintenance, Store& reports, MaintenanceSource source,
                     QWidget* parent = nullptr);

    // The tasks listed now: those available here, in table order.
    std::vector<MaintenanceTask> tasks() const;
    const std::map<std::string, std::string>& measurements() const { return measurements_; }
    // Starts a measuring pass; only the latest pass's result is shown.
    void measure();
    ConfirmPresenter* confirmPresenter() const { return confirm_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void rebuild();
    void requestRun(const MaintenanceTask& task);

    StoreMaintenance& maintenance_;
    MaintenanceSource source_;
    std::map<std::string, std::string> measurements_;
    std::uint64_t pass_ = 0;
    bool measuredOnShow_ = false;
    std::optional<std::string> lastRunning_;
    QVBoxLayout* rows_;
    ConfirmPresenter* confirm_;
};

} // namespace bramwick

// The store's uninstalls: the plan the uninstall sheet shows (an application with what it left
// behind), the lookups of leftovers that make plans, and the removal of a plan's application and
// the leftovers the user kept chosen, which then measures again what it changed and records it.
// It belongs to one `Store` (`store.uninstalls()`), works through its pools and reports through
// its banner, and lives on its thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QObject>
#include <qcoro/qcorotask.h>

#include "engine/models.h"
#include "finders/uninstaller.h"

namespace bramwick {

class Store;

class StoreUninstalls : public QObject {
    Q_OBJECT

  public:
    explicit StoreUninstalls(Store& store);

    // The plan the uninstall sheet shows; none closes it (the sheet's Cancel sets none).
    const std::optional<UninstallPlan>& plan() const { return plan_; }
    void setPlan(std::optional<UninstallPlan> plan);
    // The application asked about last, while any lookup of leftovers runs.
    const std::optional<std::string>& findingLeftovers() const { return findingLeftovers_; }
    bool uninstalling() const { return uninstalling_; }

    QCoro::Task<> findLeftovers(ScanItem app);
    // Does nothing while the program is ending.
    QCoro::Task<> perform(UninstallPlan plan, std::vector<AppLeftover> leftovers);

    // Asks every running copy of the item's application to quit, politely: those whose bundle
    // or executable is the item's file, and, when the item is the shown plan's application,
    // those outside any bundle that carry its id (a Flatpak runs from a sandbox of its own).
    void quit(const ScanItem& item);
    // Shows the application in the file manager (the store's desktop action, here so that the
    // uninstall sheet needs nothing else of the store).
    void reveal(const ScanItem& app);

  signals:
    void planChanged();
    void findingLeftoversChanged();
    void uninstallingChanged();

  private:
    QCoro::Task<> uninstallWith(UninstallPlan plan, std::vector<AppLeftover> leftovers);

    Store& store_;
    std::optional<UninstallPlan> plan_;
    std::optional<std::string> findingLeftovers_;
    int lookupsOut_ = 0;
    std::uint64_t requests_ = 0; // numbers each lookup; the last one's plan is shown
    bool uninstalling_ = false;
};

} // namespace bramwick

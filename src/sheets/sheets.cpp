#include "sheets/sheets.h"

#include "sheets/details_sheet.h"
#include "sheets/history_sheet.h"
#include "sheets/sheet_frame.h"
#include "sheets/uninstall_sheet.h"
#include "store/store.h"

namespace bramwick::Sheets {

SheetDialog* openHistory(QWidget* parent, Store& store) {
    return presentSheet(parent, new HistorySheet(store),
                        {HistorySheet::minimumWidth, HistorySheet::minimumHeight});
}

SheetDialog* openDetails(QWidget* parent, Store& store, const std::string& categoryId,
                         bool everyApp) {
    for (const auto& category : store.categories())
        if (category.id == categoryId)
            return presentSheet(parent, new DetailsSheet(store, category, everyApp),
                                {DetailsSheet::minimumWidth, DetailsSheet::minimumHeight});
    return nullptr;
}

SheetDialog* openUninstall(QWidget* parent, StoreUninstalls& uninstalls, const UninstallPlan& plan,
                           std::function<void()> onFinish) {
    return presentSheet(parent, new UninstallSheet(uninstalls, plan, std::move(onFinish)),
                        {UninstallSheet::minimumWidth, UninstallSheet::minimumHeight});
}

SheetDialog* openMaintenance(QWidget* parent, Store& store) {
    return openMaintenance(parent, store, MaintenanceSource::standard());
}

SheetDialog* openMaintenance(QWidget* parent, Store& store, MaintenanceSource source) {
    StoreMaintenance& maintenance = store.maintenance();
    auto* dialog = presentSheet(parent, new MaintenanceSheet(maintenance, store, std::move(source)),
                                {MaintenanceSheet::minimumWidth, MaintenanceSheet::minimumHeight});
    // The main window presents this sheet while the store says so; closing it says no more.
    QObject::connect(dialog, &QDialog::finished, &maintenance,
                     [&maintenance] { maintenance.setShown(false); });
    return dialog;
}

SheetDialog* openMemoryUsers(QWidget* parent, Store& store) {
    return openMemoryUsers(parent, store, MemoryProvider::standard());
}

SheetDialog* openMemoryUsers(QWidget* parent, Store& store, MemoryProvider provider) {
    return presentSheet(parent, new MemoryUsersSheet(store.vitals(), std::move(provider)),
                        {MemoryUsersSheet::minimumWidth, MemoryUsersSheet::minimumHeight});
}

} // namespace bramwick::Sheets

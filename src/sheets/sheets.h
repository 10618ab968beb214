// The sheets the main window opens. Each opens window-modal over `parent` with `open()` and
// returns at once; the sheet deletes itself when it closes.
#pragma once

#include <functional>
#include <string>

#include "finders/uninstaller.h"
#include "sheets/maintenance_sheet.h"
#include "sheets/memory_users_sheet.h"

class QWidget;

namespace bramwick {

class Store;
class StoreUninstalls;
class SheetDialog;

namespace Sheets {

SheetDialog* openHistory(QWidget* parent, Store& store);
// The details of a category of the store's list; null when the store has no such category.
// `everyApp` starts the applications category with every installed application listed.
SheetDialog* openDetails(QWidget* parent, Store& store, const std::string& categoryId,
                         bool everyApp = false);
// The uninstall of `plan` (the details sheet opens it when the store holds a plan).
SheetDialog* openUninstall(QWidget* parent, StoreUninstalls& uninstalls, const UninstallPlan& plan,
                           std::function<void()> onFinish);

// The maintenance tasks of `source` (the system's by default).
SheetDialog* openMaintenance(QWidget* parent, Store& store);
SheetDialog* openMaintenance(QWidget* parent, Store& store, MaintenanceSource source);
// The memory users of `provider` (the running system's by default).
SheetDialog* openMemoryUsers(QWidget* parent, Store& store);
SheetDialog* openMemoryUsers(QWidget* parent, Store& store, MemoryProvider provider);

} // namespace Sheets

} // namespace bramwick

// The sheets the main window opens. Each opens window-modal over `parent` with `open()` and
// returns at once; the sheet deletes itself when it closes.
#pragma once

#include <functional>
#include <string>

#include "finders/uninstaller.h"

class QWidget;

namespace bramwick {

class Store;
class SheetDialog;

namespace Sheets {

SheetDialog* openHistory(QWidget* parent, Store& store);
// The details of a category of the store's list; null when the store has no such category.
// `everyApp` starts the applications category with every installed application listed.
SheetDialog* openDetails(QWidget* parent, Store& store, const std::string& categoryId,
                         bool everyApp = false);
// The uninstall of `plan` (the details sheet opens it when the store holds a plan).
SheetDialog* openUninstall(QWidget* parent, Store& store, const UninstallPlan& plan,
                           std::function<void()> onFinish);

} // namespace Sheets

} // namespace bramwick

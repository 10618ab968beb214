// The sheets the main window opens. Each opens window-modal over `parent` with `open()` and
// returns at once; the sheet deletes itself when it closes.
#pragma once

#include <string>

class QWidget;

namespace bramwick {

class Store;
class SheetDialog;

namespace Sheets {

SheetDialog* openHistory(QWidget* parent, Store& store);

} // namespace Sheets

} // namespace bramwick

#include "sheets/sheets.h"

#include "sheets/history_sheet.h"
#include "sheets/sheet_frame.h"

namespace bramwick::Sheets {

SheetDialog* openHistory(QWidget* parent, Store& store) {
    return presentSheet(parent, new HistorySheet(store),
                        {HistorySheet::minimumWidth, HistorySheet::minimumHeight});
}

} // namespace bramwick::Sheets

#include "sheets/sheet_rules.h"

#include <QDateTime>
#include <QLocale>

namespace bramwick::SheetRules {

std::string abbreviatedDate(Date date) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(date.time_since_epoch());
    const QDate day = QDateTime::fromMSecsSinceEpoch(ms.count()).date();
    return QLocale().toString(day, QStringLiteral("MMM d, yyyy")).toStdString();
}

} // namespace bramwick::SheetRules

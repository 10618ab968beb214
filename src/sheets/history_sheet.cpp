#include "sheets/history_sheet.h"

#include <QHBoxLayout>
#include <QScrollArea>
#include <QVBoxLayout>

#include "appearance/tiles.h"
#include "appearance/window_dressing.h"
#include "sheets/sheet_frame.h"
#include "sheets/sheet_rules.h"
#include "store/store.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace {

QWidget* recordRow(const CleanupRecord& record) {
    auto* row = new SkinRow;
    row->setObjectName("historyRow");
    auto* layout = new QVBoxLayout(row);
    layout->setContentsMargins(16, 3 + 6, 16, 3 + 6);
    layout->setSpacing(3);
    auto* head = new QHBoxLayout;
    auto* title = new SheetText(toQString(record.title), TextStyle::headline);
    title->setWordWrap(true);
    title->setObjectName("historyTitle");
    head->addWidget(title, 1);
    auto* date = new SheetText(toQString(SheetRules::abbreviatedDate(record.date)), TextStyle::body,
                               SheetText::Tone::secondary);
    date->setObjectName("historyDate");
    head->addWidget(date, 0, Qt::AlignVCenter);
    layout->addLayout(head);
    auto* detail =
        new SheetText(toQString(record.detail), TextStyle::caption, SheetText::Tone::secondary);
    detail->setWordWrap(true);
    detail->setObjectName("historyDetail");
    layout->addWidget(detail);
    return row;
}

} // namespace

HistorySheet::HistorySheet(Store& store, QWidget* parent) : QWidget(parent), store_(store) {
    setObjectName("historySheet");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    layout->addWidget(new SheetText(QStringLiteral("Cleanup History"), TextStyle::title2,
                                    SheetText::Tone::primary, QFont::Bold));

    auto* empty =
        new SheetText(QStringLiteral("Nothing cleaned yet. Every clean you run here, by hand or on "
                                     "a schedule, is listed with what it freed."),
                      TextStyle::body, SheetText::Tone::secondary);
    empty->setObjectName("historyEmpty");
    empty->setWordWrap(true);
    empty->setAlignment(Qt::AlignCenter);
    empty->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    empty_ = empty;
    layout->addWidget(empty_, 1);

    auto* scroll = new QScrollArea;
    scroll->setObjectName("historyList");
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    rows_ = new QWidget;
    auto* rowsLayout = new QVBoxLayout(rows_);
    rowsLayout->setContentsMargins(0, 0, 0, 0);
    rowsLayout->setSpacing(0);
    scroll->setWidget(rows_);
    list_ = scroll;
    layout->addWidget(list_, 1);

    auto* footer = new QHBoxLayout;
    footer->addStretch(1);
    auto* done = sheetButton(QStringLiteral("Done"), "done");
    connect(done, &QPushButton::clicked, this, [this] { closeSheet(this); });
    footer->addWidget(done);
    layout->addLayout(footer);

    connect(&store_, &Store::logChanged, this, [this] { rebuild(); });
    rebuild();
}

void HistorySheet::rebuild() {
    const auto& log = store_.log();
    empty_->setVisible(log.empty());
    list_->setVisible(!log.empty());
    auto* layout = static_cast<QVBoxLayout*>(rows_->layout());
    while (auto* child = layout->takeAt(0)) {
        delete child->widget();
        delete child;
    }
    if (log.empty()) return;
    auto* header = new SheetText(QStringLiteral("Cleaned with Bramwick"), TextStyle::callout,
                                 SheetText::Tone::secondary, QFont::DemiBold);
    header->setContentsMargins(16, 4, 16, 4);
    layout->addWidget(header);
    for (const auto& record : log)
        layout->addWidget(recordRow(record));
    layout->addStretch(1);
    dressScrollArea(static_cast<QScrollArea*>(list_), skinOf(this));
}

} // namespace bramwick

#include "sheets/unused_days.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "appearance/popover.h"
#include "appearance/skin.h"
#include "sheets/sheet_frame.h"
#include "sheets/sheet_rules.h"
#include "store/store.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace {

QColor blue(const QWidget* widget) {
    return systemColor(SystemColor::blue, isDark(widget->palette()));
}

} // namespace

UnusedDaysEditor::UnusedDaysEditor(Store& store, QWidget* parent) : QFrame(parent), store_(store) {
    setObjectName("unusedDaysEditor");
    setFixedWidth(300);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(12);
    layout->addWidget(
        new SheetText(QStringLiteral("Show apps not opened for"), TextStyle::headline));

    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    field_ = new QLineEdit;
    field_->setObjectName("daysField");
    field_->setPlaceholderText(QStringLiteral("Days"));
    field_->setAlignment(Qt::AlignRight);
    field_->setFixedWidth(64);
    connect(field_, &QLineEdit::editingFinished, this, [this] {
        if (auto days = SheetRules::parseDays(field_->text().toStdString()))
            store_.setUnusedAppDays(*days);
        refresh(); // a value the store raised to 1, or text that was no number
    });
    row->addWidget(field_);
    auto* down = sheetButton(QStringLiteral("\u2212"), "daysDown");
    auto* up = sheetButton(QStringLiteral("+"), "daysUp");
    for (auto* step : {down, up})
        step->setFixedWidth(28);
    connect(down, &QPushButton::clicked, this,
            [this] { store_.setUnusedAppDays(SheetRules::stepDays(store_.unusedAppDays(), -1)); });
    connect(up, &QPushButton::clicked, this,
            [this] { store_.setUnusedAppDays(SheetRules::stepDays(store_.unusedAppDays(), +1)); });
    row->addWidget(down);
    row->addWidget(up);
    row->addWidget(new SheetText(QStringLiteral("days"), TextStyle::body));
    row->addStretch(1);
    layout->addLayout(row);

    auto* presets = new QHBoxLayout;
    presets->setSpacing(6);
    for (std::int64_t preset : SheetRules::dayPresets) {
        auto* button = sheetButton(QString::number(preset), QStringLiteral("preset%1").arg(preset));
        connect(button, &QPushButton::clicked, this,
                [this, preset] { store_.setUnusedAppDays(preset); });
        presets_.push_back(button);
        presets->addWidget(button);
    }
    layout->addLayout(presets);
    auto* note = new SheetText(
        QStringLiteral("Apps the system has no record of opening are always included."),
        TextStyle::caption, SheetText::Tone::secondary);
    note->setWordWrap(true);
    layout->addWidget(note);

    connect(&store_, &Store::unusedAppDaysChanged, this, [this] { refresh(); });
    refresh();
}

void UnusedDaysEditor::refresh() {
    const std::int64_t days = store_.unusedAppDays();
    field_->setText(QLocale().toString(static_cast<qlonglong>(days)));
    for (std::size_t i = 0; i < presets_.size(); ++i) {
        const bool tinted = SheetRules::dayPresets[i] == days;
        presets_[i]->setProperty("tinted", tinted);
        QPalette p = palette();
        if (tinted) {
            p.setColor(QPalette::Button, blue(this));
            p.setColor(QPalette::ButtonText, Qt::white);
        }
        presets_[i]->setPalette(p);
    }
}

UnusedDaysSummary::UnusedDaysSummary(Store& store, TextStyle style, QWidget* parent)
    : QWidget(parent), store_(store) {
    setObjectName("unusedDaysSummary");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(
        new SheetText(QStringLiteral("Not used for"), style, SheetText::Tone::secondary));
    number_ = sheetButton({}, "unusedDaysNumber");
    number_->setFlat(true);
    number_->setCursor(Qt::PointingHandCursor);
    number_->setToolTip(QStringLiteral("Click to change the number of days"));
    QFont font = textFont(style, QFont::DemiBold);
    number_->setFont(font);
    connect(number_, &QPushButton::clicked, this, [this] { openEditor(); });
    layout->addWidget(number_);
    word_ = new SheetText({}, style, SheetText::Tone::secondary);
    word_->setObjectName("unusedDaysWord");
    layout->addWidget(word_);
    layout->addStretch(1);
    connect(&store_, &Store::unusedAppDaysChanged, this, [this] { refresh(); });
    refresh();
}

void UnusedDaysSummary::refresh() {
    const std::int64_t days = store_.unusedAppDays();
    number_->setText(QString::number(days));
    const QColor tint = blue(this);
    QColor fill = tint;
    fill.setAlphaF(0.15f);
    number_->setStyleSheet(QStringLiteral("QPushButton { color: %1; background: %2; border: none;"
                                          " border-radius: 5px; padding: 1px 6px; }")
                               .arg(tint.name(), fill.name(QColor::HexArgb)));
    word_->setText(toQString(SheetRules::daysWord(days)));
}

void UnusedDaysSummary::openEditor() {
    if (popup_) return;
    auto* popup = new QFrame(this, Qt::Popup);
    popup->setObjectName("unusedDaysPopover");
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->setFrameShape(QFrame::StyledPanel);
    popup->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(popup);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* editor = new UnusedDaysEditor(store_);
    layout->addWidget(editor);
    popup->setFixedWidth(editor->width() + 2 * popup->frameWidth());
    popup_ = popup;
    // In the skin of the window it opens over: a window takes no colours from its opener, and
    // the editor's dimmed texts are coloured for that skin.
    showPopover(popup, number_);
}

} // namespace bramwick

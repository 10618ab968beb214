#include "sheets/memory_users_sheet.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QScrollArea>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>

#include "appearance/tiles.h"
#include "appearance/window_dressing.h"
#include "base/edition.h"
#include "base/text.h"
#include "platform/running_apps.h"
#include "sheets/sheet_frame.h"
#include "sheets/sheet_rules.h"
#include "store/store_vitals.h"
#include "store/to_qstring.h"

namespace bramwick {

MemoryProvider MemoryProvider::standard() {
    MemoryProvider provider;
    provider.current = [](int limit) { return MemoryUsers::current(limit); };
    provider.show = [](const MemoryUsers::Entry& entry) { return MemoryUsers::show(entry); };
    provider.quit = [](const MemoryUsers::Entry& entry) { return MemoryUsers::quit(entry); };
    provider.work = [](std::function<void()> job) {
        QThreadPool::globalInstance()->start(std::move(job));
    };
    return provider;
}

MemoryUsersSheet::MemoryUsersSheet(StoreVitals& vitals, MemoryProvider provider, QWidget* parent)
    : QWidget(parent), vitals_(vitals), provider_(std::move(provider)) {
    setObjectName("memoryUsersSheet");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    layout->addWidget(new SheetText(QStringLiteral("What is using memory"), TextStyle::title2,
                                    SheetText::Tone::primary, QFont::Bold));
    pressure_ = new SheetText({}, TextStyle::callout, SheetText::Tone::secondary);
    pressure_->setObjectName("pressure");
    pressure_->setWordWrap(true);
    layout->addWidget(pressure_);

    layout->addWidget(sheetRowList(this, "memoryList", &rows_), 1);

    noteText_ = new SheetText({}, TextStyle::callout, SheetText::Tone::secondary);
    noteText_->setObjectName("note");
    noteText_->setWordWrap(true);
    noteText_->hide();
    layout->addWidget(noteText_);
    for (const char* line :
         {"Quitting an app returns its memory at once. Showing it lets you close a few tabs or "
          "documents instead, which is usually the better trade.",
          "Resident memory, with an app's helper processes counted together. Helpers share memory "
          "with each other, so a browser's total reads high."}) {
        auto* text = new SheetText(toQString(line), TextStyle::caption, SheetText::Tone::secondary);
        text->setWordWrap(true);
        layout->addWidget(text);
    }

    auto* footer = new QHBoxLayout;
    auto* refresh = sheetButton(QStringLiteral("Refresh"), "refresh");
    connect(refresh, &QPushButton::clicked, this, [this] { read(); });
    footer->addWidget(refresh);
    footer->addStretch(1);
    auto* done = sheetButton(QStringLiteral("Done"), "done");
    done->setDefault(true); // Return closes the sheet
    connect(done, &QPushButton::clicked, this, [this] { closeSheet(this); });
    footer->addWidget(done);
    layout->addLayout(footer);

    connect(&vitals_, &StoreVitals::vitalsChanged, this, [this] { refreshPressure(); });
    refreshPressure();
    rebuild();
}

void MemoryUsersSheet::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!readOnShow_) {
        readOnShow_ = true;
        read();
    }
}

void MemoryUsersSheet::refreshPressure() {
    pressure_->setText(toQString(SheetRules::pressureSentence(vitals_.latest().pressure)));
}

void MemoryUsersSheet::read() {
    const std::uint64_t request = ++request_;
    QPointer<MemoryUsersSheet> self(this);
    provider_.work([self, request, current = provider_.current] {
        auto found = current(limit);
        QMetaObject::invokeMethod(
            qApp,
            [self, request, found = std::move(found)] {
                if (!self || request != self->request_ || !self->isVisible()) return;
                self->entries_ = found;
                self->rebuild();
            },
            Qt::QueuedConnection);
    });
}

void MemoryUsersSheet::bringForward(const MemoryUsers::Entry& entry) {
    note_ = SheetRules::showNote(entry.name, provider_.show(entry));
    noteText_->setText(toQString(*note_));
    noteText_->show();
}

void MemoryUsersSheet::askToQuit(const MemoryUsers::Entry& entry) {
    note_ = SheetRules::quitNote(entry.name, provider_.quit(entry));
    noteText_->setText(toQString(*note_));
    noteText_->show();
    // Bound to the sheet: a sheet closed meanwhile reads nothing.
    QTimer::singleShot(rereadDelay, this, [this] { read(); });
}

void MemoryUsersSheet::rebuild() {
    while (auto* child = rows_->takeAt(0)) {
        delete child->widget();
        delete child;
    }
    for (const auto& entry : entries_) {
        auto* row = new SkinRow;
        row->setObjectName(toQString("entry:" + entry.id));
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(16, 2 + 6, 16, 2 + 6);
        line->setSpacing(10);
        auto* names = new QVBoxLayout;
        names->setSpacing(2);
        names->addWidget(new SheetText(toQString(entry.name), TextStyle::body));
        if (auto caption = SheetRules::memoryCaption(entry)) {
            auto* text =
                new SheetText(toQString(*caption), TextStyle::caption, SheetText::Tone::secondary);
            text->setObjectName("caption");
            text->setWordWrap(true);
            names->addWidget(text);
        }
        line->addLayout(names, 1);
        auto* size = new SheetText(toQString(Text::byteCount(entry.bytes)), TextStyle::body,
                                   SheetText::Tone::secondary);
        size->setFixedWidth(80);
        size->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        line->addWidget(size);
        switch (SheetRules::memoryTrailing(entry, Edition::appId)) {
        case SheetRules::MemoryTrailing::buttons: {
            auto* showButton = sheetButton(QStringLiteral("Show"), "show");
            connect(showButton, &QPushButton::clicked, this,
                    [this, entry] { bringForward(entry); });
            line->addWidget(showButton);
            auto* quitButton = sheetButton(QStringLiteral("Quit"), "quit");
            quitButton->setFixedWidth(56);
            connect(quitButton, &QPushButton::clicked, this, [this, entry] { askToQuit(entry); });
            line->addWidget(quitButton);
            break;
        }
        case SheetRules::MemoryTrailing::thisApp:
        case SheetRules::MemoryTrailing::notAnApp: {
            const bool own = SheetRules::memoryTrailing(entry, Edition::appId) ==
                             SheetRules::MemoryTrailing::thisApp;
            auto* label =
                new SheetText(own ? QStringLiteral("this app") : QStringLiteral("not an app"),
                              TextStyle::caption, SheetText::Tone::secondary);
            label->setObjectName("trailing");
            label->setFixedWidth(72);
            label->setAlignment(Qt::AlignCenter);
            line->addWidget(label);
            break;
        }
        }
        rows_->addWidget(row);
    }
    rows_->addStretch(1);
}

} // namespace bramwick

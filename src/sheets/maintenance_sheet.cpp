#include "sheets/maintenance_sheet.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QScrollArea>
#include <QThreadPool>
#include <QVBoxLayout>

#include "appearance/confirm_card.h"
#include "appearance/tiles.h"
#include "appearance/window_dressing.h"
#include "sheets/sheet_frame.h"
#include "sheets/sheet_rules.h"
#include "store/store_maintenance.h"
#include "store/to_qstring.h"

namespace bramwick {

MaintenanceSource MaintenanceSource::standard() {
    MaintenanceSource source;
    source.tasks = [] { return Maintenance::all(); };
    source.retired = [] { return Maintenance::retired(); };
    source.work = [](std::function<void()> job) {
        QThreadPool::globalInstance()->start(std::move(job));
    };
    return source;
}

MaintenanceSheet::MaintenanceSheet(StoreMaintenance& maintenance, Store& reports,
                                   MaintenanceSource source, QWidget* parent)
    : QWidget(parent), maintenance_(maintenance), source_(std::move(source)) {
    setObjectName("maintenanceSheet");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(14);
    auto* header = new QVBoxLayout;
    header->setSpacing(4);
    header->addWidget(new SheetText(QStringLiteral("Maintenance"), TextStyle::title2,
                                    SheetText::Tone::primary, QFont::Bold));
    auto* intro = new SheetText(
        QStringLiteral("Each of these was checked against this computer. Nothing runs "
                       "until you press Run, and nothing here deletes your files."),
        TextStyle::body, SheetText::Tone::secondary);
    intro->setWordWrap(true);
    header->addWidget(intro);
    layout->addLayout(header);

    layout->addWidget(sheetRowList(this, "maintenanceList", &rows_), 1);

    layout->addWidget(new SheetReportBanner(reports));

    auto* footer = new QHBoxLayout;
    footer->addStretch(1);
    auto* done = sheetButton(QStringLiteral("Done"), "done");
    done->setDefault(true); // Return closes the sheet
    connect(done, &QPushButton::clicked, this, [this] { closeSheet(this); });
    footer->addWidget(done);
    layout->addLayout(footer);

    confirm_ = new ConfirmPresenter(this);
    confirm_->hide();

    lastRunning_ = maintenance_.runningTask();
    connect(&maintenance_, &StoreMaintenance::runningTaskChanged, this, [this] {
        const auto now = maintenance_.runningTask();
        const bool ended = lastRunning_ && !now;
        lastRunning_ = now;
        rebuild();
        if (ended) measure(); // what the run changed shows without reopening
    });
    rebuild();
}

std::vector<MaintenanceTask> MaintenanceSheet::tasks() const {
    std::vector<MaintenanceTask> out;
    for (auto& task : source_.tasks())
        if (!task.isAvailable || task.isAvailable()) out.push_back(std::move(task));
    return out;
}

void MaintenanceSheet::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!measuredOnShow_) {
        measuredOnShow_ = true;
        measure();
    }
}

void MaintenanceSheet::measure() {
    const std::uint64_t pass = ++pass_;
    QPointer<MaintenanceSheet> self(this);
    auto list = tasks();
    source_.work([self, pass, list = std::move(list)] {
        std::map<std::string, std::string> found;
        for (const auto& task : list)
            if (task.measure)
                if (auto text = task.measure()) found.emplace(task.id, *text);
        // Back on the GUI thread; dropped when the sheet is gone, closed or asked again.
        QMetaObject::invokeMethod(
            qApp,
            [self, pass, found = std::move(found)] {
                if (!self || pass != self->pass_ || !self->isVisible()) return;
                self->measurements_ = found;
                self->rebuild();
            },
            Qt::QueuedConnection);
    });
}

void MaintenanceSheet::rebuild() {
    while (auto* child = rows_->takeAt(0)) {
        delete child->widget();
        delete child;
    }
    auto accent = [](const QWidget* w) { return Skins::palette(skinOf(w), w->palette()).accent; };
    for (const auto& task : tasks()) {
        auto* row = new SkinRow;
        row->setObjectName(toQString("task:" + task.id));
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(16, 6 + 6, 16, 6 + 6);
        line->setSpacing(12);
        auto* icon = new SheetSymbol(task.symbol, 20, accent);
        icon->setFixedWidth(26);
        line->addWidget(icon, 0, Qt::AlignTop);
        auto* text = new QVBoxLayout;
        text->setSpacing(3);
        auto* nameRow = new QHBoxLayout;
        nameRow->setSpacing(6);
        nameRow->addWidget(new SheetText(toQString(task.name), TextStyle::body,
                                         SheetText::Tone::primary, QFont::DemiBold));
        if (task.needsPassword) {
            auto* lock = new SheetSymbol("lock.fill", 11, [](const QWidget* w) {
                return Skins::palette(skinOf(w), w->palette()).secondaryText;
            });
            lock->setObjectName("needsPassword");
            lock->setToolTip(QStringLiteral("Asks for your administrator password"));
            nameRow->addWidget(lock);
        }
        nameRow->addStretch(1);
        text->addLayout(nameRow);
        auto* detail =
            new SheetText(toQString(task.detail), TextStyle::callout, SheetText::Tone::secondary);
        detail->setWordWrap(true);
        text->addWidget(detail);
        if (!task.cost.empty()) {
            auto* cost =
                new SheetText(toQString(task.cost), TextStyle::caption, SheetText::Tone::secondary);
            cost->setWordWrap(true);
            text->addWidget(cost);
        }
        if (auto found = measurements_.find(task.id); found != measurements_.end()) {
            auto* measured = new QHBoxLayout;
            measured->setSpacing(4);
            measured->addWidget(new SheetSymbol("ruler", 11, accent));
            auto* value = new SheetText(toQString(found->second), TextStyle::caption);
            value->setObjectName("measurement");
            value->setTint(accent);
            value->setWordWrap(true);
            measured->addWidget(value, 1);
            text->addLayout(measured);
        }
        line->addLayout(text, 1);
        const bool hasCommands = task.commands && !task.commands().empty();
        const auto run = SheetRules::runButton(hasCommands, task.id, maintenance_.runningTask());
        if (run.shown) {
            auto* button = sheetButton(toQString(run.title), "run");
            button->setEnabled(run.enabled);
            connect(button, &QPushButton::clicked, this, [this, task] { requestRun(task); });
            line->addWidget(button, 0, Qt::AlignTop);
        }
        rows_->addWidget(row);
    }

    auto* retiredHead = new QHBoxLayout;
    auto* head = new QWidget;
    head->setLayout(retiredHead);
    retiredHead->setContentsMargins(16, 14, 16, 4);
    retiredHead->addWidget(new SheetSymbol("nosign", 12, [](const QWidget* w) {
        return Skins::palette(skinOf(w), w->palette()).secondaryText;
    }));
    retiredHead->addWidget(new SheetText(QStringLiteral("Not offered, and why"), TextStyle::callout,
                                         SheetText::Tone::secondary, QFont::DemiBold));
    retiredHead->addStretch(1);
    rows_->addWidget(head);
    for (const auto& retired : source_.retired()) {
        auto* row = new SkinRow;
        row->setObjectName("retiredRow");
        auto* line = new QVBoxLayout(row);
        line->setContentsMargins(16, 2 + 6, 16, 2 + 6);
        line->setSpacing(2);
        auto* name =
            new SheetText(toQString(retired.name), TextStyle::body, SheetText::Tone::secondary);
        QFont struck = name->font();
        struck.setStrikeOut(true);
        name->setFont(struck);
        line->addWidget(name);
        auto* why =
            new SheetText(toQString(retired.why), TextStyle::caption, SheetText::Tone::secondary);
        why->setWordWrap(true);
        line->addWidget(why);
        rows_->addWidget(row);
    }
    rows_->addStretch(1);
}

void MaintenanceSheet::requestRun(const MaintenanceTask& task) {
    if (maintenance_.runningTask()) return;
    confirm_->present(toQString(task.name), toQString(SheetRules::maintenanceConfirmMessage(task)),
                      QStringLiteral("Run"), false,
                      [this, task] { auto running = maintenance_.run(task); });
}

} // namespace bramwick

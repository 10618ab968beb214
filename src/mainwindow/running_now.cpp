#include "mainwindow/running_now.h"

#include <QHBoxLayout>
#include <QLabel>
#include <fmt/format.h>

#include "appearance/icons.h"
#include "appearance/spinner.h"
#include "appearance/tiles.h"
#include "appearance/window_dressing.h"
#include "base/text.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace RunningNowValues {

std::optional<std::string> swapText(const RunningSnapshot& snapshot) {
    if (snapshot.swapUsed <= 0) return std::nullopt;
    return "Swap is using " + Text::byteCount(snapshot.swapUsed) + " of disk";
}

Content content(const RunningSnapshot& snapshot) {
    if (!snapshot.scanned) return Content::checking;
    if (snapshot.items.empty()) return Content::nothing;
    return Content::rows;
}

std::optional<std::string> problemText(const RunningSnapshot& snapshot) {
    if (snapshot.watchersProblem.empty()) return std::nullopt;
    return Text::sentence(snapshot.watchersProblem);
}

std::string cpuText(double cpu) {
    return fmt::format("{:.0f}% CPU", cpu);
}

bool cpuHot(double cpu) {
    return cpu >= 25;
}

std::string memoryText(std::int64_t memory) {
    return Text::byteCount(memory) + " memory";
}

bool isSimulator(const RunningItem& item) {
    return std::holds_alternative<RunningItem::Simulator>(item.kind);
}

std::string stopLabel(const RunningItem& item) {
    return isSimulator(item) ? "Shut Down" : "Stop";
}

std::string stopHelp(const RunningItem& item) {
    return isSimulator(item)
               ? "Apps and data in the simulator are kept. It starts again when Xcode needs it."
               : "Stops watching the log. Nothing depends on it once the tool that started it "
                 "is done.";
}

std::string symbol(const RunningItem& item) {
    return isSimulator(item) ? "iphone" : "text.viewfinder";
}

} // namespace RunningNowValues

namespace {

QLabel* symbolLabel(const std::string& symbol, const QColor& color, int size, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(Icons::icon(symbol, color).pixmap(size, size));
    return label;
}

} // namespace

RunningNowSection::RunningNowSection(StoreVitals& vitals, QWidget* parent)
    : QWidget(parent), vitals_(vitals) {
    setObjectName(QString::fromLatin1(identity));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(20, 8, 20, 0);
    header->setSpacing(8);
    header->addWidget(symbolLabel("fanblades", QColor(Qt::gray), 16, this));
    auto* title = new ToneLabel("runningTitle", TextStyle::headline);
    title->setText(QStringLiteral("Running Now"));
    header->addWidget(title);
    swap_ = new ToneLabel("runningSwap", TextStyle::body, QFont::Normal, Tones::secondary);
    swap_->setToolTip(QStringLiteral(
        "When memory runs short, the system moves some of it to disk as swap. Stopping things that "
        "use a lot of memory lets swap shrink."));
    header->addWidget(swap_);
    header->addStretch(1);
    refreshing_ = new Spinner(this);
    refreshing_->setObjectName(QStringLiteral("runningRefreshing"));
    header->addWidget(refreshing_);
    refreshButton_ = new QToolButton(this);
    refreshButton_->setObjectName(QStringLiteral("runningRefresh"));
    refreshButton_->setAutoRaise(true);
    refreshButton_->setIcon(Icons::icon("arrow.clockwise", QColor(Qt::gray)));
    refreshButton_->setToolTip(QStringLiteral("Check again"));
    refreshButton_->setAccessibleName(QStringLiteral("Check again"));
    connect(refreshButton_, &QToolButton::clicked, this, [this] { vitals_.refreshRunning(); });
    header->addWidget(refreshButton_);
    column->addLayout(header);

    body_ = new SkinRow(this);
    body_->setObjectName(QStringLiteral("runningBody"));
    bodyLayout_ = new QVBoxLayout(body_);
    bodyLayout_->setContentsMargins(24, 6, 24, 6);
    bodyLayout_->setSpacing(0);
    column->addWidget(body_);

    for (auto signal : {&StoreVitals::runningChanged, &StoreVitals::refreshingRunningChanged,
                        &StoreVitals::stoppingChanged})
        connect(&vitals_, signal, this, &RunningNowSection::refresh);
    refresh();
}

QPushButton* RunningNowSection::stopButton(const std::string& id) const {
    return body_->findChild<QPushButton*>(toQString("stop-" + id));
}

void RunningNowSection::refresh() {
    const RunningSnapshot& running = vitals_.running();
    const auto swap = RunningNowValues::swapText(running);
    swap_->setVisible(swap.has_value());
    if (swap) swap_->setText(toQString(*swap));
    refreshing_->setVisible(vitals_.refreshingRunning());
    refreshButton_->setVisible(!vitals_.refreshingRunning());

    while (QLayoutItem* item = bodyLayout_->takeAt(0)) {
        // The row's button may be the one whose click led here: let it finish first.
        if (QWidget* old = item->widget()) {
            old->hide();
            old->setParent(nullptr);
            old->deleteLater();
        }
        if (item->layout()) delete item->layout();
        delete item;
    }
    const Skin skin = skinOf(this);
    const bool dark = isDark(palette());
    const QColor orange = systemColor(SystemColor::orange, dark);
    switch (RunningNowValues::content(running)) {
    case RunningNowValues::Content::checking: {
        auto* label = new ToneLabel("runningChecking", TextStyle::body, std::nullopt,
                                    Tones::secondary, body_);
        label->setText(QStringLiteral("Checking\u2026"));
        bodyLayout_->addWidget(label);
        break;
    }
    case RunningNowValues::Content::nothing: {
        auto* row = new QWidget(body_);
        row->setObjectName(QStringLiteral("runningNothing"));
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 4, 0, 4);
        layout->addWidget(symbolLabel("checkmark.circle",
                                      Skins::palette(skin, palette()).secondaryText, 16, row));
        auto* label = new ToneLabel("runningNothingText", TextStyle::body, std::nullopt,
                                    Tones::secondary, row);
        label->setText(QStringLiteral("No simulators or leftover log watchers are running."));
        layout->addWidget(label);
        layout->addStretch(1);
        bodyLayout_->addWidget(row);
        break;
    }
    case RunningNowValues::Content::rows:
        for (const RunningItem& item : running.items) {
            auto* row = new QWidget(body_);
            row->setObjectName(toQString("running-" + item.id));
            auto* layout = new QHBoxLayout(row);
            layout->setContentsMargins(0, 6, 0, 6);
            layout->setSpacing(14);
            auto* icon = symbolLabel(RunningNowValues::symbol(item), orange, 22, row);
            icon->setFixedWidth(34);
            icon->setAlignment(Qt::AlignCenter);
            layout->addWidget(icon);
            auto* texts = new QVBoxLayout;
            texts->setSpacing(3);
            auto* name = new ToneLabel("runningName", TextStyle::headline, std::nullopt,
                                       Tones::primary, row);
            name->setText(toQString(item.name));
            auto* detail = new ToneLabel("runningDetail", TextStyle::caption, std::nullopt,
                                         Tones::secondary, row);
            detail->setText(toQString(item.detail));
            texts->addWidget(name);
            texts->addWidget(detail);
            layout->addLayout(texts, 1);
            auto* figures = new QVBoxLayout;
            figures->setSpacing(2);
            const bool hot = RunningNowValues::cpuHot(item.cpu);
            auto* cpu = new ToneLabel(
                "runningCpu", TextStyle::callout, QFont::DemiBold,
                hot ? ToneOf([orange](Skin, const QPalette&) { return orange; }) : Tones::primary,
                row);
            cpu->setText(toQString(RunningNowValues::cpuText(item.cpu)));
            cpu->setToolTip(QStringLiteral("Percent of one CPU core"));
            cpu->setProperty("hot", hot);
            auto* memory = new ToneLabel("runningMemory", TextStyle::caption, std::nullopt,
                                         Tones::secondary, row);
            memory->setText(toQString(RunningNowValues::memoryText(item.memory)));
            figures->addWidget(cpu, 0, Qt::AlignRight);
            figures->addWidget(memory, 0, Qt::AlignRight);
            layout->addLayout(figures);
            if (vitals_.stopping().count(item.id)) {
                auto* busy = new QWidget(row);
                busy->setObjectName(toQString("stopping-" + item.id));
                busy->setFixedWidth(84);
                auto* busyLayout = new QHBoxLayout(busy);
                busyLayout->setContentsMargins(0, 0, 0, 0);
                auto* spinner = new Spinner(busy);
                spinner->setObjectName(QStringLiteral("stoppingSpinner"));
                busyLayout->addWidget(spinner, 0, Qt::AlignCenter);
                layout->addWidget(busy);
            } else {
                auto* stop = new QPushButton(toQString(RunningNowValues::stopLabel(item)), row);
                stop->setObjectName(toQString("stop-" + item.id));
                stop->setToolTip(toQString(RunningNowValues::stopHelp(item)));
                connect(stop, &QPushButton::clicked, this, [this, item] { vitals_.stop(item); });
                layout->addWidget(stop);
            }
            bodyLayout_->addWidget(row);
        }
        break;
    }
    if (const auto problem = RunningNowValues::problemText(running)) {
        auto* label = new ToneLabel("runningProblem", TextStyle::caption, std::nullopt,
                                    Tones::secondary, body_);
        label->setContentsMargins(0, 4, 0, 2);
        label->setText(toQString(*problem));
        bodyLayout_->addWidget(label);
    }
    for (auto* label : body_->findChildren<ToneLabel*>())
        label->recolour();
}

bool RunningNowSection::event(QEvent* event) {
    if (event->type() == skinChangeEvent()) refresh();
    return QWidget::event(event);
}

} // namespace bramwick

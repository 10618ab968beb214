#include "app/gui/tray_panel.h"

#include <algorithm>

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "app/gui/spark_glyph.h"
#include "appearance/confirm_card.h"
#include "appearance/icons.h"
#include "appearance/labels.h"
#include "appearance/spinner.h"
#include "appearance/symbols.h"
#include "appearance/tiles.h"
#include "appearance/typography.h"
#include "appearance/window_dressing.h"
#include "base/edition.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace {

void secondary(QLabel* l) {
    l->setForegroundRole(QPalette::PlaceholderText);
}

void caption(QWidget* w) {
    w->setFont(textFont(TextStyle::caption));
}

void headline(QWidget* w) {
    w->setFont(textFont(TextStyle::headline));
}

QLabel* symbol(TrayPanel* panel, QWidget* parent, const char* name, std::optional<QColor> colour) {
    auto* made = new QLabel(parent);
    made->setFixedSize(16, 16);
    panel->keepSymbol(made, name, colour);
    return made;
}

QToolButton* symbolButton(TrayPanel* panel, QWidget* parent, const char* name, const QString& help,
                          const char* objectName) {
    auto* made = new QToolButton(parent);
    made->setObjectName(QString::fromLatin1(objectName));
    made->setToolTip(help);
    made->setAutoRaise(true);
    panel->keepSymbol(made, name, std::nullopt);
    return made;
}

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

QHBoxLayout* row(int spacing) {
    auto* made = new QHBoxLayout;
    made->setContentsMargins(0, 0, 0, 0);
    made->setSpacing(spacing);
    return made;
}

} // namespace

QColor PanelLook::badgeWords(const QColor& tint, const QColor& background) {
    return readableOn(tint, composited(withOpacity(tint, badgeFill), background));
}

namespace {

// A button of the small control size: the style's own one as wide as its text needs (the style
// makes every button at least 80 wide), the skins' pill as its look makes it.
class SmallButton : public QPushButton {
  public:
    SmallButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
        setFont(textFont(TextStyle::footnote));
    }
    QSize sizeHint() const override {
        QSize hint = QPushButton::sizeHint();
        if (skinOf(this) == Skin::classic)
            hint.setWidth(fontMetrics().horizontalAdvance(text()) + 20);
        return hint;
    }
    QSize minimumSizeHint() const override { return sizeHint(); }
};

const QColor green = toQColor(DiskHealths::healthyGreen);
const QColor orange = toQColor(TrayColours::orange);

} // namespace

TrayPanel::TrayPanel(Store& store, Updater& updater, Actions actions, QWidget* parent)
    : SkinBackdrop(parent), store_(store), updater_(updater), actions_(std::move(actions)) {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setObjectName(QStringLiteral("menuBarPanel"));
    // Dressed in the stored skin before anything is built, and whenever it changes.
    SkinScene::attach(this);
    setWindowTitle(toQString(Edition::displayName));
    setFixedWidth(panelWidth);
    setAutoFillBackground(true);
    build();

    for (auto signal :
         {&Store::diskChanged, &Store::reportChanged, &Store::hasFullDiskAccessChanged,
          &Store::lastAutoCleanChanged, &Store::autoCleaningChanged, &Store::scanningAllChanged,
          &Store::cleaningAllChanged, &Store::lastScanChanged, &Store::statesChanged,
          &Store::categoriesChanged})
        connect(&store_, signal, this, &TrayPanel::scheduleRefresh);
    connect(&store_.vitals(), &StoreVitals::runningChanged, this, &TrayPanel::scheduleRefresh);
    refresh();
}

void TrayPanel::build() {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(14);

    // Header.
    auto* header = row(8);
    auto* appIcon = new QLabel(this);
    appIcon->setPixmap(
        QPixmap::fromImage(SparkGlyph::image(green, 24.0 / SparkGlyph::side * 2)
                               .scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    appIcon->setFixedSize(24, 24);
    appIcon->setScaledContents(true);
    header->addWidget(appIcon);
    auto* name = plainLabel(this, "panelTitle", toQString(Edition::displayName));
    headline(name);
    header->addWidget(name);
    header->addStretch(1);
    badge_ = plainLabel(this, "panelBadge");
    badge_->setContentsMargins(8, 3, 8, 3);
    caption(badge_);
    header->addWidget(badge_);
    column->addLayout(header);

    // Disk summary.
    diskSummary_ = new QWidget(this);
    auto* disk = new QVBoxLayout(diskSummary_);
    disk->setContentsMargins(0, 0, 0, 0);
    disk->setSpacing(6);
    auto* figures = row(6);
    free_ = plainLabel(diskSummary_, "panelFree");
    free_->setFont(textFont(TextStyle::title2, QFont::Bold));
    of_ = plainLabel(diskSummary_, "panelOf");
    secondary(of_);
    figures->addWidget(free_, 0, Qt::AlignBaseline);
    figures->addWidget(of_, 0, Qt::AlignBaseline);
    figures->addStretch(1);
    disk->addLayout(figures);
    usage_ = new QProgressBar(diskSummary_);
    usage_->setObjectName(QStringLiteral("panelUsage"));
    usage_->setRange(0, 1000);
    usage_->setTextVisible(false);
    usage_->setFixedHeight(6);
    disk->addWidget(usage_);
    caption_ = wrappingLabel(diskSummary_, "panelCaption");
    caption(caption_);
    secondary(caption_);
    disk->addWidget(caption_);
    column->addWidget(diskSummary_);

    column->addWidget(divider(this));

    // The quick clean.
    clean_ = new QStackedWidget(this);
    clean_->setObjectName(QStringLiteral("cleanSection"));

    progressPage_ = new QWidget(clean_);
    auto* progress = row(8);
    progressPage_->setLayout(progress);
    progress->addWidget(new Spinner(progressPage_));
    progressText_ = plainLabel(progressPage_, "cleanProgress");
    secondary(progressText_);
    progress->addWidget(progressText_);
    progress->addStretch(1);
    clean_->addWidget(progressPage_);

    firstScanPage_ = new QWidget(clean_);
    auto* firstScan = row(0);
    firstScanPage_->setLayout(firstScan);
    auto* scanButton = new QPushButton(QStringLiteral("Scan for Space"), firstScanPage_);
    scanButton->setObjectName(QStringLiteral("scanForSpace"));
    keepSymbol(scanButton, "magnifyingglass", std::nullopt);
    skinPill(scanButton, false, false);
    connect(scanButton, &QPushButton::clicked, this, [this] { store_.scanAll(); });
    firstScan->addWidget(scanButton);
    firstScan->addStretch(1);
    clean_->addWidget(firstScanPage_);

    confirmPage_ = new QWidget(clean_);
    auto* confirm = new QVBoxLayout(confirmPage_);
    confirm->setContentsMargins(0, 0, 0, 0);
    confirm->setSpacing(8);
    auto* question =
        plainLabel(confirmPage_, "confirmCleanTitle", QStringLiteral("Clean all safe categories?"));
    headline(question);
    confirm->addWidget(question);
    warning_ = wrappingLabel(confirmPage_, "confirmCleanText");
    caption(warning_);
    secondary(warning_);
    confirm->addWidget(warning_);
    auto* answers = row(6);
    answers->addStretch(1);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), confirmPage_);
    cancel->setObjectName(QStringLiteral("confirmCleanCancel"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, [this] { setConfirming(false); });
    auto* go = new QPushButton(QStringLiteral("Clean"), confirmPage_);
    go->setObjectName(QStringLiteral("confirmCleanClean"));
    go->setAutoDefault(false);
    tintButton(go, false);
    skinPill(go, true, false);
    skinPill(cancel, false, false);
    connect(go, &QPushButton::clicked, this, [this] {
        // The confirmation closes before the run begins.
        setConfirming(false);
        store_.cleanAllSafe();
    });
    answers->addWidget(cancel);
    answers->addWidget(go);
    confirm->addLayout(answers);
    clean_->addWidget(confirmPage_);

    totalPage_ = new QWidget(clean_);
    auto* totalRow = row(6);
    totalPage_->setLayout(totalRow);
    auto* figure = new QVBoxLayout;
    figure->setSpacing(1);
    total_ = plainLabel(totalPage_, "safeTotal");
    headline(total_);
    figure->addWidget(total_);
    auto* safeToClean = plainLabel(totalPage_, nullptr, QStringLiteral("safe to clean"));
    caption(safeToClean);
    secondary(safeToClean);
    figure->addWidget(safeToClean);
    totalRow->addLayout(figure);
    // Centred as one block: stretched to the taller button, the two lines would drift apart.
    totalRow->setAlignment(figure, Qt::AlignVCenter);
    totalRow->addStretch(1);
    cleanAllSafe_ = new QPushButton(QStringLiteral("Clean All Safe\u2026"), totalPage_);
    cleanAllSafe_->setObjectName(QStringLiteral("cleanAllSafe"));
    keepSymbol(cleanAllSafe_, "sparkles", QColor(Qt::white));
    tintButton(cleanAllSafe_, false);
    skinPill(cleanAllSafe_, true, false);
    connect(cleanAllSafe_, &QPushButton::clicked, this, [this] { setConfirming(true); });
    totalRow->addWidget(cleanAllSafe_);
    clean_->addWidget(totalPage_);
    column->addWidget(clean_);

    // The last outcome.
    reportRow_ = new QWidget(this);
    reportRow_->setObjectName(QStringLiteral("reportRow"));
    auto* report = row(8);
    reportRow_->setLayout(report);
    reportIcon_ = new QLabel(reportRow_);
    reportIcon_->setFixedSize(16, 16);
    report->addWidget(reportIcon_, 0, Qt::AlignTop);
    auto* reportText = new QVBoxLayout;
    reportText->setSpacing(2);
    reportTitle_ = wrappingLabel(reportRow_, "reportTitle");
    headline(reportTitle_);
    reportText->addWidget(reportTitle_);
    reportMessage_ = new LineLimitedLabel(4, reportRow_);
    reportMessage_->setObjectName(QStringLiteral("reportMessage"));
    caption(reportMessage_);
    secondary(reportMessage_);
    reportText->addWidget(reportMessage_);
    report->addLayout(reportText, 1);
    auto* dismiss =
        symbolButton(this, reportRow_, "xmark", QStringLiteral("Dismiss"), "dismissReport");
    connect(dismiss, &QToolButton::clicked, this, [this] { store_.dismissReport(); });
    report->addWidget(dismiss, 0, Qt::AlignTop);
    column->addWidget(reportRow_);

    // What is left running.
    runningRow_ = new QPushButton(this);
    runningRow_->setObjectName(QStringLiteral("runningRow"));
    runningRow_->setFlat(true);
    runningRow_->setToolTip(QStringLiteral("Open Bramwick to see and stop them"));
    auto* running = row(8);
    runningRow_->setLayout(running);
    running->addWidget(symbol(this, runningRow_, "cpu", orange));
    runningText_ = plainLabel(runningRow_, "runningText");
    running->addWidget(runningText_);
    running->addStretch(1);
    running->addWidget(symbol(this, runningRow_, "chevron.right", std::nullopt));
    runningRow_->setMinimumHeight(24);
    connect(runningRow_, &QPushButton::clicked, this, [this] { actions_.openMainWindow(); });
    column->addWidget(runningRow_);

    // Access.
    accessRow_ = new QWidget(this);
    accessRow_->setObjectName(QStringLiteral("accessRow"));
    auto* access = row(8);
    accessRow_->setLayout(access);
    access->addWidget(symbol(this, accessRow_, "lock.shield", orange));
    auto* accessText = wrappingLabel(accessRow_, "accessText");
    accessText->setText(QStringLiteral("Sizes read low without Full Disk Access"));
    caption(accessText);
    access->addWidget(accessText, 1);
    auto* fix = new SmallButton(QStringLiteral("Fix\u2026"), accessRow_);
    fix->setObjectName(QStringLiteral("fixAccess"));
    fix->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    skinPill(fix, false, false);
    connect(fix, &QPushButton::clicked, this, [this] { actions_.openMainWindow(); });
    access->addWidget(fix);
    column->addWidget(accessRow_);

    // The automatic clean.
    autoCleanRow_ = new QWidget(this);
    autoCleanRow_->setObjectName(QStringLiteral("autoCleanRow"));
    auto* autoClean = row(8);
    autoCleanRow_->setLayout(autoClean);
    autoCleanIcon_ = new QLabel(autoCleanRow_);
    autoCleanIcon_->setFixedSize(16, 16);
    autoClean->addWidget(autoCleanIcon_);
    autoCleanText_ = wrappingLabel(autoCleanRow_, "autoCleanText");
    caption(autoCleanText_);
    secondary(autoCleanText_);
    autoClean->addWidget(autoCleanText_, 1);
    column->addWidget(autoCleanRow_);

    column->addWidget(divider(this));

    // Footer.
    auto* footer = row(14);
    auto* open = new QPushButton(QStringLiteral("Open Bramwick"), this);
    open->setObjectName(QStringLiteral("openBramwick"));
    skinPill(open, false, false);
    connect(open, &QPushButton::clicked, this, [this] { actions_.openMainWindow(); });
    footer->addWidget(open);
    footer->addStretch(1);
    rescan_ = symbolButton(this, this, "arrow.clockwise",
                           QStringLiteral("Scan every category again"), "rescan");
    connect(rescan_, &QToolButton::clicked, this, [this] { store_.scanAll(); });
    footer->addWidget(rescan_);
    auto* settings =
        symbolButton(this, this, "gearshape", QStringLiteral("Settings"), "openSettings");
    connect(settings, &QToolButton::clicked, this, [this] {
        actions_.openSettings();
        if (actions_.activate) actions_.activate();
    });
    footer->addWidget(settings);
    auto* update = new CheckForUpdatesButton(updater_, actions_.activate, this);
    keepSymbol(update, "arrow.down.circle", std::nullopt);
    footer->addWidget(update);
    auto* quit = symbolButton(this, this, "power", QStringLiteral("Quit Bramwick"), "quit");
    connect(quit, &QToolButton::clicked, this, [this] { actions_.quit(); });
    footer->addWidget(quit);
    column->addLayout(footer);
}

void TrayPanel::scheduleRefresh() {
    // A scan changes the states many times a second: one refresh per turn of the event loop,
    // and none while the panel is hidden (it refreshes when it shows).
    if (refreshQueued_ || !isVisible()) return;
    refreshQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            refreshQueued_ = false;
            refresh();
        },
        Qt::QueuedConnection);
}

void TrayPanel::setConfirming(bool confirming) {
    confirmingClean_ = confirming;
    refresh();
}

void TrayPanel::refresh() {
    Date now = actions_.now ? actions_.now() : std::chrono::system_clock::now();
    shown_ = MenuBar::panel(store_, confirmingClean_, now);
    const MenuBar::Panel& p = shown_;

    badge_->setVisible(p.disk.has_value());
    diskSummary_->setVisible(p.disk.has_value());
    if (p.disk) {
        QColor tint = toQColor(TrayColours::rating(p.disk->rating));
        badge_->setText(toQString(DiskHealths::title(p.disk->rating)));
        badge_->setProperty("ratingTint", tint);
        free_->setText(toQString(p.disk->free));
        QPalette freePalette = palette();
        if (p.disk->freeInRed) freePalette.setColor(QPalette::WindowText, tint);
        free_->setPalette(freePalette);
        of_->setText(toQString(p.disk->of));
        usage_->setValue(static_cast<int>(std::clamp(p.disk->usedFraction, 0.0, 1.0) * 1000));
        QPalette bar = usage_->palette();
        bar.setColor(QPalette::Highlight, tint);
        usage_->setPalette(bar);
        caption_->setText(toQString(p.disk->caption));
    }

    using MenuBar::CleanState;
    switch (p.clean.state) {
    case CleanState::cleaning:
    case CleanState::scanning:
        progressText_->setText(toQString(p.clean.progress));
        clean_->setCurrentWidget(progressPage_);
        break;
    case CleanState::firstScan:
        clean_->setCurrentWidget(firstScanPage_);
        break;
    case CleanState::confirming:
        warning_->setText(toQString(p.clean.warning));
        clean_->setCurrentWidget(confirmPage_);
        break;
    case CleanState::safeTotal:
        total_->setText(toQString(p.clean.total));
        cleanAllSafe_->setEnabled(p.clean.cleanEnabled);
        clean_->setCurrentWidget(totalPage_);
        break;
    }
    // The stack is as tall as its current page, not its tallest.
    for (int i = 0; i < clean_->count(); ++i)
        clean_->widget(i)->setSizePolicy(QSizePolicy::Preferred,
                                         clean_->widget(i) == clean_->currentWidget()
                                             ? QSizePolicy::Preferred
                                             : QSizePolicy::Ignored);
    clean_->adjustSize();

    reportRow_->setVisible(p.report.has_value());
    if (p.report) {
        reportIcon_->setPixmap(p.report->hasFailures
                                   ? symbolPixmap("exclamationmark.circle.fill", orange, 16)
                                   : symbolPixmap("checkmark.circle.fill", green, 16));
        reportTitle_->setText(toQString(p.report->title));
        static_cast<LineLimitedLabel*>(reportMessage_)->setFullText(toQString(p.report->message));
    }
    runningRow_->setVisible(p.running.has_value());
    if (p.running) runningText_->setText(toQString(*p.running));
    accessRow_->setVisible(p.accessRow);
    autoCleanRow_->setVisible(p.autoClean.has_value());
    if (p.autoClean) {
        autoCleanIcon_->setPixmap(symbolPixmap(
            p.autoClean->running ? "clock.arrow.trianglehead.counterclockwise.rotate.90"
                                 : "clock.badge.checkmark",
            palette().color(QPalette::PlaceholderText), 16));
        autoCleanText_->setText(toQString(p.autoClean->text));
    }
    rescan_->setEnabled(p.rescanEnabled);
    // As tall as its sections need at its fixed width.
    layout()->activate();
    setFixedHeight(layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(panelWidth)
                                                 : layout()->totalSizeHint().height());
    if (p.disk) {
        // Coloured for what lies under it once the panel has its size and the badge its place.
        layout()->activate();
        const QColor tint = badge_->property("ratingTint").value<QColor>();
        const QColor words = PanelLook::badgeWords(tint, backgroundUnder(badge_));
        badge_->setProperty("words", words);
        badge_->setStyleSheet(
            QStringLiteral("QLabel { color: %1; background: %2; border-radius: 9px; "
                           "font-weight: 600; }")
                .arg(words.name(QColor::HexArgb),
                     withOpacity(tint, PanelLook::badgeFill).name(QColor::HexArgb)));
    }
}

QColor TrayPanel::backgroundUnder(const QWidget* widget) {
    if (skin() == Skin::classic) return palette().color(QPalette::Window);
    const QImage backdrop = rendered().toImage();
    const QPoint centre =
        widget->mapTo(this, widget->rect().center()) * backdrop.devicePixelRatio();
    if (!backdrop.rect().contains(centre)) return palette().color(QPalette::Window);
    return backdrop.pixelColor(centre);
}

void TrayPanel::keepSymbol(QWidget* target, std::string name, std::optional<QColor> colour) {
    symbols_.push_back({target, std::move(name), colour});
    recolour(symbols_.back());
}

void TrayPanel::recolour(const KeptSymbol& kept) {
    // Without a colour of its own a symbol takes the text colour of the skin's scheme.
    QColor colour = kept.colour.value_or(palette().color(
        qobject_cast<QLabel*>(kept.target) ? QPalette::PlaceholderText : QPalette::WindowText));
    if (auto* label = qobject_cast<QLabel*>(kept.target))
        label->setPixmap(symbolPixmap(kept.name, colour, 16));
    else if (auto* button = qobject_cast<QAbstractButton*>(kept.target))
        button->setIcon(Icons::icon(kept.name, colour));
}

bool TrayPanel::event(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        for (const auto& kept : symbols_)
            recolour(kept);
    // Like a menu: clicking anywhere else puts it away.
    if (event->type() == QEvent::WindowDeactivate && isVisible()) hide();
    return SkinBackdrop::event(event);
}

void TrayPanel::showEvent(QShowEvent* event) {
    store_.refreshDisk();
    if (actions_.appeared) actions_.appeared();
    refresh();
    SkinBackdrop::showEvent(event);
}

} // namespace bramwick

#include "mainwindow/disk_header.h"

#include <cmath>

#include <QHBoxLayout>
#include <QResizeEvent>
#include <QVBoxLayout>

#include "appearance/button_style.h"
#include "appearance/icons.h"
#include "appearance/progress.h"
#include "appearance/spinner.h"
#include "appearance/tiles.h"
#include "appearance/window_dressing.h"
#include "base/text.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace DiskHeaderValues {

std::optional<std::string> purgeableCaption(const std::optional<DiskFigures>& disk,
                                            std::int64_t safeTotal) {
    if (!disk) return std::nullopt;
    if (disk->available + 500'000'000 >= disk->availableIncludingPurgeable) return std::nullopt;
    return safeSentence(safeTotal) + " \u00b7 " +
           Text::byteCount(disk->availableIncludingPurgeable) + " free including purgeable space";
}

std::string safeSentence(std::int64_t safeTotal) {
    return Text::byteCount(safeTotal) + " can be cleaned safely right now";
}

bool cleanAllSafeEnabled(bool scanningAll, const std::function<std::int64_t()>& safeTotal) {
    if (scanningAll) return false;
    return safeTotal() != 0;
}

bool freeSpaceAlarming(const DiskFigures& disk) {
    return DiskHealths::rate(disk) == DiskHealth::almostFull;
}

QColor barTint(const DiskFigures& disk, bool darkScheme) {
    return healthColor(DiskHealths::rate(disk), darkScheme);
}

std::string freeText(std::int64_t available) {
    return Text::byteCount(available) + " free";
}

std::string ofTotal(const DiskFigures& disk) {
    return "of " + Text::byteCount(disk.total);
}

} // namespace DiskHeaderValues

namespace {

const char* const purgeableHelp =
    "The system can free purgeable space (like iCloud copies) on its own when it needs to.";

// A symbol drawn as a label, coloured once and kept.
QLabel* symbolLabel(const char* symbol, const QColor& color, int size, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(Icons::icon(symbol, color).pixmap(size, size));
    label->setFixedSize(size, size);
    return label;
}

QColor freeTone(const std::optional<DiskFigures>& disk, Skin skin, const QPalette& palette) {
    if (disk && DiskHeaderValues::freeSpaceAlarming(*disk))
        return systemColor(SystemColor::red, isDark(palette));
    return Tones::primary(skin, palette);
}

} // namespace

void FittingLabel::setCandidates(std::vector<QString> candidates) {
    candidates_ = std::move(candidates);
    choose();
}

QSize FittingLabel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

void FittingLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    choose();
}

void FittingLabel::choose() {
    if (candidates_.empty()) return setText({});
    const QFontMetrics metrics(font());
    for (const QString& candidate : candidates_)
        if (metrics.horizontalAdvance(candidate) <= width()) {
            if (text() != candidate) setText(candidate);
            return;
        }
    if (text() != candidates_.back()) setText(candidates_.back());
}

DiskHeader::DiskHeader(Store& store, Actions actions, QWidget* parent)
    : QWidget(parent), store_(store), actions_(std::move(actions)) {
    setObjectName(QStringLiteral("diskHeader"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    classic_ = buildClassic(classicParts_);
    skinned_ = buildSkinned(skinnedParts_);
    layout->addWidget(classic_);
    layout->addWidget(skinned_);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    for (auto signal : {&Store::diskChanged, &Store::scanningAllChanged, &Store::statesChanged,
                        &Store::categoriesChanged})
        connect(&store_, signal, this, &DiskHeader::refresh);
    connect(&store_.vitals(), &StoreVitals::vitalsChanged, this, &DiskHeader::refreshVitals);
    chooseLayout();
    refresh();
}

void DiskHeader::addMeters(Parts& parts, QWidget* owner) {
    parts.cpu = new VitalMeter(VitalMeters::Kind::cpu, owner);
    parts.memory = new VitalMeter(VitalMeters::Kind::memory, owner);
    connect(parts.cpu, &QAbstractButton::clicked, this, [this] {
        if (actions_.showRunning) actions_.showRunning();
    });
    connect(parts.memory, &QAbstractButton::clicked, this, [this] {
        if (actions_.showMemory) actions_.showMemory();
    });
}

QWidget* DiskHeader::buildClassic(Parts& parts) {
    auto* box = new QWidget(this);
    box->setObjectName(QStringLiteral("diskHeaderClassic"));
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(20, 14, 20, 14);
    row->setSpacing(20);
    row->addWidget(symbolLabel("internaldrive", systemColor(SystemColor::blue, false), 34, box));

    auto* column = new QVBoxLayout;
    column->setSpacing(6);
    parts.disk = new QWidget(box);
    auto* diskColumn = new QVBoxLayout(parts.disk);
    diskColumn->setContentsMargins(0, 0, 0, 0);
    diskColumn->setSpacing(6);
    auto* line = new QHBoxLayout;
    line->setSpacing(6);
    parts.free = new ToneLabel("diskFree", TextStyle::title2, QFont::Bold);
    parts.total = new ToneLabel("diskTotal", TextStyle::body, std::nullopt, Tones::secondary);
    line->addWidget(parts.free, 0, Qt::AlignBaseline);
    line->addWidget(parts.total, 0, Qt::AlignBaseline);
    line->addStretch(1);
    diskColumn->addLayout(line);
    parts.bar = new QProgressBar(parts.disk);
    parts.bar->setObjectName(QStringLiteral("diskBar"));
    parts.bar->setRange(0, 1000);
    parts.bar->setTextVisible(false);
    parts.bar->setMaximumWidth(420);
    parts.bar->setFixedHeight(8);
    diskColumn->addWidget(parts.bar);
    column->addWidget(parts.disk);

    parts.scanning =
        new ToneLabel("diskScanning", TextStyle::caption, std::nullopt, Tones::secondary);
    parts.scanning->setText(QStringLiteral("Scanning\u2026"));
    parts.scanning->setSymbol("magnifyingglass");
    column->addWidget(parts.scanning);
    parts.caption =
        new FittingLabel("diskCaption", TextStyle::caption, std::nullopt, Tones::secondary);
    parts.caption->setToolTip(purgeableHelp);
    parts.caption->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    column->addWidget(parts.caption);
    row->addLayout(column, 1);

    parts.meters = new QWidget(box);
    auto* meters = new QHBoxLayout(parts.meters);
    meters->setContentsMargins(0, 0, 0, 0);
    meters->setSpacing(20);
    auto* divider = new QFrame(parts.meters);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Sunken);
    divider->setFixedHeight(46);
    meters->addWidget(divider);
    addMeters(parts, parts.meters);
    meters->addWidget(parts.cpu);
    meters->addWidget(parts.memory);
    row->addWidget(parts.meters);

    parts.clean = new QPushButton(QStringLiteral("Clean All Safe"), box);
    parts.clean->setObjectName(QStringLiteral("cleanAllSafe"));
    parts.clean->setIcon(Icons::icon("sparkles", Qt::white));
    parts.clean->setMinimumHeight(32);
    parts.clean->setDefault(false);
    // The desktop's prominent button: filled with the accent, a white label and symbol.
    makeProminent(parts.clean);
    connect(parts.clean, &QPushButton::clicked, this, [this] {
        if (actions_.cleanAllSafe) actions_.cleanAllSafe();
    });
    row->addWidget(parts.clean);
    return box;
}

QWidget* DiskHeader::buildSkinned(Parts& parts) {
    auto* box = new TileRow(this);
    box->setObjectName(QStringLiteral("diskHeaderSkinned"));
    auto* row = new QHBoxLayout(box);
    skinnedRow_ = row;

    auto* tile = new SkinTile(20, std::nullopt, box);
    tile->setObjectName(QStringLiteral("diskTile"));
    tile->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* tileRow = new QHBoxLayout(tile);
    tileRow->setContentsMargins(18, 14, 18, 14);
    tileRow->setSpacing(16);
    auto* waiting = new Spinner(tile);
    waiting->setObjectName(QStringLiteral("diskWaiting"));
    parts.waiting = waiting;
    tileRow->addWidget(waiting);
    parts.disk = new QWidget(tile);
    auto* diskRow = new QHBoxLayout(parts.disk);
    diskRow->setContentsMargins(0, 0, 0, 0);
    diskRow->setSpacing(16);
    parts.ring = new DiskRing(84, parts.disk);
    diskRow->addWidget(parts.ring);
    auto* column = new QVBoxLayout;
    column->setSpacing(3);
    column->addStretch(1);
    parts.rollingFree =
        new NumberLabel("diskFree", TextStyle::title2, QFont::Bold, Tones::primary,
                        NumberTransitions::Kind::roll, 1200, [](double available) {
                            return toQString(DiskHeaderValues::freeText(std::llround(available)));
                        });
    parts.free = parts.rollingFree;
    parts.total = new ToneLabel("diskTotal", TextStyle::caption, std::nullopt, Tones::secondary);
    column->addWidget(parts.free);
    column->addWidget(parts.total);
    parts.scanning =
        new ToneLabel("diskScanning", TextStyle::caption, std::nullopt, Tones::secondary);
    parts.scanning->setText(QStringLiteral("Scanning\u2026"));
    parts.scanning->setSymbol("magnifyingglass");
    parts.scanning->setContentsMargins(0, 4, 0, 0);
    column->addWidget(parts.scanning);
    parts.safe = new ToneLabel("diskSafe", TextStyle::caption, std::nullopt, Tones::safeAccent);
    parts.safe->setTextFormat(Qt::RichText);
    parts.safe->setSymbol("sparkles");
    parts.safe->setContentsMargins(0, 4, 0, 0);
    column->addWidget(parts.safe);
    column->addStretch(1);
    diskRow->addLayout(column);
    tileRow->addWidget(parts.disk);
    tileRow->addStretch(1);
    row->addWidget(tile, 1);

    addMeters(parts, box);
    for (VitalMeter* meter : {parts.cpu, parts.memory}) {
        auto* meterTile = new SkinTile(20, std::nullopt, box);
        meterTile->setObjectName(meter->objectName() + "-tile");
        meterTile->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        auto* layout = new QHBoxLayout(meterTile);
        layout->setContentsMargins(18, 14, 18, 14);
        meter->setParent(meterTile);
        layout->addWidget(meter, 0, Qt::AlignLeft | Qt::AlignVCenter);
        row->addWidget(meterTile, 1);
        parts.meterTiles.push_back(meterTile);
    }

    parts.clean = new QPushButton(QStringLiteral("Clean All Safe"), box);
    parts.clean->setObjectName(QStringLiteral("cleanAllSafe"));
    parts.clean->setIcon(Icons::icon("sparkles", Qt::white));
    skinPill(parts.clean, true, true);
    connect(parts.clean, &QPushButton::clicked, this, [this] {
        if (actions_.cleanAllSafe) actions_.cleanAllSafe();
    });
    row->addWidget(parts.clean);
    return box;
}

void DiskHeader::chooseLayout() {
    const Skin skin = skinOf(this);
    const bool classic = skin == Skin::classic;
    // The row draws the cards' shadows behind them, so the spacing is the gap between the cards
    // themselves; below them it keeps room for their shadows, which fall downwards.
    const QMarginsF shadow = tileMargins(skin);
    skinnedRow_->setSpacing(14);
    skinnedRow_->setContentsMargins(16, 14, 16, std::max(6, int(std::ceil(shadow.bottom()))));
    classic_->setHidden(!classic);
    skinned_->setHidden(classic);
}

const DiskHeader::Parts& DiskHeader::shown() const {
    return classicLayout() ? classicParts_ : skinnedParts_;
}

QPushButton* DiskHeader::cleanAllSafeButton() const {
    return shown().clean;
}

VitalMeter* DiskHeader::cpuMeter() const {
    return shown().cpu;
}

VitalMeter* DiskHeader::memoryMeter() const {
    return shown().memory;
}

void DiskHeader::fill(Parts& parts, bool skinned) {
    const auto& disk = store_.disk();
    const bool scanning = store_.scanningAll();
    parts.disk->setVisible(disk.has_value());
    if (parts.waiting) parts.waiting->setVisible(!disk);
    if (disk) {
        if (parts.rollingFree)
            parts.rollingFree->setValue(double(disk->available));
        else
            parts.free->setText(toQString(DiskHeaderValues::freeText(disk->available)));
        parts.free->setTone(
            [disk](Skin skin, const QPalette& palette) { return freeTone(disk, skin, palette); });
        parts.total->setText(toQString(DiskHeaderValues::ofTotal(*disk)));
        if (parts.bar) {
            parts.bar->setValue(
                int(std::lround(std::clamp(DiskRingValues::usedFraction(*disk), 0.0, 1.0) * 1000)));
            QPalette p = parts.bar->palette();
            p.setColor(QPalette::Highlight, DiskHeaderValues::barTint(*disk, isDark(palette())));
            parts.bar->setPalette(p);
        }
        if (parts.ring) parts.ring->setDisk(*disk);
    }
    parts.scanning->setVisible(scanning);
    const std::int64_t safeTotal = scanning ? 0 : store_.safeTotal();
    const auto purgeable = DiskHeaderValues::purgeableCaption(disk, safeTotal);
    const std::string sentence = DiskHeaderValues::safeSentence(safeTotal);
    if (parts.caption) {
        parts.caption->setVisible(!scanning);
        std::vector<QString> candidates;
        if (purgeable) candidates.push_back(toQString(*purgeable));
        candidates.push_back(toQString(sentence));
        parts.caption->setCandidates(std::move(candidates));
    }
    if (parts.safe) {
        parts.safe->setVisible(!scanning);
        parts.safe->setText(
            QStringLiteral("<b>%1</b> <span style='color:%2'>safe to remove</span>")
                .arg(toQString(Text::byteCount(safeTotal)).toHtmlEscaped(),
                     Skins::palette(skinOf(this), palette()).secondaryText.name(QColor::HexArgb)));
        parts.safe->setToolTip(toQString(purgeable ? *purgeable : sentence));
    }
    (void)skinned;
    parts.clean->setEnabled(
        DiskHeaderValues::cleanAllSafeEnabled(scanning, [this] { return store_.safeTotal(); }));
}

void DiskHeader::refresh() {
    fill(classicParts_, false);
    fill(skinnedParts_, true);
    refreshVitals();
}

void DiskHeader::refreshVitals() {
    const Vitals& vitals = store_.vitals().latest();
    for (Parts* parts : {&classicParts_, &skinnedParts_}) {
        parts->meters ? parts->meters->setVisible(vitals.sampled) : void();
        for (QWidget* tile : parts->meterTiles)
            tile->setVisible(vitals.sampled);
    }
    // Only the meters on screen take the sample; the hidden layout's catch up on a skin change.
    const Parts& parts = shown();
    parts.cpu->setVitals(vitals);
    parts.memory->setVitals(vitals);
}

bool DiskHeader::event(QEvent* event) {
    if (event->type() == skinChangeEvent()) {
        chooseLayout();
        refresh();
    }
    return QWidget::event(event);
}

void DiskHeader::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    chooseLayout();
    refresh();
    store_.vitals().startSampling();
}

void DiskHeader::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    store_.vitals().stopSampling();
}

} // namespace bramwick

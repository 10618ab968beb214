#include "mainwindow/scanning_hero.h"

#include <cmath>

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "appearance/icons.h"
#include "appearance/window_dressing.h"
#include "base/text.h"

namespace bramwick {

namespace ScanningHeroValues {

Progress progress(const std::vector<CleanupCategory>& categories,
                  const std::set<std::string>& scannedThisPass,
                  const std::map<std::string, Store::CategoryState>& states) {
    Progress p;
    p.total = std::max<std::int64_t>(std::int64_t(categories.size()), 1);
    for (const CleanupCategory& category : categories) {
        const auto state = states.find(category.id);
        if (!p.current && state != states.end() && state->second.scanning)
            p.current = category.name;
        if (!scannedThisPass.count(category.id)) continue;
        ++p.done;
        if (state == states.end()) continue;
        for (const ScanItem& item : state->second.items)
            p.found += item.size;
    }
    p.fraction = double(p.done) / double(p.total);
    p.percent = std::llround(double(p.done) / double(p.total) * 100.0);
    return p;
}

std::string percentText(const Progress& progress) {
    return std::to_string(progress.percent) + "%";
}

std::string progressLine(const Progress& p) {
    const std::string count = std::to_string(p.done) + " of " + std::to_string(p.total);
    if (p.current) return "Measuring " + *p.current + " \u00b7 " + count;
    return count + " measured";
}

bool shown(bool scanningAll, Skin skin) {
    return scanningAll && skin != Skin::classic;
}

} // namespace ScanningHeroValues

namespace {

QColor percentTone(Skin skin, const QPalette& palette) {
    if (skin == Skin::nightfall) return Nightfall::cyan;
    if (skin == Skin::hibernia) return Hibernia::deepGreen;
    return Tones::primary(skin, palette);
}

QColor foundTone(Skin skin, const QPalette& palette) {
    if (skin == Skin::nightfall) return Nightfall::mint;
    if (skin == Skin::hibernia) return Hibernia::deepGreen;
    return Tones::primary(skin, palette);
}

} // namespace

ScanningHero::ScanningHero(Store& store, QWidget* parent)
    : SkinTile(20, std::nullopt, parent), store_(store) {
    setObjectName(QStringLiteral("scanningHero"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(20, 14, 20, 14);
    row->setSpacing(20);
    ring_ = new ScanRing(96, this);
    row->addWidget(ring_);

    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    column->addStretch(1);
    auto* head = new QHBoxLayout;
    head->setSpacing(8);
    percent_ = new ToneLabel("heroPercent", TextStyle::title, QFont::Bold, percentTone);
    QFont big = percent_->font();
    big.setPixelSize(30);
    percent_->setFont(big);
    head->addWidget(percent_, 0, Qt::AlignBaseline);
    auto* title = new ToneLabel("heroTitle", TextStyle::title3, QFont::DemiBold);
    title->setText(QStringLiteral("Scanning your computer"));
    head->addWidget(title, 0, Qt::AlignBaseline);
    head->addStretch(1);
    column->addLayout(head);
    line_ = new ToneLabel("heroLine", TextStyle::callout, std::nullopt, Tones::secondary);
    column->addWidget(line_);
    auto* note = new QHBoxLayout;
    note->setSpacing(4);
    note->setContentsMargins(0, 2, 0, 0);
    auto* lock = new QLabel(this);
    lock->setPixmap(Icons::icon("lock", Qt::gray).pixmap(12, 12));
    note->addWidget(lock);
    auto* noteText = new ToneLabel("heroNote", TextStyle::caption, std::nullopt, Tones::secondary);
    noteText->setText(QStringLiteral(
        "Nothing is deleted while scanning. Everything is measured on this computer."));
    note->addWidget(noteText);
    note->addStretch(1);
    column->addLayout(note);
    column->addStretch(1);
    row->addLayout(column, 1);
    row->addSpacing(12);

    auto* right = new QVBoxLayout;
    right->setSpacing(2);
    right->addStretch(1);
    auto* foundTitle =
        new ToneLabel("heroFoundTitle", TextStyle::caption, std::nullopt, Tones::secondary);
    foundTitle->setText(QStringLiteral("Found so far"));
    right->addWidget(foundTitle, 0, Qt::AlignRight);
    found_ = new ToneLabel("heroFound", TextStyle::title2, QFont::Bold, foundTone);
    right->addWidget(found_, 0, Qt::AlignRight);
    right->addStretch(1);
    row->addLayout(right);

    for (auto signal : {&Store::scanningAllChanged, &Store::statesChanged,
                        &Store::scannedThisPassChanged, &Store::categoriesChanged})
        connect(&store_, signal, this, &ScanningHero::refresh);
    refresh();
}

void ScanningHero::refresh() {
    const auto p = ScanningHeroValues::progress(store_.categories(), store_.scannedThisPass(),
                                                store_.states());
    ring_->setFraction(p.fraction);
    percent_->setText(QString::fromStdString(ScanningHeroValues::percentText(p)));
    line_->setText(QString::fromStdString(ScanningHeroValues::progressLine(p)));
    found_->setText(QString::fromStdString(Text::byteCount(p.found)));
    if (parentWidget() && parentWidget()->objectName() == "scanningHeroRow")
        showWhen(parentWidget(), ScanningHeroValues::shown(store_.scanningAll(), skinOf(this)));
}

bool ScanningHero::event(QEvent* event) {
    if (event->type() == skinChangeEvent()) refresh();
    return SkinTile::event(event);
}

QWidget* scanningHeroRow(Store& store, QWidget* parent) {
    auto* row = new QWidget(parent);
    row->setObjectName(QStringLiteral("scanningHeroRow"));
    auto* layout = new QVBoxLayout(row);
    layout->setContentsMargins(16, 0, 16, 8);
    auto* hero = new ScanningHero(store, row);
    layout->addWidget(hero);
    hero->refresh();
    return row;
}

} // namespace bramwick

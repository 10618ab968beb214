#include "mainwindow/scanning_hero.h"

#include <algorithm>
#include <cmath>

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "appearance/icons.h"
#include "appearance/motion.h"
#include "appearance/window_dressing.h"
#include "base/text.h"
#include "store/to_qstring.h"

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

std::string percentText(std::int64_t percent) {
    return std::to_string(percent) + "%";
}

std::string percentText(const Progress& progress) {
    return percentText(progress.percent);
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

// The skin's tint and its safe colour; classic, which shows no hero, its text.
QColor percentTone(Skin skin, const QPalette& palette) {
    const Skins::Palette colours = Skins::palette(skin, palette);
    return skin == Skin::classic ? colours.text : colours.tint;
}

QColor foundTone(Skin skin, const QPalette& palette) {
    const Skins::Palette colours = Skins::palette(skin, palette);
    return skin == Skin::classic ? colours.text : colours.safe;
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
    percent_ = new NumberLabel("heroPercent", TextStyle::title, QFont::Bold, percentTone,
                               NumberTransitions::Kind::countUp, 400, [](double percent) {
                                   return toQString(
                                       ScanningHeroValues::percentText(std::llround(percent)));
                               });
    QFont big = percent_->font();
    big.setPixelSize(30);
    percent_->setFont(big);
    head->addWidget(percent_, 0, Qt::AlignBaseline);
    auto* title = new ToneLabel("heroTitle", TextStyle::title3, QFont::DemiBold);
    title->setText(QStringLiteral("Scanning your computer"));
    head->addWidget(title, 0, Qt::AlignBaseline);
    head->addStretch(1);
    column->addLayout(head);
    line_ = new FadingLabel("heroLine", TextStyle::callout, std::nullopt, Tones::secondary, 400);
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
    found_ = new NumberLabel(
        "heroFound", TextStyle::title2, QFont::Bold, foundTone, NumberTransitions::Kind::countUp,
        500, [](double found) { return toQString(Text::byteCount(std::llround(found))); });
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
    percent_->setValue(double(p.percent));
    line_->fadeTo(toQString(ScanningHeroValues::progressLine(p)));
    found_->setValue(double(p.found));
}

bool ScanningHero::event(QEvent* event) {
    if (event->type() == skinChangeEvent()) refresh();
    return SkinTile::event(event);
}

namespace {
// The hero keeps these margins in the column: 16 on the sides, 8 below.
constexpr int sideMargin = 16;
constexpr int bottomMargin = 8;
} // namespace

ScanningHeroRow::ScanningHeroRow(Store& store, QWidget* parent)
    : QWidget(parent), store_(store), hero_(new ScanningHero(store, this)) {
    setObjectName(QStringLiteral("scanningHeroRow"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    Motion::prepareTransition(slide_, 350);
    slide_.setEasingCurve(Motion::easeInOut());
    connect(&slide_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { setReveal(value.toDouble()); });
    connect(&slide_, &QAbstractAnimation::finished, this, [this] {
        // Hidden only once it has left; never deleted, so this runs safely from the animation.
        if (!shown_) hide();
    });
    // The hero reads the store first, so a card that comes in already shows the new scan.
    connect(&store_, &Store::scanningAllChanged, this, [this] { follow(true); });
    follow(false);
}

void ScanningHeroRow::follow(bool animate) {
    const bool shown = ScanningHeroValues::shown(store_.scanningAll(), skinOf(this));
    if (animate && shown == shown_) return; // already there, or on its way
    shown_ = shown;
    slide_.stop();
    const bool onScreen = parentWidget() && parentWidget()->isVisible();
    if (!animate || !Motion::transitionsAllowed() || !onScreen) {
        setReveal(shown ? 1 : 0);
        showWhen(this, shown);
        return;
    }
    if (shown) show();
    // A scan that ends while the card still comes in turns it back from where it is.
    slide_.setStartValue(reveal_);
    slide_.setEndValue(shown ? 1.0 : 0.0);
    slide_.start();
}

void ScanningHeroRow::setReveal(double reveal) {
    reveal_ = std::clamp(reveal, 0.0, 1.0);
    if (reveal_ < 1) {
        if (!fade_) {
            fade_ = new QGraphicsOpacityEffect(this);
            setGraphicsEffect(fade_);
        }
        fade_->setOpacity(reveal_);
    } else if (fade_) {
        setGraphicsEffect(nullptr); // deletes it: a settled card draws straight to the window
        fade_ = nullptr;
    }
    updateGeometry();
    place();
}

QSize ScanningHeroRow::sizeHint() const {
    const QSize hero = hero_->sizeHint();
    return {hero.width() + 2 * sideMargin,
            int(std::lround((hero.height() + bottomMargin) * reveal_))};
}

QSize ScanningHeroRow::minimumSizeHint() const {
    return {hero_->minimumSizeHint().width() + 2 * sideMargin, sizeHint().height()};
}

void ScanningHeroRow::place() {
    // The card hangs from the row's bottom edge: while the row opens it comes down from the top.
    const int heroHeight = hero_->sizeHint().height();
    hero_->setGeometry(sideMargin, height() - bottomMargin - heroHeight,
                       std::max(0, width() - 2 * sideMargin), heroHeight);
}

bool ScanningHeroRow::event(QEvent* event) {
    if (event->type() == skinChangeEvent())
        follow(false);
    else if (event->type() == QEvent::LayoutRequest) {
        // The card's own size changed (a skin's margins, a font).
        updateGeometry();
        place();
    }
    return QWidget::event(event);
}

void ScanningHeroRow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    place();
}

} // namespace bramwick

#include "mainwindow/level_filter_bar.h"

#include <algorithm>

#include <QPainter>
#include <QPainterPath>

#include "appearance/icons.h"
#include "appearance/paint_kit.h"
#include "appearance/typography.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace {

constexpr int glow = FilterChip::glow;
constexpr int verticalPadding = 8;

QFont titleFont() {
    return textFont(TextStyle::callout, QFont::DemiBold);
}

QFont countFont() {
    return textFont(TextStyle::callout);
}

} // namespace

FilterChip::FilterChip(Store& store, DropHover& hover, QWidget* parent)
    : QAbstractButton(parent), store_(store), hover_(hover) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    connect(&hover_, &DropHover::changed, this, qOverload<>(&QWidget::update));
}

void FilterChip::show(const ListPlan::Chip& chip, Skin look) {
    if (chip == chip_ && look == look_) return;
    const bool resized = chip.showsTotal != chip_.showsTotal || chip.total != chip_.total ||
                         chip.counted.size() != chip_.counted.size() || look != look_;
    chip_ = chip;
    look_ = look;
    setObjectName(toQString(chip.objectName));
    setToolTip(toQString(chip.help));
    setAccessibleName(toQString(chip.title + ", " + ListPlan::chipCount(chip)));
    setAcceptDrops(ListPlan::acceptsDrop(chip.dropLevel));
    if (resized) updateGeometry();
    update();
}

QColor FilterChip::color() const {
    const Skins::Palette colours = Skins::palette(look_);
    return chip_.level ? colours.level(*chip_.level) : colours.selection;
}

QColor FilterChip::onColor() const {
    if (look_ == Skin::classic && chip_.level == Level::warning) return Qt::black;
    return Qt::white;
}

QString FilterChip::countText(bool withTotal) const {
    ListPlan::Chip shown = chip_;
    shown.showsTotal = withTotal && chip_.level.has_value();
    return toQString(ListPlan::chipCount(shown));
}

int FilterChip::capsuleWidth(bool withTotal) const {
    const int marker = 14;
    return 12 + marker + 6 + QFontMetrics(titleFont()).horizontalAdvance(toQString(chip_.title)) +
           6 + QFontMetrics(countFont()).horizontalAdvance(countText(withTotal)) + 12;
}

QSize FilterChip::sizeHint() const {
    const int height = std::max(QFontMetrics(titleFont()).height(), 14) + 12;
    return {capsuleWidth(chip_.showsTotal) + glow * 2, height + glow * 2};
}

bool FilterChip::outlined() const {
    return chip_.dropLevel && hover_.level() == chip_.dropLevel;
}

bool FilterChip::hitButton(const QPoint& pos) const {
    return PaintKit::capsule(QRectF(rect()).adjusted(glow, glow, -glow, -glow)).contains(pos);
}

bool FilterChip::event(QEvent* event) {
    if (chip_.dropLevel && handleDragEvent(event, chip_.dropLevel, store_, hover_)) return true;
    return QAbstractButton::event(event);
}

void FilterChip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsuleRect = QRectF(rect()).adjusted(glow, glow, -glow, -glow);
    const QPainterPath shape = PaintKit::capsule(capsuleRect);
    const bool selected = chip_.selected;
    const QColor accent = color();

    if (selected && look_ != Skin::classic)
        PaintKit::drawShadow(painter, shape,
                             withOpacity(accent, look_ == Skin::nightfall ? 0.45 : 0.3), 10);
    QColor fill;
    if (selected)
        fill = accent;
    else if (look_ == Skin::classic)
        fill = withOpacity(Skins::palette(look_).listSecondaryText, 0.12 / 0.55);
    else if (look_ == Skin::nightfall)
        fill = withOpacity(Qt::white, 0.06);
    else
        fill = withOpacity(Qt::white, 0.7);
    painter.fillPath(shape, fill);
    if (look_ != Skin::classic) {
        QColor line = selected                   ? withOpacity(accent, 0.6)
                      : look_ == Skin::nightfall ? withOpacity(Qt::white, 0.12)
                                                 : withOpacity(Qt::white, 0.95);
        painter.setPen(QPen(line, 1));
        painter.drawPath(PaintKit::capsule(capsuleRect.adjusted(0.5, 0.5, -0.5, -0.5)));
    }
    if (outlined()) {
        painter.setPen(QPen(Skins::palette(look_).level(*chip_.dropLevel), 2));
        painter.drawPath(PaintKit::capsule(capsuleRect.adjusted(1, 1, -1, -1)));
    }

    const QColor fore = selected ? onColor() : Skins::palette(look_).listText;
    qreal x = capsuleRect.left() + 12;
    const qreal mid = capsuleRect.center().y();
    const QRectF markerBox(x, mid - 7, 14, 14);
    if (look_ == Skin::classic || !chip_.level) {
        Icons::paintSymbol(painter, markerBox, chip_.symbol, selected ? onColor() : accent, 13);
    } else {
        const QColor dot = Skins::palette(look_).levelDot(*chip_.level);
        const QColor dotFill =
            selected && look_ == Skin::hibernia ? withOpacity(Qt::white, 0.85) : dot;
        QPainterPath circle;
        circle.addEllipse(markerBox.center(), 4, 4);
        if (look_ == Skin::nightfall)
            PaintKit::drawShadow(painter, circle, withOpacity(dot, 0.9), 4);
        painter.fillPath(circle, dotFill);
    }
    x += 14 + 6;
    painter.setFont(titleFont());
    painter.setPen(fore);
    const QString title = toQString(chip_.title);
    const int titleWidth = QFontMetrics(titleFont()).horizontalAdvance(title);
    painter.drawText(QRectF(x, capsuleRect.top(), titleWidth + 1, capsuleRect.height()),
                     Qt::AlignVCenter | Qt::AlignLeft, title);
    x += titleWidth + 6;
    painter.setFont(countFont());
    painter.setOpacity(selected ? 0.85 : 0.6);
    painter.drawText(QRectF(x, capsuleRect.top(), capsuleRect.right() - x, capsuleRect.height()),
                     Qt::AlignVCenter | Qt::AlignLeft, countText(chip_.showsTotal));
    painter.setOpacity(1);
    if (hasFocus()) {
        painter.setPen(QPen(Skins::palette(look_).selection, 1, Qt::DotLine));
        painter.drawPath(PaintKit::capsule(capsuleRect.adjusted(-2, -2, 2, 2)));
    }
}

LevelFilterBar::LevelFilterBar(Store& store, QWidget* parent)
    : QWidget(parent), store_(store), hover_(this) {
    setObjectName("level-filter-bar");
    setAccessibleName("Level filter");
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    for (int i = 0; i < 5; ++i) {
        auto* chip = new FilterChip(store_, hover_, this);
        chips_.push_back(chip);
        connect(chip, &QAbstractButton::clicked, this, [this, chip] {
            // Choosing the selected chip again changes nothing.
            if (!chip->chip().selected) emit chosen(toQString(chip->chip().value));
        });
    }
}

void LevelFilterBar::show(const std::vector<CleanupCategory>& categories,
                          const ListPlan::States& states, const std::string& selection, Skin look) {
    plan_ = ListPlan::chips(categories, states, selection, true);
    look_ = look;
    place();
}

void LevelFilterBar::place() {
    if (plan_.empty()) return;
    const std::size_t count = std::min(plan_.size(), chips_.size());
    std::vector<int> withTotals;
    for (std::size_t i = 0; i < count; ++i) {
        chips_[i]->show(plan_[i], look_);
        withTotals.push_back(chips_[i]->capsuleWidth(true));
    }
    wide_ = ListPlan::chipTotalsFit(withTotals, width());
    if (const QSize least = minimumSizeHint(); least != leastSize_) {
        leastSize_ = least;
        updateGeometry();
    }
    int x = ListPlan::chipBarPadding;
    for (std::size_t i = 0; i < count; ++i) {
        ListPlan::Chip chip = plan_[i];
        chip.showsTotal = wide_ && chip.level.has_value();
        chips_[i]->show(chip, look_);
        const int capsule = chips_[i]->capsuleWidth(chip.showsTotal);
        chips_[i]->setGeometry(x - glow, verticalPadding - glow, capsule + 2 * glow,
                               chips_[i]->sizeHint().height());
        x += capsule + ListPlan::chipSpacing;
    }
}

int LevelFilterBar::barHeight() const {
    return chips_.front()->sizeHint().height() - 2 * glow + 2 * verticalPadding;
}

QSize LevelFilterBar::sizeHint() const {
    return minimumSizeHint();
}

QSize LevelFilterBar::minimumSizeHint() const {
    // The bar without totals; wider, it shows them when they fit.
    std::vector<int> narrow;
    for (auto* chip : chips_)
        narrow.push_back(chip->capsuleWidth(false));
    return {ListPlan::chipRowWidth(narrow), barHeight()};
}

void LevelFilterBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    place();
}

void LevelFilterBar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The chips' widths follow the application's font.
    if (event->type() == QEvent::FontChange) place();
}

FilterChip* LevelFilterBar::chip(const QString& objectName) const {
    for (auto* chip : chips_)
        if (chip->objectName() == objectName) return chip;
    return nullptr;
}

} // namespace bramwick

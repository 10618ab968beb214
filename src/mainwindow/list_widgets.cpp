#include "mainwindow/list_widgets.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QStyleOptionButton>
#include <QVBoxLayout>

#include "appearance/button_style.h"
#include "appearance/icons.h"
#include "appearance/labels.h"
#include "appearance/progress.h"
#include "appearance/tiles.h"
#include "appearance/typography.h"
#include "appearance/window_dressing.h"
#include "base/text.h"
#include "mainwindow/move_menu.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace {

// Sets a text only when it differs: a label or button given the same text again still
// recomputes its size.
template <typename W> void setText(W* widget, const QString& text) {
    if (widget->text() != text) widget->setText(text);
}

} // namespace

// The level marker

LevelIcon::LevelIcon(QWidget* parent) : QWidget(parent) {
    setObjectName("level-icon");
    setFixedSize(16, 16);
}

void LevelIcon::show(Level level, Skin look) {
    level_ = level;
    look_ = look;
    setToolTip(toQString(ListPlan::levelHelp(level)));
    setAccessibleName(toQString(std::string(Levels::title(level))));
    update();
}

void LevelIcon::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (look_ == Skin::classic) {
        Icons::paintSymbol(painter, QRectF(rect()), ListPlan::symbol(level_),
                           Skins::palette(look_).level(level_), 14);
        return;
    }
    const QColor dot = Skins::palette(look_).levelDot(level_);
    const QPointF centre = QRectF(rect()).center();
    if (look_ == Skin::nightfall) {
        QRadialGradient glow(centre, 8);
        QColor halo = dot;
        halo.setAlphaF(0.9 * 0.6);
        glow.setColorAt(0, halo);
        glow.setColorAt(1, Qt::transparent);
        painter.setPen(Qt::NoPen);
        painter.setBrush(glow);
        painter.drawEllipse(centre, 8, 8);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(dot);
    painter.drawEllipse(centre, 4, 4);
}

// One category row

CategoryRow::CategoryRow(Store& store, const ListHooks& hooks, DropHover& hover, QWidget* parent)
    : QWidget(parent), store_(store), hooks_(hooks), hover_(hover) {
    auto* outer = new QVBoxLayout(this);
    // The plate is inset 10 from the row's sides; the content sits inside it.
    outer->setContentsMargins(20, 8, 20, 8);
    outer->setSpacing(8);
    auto* line = new QHBoxLayout;
    line->setSpacing(14);
    outer->addLayout(line);

    iconSlot_ = new QWidget(this);
    auto* iconLayout = new QHBoxLayout(iconSlot_);
    iconLayout->setContentsMargins(0, 0, 0, 0);
    line->addWidget(iconSlot_);

    auto* text = new QVBoxLayout;
    text->setSpacing(3);
    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    levelIcon_ = new LevelIcon(this);
    name_ = plainLabel(this, "name");
    name_->setFont(textFont(TextStyle::headline));
    info_ = new InfoButton(this);
    badge_ = plainLabel(this, "badge");
    badge_->setFont(textFont(TextStyle::caption2, QFont::DemiBold));
    badge_->setContentsMargins(6, 2, 6, 2);
    badge_->setStyleSheet("QLabel#badge { color: rgb(175, 82, 222); "
                          "background: rgba(175, 82, 222, 38); border-radius: 8px; }");
    badge_->hide();
    top->addWidget(levelIcon_);
    top->addWidget(name_);
    top->addWidget(info_);
    top->addWidget(badge_);
    top->addStretch(1);
    text->addLayout(top);
    summary_ = plainLabel(this, "summary");
    summary_->setFont(textFont(TextStyle::caption));
    summary_->setWordWrap(true);
    summary_->setMaximumHeight(QFontMetrics(summary_->font()).lineSpacing() * 2 + 2);
    text->addWidget(summary_);
    line->addLayout(text, 1);
    line->addSpacing(12);

    auto* sizeBox = new QWidget(this);
    sizeBox->setFixedWidth(80);
    auto* sizeLayout = new QHBoxLayout(sizeBox);
    sizeLayout->setContentsMargins(0, 0, 0, 0);
    sizeLayout->addStretch(1);
    busy_ = new Spinner(sizeBox);
    busy_->setObjectName("busy");
    size_ = plainLabel(sizeBox, "size");
    size_->setFont(textFont(TextStyle::callout, QFont::DemiBold));
    size_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    sizeLayout->addWidget(busy_);
    sizeLayout->addWidget(size_);
    line->addWidget(sizeBox);

    rescan_ = new SymbolButton("arrow.clockwise", 15, this);
    rescan_->setObjectName("rescan");
    rescan_->setToolTip("Rescan");
    rescan_->setAccessibleName("Rescan");
    line->addWidget(rescan_);
    details_ = new QPushButton("Details", this);
    details_->setObjectName("details");
    skinPill(details_, false, false);
    line->addWidget(details_);
    actionSlot_ = new QWidget(this);
    auto* slotLayout = new QHBoxLayout(actionSlot_);
    slotLayout->setContentsMargins(0, 0, 0, 0);
    action_ = new QPushButton(actionSlot_);
    action_->setObjectName("action");
    slotLayout->addWidget(action_, 0, Qt::AlignRight | Qt::AlignVCenter);
    line->addWidget(actionSlot_);

    cleaningBar_ = new SkinCleaningBar(this);
    cleaningBar_->setObjectName("cleaning-bar");
    auto* barLine = new QHBoxLayout;
    // Starts under the text column.
    barLine->setContentsMargins(50, 0, 4, 0);
    barLine->addWidget(cleaningBar_);
    outer->addLayout(barLine);
    cleaningBar_->hide();

    sweep_ = new SkinSweep(this);
    sweep_->setObjectName("sweep");
    sweep_->hide();

    connect(rescan_, &QToolButton::clicked, this, [this] {
        // The scan runs to its end on its own; the row shows its progress from the store.
        auto scanning = store_.scan(category_);
        Q_UNUSED(scanning);
    });
    connect(details_, &QAbstractButton::clicked, this, [this] {
        if (hooks_.details) hooks_.details(category_);
    });
    connect(action_, &QAbstractButton::clicked, this, [this] {
        if (plan_.slot == ListPlan::RowPlan::Slot::open) {
            if (category_.managedBy) store_.openApp(category_.managedBy->bundleID);
        } else if (hooks_.clean) {
            hooks_.clean(category_);
        }
    });
}

void CategoryRow::show(const CleanupCategory& category, const Store::CategoryState* state,
                       Skin look, std::optional<Level> dropLevel) {
    auto plan = ListPlan::row(category, state, look == Skin::classic, store_.unusedAppDays());
    if (shown_ && plan == plan_ && look == look_ && dropLevel == dropLevel_ &&
        category == category_)
        return;
    shown_ = true;
    plan_ = std::move(plan);
    category_ = category;
    look_ = look;
    dropLevel_ = dropLevel;
    apply();
}

void CategoryRow::apply() {
    using Size = ListPlan::RowPlan::Size;
    // Palettes and button looks cost a restyle of the widget: set only what changed, so a row
    // that only changed its size or state during a scan is cheap to redraw.
    const bool newLook = appliedLook_ != look_;
    appliedLook_ = look_;
    if (objectName().isEmpty()) setObjectName(toQString("row-" + category_.id));
    setAccessibleName(toQString(category_.name));
    if (acceptDrops() != ListPlan::acceptsDrop(dropLevel_))
        setAcceptDrops(ListPlan::acceptsDrop(dropLevel_));

    if (!icon_ || iconSymbol_ != category_.symbol) {
        delete icon_;
        icon_ = new SkinIcon(toQString(category_.symbol), std::nullopt, 36, iconSlot_);
        icon_->setObjectName("symbol");
        iconSlot_->layout()->addWidget(icon_);
        iconSymbol_ = category_.symbol;
    }
    levelIcon_->show(plan_.level, look_);
    setText(name_, toQString(category_.name));
    info_->setCategory(category_, look_);
    badge_->setVisible(plan_.badge.has_value());
    setText(badge_, toQString(plan_.badge.value_or("")));
    badge_->setToolTip(toQString(plan_.badgeHelp));
    setText(summary_, toQString(plan_.summary));
    if (newLook) {
        setTextColor(name_, Skins::palette(look_).listText);
        setTextColor(summary_, Skins::palette(look_).listSecondaryText);
        rescan_->setLook(look_);
    }

    busy_->setVisible(plan_.size == Size::progress);
    size_->setVisible(plan_.size != Size::progress);
    setText(size_, toQString(plan_.sizeText));
    const bool primary = plan_.size == Size::total;
    if (newLook || primary != sizePrimary_) {
        setTextColor(size_, primary ? Skins::palette(look_).listText
                                    : Skins::palette(look_).listSecondaryText);
        sizePrimary_ = primary;
    }

    rescan_->setEnabled(plan_.rescanEnabled);
    details_->setEnabled(plan_.detailsEnabled);
    details_->setAccessibleName(toQString("Details of " + category_.name));
    setText(action_, literalButtonText(toQString(plan_.slotLabel)));
    action_->setToolTip(toQString(plan_.slotHelp));
    action_->setAccessibleName(toQString(plan_.slotLabel + " " + category_.name));
    action_->setEnabled(plan_.slotEnabled);
    if (newLook || prominent_ != plan_.slotProminent) {
        skinPill(action_, plan_.slotProminent, false);
        prominent_ = plan_.slotProminent;
    }
    if (newLook) {
        // The slot keeps the room of the prominent Clean with its glow, so rows with a pill in
        // it are as tall as the rest and their sizes line up.
        actionSlot_->setMinimumSize(look_ == Skin::classic
                                        ? QSize(0, 0)
                                        : buttonSize(ButtonLook::prominent, false, "Clean", false));
    }

    cleaningBar_->setVisible(plan_.cleaningBar);
    sweep_->setVisible(plan_.sweep);
    if (plan_.sweep) sweep_->raise();
    update();
}

void CategoryRow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Over the plate, whose corners it follows.
    sweep_->setGeometry(rect().adjusted(10, 2, -10, -2));
}

QMenu* CategoryRow::contextMenu(QWidget* parent) {
    return buildMoveMenu(store_, category_, hooks_.showFolder, parent);
}

bool CategoryRow::event(QEvent* event) {
    if (dropLevel_ && handleDragEvent(event, dropLevel_, store_, hover_)) return true;
    return QWidget::event(event);
}

void CategoryRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (look_ == Skin::classic)
        paintRowSeparator(painter, QRectF(rect()), palette());
    else
        paintRowPlate(painter, QRectF(rect()), look_);
}

void CategoryRow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressAt_ = event->position().toPoint();
    QWidget::mousePressEvent(event);
}

void CategoryRow::mouseMoveEvent(QMouseEvent* event) {
    if (!pressAt_ || !(event->buttons() & Qt::LeftButton)) return;
    if ((event->position().toPoint() - *pressAt_).manhattanLength() <
        QApplication::startDragDistance())
        return;
    pressAt_.reset();
    auto mime = categoryMime(category_);
    if (!mime) return; // review-only categories stay where they are
    auto* drag = new QDrag(this);
    drag->setMimeData(mime.release());
    drag->setPixmap(grab().scaledToWidth(std::min(width(), 360), Qt::SmoothTransformation));
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
}

void CategoryRow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = contextMenu(this);
    if (!menu) return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

// Section headers

SectionHeader::SectionHeader(Store& store, DropHover& hover, QWidget* parent)
    : QWidget(parent), store_(store), hover_(hover) {
    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(8, 8, 8, 4);
    line->setSpacing(8);
    marker_ = new SymbolView(15, this);
    title_ = plainLabel(this, "title");
    title_->setFont(textFont(TextStyle::headline));
    caption_ = plainLabel(this, "caption");
    caption_->setFont(textFont(TextStyle::callout));
    addFolder_ = new SymbolButton("folder.badge.plus", 15, this);
    addFolder_->setObjectName("add-folder");
    total_ = plainLabel(this, "total");
    total_->setFont(textFont(TextStyle::callout, QFont::DemiBold));
    line->addWidget(marker_);
    line->addWidget(title_);
    line->addWidget(caption_);
    // The spare width goes to a spacer, not to the caption: group sections hide their caption
    // and still keep their total at the right edge.
    line->addStretch(1);
    line->addWidget(addFolder_);
    line->addWidget(total_);
    connect(&hover_, &DropHover::changed, this, qOverload<>(&QWidget::update));
    connect(addFolder_, &QToolButton::clicked, this, [this] {
        if (!section_.dropLevel) return;
        // Finishes on its own once the user has chosen (or not) in the folder chooser.
        auto adding = store_.addFolders(*section_.dropLevel);
        Q_UNUSED(adding);
    });
}

void SectionHeader::show(const ListPlan::Section& section, Skin look) {
    if (shown_ && section.key == section_.key && section.title == section_.title &&
        section.total == section_.total && section.dropLevel == section_.dropLevel && look == look_)
        return;
    shown_ = true;
    section_ = section;
    look_ = look;
    setObjectName(toQString("section-" + section.key));
    setAccessibleName(toQString(section.title));
    setAcceptDrops(ListPlan::acceptsDrop(section.dropLevel));
    marker_->setVisible(section.level.has_value());
    caption_->setVisible(section.level.has_value());
    if (section.level) {
        const QColor color = Skins::palette(look).level(*section.level);
        marker_->setSymbol(toQString(std::string(ListPlan::symbol(*section.level))), color);
        setTextColor(title_, color);
        caption_->setText(toQString(section.caption));
        setTextColor(caption_, Skins::palette(look).listSecondaryText);
    } else {
        setTextColor(title_, Skins::palette(look).listText);
    }
    title_->setText(toQString(section.title));
    addFolder_->setVisible(section.dropLevel.has_value());
    addFolder_->setLook(look);
    if (section.dropLevel) {
        addFolder_->setToolTip(toQString(ListPlan::addFolderHelp(*section.dropLevel)));
        addFolder_->setAccessibleName(addFolder_->toolTip());
    }
    total_->setText(toQString(Text::byteCount(section.total)));
    setTextColor(total_, Skins::palette(look).listText);
    update();
}

bool SectionHeader::highlighted() const {
    return section_.dropLevel && hover_.level() == section_.dropLevel;
}

bool SectionHeader::event(QEvent* event) {
    if (section_.dropLevel && handleDragEvent(event, section_.dropLevel, store_, hover_))
        return true;
    return QWidget::event(event);
}

void SectionHeader::paintEvent(QPaintEvent*) {
    if (!highlighted()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(dropHighlight(*section_.dropLevel));
    painter.drawRoundedRect(QRectF(rect()).adjusted(2, 4, -2, 0), 6, 6);
}

} // namespace bramwick

#include "mainwindow/category_list.h"

#include <algorithm>
#include <set>

#include <QPainter>

#include "appearance/icons.h"
#include "appearance/typography.h"
#include "appearance/window_dressing.h"

namespace bramwick {

namespace {

// "Nothing to show": drawn over the list, letting every click and drop through to what lies
// underneath (the kept empty sections still take drops).
class EmptyState : public QWidget {
  public:
    explicit EmptyState(QWidget* parent) : QWidget(parent) {
        setObjectName("empty-state");
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAccessibleName(ListPlan::emptyTitle);
        setAccessibleDescription(ListPlan::emptyMessage);
    }
    void setLook(Skin look) {
        look_ = look;
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPointF centre = QRectF(rect()).center();
        const QColor secondary = Skins::palette(look_).listSecondaryText;
        Icons::paintSymbol(painter, QRectF(centre.x() - 24, centre.y() - 64, 48, 48),
                           "line.3.horizontal.decrease.circle", secondary, 44);
        painter.setPen(Skins::palette(look_).listText);
        painter.setFont(textFont(TextStyle::title2, QFont::Bold));
        painter.drawText(QRectF(0, centre.y() - 8, width(), 28), Qt::AlignCenter,
                         ListPlan::emptyTitle);
        painter.setPen(secondary);
        painter.setFont(textFont(TextStyle::body));
        painter.drawText(QRectF(0, centre.y() + 22, width(), 22), Qt::AlignCenter,
                         ListPlan::emptyMessage);
    }

  private:
    Skin look_ = Skin::nightfall;
};

} // namespace

CategoryList::CategoryList(Store& store, ListHooks hooks, QWidget* parent)
    : QWidget(parent), store_(store), hooks_(std::move(hooks)), hover_(this) {
    setObjectName("category-list");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName("category-scroll");
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    content_ = new QWidget(scroll_);
    content_->setObjectName("category-list-content");
    column_ = new QVBoxLayout(content_);
    column_->setContentsMargins(8, 4, 8, 12);
    column_->setSpacing(0);
    column_->addStretch(1);
    scroll_->setWidget(content_);
    layout->addWidget(scroll_);
    empty_ = new EmptyState(this);
    empty_->hide();
}

void CategoryList::setRunningNow(QWidget* section) {
    if (runningNow_) {
        column_->removeWidget(runningNow_);
        runningNow_->deleteLater();
    }
    runningNow_ = section;
    if (section) {
        section->setParent(content_);
        section->setObjectName(section->objectName().isEmpty() ? QStringLiteral("running-now")
                                                               : section->objectName());
        section->hide();
    }
    order_.clear(); // placed again by the next plan
}

bool CategoryList::show(const ListPlan::Plan& plan, const std::vector<CleanupCategory>& categories,
                        const ListPlan::States& states, Skin look, std::size_t newRows) {
    std::map<std::string, const CleanupCategory*> byId;
    for (const auto& category : categories)
        byId.emplace(category.id, &category);

    // Rows of categories the store no longer has go, but only once this turn is over.
    for (auto it = rows_.begin(); it != rows_.end();) {
        if (byId.count(it->first)) {
            ++it;
            continue;
        }
        column_->removeWidget(it->second);
        it->second->hide();
        it->second->deleteLater();
        std::erase(order_, static_cast<QWidget*>(it->second));
        it = rows_.erase(it);
    }

    std::vector<QWidget*> order;
    if (plan.runningNow && runningNow_) order.push_back(runningNow_);
    bool complete = true;
    for (const auto& section : plan.sections) {
        if (section.header) {
            auto& header = headers_[section.key];
            if (!header) header = new SectionHeader(store_, hover_, content_);
            header->show(section, look);
            order.push_back(header);
        }
        for (const auto& id : section.ids) {
            auto found = byId.find(id);
            if (found == byId.end()) continue;
            auto made = rows_.find(id);
            if (made == rows_.end()) {
                if (newRows == 0) {
                    // The rest waits for the next call, so what shows stays in the plan's order.
                    complete = false;
                    break;
                }
                --newRows;
                auto* row = new CategoryRow(store_, hooks_, hover_, content_);
                // Laid out first at the width it will have, not at a new widget's own.
                const QMargins margins = column_->contentsMargins();
                row->resize(std::max(0, content_->width() - margins.left() - margins.right()),
                            row->height());
                made = rows_.emplace(id, row).first;
            }
            auto state = states.find(id);
            made->second->show(*found->second, state == states.end() ? nullptr : &state->second,
                               look, section.dropLevel);
            order.push_back(made->second);
        }
        if (!complete) break;
    }

    if (order != order_) {
        // The column is laid out once for the whole change, afterwards; left on, it would be
        // laid out again for every widget shown.
        column_->setEnabled(false);
        const std::set<QWidget*> shown(order.begin(), order.end());
        for (QWidget* widget : order_)
            if (!shown.count(widget)) widget->hide();
        for (QWidget* widget : order_)
            column_->removeWidget(widget);
        for (std::size_t i = 0; i < order.size(); ++i)
            column_->insertWidget(int(i), order[i]);
        for (QWidget* widget : order)
            if (!widget->isVisible()) {
                // Out of sight until the column places it: where it was made or last shown, it
                // would cover other rows for a frame.
                widget->move(widget->x(), -2 * widget->height() - 1);
                widget->setVisible(true);
            }
        column_->setEnabled(true);
        column_->invalidate();
        order_ = std::move(order);
    }
    // Hidden ones that were never placed (a running-now section while a filter is set).
    if (runningNow_ && !(plan.runningNow)) runningNow_->hide();

    static_cast<EmptyState*>(empty_)->setLook(look);
    empty_->setVisible(plan.emptyState);
    if (plan.emptyState) {
        placeEmptyState();
        empty_->raise();
    }
    return complete;
}

void CategoryList::placeEmptyState() {
    empty_->setGeometry(scroll_->geometry());
}

void CategoryList::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeEmptyState();
}

CategoryRow* CategoryList::row(const std::string& id) const {
    auto found = rows_.find(id);
    return found == rows_.end() ? nullptr : found->second;
}

SectionHeader* CategoryList::header(const std::string& key) const {
    auto found = headers_.find(key);
    return found == headers_.end() ? nullptr : found->second;
}

QStringList CategoryList::shownOrder() const {
    QStringList names;
    for (QWidget* widget : order_)
        if (!widget->isHidden()) names << widget->objectName();
    return names;
}

} // namespace bramwick

// The bar of filter chips above the category list: All, then one chip per level with the
// number of categories holding something and, when the window is wide enough, their total.
// A chip chooses the list's level filter; the chips of the three movable levels also take
// dragged rows, with a hover state of their own.
#pragma once

#include <vector>

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QWidget>

#include "mainwindow/list_plan.h"
#include "mainwindow/list_widgets.h"

namespace bramwick {

class FilterChip : public QAbstractButton {
    Q_OBJECT

  public:
    FilterChip(Store& store, DropHover& hover, QWidget* parent = nullptr);
    void show(const ListPlan::Chip& chip, ListLook::Look look);
    const ListPlan::Chip& chip() const { return chip_; }
    bool outlined() const;
    QSize sizeHint() const override;
    // The width this chip would take showing its total, or not.
    int widthFor(bool withTotal) const;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

  private:
    QColor color() const;
    QColor onColor() const;
    QString countText(bool withTotal) const;

    Store& store_;
    DropHover& hover_;
    ListPlan::Chip chip_;
    ListLook::Look look_ = Skin::nightfall;
};

class LevelFilterBar : public QWidget {
    Q_OBJECT

  public:
    explicit LevelFilterBar(Store& store, QWidget* parent = nullptr);
    void show(const std::vector<CleanupCategory>& categories, const ListPlan::States& states,
              const std::string& selection, ListLook::Look look);
    DropHover& hover() { return hover_; }
    FilterChip* chip(const QString& objectName) const;
    const std::vector<FilterChip*>& chips() const { return chips_; }
    // Whether the chips show their totals (the wide form fits).
    bool showsTotals() const { return wide_; }

  signals:
    // A chip was chosen: the empty string for All, else a level's raw value.
    void chosen(const QString& value);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void place();

    Store& store_;
    DropHover hover_;
    std::vector<FilterChip*> chips_;
    std::vector<ListPlan::Chip> plan_;
    ListLook::Look look_ = Skin::nightfall;
    bool wide_ = true;
};

} // namespace bramwick

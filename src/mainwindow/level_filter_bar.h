// The bar of filter chips above the category list: All, then one chip per level with the
// number of categories holding something and, when the window is wide enough, their total.
// A chip chooses the list's level filter; the chips of the three movable levels also take
// dragged rows, with a hover state of their own.
#pragma once

#include <vector>

#include <QAbstractButton>
#include <QWidget>

#include "appearance/skin.h"
#include "mainwindow/drag_and_drop.h"
#include "mainwindow/list_plan.h"

namespace bramwick {

class FilterChip : public QAbstractButton {
    Q_OBJECT

  public:
    FilterChip(Store& store, DropHover& hover, QWidget* parent = nullptr);
    void show(const ListPlan::Chip& chip, Skin look);
    const ListPlan::Chip& chip() const { return chip_; }
    bool outlined() const;
    QSize sizeHint() const override;
    // The width of the capsule showing its total, or not; the widget is wider by its glow.
    int capsuleWidth(bool withTotal) const;
    // Room kept around the capsule, on every side, for its shadow and drop outline.
    static constexpr int glow = 8;

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
    Skin look_ = Skin::nightfall;
};

class LevelFilterBar : public QWidget {
    Q_OBJECT

  public:
    explicit LevelFilterBar(Store& store, QWidget* parent = nullptr);
    void show(const std::vector<CleanupCategory>& categories, const ListPlan::States& states,
              const std::string& selection, Skin look);
    DropHover& hover() { return hover_; }
    FilterChip* chip(const QString& objectName) const;
    const std::vector<FilterChip*>& chips() const { return chips_; }
    // Whether the chips show their totals (the wide form fits).
    bool showsTotals() const { return wide_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    // A chip was chosen: the empty string for All, else a level's raw value.
    void chosen(const QString& value);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // Chooses the form for the bar's width and puts the chips in place. The chips are placed by
    // hand: their glow margins overlap, which a layout's spacing cannot express.
    void place();
    int barHeight() const;

    Store& store_;
    DropHover hover_;
    std::vector<FilterChip*> chips_;
    std::vector<ListPlan::Chip> plan_;
    Skin look_ = Skin::nightfall;
    bool wide_ = true;
    QSize leastSize_;
};

} // namespace bramwick

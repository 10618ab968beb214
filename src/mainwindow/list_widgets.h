// The rows of the category list and its section headers, with the level marker of a row. Each
// draws what a plan of list_plan.h says and forwards clicks to the store or to its list; none
// decides anything itself. Rows of level sections and level section headers are drop targets of
// the list's drag and drop (drag_and_drop.h).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QWidget>

#include "appearance/skin.h"
#include "appearance/spinner.h"
#include "appearance/symbols.h"
#include "mainwindow/drag_and_drop.h"
#include "mainwindow/info_popover.h"
#include "mainwindow/list_plan.h"
#include "store/store.h"

namespace bramwick {

// What the window does for the list's rows beyond the store's own operations.
struct ListHooks {
    std::function<void(const CleanupCategory&)> details;
    std::function<void(const CleanupCategory&)> clean;
    // Opens a folder in the file manager.
    std::function<void(const std::string& path)> showFolder;
};

// The level marker: the level's symbol in classic, a glowing dot in the painted skins.
class LevelIcon : public QWidget {
    Q_OBJECT

  public:
    explicit LevelIcon(QWidget* parent = nullptr);
    void show(Level level, Skin look);
    QSize sizeHint() const override { return {16, 16}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Level level_ = Level::safe;
    Skin look_ = Skin::nightfall;
};

class CategoryRow : public QWidget {
    Q_OBJECT

  public:
    CategoryRow(Store& store, const ListHooks& hooks, DropHover& hover, QWidget* parent = nullptr);

    // Redraws the row for this category and state; a row shown the same way again does nothing.
    void show(const CleanupCategory& category, const Store::CategoryState* state, Skin look,
              std::optional<Level> dropLevel);
    const CleanupCategory& category() const { return category_; }
    const ListPlan::RowPlan& plan() const { return plan_; }
    std::optional<Level> dropLevel() const { return dropLevel_; }

    // The parts tests and screenshots look at.
    QLabel* nameLabel() const { return name_; }
    QLabel* sizeLabel() const { return size_; }
    QLabel* badgeLabel() const { return badge_; }
    Spinner* busyIndicator() const { return busy_; }
    SymbolButton* rescanButton() const { return rescan_; }
    QPushButton* detailsButton() const { return details_; }
    QPushButton* actionButton() const { return action_; }
    InfoButton* infoButton() const { return info_; }
    LevelIcon* levelIcon() const { return levelIcon_; }
    QWidget* cleaningBar() const { return cleaningBar_; }
    QWidget* sweep() const { return sweep_; }
    bool sweeping() const { return plan_.sweep; }
    // The row's context menu (null for a review-only category), not shown.
    QMenu* contextMenu(QWidget* parent);

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void apply();

    Store& store_;
    const ListHooks& hooks_;
    DropHover& hover_;
    CleanupCategory category_;
    ListPlan::RowPlan plan_;
    bool shown_ = false;
    Skin look_ = Skin::nightfall;
    std::optional<Level> dropLevel_;
    std::optional<QPoint> pressAt_;
    std::optional<Skin> appliedLook_;
    bool sizePrimary_ = false;
    bool prominent_ = false;

    QWidget* iconSlot_;
    QWidget* icon_ = nullptr;
    std::string iconSymbol_;
    LevelIcon* levelIcon_;
    QLabel* name_;
    InfoButton* info_;
    QLabel* badge_;
    QLabel* summary_;
    QLabel* size_;
    Spinner* busy_;
    SymbolButton* rescan_;
    QPushButton* details_;
    QWidget* actionSlot_;
    QPushButton* action_;
    QWidget* cleaningBar_;
    QWidget* sweep_;
};

// The header of a list section: its title (for a level: symbol, title and caption in the
// level's colour), the add-folder button of a movable level, and the section's total.
class SectionHeader : public QWidget {
    Q_OBJECT

  public:
    SectionHeader(Store& store, DropHover& hover, QWidget* parent = nullptr);
    void show(const ListPlan::Section& section, Skin look);
    const ListPlan::Section& section() const { return section_; }
    QLabel* titleLabel() const { return title_; }
    QLabel* totalLabel() const { return total_; }
    SymbolButton* addFolderButton() const { return addFolder_; }
    bool highlighted() const;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    Store& store_;
    DropHover& hover_;
    ListPlan::Section section_;
    Skin look_ = Skin::nightfall;
    bool shown_ = false;
    SymbolView* marker_;
    QLabel* title_;
    QLabel* caption_;
    SymbolButton* addFolder_;
    QLabel* total_;
};

} // namespace bramwick

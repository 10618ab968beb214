// The pieces of the category list: the level marker, the info button with its popover, the
// pill buttons, one category row, a section header, the row's context menu and the drag and
// drop of categories between levels. Each piece draws what a plan of list_plan.h says and
// forwards clicks to the store or to its list; none decides anything itself.
//
// A drag carries the category's id as plain text. Drop targets (level section headers, the rows
// of level sections, the filter bar's level chips) share a hover state with their neighbours:
// the list's targets one, the filter bar's chips another.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QAbstractButton>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>

#include "appearance/spinner.h"
#include "mainwindow/list_look.h"
#include "mainwindow/list_plan.h"
#include "store/store.h"

namespace bramwick {

// The level a drag hovers over, shared by the targets of one hover group.
class DropHover : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;
    std::optional<Level> level() const { return level_; }
    void set(std::optional<Level> level);

  signals:
    void changed();

  private:
    std::optional<Level> level_;
};

// The drag payload of a category: its id as plain text; none when it cannot be dragged.
std::unique_ptr<QMimeData> categoryMime(const CleanupCategory& category);
// Handles the drag events reaching a target of `level`: entering sets the hover, leaving clears
// it when it still names this level, a drop moves every dropped id to the level in one call.
// Returns true when the event was a drag event (accepted or not). Targets of no level or of
// Protected take nothing and never touch the hover.
bool handleDragEvent(QEvent* event, std::optional<Level> level, Store& store, DropHover& hover);

// What the window does for the list's rows beyond the store's own operations.
struct ListHooks {
    std::function<void(const CleanupCategory&)> details;
    std::function<void(const CleanupCategory&)> clean;
    // Opens a folder in the file manager.
    std::function<void(const std::string& path)> showFolder;
};

// A row's context menu, built without showing it: "Move To" with its levels, "Move Back to …",
// and for a folder the user added "Show in the file manager" and "Remove Folder from List".
// Null when it has no entries (review-only categories). Each action changes the store at once;
// the list redraws on the next turn of the event loop.
QMenu* buildMoveMenu(Store& store, const CleanupCategory& category,
                     std::function<void(const std::string&)> showFolder, QWidget* parent);

// The level marker: the level's symbol in classic, a glowing dot in the painted skins.
class LevelIcon : public QWidget {
    Q_OBJECT

  public:
    explicit LevelIcon(QWidget* parent = nullptr);
    void show(Level level, ListLook::Look look);
    QSize sizeHint() const override { return {16, 16}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Level level_ = Level::safe;
    ListLook::Look look_ = ListLook::Look::nightfall;
};

// A symbol drawn at a size, in a colour.
class SymbolView : public QWidget {
    Q_OBJECT

  public:
    explicit SymbolView(int size, QWidget* parent = nullptr);
    void setSymbol(const QString& name, const QColor& color);
    QSize sizeHint() const override { return {size_, size_}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int size_;
    QString name_;
    QColor color_;
};

// A symbol button without a frame (info, rescan, add folder).
class SymbolButton : public QToolButton {
    Q_OBJECT

  public:
    SymbolButton(QString symbol, int size, QWidget* parent = nullptr);
    void setLook(ListLook::Look look);
    QSize sizeHint() const override { return {size_ + 6, size_ + 6}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString symbol_;
    int size_;
    ListLook::Look look_ = ListLook::Look::nightfall;
};

// The popover of the info button: the name, the long description, the advice of a category
// that cannot be cleaned here, and what a clean does. A popup frame, 340 wide.
class InfoPopover : public QFrame {
    Q_OBJECT

  public:
    static constexpr int fixedWidth = 340;
    InfoPopover(const ListPlan::InfoText& text, ListLook::Look look, QWidget* parent = nullptr);
    // The lines shown, top to bottom (for tests and screen readers).
    QStringList lines() const;

  private:
    QStringList lines_;
};

// The "i" beside a category's name: opens and closes its popover.
class InfoButton : public SymbolButton {
    Q_OBJECT

  public:
    explicit InfoButton(QWidget* parent = nullptr);
    void setCategory(const CleanupCategory& category, ListLook::Look look);
    InfoPopover* popover() const { return popover_; }
    void toggle();

  private:
    CleanupCategory category_;
    ListLook::Look look_ = ListLook::Look::nightfall;
    QPointer<InfoPopover> popover_;
};

class CategoryRow : public QWidget {
    Q_OBJECT

  public:
    CategoryRow(Store& store, const ListHooks& hooks, DropHover& hover, QWidget* parent = nullptr);

    // Redraws the row for this category and state; a row shown the same way again does nothing.
    void show(const CleanupCategory& category, const Store::CategoryState* state,
              ListLook::Look look, std::optional<Level> dropLevel);
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
    ListLook::Look look_ = ListLook::Look::nightfall;
    std::optional<Level> dropLevel_;
    std::optional<QPoint> pressAt_;
    std::optional<ListLook::Look> appliedLook_;
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
    void show(const ListPlan::Section& section, ListLook::Look look);
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
    ListLook::Look look_ = ListLook::Look::nightfall;
    bool shown_ = false;
    SymbolView* marker_;
    QLabel* title_;
    QLabel* caption_;
    SymbolButton* addFolder_;
    QLabel* total_;
};

} // namespace bramwick

// The table of a category's items: a model over the items in the store's order (a category may
// hold a hundred thousand), sortable by a column on request, and the view that keeps the
// selection as a set of item ids, restored after every reset of the rows.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QTableView>

#include "engine/models.h"
#include "store/item_list.h"

namespace bramwick {

class ItemTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { name = 0, size = 1, date = 2, columnCount_ = 3 };
    static constexpr int noteRole = Qt::UserRole + 1;
    static constexpr int attentionRole = Qt::UserRole + 2;

    explicit ItemTableModel(CleanupCategory category, QObject* parent = nullptr);

    // Replaces the rows (a reset); the current sort order is kept. The list is shared, not
    // copied.
    void setItems(ItemList items);
    // Holds `items`, a list equal to its own, in place of it: the rows stay as they are.
    void keepEqual(ItemList items) { items_ = std::move(items); }
  signals:
    // Just before `setItems` replaces the rows (not before a sort).
    void itemsAboutToChange();

  public:
    const std::vector<ScanItem>& items() const { return items_.items(); }
    const ItemList& list() const { return items_; }
    // The item of a row as shown.
    const ScanItem& at(int row) const { return items_[order_[static_cast<std::size_t>(row)]]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Column -1 gives back the store's order.
    void sort(int column, Qt::SortOrder order) override;

  private:
    void applyOrder();
    CleanupCategory category_;
    ItemList items_;
    std::vector<std::size_t> order_;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

// The name column: the name on one line, cut in the middle, and the note below it.
class ItemNameDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

// The widths of the Size and date columns, in points: least, first and greatest. A drag of a
// column's edge stops at its least and greatest.
struct ColumnWidths {
    int least, ideal, greatest;
    bool operator==(const ColumnWidths&) const = default;
};
inline constexpr ColumnWidths sizeColumnWidths{70, 90, 110};
inline constexpr ColumnWidths dateColumnWidths{90, 110, 130};

class ItemTable : public QTableView {
    Q_OBJECT
  public:
    explicit ItemTable(ItemTableModel* model, QWidget* parent = nullptr);

    ItemTableModel* itemModel() const { return model_; }
    // The chosen ids; may name items no longer listed.
    const std::unordered_set<std::string>& selection() const;
    void setSelection(std::unordered_set<std::string> ids);
    // The listed items whose id is chosen, in the store's order.
    std::vector<ScanItem> selected() const;
    // How many listed items are chosen and their bytes, without copying them.
    struct Tally {
        std::size_t count = 0;
        std::int64_t bytes = 0;
    };
    Tally selectedTally() const;
    void selectAllItems();
    // The ids a row menu opened on `row` applies to: the selection when the row is in it, else
    // the row alone (which becomes the selection).
    std::vector<ScanItem> rowsForMenu(int row);

  signals:
    void selectionChangedByIds();

  private:
    void pushSelectionToView();
    void pullSelectionFromView();
    bool isChosen(const std::string& id) const { return all_ || selection_.contains(id); }
    // Select All chooses every listed item without copying a hundred thousand ids; they are
    // written out only when the rows change or someone asks for them.
    void writeOutAll() const;
    ItemTableModel* model_;
    mutable std::unordered_set<std::string> selection_;
    mutable bool all_ = false;
    bool syncing_ = false;
};

} // namespace bramwick

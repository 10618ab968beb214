#include "sheets/item_table.h"

#include <algorithm>

#include <QHeaderView>
#include <QPainter>

#include "appearance/skin.h"
#include "appearance/typography.h"
#include "appearance/window_dressing.h"
#include "base/text.h"
#include "sheets/sheet_rules.h"
#include "store/to_qstring.h"

namespace bramwick {

ItemTableModel::ItemTableModel(CleanupCategory category, QObject* parent)
    : QAbstractTableModel(parent), category_(std::move(category)) {}

void ItemTableModel::setItems(ItemList items) {
    emit itemsAboutToChange();
    beginResetModel();
    items_ = std::move(items);
    applyOrder();
    endResetModel();
}

int ItemTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(items_.size());
}

int ItemTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columnCount_;
}

QVariant ItemTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const ScanItem& item = at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case name:
            return toQString(item.name);
        case size:
            return toQString(Text::byteCount(item.size));
        case date:
            return toQString(SheetRules::dateCell(category_, item));
        }
        return {};
    case Qt::ToolTipRole:
        return index.column() == name ? QVariant(toQString(item.url)) : QVariant();
    case Qt::TextAlignmentRole:
        return index.column() == size ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                      : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case noteRole:
        return item.note ? QVariant(toQString(*item.note)) : QVariant();
    case attentionRole:
        return item.note && SheetRules::noteNeedsAttention(*item.note);
    }
    return {};
}

QVariant ItemTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case name:
        return QStringLiteral("Name");
    case size:
        return QStringLiteral("Size");
    case date:
        return toQString(SheetRules::dateColumnTitle(category_));
    }
    return {};
}

void ItemTableModel::sort(int column, Qt::SortOrder order) {
    beginResetModel();
    sortColumn_ = column;
    sortOrder_ = order;
    applyOrder();
    endResetModel();
}

void ItemTableModel::applyOrder() {
    order_.resize(items_.size());
    for (std::size_t i = 0; i < order_.size(); ++i)
        order_[i] = i;
    if (sortColumn_ < 0) return;
    const bool apps = SheetRules::isApplications(category_);
    auto less = [&](std::size_t a, std::size_t b) {
        const ScanItem& x = items_[a];
        const ScanItem& y = items_[b];
        switch (sortColumn_) {
        case size:
            return x.size < y.size;
        case date: {
            // An item without a date sorts before every dated one.
            const auto& dx = apps ? x.lastUsed : x.modified;
            const auto& dy = apps ? y.lastUsed : y.modified;
            return dx < dy;
        }
        default:
            return std::lexicographical_compare(
                x.name.begin(), x.name.end(), y.name.begin(), y.name.end(), [](char p, char q) {
                    return std::tolower(static_cast<unsigned char>(p)) <
                           std::tolower(static_cast<unsigned char>(q));
                });
        }
    };
    if (sortOrder_ == Qt::AscendingOrder)
        std::stable_sort(order_.begin(), order_.end(), less);
    else
        std::stable_sort(order_.begin(), order_.end(),
                         [&](std::size_t a, std::size_t b) { return less(b, a); });
}

void ItemNameDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    QStyleOptionViewItem base = option;
    initStyleOption(&base, index);
    const QString name = base.text;
    base.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : nullptr;
    if (style) style->drawControl(QStyle::CE_ItemViewItem, &base, painter, widget);

    const QRect area = option.rect.adjusted(6, 2, -6, -2);
    const QVariant note = index.data(ItemTableModel::noteRole);
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& palette = option.palette;
    const QColor text = palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    painter->save();
    QFont nameFont = option.font;
    painter->setFont(nameFont);
    painter->setPen(text);
    const QFontMetrics nameMetrics(nameFont);
    const QString shown = nameMetrics.elidedText(name, Qt::ElideMiddle, area.width());
    if (note.isNull()) {
        painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter, shown);
    } else {
        const QFont noteFont = textFont(TextStyle::caption);
        const QFontMetrics noteMetrics(noteFont);
        const int total = nameMetrics.height() + 2 + noteMetrics.height();
        QRect line = area;
        line.setTop(area.top() + (area.height() - total) / 2);
        line.setHeight(nameMetrics.height());
        painter->drawText(line, Qt::AlignLeft | Qt::AlignVCenter, shown);
        QRect below = area;
        below.setTop(line.bottom() + 2);
        below.setHeight(noteMetrics.height());
        painter->setFont(noteFont);
        const Skin skin = widget ? skinOf(widget) : Skin::classic;
        QColor tone = index.data(ItemTableModel::attentionRole).toBool()
                          ? systemColor(SystemColor::orange, isDark(palette))
                          : (selected ? text : Skins::palette(skin, palette).secondaryText);
        painter->setPen(tone);
        painter->drawText(below, Qt::AlignLeft | Qt::AlignVCenter,
                          noteMetrics.elidedText(note.toString(), Qt::ElideRight, below.width()));
    }
    painter->restore();
}

ItemTable::ItemTable(ItemTableModel* model, QWidget* parent) : QTableView(parent), model_(model) {
    setObjectName("itemTable");
    setModel(model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setItemDelegateForColumn(ItemTableModel::name, new ItemNameDelegate(this));
    setShowGrid(false);
    setWordWrap(false);
    setAlternatingRowColors(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setMinimumHeight(180);
    verticalHeader()->hide();
    // One height for every row, so a hundred thousand rows lay out without being measured.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(36);
    auto* header = horizontalHeader();
    header->setSectionResizeMode(ItemTableModel::name, QHeaderView::Stretch);
    header->setSectionResizeMode(ItemTableModel::size, QHeaderView::Interactive);
    header->setSectionResizeMode(ItemTableModel::date, QHeaderView::Interactive);
    header->setMinimumSectionSize(sizeColumnWidths.least);
    header->resizeSection(ItemTableModel::size, sizeColumnWidths.ideal);
    header->resizeSection(ItemTableModel::date, dateColumnWidths.ideal);
    // The header bounds every column alike; each of these keeps its own.
    connect(header, &QHeaderView::sectionResized, this, [header](int section, int, int size) {
        if (section != ItemTableModel::size && section != ItemTableModel::date) return;
        const ColumnWidths& widths =
            section == ItemTableModel::size ? sizeColumnWidths : dateColumnWidths;
        const int bounded = std::clamp(size, widths.least, widths.greatest);
        if (bounded != size) header->resizeSection(section, bounded);
    });
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setSortIndicatorClearable(true);
    header->setHighlightSections(false);
    setSortingEnabled(true);

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { pullSelectionFromView(); });
    connect(model_, &ItemTableModel::itemsAboutToChange, this, [this] { writeOutAll(); });
    // Every reset (new items, a sort) shows the chosen ids that are still listed.
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { pushSelectionToView(); });
}

const std::unordered_set<std::string>& ItemTable::selection() const {
    writeOutAll();
    return selection_;
}

void ItemTable::writeOutAll() const {
    if (!all_) return;
    selection_.clear();
    selection_.reserve(model_->items().size());
    for (const auto& item : model_->items())
        selection_.insert(item.id);
    all_ = false;
}

void ItemTable::setSelection(std::unordered_set<std::string> ids) {
    all_ = false;
    selection_ = std::move(ids);
    pushSelectionToView();
    emit selectionChangedByIds();
}

std::vector<ScanItem> ItemTable::selected() const {
    if (all_) return model_->items();
    std::vector<ScanItem> out;
    if (selection_.empty()) return out;
    for (const auto& item : model_->items())
        if (selection_.contains(item.id)) out.push_back(item);
    return out;
}

ItemTable::Tally ItemTable::selectedTally() const {
    Tally tally;
    if (all_) {
        tally.count = model_->items().size();
        for (const auto& item : model_->items())
            tally.bytes += item.size;
        return tally;
    }
    if (selection_.empty()) return tally;
    for (const auto& item : model_->items())
        if (selection_.contains(item.id)) {
            ++tally.count;
            tally.bytes += item.size;
        }
    return tally;
}

void ItemTable::selectAllItems() {
    std::unordered_set<std::string> ids;
    ids.reserve(model_->items().size());
    for (const auto& item : model_->items())
        ids.insert(item.id);
    selection_ = std::move(ids);
    syncing_ = true;
    selectAll();
    syncing_ = false;
    emit selectionChangedByIds();
}

std::vector<ScanItem> ItemTable::rowsForMenu(int row) {
    if (row < 0 || row >= model_->rowCount()) return {};
    const ScanItem& item = model_->at(row);
    if (!isChosen(item.id)) setSelection({item.id});
    return selected();
}

void ItemTable::pushSelectionToView() {
    if (all_) {
        syncing_ = true;
        selectAll();
        syncing_ = false;
        return;
    }
    QItemSelection rows;
    const int count = model_->rowCount();
    const int last = ItemTableModel::columnCount_ - 1;
    int start = -1;
    for (int row = 0; row <= count; ++row) {
        const bool in = row < count && selection_.contains(model_->at(row).id);
        if (in && start < 0) start = row;
        if (!in && start >= 0) {
            rows.select(model_->index(start, 0), model_->index(row - 1, last));
            start = -1;
        }
    }
    syncing_ = true;
    selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
    syncing_ = false;
}

void ItemTable::pullSelectionFromView() {
    if (syncing_) return;
    // What the user picks replaces the chosen ids, as a click in any list does.
    all_ = false;
    std::unordered_set<std::string> ids;
    for (const auto& range : selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            ids.insert(model_->at(row).id);
    selection_ = std::move(ids);
    emit selectionChangedByIds();
}

} // namespace bramwick

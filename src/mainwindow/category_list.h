// The scrolling list of categories: the running-now section (when the window gives one), then
// the sections of the plan with their headers and rows, and "Nothing to show" over it when no
// category passes the filter.
//
// Rows and headers are made once per category id and section and reused: showing a new plan
// only moves, hides and updates them. A row whose category has left the store is removed on a
// later turn of the event loop (deleteLater), never at once: the change that removed it may be
// running inside that very row (its menu, a drop on it).
//
// Making a row costs far more than updating one, so a caller may cap how many rows one call
// makes: the plan is then shown up to the first row still to be made, and the next call goes on
// from there.
#pragma once

#include <limits>
#include <map>
#include <string>
#include <vector>

#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWidget>

#include "mainwindow/list_widgets.h"

namespace bramwick {

class CategoryList : public QWidget {
    Q_OBJECT

  public:
    CategoryList(Store& store, ListHooks hooks, QWidget* parent = nullptr);

    // Makes at most `newRows` rows that do not exist yet; false when the plan is shown only in
    // part for that reason.
    bool show(const ListPlan::Plan& plan, const std::vector<CleanupCategory>& categories,
              const ListPlan::States& states, Skin look,
              std::size_t newRows = std::numeric_limits<std::size_t>::max());
    // The window's running-now section, placed first while no level filter is set.
    void setRunningNow(QWidget* section);

    DropHover& hover() { return hover_; }
    QScrollArea* scrollArea() const { return scroll_; }
    CategoryRow* row(const std::string& id) const;
    SectionHeader* header(const std::string& key) const;
    QWidget* emptyState() const { return empty_; }
    // What the list shows now, top to bottom: "running-now", "section-<key>", "row-<id>".
    QStringList shownOrder() const;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void placeEmptyState();

    Store& store_;
    ListHooks hooks_;
    DropHover hover_;
    QScrollArea* scroll_;
    QWidget* content_;
    QVBoxLayout* column_;
    QWidget* runningNow_ = nullptr;
    QWidget* empty_;
    std::map<std::string, CategoryRow*> rows_;
    std::map<std::string, SectionHeader*> headers_;
    std::vector<QWidget*> order_;
};

} // namespace bramwick

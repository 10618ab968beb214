// The drag and drop of categories between levels. A drag carries the category's id as plain
// text. Drop targets (level section headers, the rows of level sections, the filter bar's level
// chips) share a hover state with their neighbours: the list's targets one, the filter bar's
// chips another.
#pragma once

#include <memory>
#include <optional>

#include <QEvent>
#include <QMimeData>
#include <QObject>

#include "engine/models.h"
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

} // namespace bramwick

#include "mainwindow/drag_and_drop.h"

#include <QDragEnterEvent>
#include <QDropEvent>

#include "mainwindow/list_plan.h"
#include "store/to_qstring.h"

namespace bramwick {

void DropHover::set(std::optional<Level> level) {
    if (level == level_) return;
    level_ = level;
    emit changed();
}

std::unique_ptr<QMimeData> categoryMime(const CleanupCategory& category) {
    auto payload = ListPlan::dragPayload(category);
    if (!payload) return nullptr;
    auto mime = std::make_unique<QMimeData>();
    mime->setText(toQString(*payload));
    return mime;
}

bool handleDragEvent(QEvent* event, std::optional<Level> level, Store& store, DropHover& hover) {
    const bool accepts = ListPlan::acceptsDrop(level);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!accepts || !drag->mimeData()->hasText()) {
            drag->ignore();
            return true;
        }
        drag->acceptProposedAction();
        if (event->type() == QEvent::DragEnter) hover.set(level);
        return true;
    }
    case QEvent::DragLeave:
        if (accepts) hover.set(ListPlan::afterLeave(hover.level(), *level));
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!accepts || !drop->mimeData()->hasText()) {
            drop->ignore();
            return true;
        }
        const auto ids = ListPlan::droppedIds(drop->mimeData()->text().toStdString());
        hover.set(ListPlan::afterLeave(hover.level(), *level));
        drop->acceptProposedAction();
        // Accepted whatever the ids were: unknown and review-only ones are the store's to skip.
        store.move(ids, *level);
        return true;
    }
    default:
        return false;
    }
}

} // namespace bramwick

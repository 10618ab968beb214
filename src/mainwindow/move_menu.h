// A category row's context menu.
#pragma once

#include <functional>
#include <string>

#include <QMenu>
#include <QWidget>

#include "engine/models.h"
#include "store/store.h"

namespace bramwick {

// A row's context menu, built without showing it: "Move To" with its levels, "Move Back to …",
// and for a folder the user added "Show in the file manager" and "Remove Folder from List".
// Null when it has no entries (review-only categories). Each action changes the store at once;
// the list redraws on the next turn of the event loop.
QMenu* buildMoveMenu(Store& store, const CleanupCategory& category,
                     std::function<void(const std::string&)> showFolder, QWidget* parent);

} // namespace bramwick

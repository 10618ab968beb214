// Reads every label and button text that is showing in a shot's widget tree, as a screen reader
// would, and tells what a user could not read whole: a text cut short (elided, or wider or taller
// than its widget), a widget clipped by the parent it lies in, or two widgets of one layout
// drawn over each other. Rows a scroll area has scrolled out of view are not showing; a row cut
// at the edge of its scroll area is, and only its part in view is read.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QWidget>

namespace bramwick::shots {

// One line per fault, naming the widget ("mainWindow/diskHeader/…/diskFree") and its text.
std::vector<std::string> textFaults(QWidget* window);
// A popup that reaches past its screen's free area cannot be read there either.
std::optional<std::string> offScreen(const QWidget* popup);

} // namespace bramwick::shots

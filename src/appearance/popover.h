// Popovers: small popup frames that explain or edit something beside the button that opened
// them (a category's info, the unused-days editor). A popover is dressed in the skin of the
// window it opens over, as tall as its wrapped text needs at its width, and placed under its
// button, or above it when the screen has no room below.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

namespace bramwick {

namespace Popovers {

// The space between the button and the popover.
inline constexpr int gap = 4;

// Where a popover of `size` opens for a button at `anchor` (both in screen coordinates) on a
// screen whose free area is `screen`: centred under the button; above it when it would cross the
// bottom there and has more room above; moved in so it stays within the screen's sides (and its
// top and bottom where it is taller than either room).
QPoint place(const QRect& anchor, const QSize& size, const QRect& screen);

} // namespace Popovers

// Shows `popover` (a window of type Qt::Popup) for `anchor`: in the skin of the anchor's window,
// at its own fixed width and the height its layout needs at that width, placed by
// `Popovers::place` on the anchor's screen.
void showPopover(QWidget* popover, QWidget* anchor);

} // namespace bramwick

#include "appearance/popover.h"

#include <algorithm>

#include <QLayout>
#include <QScreen>

#include "appearance/window_dressing.h"

namespace bramwick {

namespace Popovers {

QPoint place(const QRect& anchor, const QSize& size, const QRect& screen) {
    const int below = screen.bottom() - anchor.bottom() - gap;
    const int above = anchor.top() - screen.top() - gap;
    int y = anchor.bottom() + 1 + gap;
    if (size.height() > below && above > below) y = anchor.top() - gap - size.height();
    y = std::clamp(y, screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height()));
    int x = anchor.center().x() + 1 - size.width() / 2;
    x = std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - size.width()));
    return {x, y};
}

} // namespace Popovers

void showPopover(QWidget* popover, QWidget* anchor) {
    // A window takes no palette from the widget it opens from: it is dressed like its window.
    dressWindow(popover, skinOf(anchor));
    if (QLayout* layout = popover->layout()) layout->activate();
    // The layout's height for the fixed width: a window sized by its size hint alone takes the
    // height its wrapped labels need at their widest, and cuts them at this width.
    const int width = popover->minimumWidth() == popover->maximumWidth()
                          ? popover->minimumWidth()
                          : popover->sizeHint().width();
    const int height = popover->layout() && popover->layout()->hasHeightForWidth()
                           ? popover->layout()->totalHeightForWidth(width)
                           : popover->sizeHint().height();
    popover->resize(width, height);
    const QRect anchorRect(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
    QScreen* screen = anchor->screen();
    const QRect area =
        screen ? screen->availableGeometry() : QRect(anchorRect.topLeft(), QSize(1, 1));
    popover->move(Popovers::place(anchorRect, popover->size(), area));
    popover->show();
}

} // namespace bramwick

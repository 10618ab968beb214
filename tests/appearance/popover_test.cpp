// Where a popover opens beside its button.
#include <gtest/gtest.h>

#include "appearance/popover.h"

using namespace bramwick;

TEST(Popovers, OpenUnderTheButtonOrAboveItWhenTheScreenEndsAndStayOnTheScreen) {
    const QRect screen(0, 0, 1920, 1200);
    const QSize popover(340, 300);
    struct Case {
        const char* where;
        QRect button;
        QPoint at;
    };
    const Case cases[] = {
        // Centred under the button, 4 below it.
        {"room below", QRect(500, 100, 20, 20), QPoint(340, 124)},
        // No room below, more above: its bottom 4 above the button.
        {"near the bottom", QRect(500, 1000, 20, 20), QPoint(340, 696)},
        // Exactly enough room below still opens below.
        {"just room below", QRect(500, 876, 20, 20), QPoint(340, 900)},
        // Kept within the sides.
        {"left edge", QRect(10, 100, 20, 20), QPoint(0, 124)},
        {"right edge", QRect(1900, 100, 20, 20), QPoint(1580, 124)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Popovers::place(c.button, popover, screen), c.at) << c.where;

    // Taller than the room on either side: on the side with more room, moved onto the screen.
    EXPECT_EQ(Popovers::place(QRect(500, 500, 20, 20), QSize(340, 1000), screen), QPoint(340, 200));
    EXPECT_EQ(Popovers::place(QRect(500, 700, 20, 20), QSize(340, 1300), screen), QPoint(340, 0));
    // A screen that does not start at 0.
    EXPECT_EQ(Popovers::place(QRect(2500, 1150, 20, 20), popover, QRect(1920, 0, 1280, 1200)),
              QPoint(2340, 846));
}

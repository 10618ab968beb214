// The tray extra: the disk-coloured icon with its label as tooltip, the panel it opens, and a
// context menu (the panel, the main window, Quit) for tray hosts that send no click.
#pragma once

#include <functional>
#include <optional>

#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QSystemTrayIcon>

#include "engine/health.h"
#include "store/store.h"

namespace bramwick {

// Where the panel goes: under (or above, near the bottom) the tray icon and centred on it,
// else at the cursor the same way, else the screen's top-right corner; always kept on screen.
QPoint panelPosition(const std::optional<QRect>& icon, const std::optional<QPoint>& cursor,
                     const QRect& screen, const QSize& panel);

class TrayExtra : public QObject {
    Q_OBJECT

  public:
    struct Actions {
        std::function<void(std::optional<QRect> icon)> togglePanel;
        std::function<void()> openMainWindow;
        std::function<void()> quit;
        std::function<void()> appeared; // the icon is shown (it registers the window opener)
    };

    TrayExtra(Store& store, Actions actions, QObject* parent = nullptr);

    QSystemTrayIcon& icon() { return icon_; }
    QMenu& menu() { return menu_; }
    // Draws the icon and its tooltip again from the store's disk figures.
    void redraw();

  private:
    Store& store_;
    Actions actions_;
    QSystemTrayIcon icon_;
    QMenu menu_;
    std::optional<Colour> drawnColour_;
    qreal drawnScale_ = 0;
};

} // namespace bramwick

#include "app/gui/tray.h"

#include <algorithm>

#include <QGuiApplication>
#include <QScreen>

#include "app/gui/menu_bar_model.h"
#include "app/gui/spark_glyph.h"
#include "appearance/skin.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace {
constexpr int margin = 8;
}

QPoint panelPosition(const std::optional<QRect>& icon, const std::optional<QPoint>& cursor,
                     const QRect& screen, const QSize& panel) {
    QPoint at;
    auto near = [&](const QRect& anchor) {
        int x = anchor.center().x() - panel.width() / 2;
        // A tray at the bottom of the screen opens the panel upwards.
        int y = anchor.center().y() > screen.center().y() ? anchor.top() - margin - panel.height()
                                                          : anchor.bottom() + 1 + margin;
        return QPoint(x, y);
    };
    if (icon && icon->isValid() && !icon->isEmpty())
        at = near(*icon);
    else if (cursor)
        at = near(QRect(*cursor, QSize(1, 1)));
    else
        at = QPoint(screen.right() + 1 - margin - panel.width(), screen.top() + margin);
    int left = screen.left() + margin;
    int top = screen.top() + margin;
    int right = std::max(left, screen.right() + 1 - margin - panel.width());
    int bottom = std::max(top, screen.bottom() + 1 - margin - panel.height());
    return {std::clamp(at.x(), left, right), std::clamp(at.y(), top, bottom)};
}

TrayExtra::TrayExtra(Store& store, Actions actions, QObject* parent)
    : QObject(parent), store_(store), actions_(std::move(actions)) {
    menu_.setObjectName(QStringLiteral("trayMenu"));
    menu_.addAction(QStringLiteral("Show Panel"), this, [this] {
        // A menu chosen item has no icon geometry to go by: the panel goes to the cursor.
        actions_.togglePanel(std::nullopt);
    });
    menu_.addAction(QStringLiteral("Open Bramwick"), this, [this] { actions_.openMainWindow(); });
    menu_.addSeparator();
    menu_.addAction(QStringLiteral("Quit Bramwick"), this, [this] { actions_.quit(); });
    icon_.setContextMenu(&menu_);

    connect(&icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick)
                    return;
                QRect geometry = icon_.geometry();
                actions_.togglePanel(geometry.isValid() && !geometry.isEmpty()
                                         ? std::optional<QRect>(geometry)
                                         : std::nullopt);
            });
    connect(&store_, &Store::diskChanged, this, &TrayExtra::redraw);
    redraw();
    icon_.show();
    if (actions_.appeared) actions_.appeared();
}

void TrayExtra::redraw() {
    qreal scale = 1;
    if (QScreen* screen = QGuiApplication::primaryScreen()) scale = screen->devicePixelRatio();
    icon_.setIcon(SparkGlyph::icon(toQColor(MenuBar::iconColour(store_.disk())), scale));
    icon_.setToolTip(toQString(MenuBar::accessibilityLabel(store_.disk())));
}

} // namespace bramwick

// Dressing whole windows in the current skin.
//
// A window's skin lives on its root widget (`setSkin`); every widget below finds it with
// `skinOf(widget)`, and one with no dressed ancestor gets nightfall. `SkinScene::attach(window)`
// dresses a window from the stored setting "skin" and keeps it dressed: when the setting
// changes, every attached window takes the new skin and repaints at once.
//
// Dressing sets the window's palette: nightfall a dark scheme, hibernia a light one; classic
// leaves the desktop's palette alone, and gives it back only if this dressing had replaced it (a
// window whose palette was set by someone else keeps it while classic). In nightfall and
// hibernia the scroll areas inside stop painting their opaque background so the backdrop shows
// through; in classic they keep it.
//
// `SkinBackdrop` is the widget that paints the backdrop behind a window's content; put the
// content's layout on it (or make it the central widget). It keeps its backdrop rendered once
// per size, with a blurred copy that frosted tiles above it draw from.
//
// A window, typically:
//
//     auto* root = new SkinBackdrop;       // the window itself, or its central widget
//     SkinScene::attach(root);             // dressed now and on every change of "skin"
//     auto* layout = new QVBoxLayout(root);
//     layout->addWidget(new SkinTile(...)); // cards, rows, buttons, rings below it
//
// Widgets added after the window was dressed read the skin as they paint; a scroll area added
// later should be passed to `dressScrollArea(area, skinOf(area))` once, and a block built without
// a parent and put into the window afterwards to `announceSkin(block)`.
#pragma once

#include <optional>

#include <QEvent>
#include <QPainterPath>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include "appearance/skin.h"

class QAbstractScrollArea;

namespace bramwick {

// The skin of the window a widget is in: the nearest dressed ancestor's (itself included).
Skin skinOf(const QWidget* widget);
// Dresses `root` and everything below it in `skin` and repaints it. Every widget below is sent
// an event of type `skinChangeEvent()` first, so a widget whose layout depends on the skin (a
// card's shadow margins) can adjust.
void setSkin(QWidget* root, Skin skin);
QEvent::Type skinChangeEvent();
// Tells `root` and everything below it that they may be in another skin now, as `setSkin` does,
// without dressing anything itself: for widgets built outside a window (measured in the fallback
// skin) and then put into a dressed one, which otherwise keep the sizes they took outside.
void announceSkin(QWidget* root);
// Dresses a top-level window once: its palette for the skin's scheme (classic: the desktop's),
// then `setSkin`. For windows that do not follow the stored setting (previews, screenshots).
void dressWindow(QWidget* window, Skin skin);

// The colour scheme a skin asks for; none means the desktop's own.
enum class ColorScheme { light, dark };
std::optional<ColorScheme> colorScheme(Skin skin);
// The palette of a scheme, built on the desktop's palette `base`.
QPalette schemePalette(ColorScheme scheme, const QPalette& base);

// Hides (or in classic gives back) the opaque background of a scroll area, its viewport and the
// widget it scrolls (so set that widget first). The palette stays, for the boxes drawn in it.
void dressScrollArea(QAbstractScrollArea* area, Skin skin);

// The stored skin and its changes, for the whole process. Changes made through `setStored` or
// by anything else that writes the settings are announced on the GUI thread.
class SkinSettings : public QObject {
    Q_OBJECT
  public:
    static SkinSettings& instance();
    Skin skin() const;
    // Writes the setting "skin"; the reason when it could not be saved.
    std::optional<std::string> setStored(Skin skin);

  signals:
    void skinChanged(bramwick::Skin skin);
    void animateScansChanged(bool on);

  private:
    SkinSettings();
    std::size_t token_ = 0;
};

// Keeps one window dressed in the stored skin.
class SkinScene : public QObject {
    Q_OBJECT
  public:
    // Dresses `window` now and whenever the stored skin changes; lives as long as the window.
    static SkinScene* attach(QWidget* window);
    void apply(Skin skin);

  private:
    explicit SkinScene(QWidget* window);
    QPointer<QWidget> window_;
    bool forcedPalette_ = false;
};

// Paints the backdrop of `skin` into `rect` (classic paints nothing).
void paintBackdrop(QPainter& painter, const QRectF& rect, Skin skin);
// The three contour lines of hibernia's backdrop near the bottom of `rect`.
QPainterPath contours(const QRectF& rect);

class SkinBackdrop : public QWidget {
    Q_OBJECT
  public:
    explicit SkinBackdrop(QWidget* parent = nullptr);
    // When set, draws this skin instead of its window's (the skin previews of the settings).
    void setSkinOverride(std::optional<Skin> skin);
    Skin skin() const;

    // The nearest backdrop at or above `widget`, or null.
    static SkinBackdrop* under(const QWidget* widget);
    // The backdrop rendered at this size, and its blurred copy (what a frosted card shows).
    const QPixmap& rendered();
    const QPixmap& frosted();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void ensureRendered();
    std::optional<Skin> override_;
    QPixmap rendered_;
    QPixmap frosted_;
    QSize renderedSize_;
    Skin renderedSkin_ = Skin::classic;
    qreal renderedRatio_ = 0;
};

} // namespace bramwick

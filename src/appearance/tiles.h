// Cards, list-row plates and skinned text buttons.
//
// `SkinTile` is a container that turns its content into a card: a frosted neon tile in
// nightfall (the blurred backdrop under it, a navy veil, a faint sheen, a gradient border and a
// glow below), a frosted glass tile in hibernia (the blurred backdrop, a white veil and border,
// a soft navy shadow), nothing in classic. Its shadow is drawn outside the card: the widget keeps
// contents margins for it (`tileMargins`), so lay the content out inside and the card fills the
// widget minus those margins.
//
// `SkinRow` is a list row: a soft rounded plate behind the row in nightfall and hibernia, the
// standard row with its separator line in classic.
//
// `skinPill(button, prominent, large)` gives a text button the skin's button style (prominent
// or pill, drawn by the application style, see button_style.h) in nightfall and hibernia and
// leaves it alone in classic.
//
// The paint functions behind them are public so list delegates, the benchmark and the
// screenshot program can draw the same shapes.
#pragma once

#include <optional>

#include <QAbstractButton>
#include <QColor>
#include <QMarginsF>
#include <QPixmap>
#include <QWidget>

#include "appearance/skin.h"

namespace bramwick {

// What a frosted card shows through: the blurred backdrop, and where the card's shape lies on
// it (the shape's top-left corner in the backdrop's coordinates).
struct TileBackground {
    const QPixmap* frosted = nullptr;
    QPointF shapeOrigin;
};

// The card's glow colour in nightfall: the given one, or the palette blue.
QColor tileGlow(std::optional<QColor> glow);
// The margins a card's shadow needs around its shape in a skin (zero in classic).
QMarginsF tileMargins(Skin skin);

// Everything behind the content: the shadow, the material and its veils.
void paintTileBody(QPainter& painter, const QRectF& shape, qreal radius, Skin skin,
                   std::optional<QColor> glow, const TileBackground& background = {});
// What lies over the content: nightfall's gradient border (hibernia's border is part of its
// body; classic draws nothing).
void paintTileBorder(QPainter& painter, const QRectF& shape, qreal radius, Skin skin);

class SkinTile : public QWidget {
    Q_OBJECT
  public:
    explicit SkinTile(qreal radius = 16, std::optional<QColor> glow = std::nullopt,
                      QWidget* parent = nullptr);
    void setRadius(qreal radius);
    void setGlow(std::optional<QColor> glow);
    qreal radius() const { return radius_; }
    std::optional<QColor> glow() const { return glow_; }
    // The card's shape in the widget's coordinates: its whole rect in a `TileRow`.
    QRectF shape() const;
    // In a `TileRow`, which draws its body and shadow.
    bool inRow() const;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void childEvent(QChildEvent* event) override;

  private:
    void adjustMargins();
    qreal radius_;
    std::optional<QColor> glow_;
    QWidget* border_ = nullptr;
};

// A row of cards that draws their bodies and shadows itself, behind them. Its cards keep no room
// for their shadows, so a layout's spacing between them is the gap between their shapes: cards
// that each keep room for their own shadow stand two shadows apart. Leave room for the shadows
// at the row's own edges (`tileMargins`).
class TileRow : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// The row plate: inset 10 points left and right and 2 top and bottom from the row's rect.
void paintRowPlate(QPainter& painter, const QRectF& row, Skin skin);
// Classic's standard row: a hairline separator along the bottom, in the palette's mid colour.
void paintRowSeparator(QPainter& painter, const QRectF& row, const QPalette& palette);

class SkinRow : public QWidget {
    Q_OBJECT
  public:
    explicit SkinRow(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// Gives a text button the skin's look: prominent (with `large`) or pill in nightfall and
// hibernia; in classic the button keeps whatever style it had.
void skinPill(QAbstractButton* button, bool prominent, bool large);

} // namespace bramwick

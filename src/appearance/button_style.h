// The application style: Fusion, with the skins' two button looks painted over it.
//
// Install it once with `installSkinStyle()`. A button marked with `skinPill` (tiles.h) is drawn
// as the prominent capsule or the pill in nightfall and hibernia and left to Fusion in classic;
// a button given a look directly with `setButtonLook` draws it in every skin, classic included
// (where it takes the hibernia colours, as any skin other than nightfall does). A tinted button
// (`tintButton`, confirm_card.h) left to Fusion gets a solid fill of its tint in place of
// Fusion's pale gradient. Everything else is Fusion's, untouched.
//
// The looks are pure values (`prominentLook`, `pillLook`) so they can be checked without a
// window. A prominent button keeps a margin around its capsule for its glow.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QMarginsF>
#include <QPainterPath>
#include <QProxyStyle>

#include "appearance/skin.h"

namespace bramwick {

enum class ButtonLook { prominent, pill };

struct ButtonAppearance {
    QFont font;
    QColor text;
    qreal horizontalInset = 0;
    qreal verticalInset = 0;
    // The fill runs across the capsule: nightfall's mint-to-green, leading to trailing, or two
    // greens top to bottom; a pill's is one colour (`fillStart` == `fillEnd`).
    bool horizontalFill = false;
    QColor fillStart;
    QColor fillEnd;
    QColor border;
    QColor glow; // transparent when none
    qreal glowRadius = 0;
    qreal scale = 1;
    qreal opacity = 1;
};

ButtonAppearance prominentLook(Skin skin, bool large, bool pressed, bool enabled);
ButtonAppearance pillLook(Skin skin, bool pressed, bool enabled);
// The space kept around the capsule of a look so its glow is not clipped.
qreal glowMargin(ButtonLook look);
// What takes the clicks of a button of this look drawn in `rect`: its capsule, never the glow
// margin around it nor the corners beside its round ends.
QPainterPath buttonHitArea(const QRectF& rect, ButtonLook look);

// The fill of a button tinted green for a confirming action or red for an irreversible one
// (`tintButton`), the same in every skin: solid and dark enough that its white label reads at
// 4.5:1 or better. Only an enabled button takes it; a disabled one keeps the base style's look.
QColor tintFill(bool dangerous);

// Draws a look's capsule and label (and an optional icon before the text) into `rect`, which
// includes the glow margin.
void paintButton(QPainter& painter, const QRectF& rect, ButtonLook look, Skin skin, bool large,
                 bool pressed, bool enabled, const QString& text, const QIcon& icon = {});
// The size a button of this look needs for `text` (and an icon), glow margin included.
QSize buttonSize(ButtonLook look, bool large, const QString& text, bool hasIcon);

// The desktop's own prominent button (classic's "Clean All Safe"): filled with the accent, dark
// enough for its white label to read at 4.5:1 (`accentFill`), in the style's shape.
void makeProminent(QAbstractButton* button);
QColor accentFill(const QPalette& palette);

// Gives `button` a look in every skin (what applying a button style directly does).
void setButtonLook(QAbstractButton* button, ButtonLook look, bool large = false);

class SkinStyle : public QProxyStyle {
    Q_OBJECT
  public:
    SkinStyle();
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    void polish(QWidget* widget) override;
    void unpolish(QWidget* widget) override;
    using QProxyStyle::polish;
    using QProxyStyle::unpolish;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Makes `SkinStyle` the application's style (once; later calls do nothing).
void installSkinStyle();

} // namespace bramwick

// Symbols and the skinned symbol badge.
//
// The windows name their symbols with the symbol names of the catalog ("internaldrive",
// "checkmark.circle.fill", ...). One map turns each into a glyph of the bundled icon font
// (Material Icons, Apache-2.0, embedded as a resource with its notice); a name the map does not
// know draws a neutral glyph (an empty circle) rather than nothing.
//
// `SkinIcon` is the badge at the head of a category row: in classic the bare glyph (22 px, in a
// 34 px wide frame), in nightfall a glowing glyph in a tinted circle with a thin ring, in
// hibernia the glyph in a tinted rounded square. Without a colour the tint is the skin's own
// (system blue, cyan, deep green). Its nightfall glow spreads outside the badge: the widget
// keeps a margin for it.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QString>
#include <QWidget>

#include "appearance/skin.h"

namespace bramwick::Icons {

// The glyph of a symbol name, or none when the map does not know the name.
std::optional<char32_t> glyph(std::string_view symbol);
// The glyph drawn for an unknown name.
char32_t neutralGlyph();
// The name in the icon font of a symbol name (for messages and tests), or empty.
std::string_view fontName(std::string_view symbol);
// Every symbol name the map knows.
std::vector<std::string_view> mappedSymbols();
// The symbol names the windows use besides the catalog's and the maintenance tasks'. A window
// that draws a new symbol adds its name here; a test checks each is mapped and in the font.
const std::vector<std::string_view>& windowSymbols();

// The icon font's family (loaded from the resource on first use), and the font at a size.
QString family();
QFont font(qreal pixelSize);
// The font's licence notice, as embedded.
QString notice();

// Draws the glyph of `symbol` centred in `rect` at `pixelSize`, in `color`.
void paintSymbol(QPainter& painter, const QRectF& rect, std::string_view symbol,
                 const QColor& color, qreal pixelSize);
// An icon of a symbol in one colour, for buttons and menus.
QIcon icon(std::string_view symbol, const QColor& color);

} // namespace bramwick::Icons

namespace bramwick {

// The badge's tint: `color`, or the skin's default.
QColor iconTint(Skin skin, std::optional<QColor> color);
// The badge's frame (classic: 34 wide, as tall as the glyph; else size × size) and the glow
// margin around it.
QSizeF iconFrame(Skin skin, qreal size);
qreal iconGlowMargin(Skin skin);
// Draws the badge with its frame's top-left corner at `origin`.
void paintSkinIcon(QPainter& painter, QPointF origin, Skin skin, std::string_view symbol,
                   std::optional<QColor> color, qreal size);

class SkinIcon : public QWidget {
    Q_OBJECT
  public:
    SkinIcon(QString name, std::optional<QColor> color, qreal size, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    std::string name_;
    std::optional<QColor> color_;
    qreal size_;
};

} // namespace bramwick

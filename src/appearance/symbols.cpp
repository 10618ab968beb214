#include "appearance/symbols.h"

#include <utility>

#include <QPainter>

#include "appearance/icons.h"
#include "appearance/skin.h"

namespace bramwick {

QPixmap symbolPixmap(const std::string& name, const QColor& colour, int size) {
    const qreal scale = 2;
    QPixmap made(QSize(size, size) * scale);
    made.setDevicePixelRatio(scale);
    made.fill(Qt::transparent);
    QPainter painter(&made);
    painter.setRenderHint(QPainter::Antialiasing);
    Icons::paintSymbol(painter, QRectF(0, 0, size, size), name, colour, size);
    return made;
}

SymbolView::SymbolView(int size, QWidget* parent) : QWidget(parent), size_(size) {
    setFixedSize(size, size);
}

void SymbolView::setSymbol(const QString& name, const QColor& color) {
    if (name == name_ && color == color_) return;
    name_ = name;
    color_ = color;
    update();
}

void SymbolView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Icons::paintSymbol(painter, QRectF(rect()), name_.toStdString(), color_, size_);
}

SymbolButton::SymbolButton(QString symbol, int size, QWidget* parent)
    : QToolButton(parent), symbol_(std::move(symbol)), size_(size) {
    setAutoRaise(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void SymbolButton::setLook(Skin look) {
    if (look == look_) return;
    look_ = look;
    update();
}

void SymbolButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const Skins::Palette palette = Skins::palette(look_);
    QColor color = palette.listSecondaryText;
    if (!isEnabled())
        color.setAlphaF(color.alphaF() * 0.4);
    else if (isDown())
        color = palette.listText;
    const QRectF box((width() - size_) / 2.0, (height() - size_) / 2.0, size_, size_);
    Icons::paintSymbol(painter, box, symbol_.toStdString(), color, size_);
    if (hasFocus()) {
        painter.setPen(QPen(palette.selection, 1));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    }
}

} // namespace bramwick

// The skins' symbols as pieces to build with: a pixmap of one for a label or an icon, a view that
// draws one, and a button that is only its symbol.
#pragma once

#include <string>

#include <QColor>
#include <QPixmap>
#include <QString>
#include <QToolButton>
#include <QWidget>

#include "appearance/skin.h"

namespace bramwick {

// A symbol of the skins' icon font in one colour, `size` points square, sharp at twice that.
QPixmap symbolPixmap(const std::string& name, const QColor& colour, int size);

// A symbol drawn at a size, in a colour.
class SymbolView : public QWidget {
    Q_OBJECT

  public:
    explicit SymbolView(int size, QWidget* parent = nullptr);
    void setSymbol(const QString& name, const QColor& color);
    QSize sizeHint() const override { return {size_, size_}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int size_;
    QString name_;
    QColor color_;
};

// A symbol button without a frame (info, rescan, add folder): its symbol in its colour at rest,
// dimmed while disabled, in its pressed colour while held down, with a ring in its focus colour
// while it has the focus.
class SymbolButton : public QToolButton {
    Q_OBJECT

  public:
    // Its colours are the skin's list colours, asked for each time it paints, so that a colour
    // that follows the desktop's scheme follows it at once.
    SymbolButton(QString symbol, int size, QWidget* parent = nullptr);
    void setLook(Skin look);
    QSize sizeHint() const override { return {size_ + 6, size_ + 6}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString symbol_;
    int size_;
    Skin look_ = Skin::nightfall;
};

} // namespace bramwick

#include "appearance/tiles.h"

#include <cmath>

#include <QCache>
#include <QChildEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QVariant>

#include "appearance/paint_kit.h"
#include "appearance/window_dressing.h"

namespace bramwick {

namespace {

constexpr qreal nightfallShadowRadius = 18;
constexpr qreal hiberniaShadowRadius = 16;
const QPointF shadowOffset(0, 8);

QPainterPath insetPath(const QRectF& shape, qreal radius, qreal inset) {
    return PaintKit::continuousRect(shape.adjusted(inset, inset, -inset, -inset),
                                    std::max<qreal>(0, radius - inset));
}

void drawFrosted(QPainter& painter, const QRectF& shape, const TileBackground& background) {
    if (!background.frosted || background.frosted->isNull()) return;
    const qreal scale = background.frosted->devicePixelRatioF();
    const QRectF source(background.shapeOrigin * scale, shape.size() * scale);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(shape, *background.frosted, source);
}

} // namespace

QColor tileGlow(std::optional<QColor> glow) {
    return glow.value_or(Nightfall::blue);
}

QMarginsF tileMargins(Skin skin) {
    switch (skin) {
    case Skin::classic:
        return {};
    case Skin::nightfall:
        return PaintKit::shadowMargins(nightfallShadowRadius, shadowOffset);
    case Skin::hibernia:
        break;
    }
    return PaintKit::shadowMargins(hiberniaShadowRadius, shadowOffset);
}

namespace {

void drawTileBody(QPainter& painter, const QRectF& shape, qreal radius, Skin skin,
                  std::optional<QColor> glow, const TileBackground& background) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath path = PaintKit::continuousRect(shape, radius);
    if (skin == Skin::nightfall) {
        const QColor tint = tileGlow(glow);
        PaintKit::drawShadow(painter, path, withOpacity(tint, 0.22), nightfallShadowRadius,
                             shadowOffset);
        painter.setClipPath(path, Qt::IntersectClip);
        // The ultra-thin material: what lies behind, blurred, lifted by a faint light veil.
        if (background.frosted) drawFrosted(painter, shape, background);
        painter.fillPath(path, withOpacity(Qt::white, 0.04));
        painter.fillPath(path, withOpacity(Nightfall::deep, 0.55));
        QLinearGradient sheen(shape.topLeft(), shape.bottomRight());
        sheen.setColorAt(0, withOpacity(Qt::white, 0.09));
        sheen.setColorAt(0.5, withOpacity(tint, 0.06));
        sheen.setColorAt(1, Qt::transparent);
        painter.fillPath(path, sheen);
    } else {
        PaintKit::drawShadow(painter, path, withOpacity(Hibernia::navy, 0.1), hiberniaShadowRadius,
                             shadowOffset);
        painter.save();
        painter.setClipPath(path, Qt::IntersectClip);
        // The regular material: the blurred page under a milky veil, with a glassy light from
        // above and a white rim.
        if (background.frosted) drawFrosted(painter, shape, background);
        painter.fillPath(path, withOpacity(Qt::white, background.frosted ? 0.55 : 0.72));
        QLinearGradient light(shape.topLeft(), shape.bottomLeft());
        light.setColorAt(0, withOpacity(Qt::white, 0.35));
        light.setColorAt(0.45, withOpacity(Qt::white, 0.0));
        painter.fillPath(path, light);
        painter.restore();
        painter.setPen(QPen(withOpacity(Qt::white, 0.9), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(insetPath(shape, radius, 0.5));
    }
    painter.restore();
}

} // namespace

void paintTileBody(QPainter& painter, const QRectF& shape, qreal radius, Skin skin,
                   std::optional<QColor> glow, const TileBackground& background) {
    if (skin == Skin::classic || shape.isEmpty()) return;
    const QTransform transform = painter.worldTransform();
    if (transform.type() > QTransform::TxTranslate) {
        drawTileBody(painter, shape, radius, skin, glow, background);
        return;
    }
    // A card does not change while its size, place over the backdrop and skin stay: it is drawn
    // once into a pixmap, shadow and all, and later paints blit it.
    static QCache<QString, QPixmap> cache(32 * 1024 * 1024 / 4);
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QMarginsF margins = tileMargins(skin) + QMarginsF(1, 1, 1, 1);
    const QPointF fraction(shape.x() - std::floor(shape.x()), shape.y() - std::floor(shape.y()));
    const QString key = QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8|%9")
                            .arg(shape.width())
                            .arg(shape.height())
                            .arg(fraction.x())
                            .arg(fraction.y())
                            .arg(radius)
                            .arg(static_cast<int>(skin))
                            .arg(tileGlow(glow).rgba())
                            .arg(ratio)
                            .arg(background.frosted ? QStringLiteral("%1@%2,%3")
                                                          .arg(background.frosted->cacheKey())
                                                          .arg(background.shapeOrigin.x())
                                                          .arg(background.shapeOrigin.y())
                                                    : QString());
    QPixmap* pixmap = cache.object(key);
    if (!pixmap) {
        const QSizeF full(shape.width() + margins.left() + margins.right(),
                          shape.height() + margins.top() + margins.bottom());
        QImage image((full * ratio).toSize() + QSize(1, 1), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            drawTileBody(p, QRectF(QPointF(margins.left(), margins.top()) + fraction, shape.size()),
                         radius, skin, glow, background);
        }
        pixmap = new QPixmap(QPixmap::fromImage(std::move(image)));
        cache.insert(key, pixmap, static_cast<int>(pixmap->width() * pixmap->height()));
    }
    painter.drawPixmap(
        QPointF(std::floor(shape.x()) - margins.left(), std::floor(shape.y()) - margins.top()),
        *pixmap);
}

void paintTileBorder(QPainter& painter, const QRectF& shape, qreal radius, Skin skin) {
    if (skin != Skin::nightfall) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient border(shape.topLeft(), shape.bottomRight());
    border.setColorAt(0, withOpacity(Qt::white, 0.5));
    border.setColorAt(1.0 / 3, withOpacity(Nightfall::cyan, 0.18));
    border.setColorAt(2.0 / 3, withOpacity(Qt::white, 0.04));
    border.setColorAt(1, withOpacity(Nightfall::violet, 0.3));
    painter.setPen(QPen(QBrush(border), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(insetPath(shape, radius, 0.5));
    painter.restore();
}

namespace {

// Draws the card's border over the card's content; it takes no clicks.
class TileBorder : public QWidget {
  public:
    explicit TileBorder(SkinTile* tile) : QWidget(tile), tile_(tile) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        paintTileBorder(painter, tile_->shape(), tile_->radius(), skinOf(tile_));
    }

  private:
    SkinTile* tile_;
};

} // namespace

SkinTile::SkinTile(qreal radius, std::optional<QColor> glow, QWidget* parent)
    : QWidget(parent), radius_(radius), glow_(glow) {
    border_ = new TileBorder(this);
    adjustMargins();
}

void SkinTile::setRadius(qreal radius) {
    radius_ = radius;
    update();
}

void SkinTile::setGlow(std::optional<QColor> glow) {
    glow_ = glow;
    update();
}

QRectF SkinTile::shape() const {
    if (inRow()) return QRectF(rect());
    return QRectF(rect()) - tileMargins(skinOf(this));
}

bool SkinTile::inRow() const {
    return qobject_cast<const TileRow*>(parentWidget()) != nullptr;
}

void SkinTile::adjustMargins() {
    const QMarginsF m = inRow() ? QMarginsF() : tileMargins(skinOf(this));
    setContentsMargins(qCeil(m.left()), qCeil(m.top()), qCeil(m.right()), qCeil(m.bottom()));
}

bool SkinTile::event(QEvent* event) {
    if (event->type() == skinChangeEvent() || event->type() == QEvent::ParentChange)
        adjustMargins();
    return QWidget::event(event);
}

void SkinTile::paintEvent(QPaintEvent*) {
    const Skin skin = skinOf(this);
    if (skin == Skin::classic || inRow()) return;
    QPainter painter(this);
    TileBackground background;
    if (auto* backdrop = SkinBackdrop::under(parentWidget())) {
        background.frosted = &backdrop->frosted();
        background.shapeOrigin = mapTo(backdrop, QPoint(0, 0)) + shape().topLeft();
    }
    paintTileBody(painter, shape(), radius_, skin, glow_, background);
}

void SkinTile::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    border_->setGeometry(rect());
    border_->raise();
}

void SkinTile::childEvent(QChildEvent* event) {
    QWidget::childEvent(event);
    if (event->added() && border_ && event->child() != border_) border_->raise();
}

void TileRow::paintEvent(QPaintEvent*) {
    const Skin skin = skinOf(this);
    if (skin == Skin::classic) return;
    QPainter painter(this);
    SkinBackdrop* backdrop = SkinBackdrop::under(this);
    for (QObject* child : children()) {
        auto* tile = qobject_cast<SkinTile*>(child);
        if (!tile || tile->isHidden()) continue;
        TileBackground background;
        if (backdrop) {
            background.frosted = &backdrop->frosted();
            background.shapeOrigin = tile->mapTo(backdrop, QPoint(0, 0));
        }
        paintTileBody(painter, QRectF(tile->geometry()), tile->radius(), skin, tile->glow(),
                      background);
    }
}

void paintRowPlate(QPainter& painter, const QRectF& row, Skin skin) {
    if (skin == Skin::classic) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF plate = row.adjusted(10, 2, -10, -2);
    painter.fillPath(PaintKit::continuousRect(plate, 12),
                     withOpacity(Qt::white, skin == Skin::hibernia ? 0.55 : 0.035));
    painter.restore();
}

void paintRowSeparator(QPainter& painter, const QRectF& row, const QPalette& palette) {
    painter.save();
    QColor line = palette.color(QPalette::Mid);
    line.setAlphaF(0.6f);
    painter.setPen(QPen(line, 0));
    painter.drawLine(QPointF(row.left() + 10, row.bottom() - 0.5),
                     QPointF(row.right() - 10, row.bottom() - 0.5));
    painter.restore();
}

SkinRow::SkinRow(QWidget* parent) : QWidget(parent) {
    // The same insets in every skin, so switching skins never moves the content.
    setContentsMargins(20, 8, 20, 8);
}

void SkinRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const Skin skin = skinOf(this);
    if (skin == Skin::classic)
        paintRowSeparator(painter, rect(), palette());
    else
        paintRowPlate(painter, rect(), skin);
}

void skinPill(QAbstractButton* button, bool prominent, bool large) {
    button->setProperty("bramwickButton", prominent ? "prominent" : "pill");
    button->setProperty("bramwickLarge", large);
    button->setProperty("bramwickDirect", false);
    button->updateGeometry();
    button->update();
}

} // namespace bramwick

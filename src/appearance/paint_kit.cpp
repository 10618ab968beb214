#include "appearance/paint_kit.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <QCache>
#include <QHash>
#include <QMarginsF>

namespace bramwick::PaintKit {

QPainterPath continuousRect(const QRectF& rect, qreal radius) {
    QPainterPath path;
    if (radius <= 0 || rect.isEmpty()) {
        path.addRect(rect);
        return path;
    }
    // The corner starts 1.28 radii from the corner and its controls sit close to it: the curve
    // meets the straight side with matching curvature instead of the kink of a circular arc.
    const qreal a = std::min({radius * 1.28, rect.width() / 2, rect.height() / 2});
    const qreal c = a * 0.18;
    const qreal l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
    path.moveTo(l + a, t);
    path.lineTo(r - a, t);
    path.cubicTo(r - c, t, r, t + c, r, t + a);
    path.lineTo(r, b - a);
    path.cubicTo(r, b - c, r - c, b, r - a, b);
    path.lineTo(l + a, b);
    path.cubicTo(l + c, b, l, b - c, l, b - a);
    path.lineTo(l, t + a);
    path.cubicTo(l, t + c, l + c, t, l + a, t);
    path.closeSubpath();
    return path;
}

QPainterPath capsule(const QRectF& rect) {
    QPainterPath path;
    const qreal r = std::min(rect.width(), rect.height()) / 2;
    path.addRoundedRect(rect, r, r);
    return path;
}

namespace {

// One box pass of radius r over premultiplied pixels, along rows or along columns, with edge
// clamping. `average` maps a channel's sum over the window to its rounded mean (a division per
// channel and pixel costs more than the rest of the pass).
void boxPass(std::uint32_t* data, int width, int height, int stride, int r, bool vertical,
             const std::vector<std::uint8_t>& average) {
    const int n = vertical ? height : width;
    const int lines = vertical ? width : height;
    const std::ptrdiff_t step = vertical ? stride : 1;
    std::vector<std::uint32_t> line(static_cast<std::size_t>(n));
    for (int j = 0; j < lines; ++j) {
        std::uint32_t* start = vertical ? data + j : data + static_cast<std::ptrdiff_t>(j) * stride;
        for (int i = 0; i < n; ++i)
            line[static_cast<std::size_t>(i)] = start[i * step];
        auto px = [&](int i) { return line[static_cast<std::size_t>(std::clamp(i, 0, n - 1))]; };
        std::uint32_t sum[4] = {0, 0, 0, 0};
        auto add = [&](std::uint32_t p) {
            sum[0] += p & 0xff;
            sum[1] += (p >> 8) & 0xff;
            sum[2] += (p >> 16) & 0xff;
            sum[3] += p >> 24;
        };
        auto remove = [&](std::uint32_t p) {
            sum[0] -= p & 0xff;
            sum[1] -= (p >> 8) & 0xff;
            sum[2] -= (p >> 16) & 0xff;
            sum[3] -= p >> 24;
        };
        for (int i = -r; i <= r; ++i)
            add(px(i));
        for (int i = 0; i < n; ++i) {
            start[i * step] = std::uint32_t(average[sum[0]]) | std::uint32_t(average[sum[1]]) << 8 |
                              std::uint32_t(average[sum[2]]) << 16 |
                              std::uint32_t(average[sum[3]]) << 24;
            add(px(i + r + 1));
            remove(px(i - r));
        }
    }
}

} // namespace

void blur(QImage& image, qreal sigma) {
    if (image.isNull() || sigma <= 0.3) return;
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // Three box passes of this radius have about the variance of the Gaussian.
    const int r =
        std::max(1, static_cast<int>(std::lround((std::sqrt(4 * sigma * sigma + 1) - 1) / 2)));
    const int window = 2 * r + 1;
    std::vector<std::uint8_t> average(static_cast<std::size_t>(255 * window + 1));
    for (std::size_t sum = 0; sum < average.size(); ++sum)
        average[sum] = static_cast<std::uint8_t>((sum + static_cast<std::size_t>(window / 2)) /
                                                 static_cast<std::size_t>(window));
    auto* data = reinterpret_cast<std::uint32_t*>(image.bits());
    const int stride = static_cast<int>(image.bytesPerLine() / 4);
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(data, image.width(), image.height(), stride, r, false, average);
        boxPass(data, image.width(), image.height(), stride, r, true, average);
    }
}

QMarginsF shadowMargins(qreal radius, QPointF offset) {
    return QMarginsF(std::max(0.0, radius - offset.x()), std::max(0.0, radius - offset.y()),
                     std::max(0.0, radius + offset.x()), std::max(0.0, radius + offset.y()));
}

namespace {

struct ShadowKey {
    QSizeF size;
    QRectF bounds;
    qreal radius;
    QRgb color;
    qreal dpr;
    std::size_t shapeHash;
    bool operator==(const ShadowKey&) const = default;
};

std::size_t qHash(const ShadowKey& k, std::size_t seed = 0) {
    return ::qHash(k.size.width(), seed) ^ ::qHash(k.size.height(), seed * 3 + 1) ^
           ::qHash(k.radius, seed) ^ ::qHash(k.color, seed) ^ ::qHash(k.dpr, seed) ^ k.shapeHash;
}

std::size_t shapeHash(const QPainterPath& path) {
    std::size_t h = 1469598103934665603ull;
    for (int i = 0; i < path.elementCount(); ++i) {
        const auto e = path.elementAt(i);
        h = (h ^ static_cast<std::size_t>(std::llround(e.x * 8))) * 1099511628211ull;
        h = (h ^ static_cast<std::size_t>(std::llround(e.y * 8))) * 1099511628211ull;
    }
    return h;
}

QCache<ShadowKey, QPixmap>& shadowCache() {
    static QCache<ShadowKey, QPixmap> cache(64 * 1024 * 1024 / 4); // cost in pixels
    return cache;
}

} // namespace

void drawShadow(QPainter& painter, const QPainterPath& shape, const QColor& color, qreal radius,
                QPointF offset) {
    if (color.alpha() == 0 || shape.isEmpty()) return;
    const QRectF bounds = shape.boundingRect();
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const qreal pad = std::ceil(radius * 1.5) + 1;
    const QPainterPath local = shape.translated(-bounds.topLeft() + QPointF(pad, pad));
    ShadowKey key{bounds.size(), QRectF(), radius, color.rgba(), dpr, shapeHash(local)};
    QPixmap* cached = shadowCache().object(key);
    if (!cached) {
        // Blurred at a quarter of the resolution when large: a shadow has no detail to lose.
        const QSizeF full = (bounds.size() + QSizeF(2 * pad, 2 * pad)) * dpr;
        const qreal scale = radius * dpr > 8 ? 0.5 : 1.0;
        QImage image((full * scale).toSize() + QSize(1, 1), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(dpr * scale, dpr * scale);
            p.fillPath(local, color);
        }
        blur(image, radius * dpr * scale / 2);
        QPixmap pixmap = QPixmap::fromImage(std::move(image));
        pixmap.setDevicePixelRatio(dpr * scale);
        cached = new QPixmap(std::move(pixmap));
        shadowCache().insert(key, cached, static_cast<int>(cached->width() * cached->height()));
    }
    const QPointF origin = bounds.topLeft() - QPointF(pad, pad) + offset;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(QRectF(origin, bounds.size() + QSizeF(2 * pad, 2 * pad)), *cached,
                       QRectF(QPointF(0, 0), QSizeF(cached->size())));
    painter.restore();
}

void strokeGlow(QPainter& painter, const QPainterPath& path, const QColor& color, qreal width,
                qreal radius, Qt::PenCapStyle cap, int steps) {
    if (color.alpha() == 0 || radius <= 0) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    // Widest and faintest first; the layers add up to about the colour's alpha at the core.
    for (int i = steps; i >= 1; --i) {
        const qreal spread = radius * i / steps;
        QColor c = color;
        c.setAlphaF(static_cast<float>(color.alphaF() * 0.28 * (1.0 - (i - 1.0) / steps)));
        painter.setPen(QPen(c, width + spread * 2, Qt::SolidLine, cap, Qt::RoundJoin));
        painter.drawPath(path);
    }
    painter.restore();
}

} // namespace bramwick::PaintKit

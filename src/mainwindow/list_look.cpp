#include "mainwindow/list_look.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QPalette>
#include <QRadialGradient>

namespace bramwick::ListLook {

namespace {

bool animations = true;

const QColor systemGreen{52, 199, 89};
const QColor systemYellow{255, 204, 0};
const QColor systemRed{255, 59, 48};
const QColor systemGray{142, 142, 147};
const QColor systemBlue{0, 122, 255};

namespace Night {
const QColor ink = QColor::fromRgbF(0.02f, 0.027f, 0.063f);
const QColor deep = QColor::fromRgbF(0.043f, 0.071f, 0.188f);
const QColor blue = QColor::fromRgbF(0.31f, 0.549f, 1.0f);
const QColor mint = QColor::fromRgbF(0.169f, 0.941f, 0.784f);
const QColor green = QColor::fromRgbF(0.239f, 0.863f, 0.518f);
const QColor amber = QColor::fromRgbF(0.961f, 0.698f, 0.239f);
const QColor red = QColor::fromRgbF(1.0f, 0.361f, 0.431f);
const QColor grey = QColor::fromRgbF(0.604f, 0.639f, 0.71f);
} // namespace Night

namespace Hib {
const QColor page = QColor::fromRgbF(0.961f, 0.969f, 0.98f);
const QColor ink = QColor::fromRgbF(0.169f, 0.204f, 0.271f);
const QColor navy = QColor::fromRgbF(0.141f, 0.188f, 0.267f);
const QColor green = QColor::fromRgbF(0.455f, 0.8f, 0.518f);
const QColor deepGreen = QColor::fromRgbF(0.184f, 0.549f, 0.271f);
const QColor amber = QColor::fromRgbF(0.851f, 0.584f, 0.122f);
const QColor red = QColor::fromRgbF(0.761f, 0.267f, 0.29f);
const QColor grey = QColor::fromRgbF(0.42f, 0.447f, 0.502f);
} // namespace Hib

QColor faded(QColor color, double opacity) {
    color.setAlphaF(color.alphaF() * opacity);
    return color;
}

} // namespace

Look fromStored(const std::optional<std::string>& stored) {
    if (stored == "classic") return Look::classic;
    if (stored == "hibernia") return Look::hibernia;
    return Look::nightfall;
}

QColor levelColor(Look look, Level level) {
    switch (look) {
    case Look::classic:
        switch (level) {
        case Level::safe: return systemGreen;
        case Level::warning: return systemYellow;
        case Level::redFlag: return systemRed;
        case Level::protected_: return systemGray;
        }
        break;
    case Look::nightfall:
        switch (level) {
        case Level::safe: return Night::green;
        case Level::warning: return Night::amber;
        case Level::redFlag: return Night::red;
        case Level::protected_: return Night::grey;
        }
        break;
    case Look::hibernia:
        switch (level) {
        case Level::safe: return Hib::deepGreen;
        case Level::warning: return Hib::amber;
        case Level::redFlag: return Hib::red;
        case Level::protected_: return Hib::grey;
        }
        break;
    }
    return systemGray;
}

QColor levelDot(Look look, Level level) {
    if (look == Look::hibernia && level == Level::safe) return Hib::green;
    return levelColor(look, level);
}

QColor dropHighlight(Level level) {
    switch (level) {
    case Level::safe: return faded(systemGreen, 0.18);
    case Level::warning: return faded(systemYellow, 0.18);
    case Level::redFlag: return faded(systemRed, 0.18);
    case Level::protected_: break;
    }
    return Qt::transparent;
}

QColor accent(Look look) {
    switch (look) {
    case Look::classic: return systemBlue;
    case Look::nightfall: return Night::blue;
    case Look::hibernia: return Hib::navy;
    }
    return systemBlue;
}

QColor text(Look look) {
    switch (look) {
    case Look::classic: return QPalette().color(QPalette::WindowText);
    case Look::nightfall: return QColor(236, 240, 250);
    case Look::hibernia: return Hib::ink;
    }
    return Qt::black;
}

QColor secondaryText(Look look) {
    switch (look) {
    case Look::classic: return faded(QPalette().color(QPalette::WindowText), 0.55);
    case Look::nightfall: return QColor(160, 170, 195);
    case Look::hibernia: return Hib::grey;
    }
    return Qt::gray;
}

void dress(QWidget* root, Look look) {
    QPalette palette = QPalette();
    if (look != Look::classic) {
        const QColor fore = text(look);
        const QColor back = look == Look::nightfall ? Night::ink : Hib::page;
        palette.setColor(QPalette::Window, back);
        palette.setColor(QPalette::Base, look == Look::nightfall ? Night::deep : Qt::white);
        palette.setColor(QPalette::WindowText, fore);
        palette.setColor(QPalette::Text, fore);
        palette.setColor(QPalette::ButtonText, fore);
        palette.setColor(QPalette::Button, look == Look::nightfall ? Night::deep : Hib::page);
        palette.setColor(QPalette::ToolTipBase, back);
        palette.setColor(QPalette::ToolTipText, fore);
        palette.setColor(QPalette::PlaceholderText, secondaryText(look));
        palette.setColor(QPalette::Disabled, QPalette::WindowText, secondaryText(look));
        palette.setColor(QPalette::Disabled, QPalette::ButtonText, secondaryText(look));
    }
    root->setPalette(palette);
}

void paintBackdrop(QPainter& painter, const QRectF& rect, Look look) {
    switch (look) {
    case Look::classic: painter.fillRect(rect, QPalette().color(QPalette::Window)); return;
    case Look::nightfall: {
        QLinearGradient base(rect.topLeft(), rect.bottomLeft());
        base.setColorAt(0, Night::deep);
        base.setColorAt(1, Night::ink);
        painter.fillRect(rect, base);
        QRadialGradient glow(rect.topLeft() + QPointF(rect.width() * 0.15, 0), rect.width() * 0.6);
        glow.setColorAt(0, faded(Night::blue, 0.22));
        glow.setColorAt(1, Qt::transparent);
        painter.fillRect(rect, glow);
        QRadialGradient mint(rect.bottomRight(), rect.width() * 0.5);
        mint.setColorAt(0, faded(Night::mint, 0.10));
        mint.setColorAt(1, Qt::transparent);
        painter.fillRect(rect, mint);
        return;
    }
    case Look::hibernia: {
        QLinearGradient base(rect.topLeft(), rect.bottomRight());
        base.setColorAt(0, Hib::page);
        base.setColorAt(1, QColor(228, 236, 232));
        painter.fillRect(rect, base);
        return;
    }
    }
}

void paintRowPlate(QPainter& painter, const QRectF& rect, Look look) {
    if (look == Look::classic) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath plate;
    plate.addRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
    if (look == Look::nightfall) {
        painter.fillPath(plate, QColor(255, 255, 255, 14));
        painter.setPen(QPen(QColor(255, 255, 255, 26), 1));
    } else {
        painter.fillPath(plate, QColor(255, 255, 255, 200));
        painter.setPen(QPen(QColor(255, 255, 255, 242), 1));
    }
    painter.drawPath(plate);
    painter.restore();
}

void paintSymbol(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect.adjusted(rect.width() * 0.08, rect.height() * 0.08,
                                   -rect.width() * 0.08, -rect.height() * 0.08);
    const qreal w = std::max<qreal>(1.2, r.width() / 10);
    QPen pen(color, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    if (name == "checkmark.circle.fill") {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(r);
        painter.setPen(QPen(Qt::white, w * 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPolygonF tick{QPointF(r.left() + r.width() * 0.28, r.center().y()),
                       QPointF(r.left() + r.width() * 0.44, r.top() + r.height() * 0.66),
                       QPointF(r.left() + r.width() * 0.72, r.top() + r.height() * 0.34)};
        painter.drawPolyline(tick);
    } else if (name == "eye.fill") {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        QPainterPath eye;
        eye.moveTo(r.left(), r.center().y());
        eye.quadTo(r.center().x(), r.top(), r.right(), r.center().y());
        eye.quadTo(r.center().x(), r.bottom(), r.left(), r.center().y());
        painter.drawPath(eye);
        painter.setBrush(Qt::white);
        painter.drawEllipse(r.center(), r.width() * 0.16, r.width() * 0.16);
    } else if (name == "externaldrive.fill") {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawRoundedRect(QRectF(r.left(), r.top() + r.height() * 0.25, r.width(),
                                       r.height() * 0.5),
                                r.width() * 0.12, r.width() * 0.12);
        painter.setBrush(Qt::white);
        painter.drawEllipse(QPointF(r.right() - r.width() * 0.2, r.center().y()), w * 0.8, w * 0.8);
    } else if (name == "lock.shield.fill") {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        QPainterPath shield;
        shield.moveTo(r.center().x(), r.top());
        shield.lineTo(r.right(), r.top() + r.height() * 0.2);
        shield.quadTo(r.right(), r.bottom() - r.height() * 0.2, r.center().x(), r.bottom());
        shield.quadTo(r.left(), r.bottom() - r.height() * 0.2, r.left(), r.top() + r.height() * 0.2);
        shield.closeSubpath();
        painter.drawPath(shield);
    } else if (name == "info.circle") {
        painter.setPen(pen);
        painter.drawEllipse(r);
        painter.drawLine(QPointF(r.center().x(), r.center().y() - r.height() * 0.05),
                         QPointF(r.center().x(), r.bottom() - r.height() * 0.25));
        painter.drawPoint(QPointF(r.center().x(), r.top() + r.height() * 0.28));
    } else if (name == "arrow.clockwise") {
        painter.setPen(pen);
        painter.drawArc(r, 100 * 16, -300 * 16);
        const QPointF tip(r.center().x() + r.width() * 0.05, r.top());
        painter.drawLine(tip, tip + QPointF(-r.width() * 0.2, -r.height() * 0.12));
        painter.drawLine(tip, tip + QPointF(-r.width() * 0.16, r.height() * 0.18));
    } else if (name == "folder.badge.plus") {
        painter.setPen(pen);
        QPainterPath folder;
        folder.moveTo(r.left(), r.top() + r.height() * 0.2);
        folder.lineTo(r.left() + r.width() * 0.35, r.top() + r.height() * 0.2);
        folder.lineTo(r.left() + r.width() * 0.45, r.top() + r.height() * 0.32);
        folder.lineTo(r.right() - r.width() * 0.25, r.top() + r.height() * 0.32);
        folder.moveTo(r.left(), r.top() + r.height() * 0.2);
        folder.lineTo(r.left(), r.bottom() - r.height() * 0.1);
        folder.lineTo(r.right() - r.width() * 0.35, r.bottom() - r.height() * 0.1);
        painter.drawPath(folder);
        const QPointF plus(r.right() - r.width() * 0.15, r.bottom() - r.height() * 0.25);
        painter.drawLine(plus - QPointF(r.width() * 0.15, 0), plus + QPointF(r.width() * 0.15, 0));
        painter.drawLine(plus - QPointF(0, r.width() * 0.15), plus + QPointF(0, r.width() * 0.15));
    } else if (name == "square.grid.2x2") {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        const qreal cell = r.width() * 0.42;
        for (qreal x : {r.left(), r.right() - cell})
            for (qreal y : {r.top(), r.bottom() - cell})
                painter.drawRoundedRect(QRectF(x, y, cell, cell), cell * 0.2, cell * 0.2);
    } else if (name == "lightbulb") {
        painter.setPen(pen);
        painter.drawEllipse(QRectF(r.left() + r.width() * 0.2, r.top(), r.width() * 0.6,
                                   r.height() * 0.6));
        painter.drawLine(QPointF(r.center().x() - r.width() * 0.12, r.bottom() - r.height() * 0.2),
                         QPointF(r.center().x() + r.width() * 0.12, r.bottom() - r.height() * 0.2));
        painter.drawLine(QPointF(r.center().x() - r.width() * 0.08, r.bottom()),
                         QPointF(r.center().x() + r.width() * 0.08, r.bottom()));
    } else if (name == "line.3.horizontal.decrease.circle") {
        painter.setPen(pen);
        painter.drawEllipse(r);
        for (int i = 0; i < 3; ++i) {
            const qreal y = r.top() + r.height() * (0.35 + 0.15 * i);
            const qreal inset = r.width() * (0.25 + 0.08 * i);
            painter.drawLine(QPointF(r.left() + inset, y), QPointF(r.right() - inset, y));
        }
    } else {
        // A catalog symbol: a soft rounded tile with the glyph's first letter.
        painter.setPen(Qt::NoPen);
        painter.setBrush(faded(color, 0.14));
        painter.drawRoundedRect(r, r.width() * 0.24, r.width() * 0.24);
        QFont font = painter.font();
        font.setPixelSize(std::max(6, int(r.height() * 0.46)));
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(color);
        painter.drawText(r, Qt::AlignCenter, name.isEmpty() ? QString("\u2022") : name.left(1).toUpper());
    }
    painter.restore();
}

void paintSweep(QPainter& painter, const QRectF& rect, Look look, qreal phase) {
    if (look == Look::classic) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(rect, 12, 12);
    painter.setClipPath(clip);
    const qreal band = rect.width() * 0.35;
    const qreal x = rect.left() - band + (rect.width() + band) * phase;
    QLinearGradient light(QPointF(x, 0), QPointF(x + band, 0));
    const QColor shine = look == Look::nightfall ? QColor(120, 200, 255, 46)
                                                 : QColor(255, 255, 255, 150);
    light.setColorAt(0, Qt::transparent);
    light.setColorAt(0.5, shine);
    light.setColorAt(1, Qt::transparent);
    painter.fillRect(rect, light);
    painter.restore();
}

void paintCleaningBar(QPainter& painter, const QRectF& rect, Look look, qreal phase) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor track = look == Look::nightfall ? QColor(255, 255, 255, 30) : QColor(0, 0, 0, 20);
    const QColor fill = look == Look::nightfall ? Night::mint : Hib::deepGreen;
    const qreal radius = rect.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(track);
    painter.drawRoundedRect(rect, radius, radius);
    const qreal width = rect.width() * 0.3;
    const QRectF moving(rect.left() + (rect.width() - width) * phase, rect.top(), width,
                        rect.height());
    QLinearGradient shine(moving.topLeft(), moving.topRight());
    shine.setColorAt(0, Qt::transparent);
    shine.setColorAt(0.5, fill);
    shine.setColorAt(1, Qt::transparent);
    painter.setBrush(shine);
    painter.drawRoundedRect(moving, radius, radius);
    painter.restore();
}

void paintPill(QPainter& painter, const QRectF& rect, Look look, bool prominent, bool enabled,
               bool down, const QString& label, const QFont& font) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect.adjusted(1, 1, -1, -1);
    const qreal radius = r.height() / 2;
    QColor fore;
    if (prominent) {
        QLinearGradient fill(r.topLeft(), r.topRight());
        if (look == Look::nightfall) {
            fill.setColorAt(0, Night::mint);
            fill.setColorAt(1, Night::green);
            fore = Night::ink;
        } else {
            fill.setColorAt(0, Hib::deepGreen);
            fill.setColorAt(1, Hib::deepGreen.lighter(115));
            fore = Qt::white;
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(r, radius, radius);
    } else {
        painter.setPen(QPen(look == Look::nightfall ? QColor(255, 255, 255, 40)
                                                    : QColor(36, 48, 68, 40),
                            1));
        painter.setBrush(look == Look::nightfall ? QColor(255, 255, 255, 20)
                                                 : QColor(255, 255, 255, 230));
        painter.drawRoundedRect(r, radius, radius);
        fore = text(look);
    }
    if (down) painter.fillRect(QRectF(), Qt::transparent);
    painter.setOpacity(enabled ? (down ? 0.7 : 1.0) : 0.4);
    painter.setPen(fore);
    QFont f = font;
    f.setWeight(QFont::DemiBold);
    painter.setFont(f);
    painter.drawText(r, Qt::AlignCenter, label);
    painter.restore();
}

bool animationsEnabled() {
    return animations;
}

void setAnimationsEnabled(bool enabled) {
    animations = enabled;
}

} // namespace bramwick::ListLook

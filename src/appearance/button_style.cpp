#include "appearance/button_style.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionButton>

#include "appearance/paint_kit.h"
#include "appearance/typography.h"
#include "appearance/window_dressing.h"

namespace bramwick {

ButtonAppearance prominentLook(Skin skin, bool large, bool pressed, bool enabled) {
    ButtonAppearance a;
    a.font = textFont(large ? TextStyle::callout : TextStyle::caption, QFont::DemiBold);
    const bool night = skin == Skin::nightfall;
    a.text = night ? Nightfall::ink : QColor(Qt::white);
    a.horizontalInset = large ? 16 : 13;
    a.verticalInset = large ? 9 : 7;
    a.horizontalFill = night;
    a.fillStart = night ? Nightfall::mint : QColor::fromRgbF(0.247f, 0.627f, 0.333f);
    a.fillEnd = night ? Nightfall::green : Hibernia::deepGreen;
    a.border = withOpacity(Qt::white, 0.35);
    a.glow = withOpacity(night ? Nightfall::green : Hibernia::deepGreen, pressed ? 0.2 : 0.45);
    a.glowRadius = pressed ? 4 : 12;
    a.scale = pressed ? 0.97 : 1;
    a.opacity = enabled ? 1 : 0.4;
    return a;
}

ButtonAppearance pillLook(Skin skin, bool pressed, bool enabled) {
    ButtonAppearance a;
    a.font = textFont(TextStyle::caption, QFont::DemiBold);
    const bool night = skin == Skin::nightfall;
    a.text = night ? withOpacity(Qt::white, 0.9) : Hibernia::ink;
    a.horizontalInset = 13;
    a.verticalInset = 7;
    const double fill = night ? (pressed ? 0.16 : 0.08) : (pressed ? 1.0 : 0.75);
    a.fillStart = a.fillEnd = withOpacity(Qt::white, fill);
    a.border = night ? withOpacity(Qt::white, 0.14) : withOpacity(Hibernia::navy, 0.14);
    a.glow = Qt::transparent;
    a.opacity = enabled ? 1 : 0.4;
    return a;
}

qreal glowMargin(ButtonLook look) {
    return look == ButtonLook::prominent ? 12 : 1;
}

QPainterPath buttonHitArea(const QRectF& rect, ButtonLook look) {
    const qreal margin = glowMargin(look);
    return PaintKit::capsule(rect.adjusted(margin, margin, -margin, -margin));
}

QColor accentFill(const QPalette& palette) {
    return readableOn(palette.color(QPalette::Active, QPalette::Highlight), Qt::white);
}

void makeProminent(QAbstractButton* button) {
    QPalette palette = button->palette();
    const QColor fill = accentFill(palette);
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Button, fill);
        palette.setColor(group, QPalette::ButtonText, Qt::white);
    }
    button->setPalette(palette);
    button->setProperty("tint", "accent");
}

QColor tintFill(bool dangerous) {
    return dangerous ? QColor::fromRgbF(0.78f, 0.2f, 0.18f) : QColor::fromRgbF(0.13f, 0.5f, 0.25f);
}

namespace {

ButtonAppearance lookFor(ButtonLook look, Skin skin, bool large, bool pressed, bool enabled) {
    return look == ButtonLook::prominent ? prominentLook(skin, large, pressed, enabled)
                                         : pillLook(skin, pressed, enabled);
}

QString plainText(QString text) {
    // A mnemonic marker is not drawn; a doubled one stands for itself.
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

} // namespace

QSize buttonSize(ButtonLook look, bool large, const QString& text, bool hasIcon) {
    const ButtonAppearance a = lookFor(look, Skin::nightfall, large, false, true);
    const QFontMetricsF metrics(a.font);
    qreal width = metrics.horizontalAdvance(plainText(text));
    if (hasIcon) width += metrics.height() + (text.isEmpty() ? 0 : 5);
    const qreal margin = glowMargin(look);
    return QSizeF(width + 2 * a.horizontalInset + 2 * margin,
                  metrics.height() + 2 * a.verticalInset + 2 * margin)
        .toSize()
        .grownBy(QMargins(0, 0, 1, 1));
}

void paintButton(QPainter& painter, const QRectF& rect, ButtonLook look, Skin skin, bool large,
                 bool pressed, bool enabled, const QString& text, const QIcon& icon) {
    const ButtonAppearance a = lookFor(look, skin, large, pressed, enabled);
    const qreal margin = glowMargin(look);
    const QRectF frame = rect.adjusted(margin, margin, -margin, -margin);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(painter.opacity() * a.opacity);
    if (a.scale != 1) {
        painter.translate(frame.center());
        painter.scale(a.scale, a.scale);
        painter.translate(-frame.center());
    }
    const QPainterPath shape = PaintKit::capsule(frame);
    if (a.glow.alpha() > 0) PaintKit::drawShadow(painter, shape, a.glow, a.glowRadius);
    if (a.fillStart == a.fillEnd) {
        painter.fillPath(shape, a.fillStart);
    } else {
        QLinearGradient fill = a.horizontalFill
                                   ? QLinearGradient(frame.left(), 0, frame.right(), 0)
                                   : QLinearGradient(0, frame.top(), 0, frame.bottom());
        fill.setColorAt(0, a.fillStart);
        fill.setColorAt(1, a.fillEnd);
        painter.fillPath(shape, fill);
    }
    painter.setPen(QPen(a.border, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(PaintKit::capsule(frame.adjusted(0.5, 0.5, -0.5, -0.5)));

    const QString label = plainText(text);
    const QFontMetricsF metrics(a.font);
    const qreal iconSide = icon.isNull() ? 0 : metrics.height();
    const qreal gap = icon.isNull() || label.isEmpty() ? 0 : 5;
    const qreal contentWidth = iconSide + gap + metrics.horizontalAdvance(label);
    qreal x = frame.center().x() - contentWidth / 2;
    if (!icon.isNull()) {
        const QRectF iconRect(x, frame.center().y() - iconSide / 2, iconSide, iconSide);
        const QPixmap pixmap =
            icon.pixmap(iconRect.size().toSize(),
                        painter.device() ? painter.device()->devicePixelRatioF() : 1.0);
        painter.drawPixmap(iconRect.topLeft(), pixmap);
        x += iconSide + gap;
    }
    painter.setFont(a.font);
    painter.setPen(a.text);
    painter.drawText(QRectF(x, frame.top(), frame.right() - x, frame.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, label);
    painter.restore();
}

void setButtonLook(QAbstractButton* button, ButtonLook look, bool large) {
    button->setProperty("bramwickButton", look == ButtonLook::prominent ? "prominent" : "pill");
    button->setProperty("bramwickLarge", large);
    button->setProperty("bramwickDirect", true);
    button->updateGeometry();
    button->update();
}

namespace {

// The look a widget is drawn with, when it has one in its window's skin.
std::optional<ButtonLook> skinnedLook(const QWidget* widget) {
    if (!widget) return std::nullopt;
    const QVariant mark = widget->property("bramwickButton");
    if (!mark.isValid()) return std::nullopt;
    if (!widget->property("bramwickDirect").toBool() && skinOf(widget) == Skin::classic)
        return std::nullopt;
    return mark.toString() == QLatin1String("prominent") ? ButtonLook::prominent : ButtonLook::pill;
}

} // namespace

SkinStyle::SkinStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

void SkinStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                            const QWidget* widget) const {
    if (element == CE_PushButton) {
        if (auto look = skinnedLook(widget)) {
            const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
            if (button) {
                const bool pressed = button->state & (State_Sunken | State_On);
                const bool enabled = button->state & State_Enabled;
                paintButton(*painter, button->rect, *look, skinOf(widget),
                            widget->property("bramwickLarge").toBool(), pressed, enabled,
                            button->text, button->icon);
                return;
            }
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void SkinStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                              QPainter* painter, const QWidget* widget) const {
    const QVariant tint = widget ? widget->property("tint") : QVariant();
    if (element == PE_PanelButtonCommand && tint.isValid() && (option->state & State_Enabled)) {
        // Fusion lightens and greys the button colour into a gradient, which leaves white text
        // unreadable on a green or red; the tint is drawn solid in Fusion's shape instead.
        const bool pressed = option->state & (State_Sunken | State_On);
        const bool focus =
            (option->state & State_HasFocus) && (option->state & State_KeyboardFocusChange);
        const QString name = tint.toString();
        QColor fill = name == QLatin1String("accent") ? accentFill(option->palette)
                                                      : tintFill(name == QLatin1String("red"));
        if (pressed) fill = fill.darker(115);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRectF shape = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
        painter->setPen(
            QPen(focus ? option->palette.color(QPalette::Highlight) : fill.darker(130), 1));
        painter->setBrush(fill);
        painter->drawRoundedRect(shape, 3, 3);
        painter->restore();
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

QSize SkinStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                  const QWidget* widget) const {
    if (type == CT_PushButton) {
        if (auto look = skinnedLook(widget)) {
            if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option))
                return buttonSize(*look, widget->property("bramwickLarge").toBool(), button->text,
                                  !button->icon.isNull());
        }
    }
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

void SkinStyle::polish(QWidget* widget) {
    QProxyStyle::polish(widget);
    if (qobject_cast<QAbstractButton*>(widget)) widget->installEventFilter(this);
}

void SkinStyle::unpolish(QWidget* widget) {
    if (qobject_cast<QAbstractButton*>(widget)) widget->removeEventFilter(this);
    QProxyStyle::unpolish(widget);
}

bool SkinStyle::eventFilter(QObject* watched, QEvent* event) {
    // A press in the glow around the capsule, or beside its round ends, is no press of the
    // button.
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (auto look = skinnedLook(button)) {
            const auto* press = static_cast<QMouseEvent*>(event);
            if (!buttonHitArea(QRectF(button->rect()), *look).contains(press->position()))
                return true;
        }
    }
    const bool lookChanged =
        event->type() == QEvent::DynamicPropertyChange &&
        static_cast<QDynamicPropertyChangeEvent*>(event)->propertyName().startsWith("bramwick");
    const bool skinChanged =
        event->type() == skinChangeEvent() && watched->property("bramwickButton").isValid();
    if (lookChanged || skinChanged) {
        QEvent styleChange(QEvent::StyleChange);
        QCoreApplication::sendEvent(watched, &styleChange);
    }
    return QProxyStyle::eventFilter(watched, event);
}

void installSkinStyle() {
    if (qobject_cast<SkinStyle*>(QApplication::style())) return;
    QApplication::setStyle(new SkinStyle);
}

} // namespace bramwick

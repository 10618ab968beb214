#include "mainwindow/tone_label.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QStyle>

#include "appearance/icons.h"
#include "appearance/motion.h"
#include "appearance/progress.h"
#include "appearance/window_dressing.h"

namespace bramwick {

namespace Tones {

QColor primary(Skin skin, const QPalette& palette) {
    return Skins::palette(skin, palette).text;
}

QColor secondary(Skin skin, const QPalette& palette) {
    return Skins::palette(skin, palette).secondaryText;
}

QColor safeAccent(Skin skin, const QPalette& palette) {
    return Skins::palette(skin, palette).safe;
}

} // namespace Tones

void showWhen(QWidget* widget, bool shown) {
    if (!shown)
        widget->hide();
    else if (widget->parentWidget())
        widget->show();
    else
        widget->setAttribute(Qt::WA_WState_ExplicitShowHide, false);
}

ToneLabel::ToneLabel(const QString& objectName, TextStyle style,
                     std::optional<QFont::Weight> weight, ToneOf tone, QWidget* parent)
    : QLabel(parent), tone_(std::move(tone)) {
    setObjectName(objectName);
    setTextFormat(Qt::PlainText);
    setFont(textFont(style, weight));
}

void ToneLabel::setTone(ToneOf tone) {
    tone_ = std::move(tone);
    recolour();
}

void ToneLabel::recolour() {
    const QPalette base = window()->palette();
    const QColor colour = tone_(skinOf(this), base);
    QPalette p = palette();
    if (p.color(QPalette::WindowText) == colour) return;
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Text, colour);
    setPalette(p);
}

bool ToneLabel::event(QEvent* event) {
    if (event->type() == skinChangeEvent() || event->type() == QEvent::Show) recolour();
    return QLabel::event(event);
}

namespace {

// A symbol as tall as a line of the text, a small gap before the text.
qreal symbolSide(const QFont& font) {
    return QFontMetricsF(font).height();
}
constexpr qreal symbolGap = 4;

} // namespace

void ToneLabel::setSymbol(std::string symbol) {
    if (symbol == symbol_) return;
    symbol_ = std::move(symbol);
    // The text moves right by the symbol's room, which counts in the label's size.
    setIndent(symbol_.empty() ? -1 : int(std::ceil(symbolSide(font()) + symbolGap)));
    update();
}

void ToneLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (symbol_.empty()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = symbolSide(font());
    const QRectF area = contentsRect();
    Icons::paintSymbol(painter, QRectF(area.left(), area.center().y() - side / 2, side, side),
                       symbol_, palette().color(QPalette::WindowText), side * 0.9);
}

NumberLabel::NumberLabel(const QString& objectName, TextStyle style,
                         std::optional<QFont::Weight> weight, ToneOf tone,
                         NumberTransitions::Kind kind, int milliseconds,
                         NumberMotion::Format format, QWidget* parent)
    : ToneLabel(objectName, style, weight, std::move(tone), parent), format_(format),
      transition_(new NumberTransition(kind, milliseconds, std::move(format), this)) {
    connect(transition_, &NumberTransition::started, this, [this] {
        int widest = 0;
        for (const QString& text : transition_->motion().texts())
            widest = std::max(widest, fontMetrics().horizontalAdvance(text));
        const QMargins m = contentsMargins();
        setMinimumWidth(widest + m.left() + m.right() + 2 * margin());
    });
    connect(transition_, &NumberTransition::settled, this, [this] { setMinimumWidth(0); });
}

void NumberLabel::setValue(double value) {
    const QString target = format_(value);
    // A change too small to show in the text has nothing to move.
    if (transition_->motion().hasValue() && !transition_->running() && target == text())
        transition_->settle(value);
    else
        transition_->setValue(value);
    if (text() != target) setText(target);
}

namespace {

// A painter and the rectangle and alignment QLabel draws its plain text with.
struct LabelText {
    explicit LabelText(QLabel* label)
        : painter(label),
          area(QRectF(label->contentsRect())
                   .adjusted(label->margin(), label->margin(), -label->margin(), -label->margin())),
          alignment(QStyle::visualAlignment(label->layoutDirection(), label->alignment())) {
        painter.setFont(label->font());
        painter.setPen(label->palette().color(label->foregroundRole()));
    }
    QPainter painter;
    QRectF area;
    int alignment;
};

} // namespace

void NumberLabel::paintEvent(QPaintEvent* event) {
    if (!transition_->motion().moving()) return QLabel::paintEvent(event);
    LabelText draw(this);
    NumberTransitions::paintRolling(draw.painter, draw.area, draw.alignment,
                                    transition_->motion().frame());
}

FadingLabel::FadingLabel(const QString& objectName, TextStyle style,
                         std::optional<QFont::Weight> weight, ToneOf tone, int milliseconds,
                         QWidget* parent)
    : ToneLabel(objectName, style, weight, std::move(tone), parent) {
    Motion::prepareTransition(fade_, milliseconds);
    connect(&fade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        progress_ = value.toDouble();
        update();
    });
    connect(&fade_, &QAbstractAnimation::finished, this, [this] {
        progress_ = 1;
        update();
    });
}

void FadingLabel::fadeTo(const QString& text) {
    if (text == this->text()) return;
    fade_.stop();
    if (!Motion::transitionsAllowed() || !isVisible()) {
        from_ = text;
        progress_ = 1;
        setText(text);
        return;
    }
    // A fade cut short goes on from whichever text showed more.
    if (progress_ >= 0.5) from_ = this->text();
    progress_ = 0;
    setText(text);
    fade_.start();
}

void FadingLabel::paintEvent(QPaintEvent* event) {
    if (progress_ >= 1) return QLabel::paintEvent(event);
    LabelText draw(this);
    draw.painter.setOpacity(1 - progress_);
    draw.painter.drawText(draw.area, draw.alignment, from_);
    draw.painter.setOpacity(progress_);
    draw.painter.drawText(draw.area, draw.alignment, text());
}

} // namespace bramwick

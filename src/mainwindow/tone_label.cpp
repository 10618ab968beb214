#include "mainwindow/tone_label.h"

#include "appearance/progress.h"
#include "appearance/window_dressing.h"

namespace bramwick {

namespace Tones {

QColor primary(Skin skin, const QPalette& palette) {
    return primaryColor(skin, palette);
}

QColor secondary(Skin skin, const QPalette& palette) {
    return secondaryText(skin, palette);
}

QColor safeAccent(Skin skin, const QPalette& palette) {
    switch (skin) {
    case Skin::nightfall:
        return Nightfall::mint;
    case Skin::hibernia:
        return Hibernia::deepGreen;
    case Skin::classic:
        break;
    }
    return systemColor(SystemColor::green, isDark(palette));
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

} // namespace bramwick

#include "appearance/spinner.h"

#include <QPainter>

#include "appearance/motion.h"
#include "appearance/window_dressing.h"

namespace bramwick {

Spinner::Spinner(QWidget* parent) : QWidget(parent) {
    setFixedSize(16, 16);
    timer_.setInterval(60);
    connect(&timer_, &QTimer::timeout, this, [this] {
        angle_ = (angle_ + 30) % 360;
        update();
    });
    connect(&SkinSettings::instance(), &SkinSettings::animateScansChanged, this, [this] {
        if (isVisible()) follow();
    });
}

void Spinner::follow() {
    if (Motion::loopsAllowed())
        timer_.start();
    else
        timer_.stop();
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor color = palette().color(QPalette::WindowText);
    color.setAlphaF(0.7);
    painter.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(QRectF(rect()).adjusted(2, 2, -2, -2), -angle_ * 16, 270 * 16);
}

void Spinner::showEvent(QShowEvent*) {
    follow();
}

void Spinner::hideEvent(QHideEvent*) {
    timer_.stop();
}

} // namespace bramwick

#include "mainwindow/list_look.h"

#include <QApplication>
#include <QPalette>

#include "appearance/icons.h"
#include "appearance/motion.h"

namespace bramwick::ListLook {

namespace {

bool desktopDark() {
    return isDark(QApplication::palette());
}

} // namespace

QColor levelColor(Look look, Level level) {
    return bramwick::levelColor(look, level, desktopDark());
}

QColor levelDot(Look look, Level level) {
    return bramwick::levelDot(look, level, desktopDark());
}

QColor dropHighlight(Level level) {
    switch (level) {
    case Level::safe:
        return withOpacity(systemColor(SystemColor::green, false), 0.18);
    case Level::warning:
        return withOpacity(systemColor(SystemColor::yellow, false), 0.18);
    case Level::redFlag:
        return withOpacity(systemColor(SystemColor::red, false), 0.18);
    case Level::protected_:
        break;
    }
    return Qt::transparent;
}

QColor accent(Look look) {
    switch (look) {
    case Look::classic:
        return QApplication::palette().color(QPalette::Highlight);
    case Look::nightfall:
        return Nightfall::blue;
    case Look::hibernia:
        return Hibernia::navy;
    }
    return Nightfall::blue;
}

QColor text(Look look) {
    switch (look) {
    case Look::classic:
        return QApplication::palette().color(QPalette::WindowText);
    case Look::nightfall:
        return Qt::white;
    case Look::hibernia:
        return Hibernia::ink;
    }
    return Qt::white;
}

QColor secondaryText(Look look) {
    switch (look) {
    case Look::classic:
        return withOpacity(QApplication::palette().color(QPalette::WindowText), 0.55);
    case Look::nightfall:
        return withOpacity(Qt::white, 0.6);
    case Look::hibernia:
        return Hibernia::grey;
    }
    return Qt::gray;
}

void paintSymbol(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color,
                 qreal pixelSize) {
    Icons::paintSymbol(painter, rect, name.toStdString(), color, pixelSize);
}

bool loopsAllowed() {
    return Motion::loopsAllowed();
}

} // namespace bramwick::ListLook

#include "appearance/motion.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include <QPointF>
#include <QVariantAnimation>

#include "base/edition.h"
#include "engine/settings_keys.h"
#include "platform/settings.h"

namespace bramwick::Motion {

namespace {

std::atomic<bool> switchOn{true};

// Reads the toolkit's animation switch; what cannot be read means animations are welcome.
bool desktopAsksForReducedMotion() {
    if (const char* env = std::getenv("GTK_ENABLE_ANIMATIONS"))
        return std::string(env) == "0" || std::string(env) == "false";
    std::ifstream in(Edition::configHome() + "/gtk-3.0/settings.ini");
    std::string line;
    while (std::getline(in, line)) {
        std::string compact;
        for (char c : line)
            if (c != ' ' && c != '\t') compact += c;
        if (compact.rfind("gtk-enable-animations=", 0) == 0) {
            std::string value = compact.substr(22);
            return value == "0" || value == "false" || value == "FALSE";
        }
    }
    return false;
}

std::atomic<int>& reducedState() {
    // -1: not read yet; 0 or 1 after.
    static std::atomic<int> state{-1};
    return state;
}

} // namespace

void setEnabled(bool enabled) {
    switchOn = enabled;
}
bool enabled() {
    return switchOn;
}

void setReducedMotion(bool reduced) {
    reducedState() = reduced ? 1 : 0;
}

bool reducedMotion() {
    int state = reducedState();
    if (state < 0) {
        state = desktopAsksForReducedMotion() ? 1 : 0;
        reducedState() = state;
    }
    return state == 1;
}

bool animateScans() {
    return Settings::standard().boolean(SettingsKeys::animateScans).value_or(true);
}

bool loopsAllowed() {
    return enabled() && animateScans() && !reducedMotion();
}
bool transitionsAllowed() {
    return enabled();
}

QEasingCurve linear() {
    return QEasingCurve(QEasingCurve::Linear);
}

namespace {
QEasingCurve bezier(double x1, double y1, double x2, double y2) {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(x1, y1), QPointF(x2, y2), QPointF(1, 1));
    return curve;
}
} // namespace

QEasingCurve easeOut() {
    return bezier(0, 0, 0.58, 1);
}
QEasingCurve easeInOut() {
    return bezier(0.42, 0, 0.58, 1);
}

void prepareTransition(QVariantAnimation& animation, int milliseconds) {
    animation.setStartValue(0.0);
    animation.setEndValue(1.0);
    animation.setDuration(milliseconds);
    animation.setEasingCurve(easeOut());
}

double autoreversed(double t, const QEasingCurve& curve) {
    if (!(t >= 0)) t = 0;
    if (t > 1) t = 1;
    double half = t < 0.5 ? t * 2 : 2 - t * 2;
    return curve.valueForProgress(half);
}

} // namespace bramwick::Motion

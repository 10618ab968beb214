// When things may move, and how they ease.
//
// One process-wide switch governs every animation of the skins. Tests and the screenshot program
// turn it off (`Motion::setEnabled(false)`): then nothing moves at all and every view shows its
// settled state. Apart from it, looping motion (the ring's spin, the sweep, the cleaning bar's
// shine) runs only while the stored setting "animateScans" is on (default true) and the desktop
// does not ask for reduced motion; one-shot transitions (a ring easing to a new fraction, a number
// rolling or counting to a new value, the scanning card coming in) still run then. Views read
// these each time they start an animation.
#pragma once

#include <QEasingCurve>
#include <QObject>

class QVariantAnimation;

namespace bramwick::Motion {

// The process-wide switch; on by default.
void setEnabled(bool enabled);
bool enabled();

// Whether the desktop asks for reduced motion. Read once from the desktop's toolkit settings
// (GTK's "gtk-enable-animations" in <config>/gtk-3.0/settings.ini, or GTK_ENABLE_ANIMATIONS=0);
// the shell may set it when it learns otherwise.
void setReducedMotion(bool reduced);
bool reducedMotion();

// "animateScans" from the settings (default true), read at each call.
bool animateScans();

// Looping motion allowed: the switch on, "animateScans" on, no reduced motion.
bool loopsAllowed();
// One-shot transitions allowed: only the switch decides.
bool transitionsAllowed();

// The curves the views use. Ease-in-out and ease-out are the standard cubic Bézier timings
// (0.42, 0, 0.58, 1) and (0, 0, 0.58, 1).
QEasingCurve linear();
QEasingCurve easeOut();
QEasingCurve easeInOut();

// Makes `animation` a one-shot transition: 0 → 1 over `milliseconds`, eased out.
void prepareTransition(QVariantAnimation& animation, int milliseconds);

// A looping animation's eased value for a triangle wave that goes 0 → 1 → 0 over one period:
// `t` is the position in the period (0..1), each half eased by `curve`.
double autoreversed(double t, const QEasingCurve& curve);

} // namespace bramwick::Motion

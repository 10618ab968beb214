// A number on screen that moves to each new value instead of jumping: either its changed digits
// roll (the old ones slide up and fade out while the new ones rise from below and fade in; the
// text itself switches straight to the new value, whichever way the number went), or it counts
// up through the values in between, written with the number's own formatter at every step. Both
// ease out over a fixed time.
//
// A new value that comes while a move runs starts from what is shown at that moment: a count
// from the value it reached, a roll from the text that dominates (the old one before half-way,
// the new one after). A count never runs down: a smaller value is shown at once.
//
// `NumberMotion` is the plain state (tested without a window); `NumberTransition` drives it with
// an animation and repaints only its view. Nothing moves while transitions are off
// (motion.h), before the first value or while the view is not on screen: the value is then
// shown at once and no timer runs.
#pragma once

#include <functional>
#include <vector>

#include <QObject>
#include <QRectF>
#include <QString>
#include <QVariantAnimation>

class QPainter;
class QWidget;

namespace bramwick {

namespace NumberTransitions {

enum class Kind { roll, countUp };

// What a rolling text shows at one moment: `from` rolling out, `to` rolling in, `progress` the
// eased part done (0 → only `from`, 1 → only `to`).
struct RollFrame {
    QString from;
    QString to;
    double progress = 1;
    static RollFrame settled(const QString& text) { return {text, text, 1}; }
};

// One glyph of a roll: character `index` of the new text (`incoming`) or of the old one.
// `lift` is how far it has moved up, in whole roll heights: 0 at rest, 1 gone above, −1 still
// below. Glyphs at the same place in two texts of equal length that do not change stay at rest;
// when the lengths differ every glyph rolls. Glyphs that cannot be seen are left out.
struct RollingGlyph {
    int index = 0;
    bool incoming = true;
    double lift = 0;
    double opacity = 1;
    bool operator==(const RollingGlyph&) const = default;
};
std::vector<RollingGlyph> rollGlyphs(const QString& from, const QString& to, double progress);

// Draws a roll in `rect` with the painter's font and pen, each text placed as
// `QPainter::drawText(rect, alignment, text)` would place it, so a settled frame looks exactly
// like the plain text.
void paintRolling(QPainter& painter, const QRectF& rect, int alignment, const RollFrame& frame);

} // namespace NumberTransitions

class NumberMotion {
  public:
    using Format = std::function<QString(double value)>;

    NumberMotion(NumberTransitions::Kind kind, Format format);

    // Aims at `value`, starting from what is shown now. Returns whether there is anything to
    // move; otherwise the value is already shown (the first value, the same value, a count that
    // would go down).
    bool moveTo(double value);
    // Shows `value` at once.
    void settle(double value);
    // The eased part of the move done, 0 to 1.
    void setProgress(double progress);

    bool hasValue() const { return hasValue_; }
    bool moving() const { return progress_ < 1; }
    double value() const { return to_; }
    QString text() const { return toText_; }
    // Where the move stands: the value between the two ends, and the text a reader sees now.
    double shownValue() const;
    QString shownText() const;
    NumberTransitions::RollFrame frame() const;
    // Every text the move can show, for the room it needs.
    std::vector<QString> texts() const;

  private:
    NumberTransitions::Kind kind_;
    Format format_;
    bool hasValue_ = false;
    double from_ = 0;
    double to_ = 0;
    QString fromText_;
    QString toText_;
    double progress_ = 1;
};

class NumberTransition : public QObject {
    Q_OBJECT

  public:
    // `view` is repainted on every frame; it owns the transition.
    NumberTransition(NumberTransitions::Kind kind, int milliseconds, NumberMotion::Format format,
                     QWidget* view);

    void setValue(double value);
    // Shows `value` at once, ending a move that runs.
    void settle(double value);
    const NumberMotion& motion() const { return motion_; }
    bool running() const { return animation_.state() == QAbstractAnimation::Running; }
    // Tests step it with `setCurrentTime`.
    QVariantAnimation& animation() { return animation_; }

  signals:
    // A move begins, or the shown value settles (at the end of a move or at once).
    void started();
    void settled();

  private:
    QWidget* view_;
    NumberMotion motion_;
    QVariantAnimation animation_;
};

} // namespace bramwick

// Text of the window's top blocks that takes its colour from the window's skin: the primary or
// secondary text colour, or a colour of the skin's own (mint in nightfall, deep green in
// hibernia). It recolours itself whenever the window is dressed in another skin.
#pragma once

#include <functional>
#include <string>

#include <QLabel>
#include <QVariantAnimation>

#include "appearance/number_transition.h"
#include "appearance/skin.h"
#include "appearance/typography.h"

namespace bramwick {

using ToneOf = std::function<QColor(Skin skin, const QPalette& palette)>;

namespace Tones {
QColor primary(Skin skin, const QPalette& palette);
QColor secondary(Skin skin, const QPalette& palette);
// Mint in nightfall, deep green in hibernia, the desktop's green in classic.
QColor safeAccent(Skin skin, const QPalette& palette);
} // namespace Tones

// Shows or hides a block that follows the store; a block not yet placed in a window is never
// shown as a window of its own.
void showWhen(QWidget* widget, bool shown);

class ToneLabel : public QLabel {
    Q_OBJECT

  public:
    ToneLabel(const QString& objectName, TextStyle style,
              std::optional<QFont::Weight> weight = std::nullopt, ToneOf tone = Tones::primary,
              QWidget* parent = nullptr);
    void setTone(ToneOf tone);
    void recolour();
    // A symbol before the text, in the text's colour (a label with an icon); empty for none.
    // Drawn by this class's painting: the moving labels below take none.
    void setSymbol(std::string symbol);
    const std::string& symbol() const { return symbol_; }

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    ToneOf tone_;
    std::string symbol_;
};

// A toned label showing a number that moves to each new value (number_transition.h). `text()`
// is always the settled text of the latest value; only the painting moves, and while it moves
// the label keeps room for every text the move can show.
class NumberLabel : public ToneLabel {
    Q_OBJECT

  public:
    NumberLabel(const QString& objectName, TextStyle style, std::optional<QFont::Weight> weight,
                ToneOf tone, NumberTransitions::Kind kind, int milliseconds,
                NumberMotion::Format format, QWidget* parent = nullptr);
    void setValue(double value);
    QString shownText() const { return transition_->motion().shownText(); }
    NumberTransition& transition() { return *transition_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    NumberMotion::Format format_;
    NumberTransition* transition_;
};

// A toned label whose new text cross-fades over the old one, eased out over a fixed time, or
// simply replaces it while transitions are off or the label is not on screen.
class FadingLabel : public ToneLabel {
    Q_OBJECT

  public:
    FadingLabel(const QString& objectName, TextStyle style, std::optional<QFont::Weight> weight,
                ToneOf tone, int milliseconds, QWidget* parent = nullptr);
    void fadeTo(const QString& text);
    // The text fading out and how far the fade is (1: only `text()` shows).
    const QString& fadingFrom() const { return from_; }
    double progress() const { return progress_; }
    QVariantAnimation& transition() { return fade_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString from_;
    double progress_ = 1;
    QVariantAnimation fade_;
};

} // namespace bramwick

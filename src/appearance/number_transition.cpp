#include "appearance/number_transition.h"

#include <algorithm>
#include <cmath>

#include <QFontMetricsF>
#include <QPainter>
#include <QWidget>

#include "appearance/motion.h"

namespace bramwick {

namespace NumberTransitions {

namespace {

double clampProgress(double progress) {
    if (!std::isfinite(progress)) return 1;
    return std::clamp(progress, 0.0, 1.0);
}

} // namespace

std::vector<RollingGlyph> rollGlyphs(const QString& from, const QString& to, double progress) {
    const double p = clampProgress(progress);
    const bool aligned = from.size() == to.size();
    auto still = [&](int i) { return aligned && from[i] == to[i]; };
    std::vector<RollingGlyph> glyphs;
    if (p < 1)
        for (int i = 0; i < int(from.size()); ++i)
            if (!still(i)) glyphs.push_back({i, false, p, 1 - p});
    for (int i = 0; i < int(to.size()); ++i) {
        if (still(i))
            glyphs.push_back({i, true, 0, 1});
        else if (p > 0)
            glyphs.push_back({i, true, p - 1, p});
    }
    return glyphs;
}

void paintRolling(QPainter& painter, const QRectF& rect, int alignment, const RollFrame& frame) {
    const auto glyphs = rollGlyphs(frame.from, frame.to, frame.progress);
    const bool plain = std::all_of(glyphs.begin(), glyphs.end(), [](const RollingGlyph& g) {
        return g.incoming && g.lift == 0 && g.opacity == 1;
    });
    if (plain) {
        painter.drawText(rect, alignment, frame.to);
        return;
    }
    // Each glyph rolls through the text's line box, a whole line height, and is cut at its
    // edges like a digit of a counter wheel.
    const QFontMetricsF metrics(painter.font());
    const qreal travel = metrics.height();
    const qreal lineTop = alignment & Qt::AlignTop      ? rect.top()
                          : alignment & Qt::AlignBottom ? rect.bottom() - travel
                                                        : rect.center().y() - travel / 2;
    auto origin = [&](const QString& text) {
        const qreal width = metrics.horizontalAdvance(text);
        if (alignment & Qt::AlignRight) return rect.right() - width;
        if (alignment & Qt::AlignHCenter) return rect.center().x() - width / 2;
        return rect.left();
    };
    // Each run of neighbouring glyphs that move together is the whole text drawn once, clipped
    // to the run's columns: the glyphs keep exactly the places the plain text gives them.
    for (std::size_t first = 0; first < glyphs.size();) {
        const RollingGlyph& g = glyphs[first];
        std::size_t last = first;
        while (last + 1 < glyphs.size()) {
            const RollingGlyph& next = glyphs[last + 1];
            if (next.incoming != g.incoming || next.lift != g.lift || next.opacity != g.opacity ||
                next.index != glyphs[last].index + 1)
                break;
            ++last;
        }
        const QString& text = g.incoming ? frame.to : frame.from;
        const qreal x = origin(text);
        const int end = glyphs[last].index + 1;
        // The text's outer edges are left open for glyphs that overhang their advance.
        const qreal left = g.index == 0 ? rect.left() - rect.width()
                                        : x + metrics.horizontalAdvance(text.left(g.index));
        const qreal right = end >= int(text.size()) ? rect.right() + rect.width()
                                                    : x + metrics.horizontalAdvance(text.left(end));
        painter.save();
        painter.setClipRect(QRectF(left, lineTop, right - left, travel), Qt::IntersectClip);
        painter.setOpacity(painter.opacity() * g.opacity);
        painter.translate(0, -g.lift * travel);
        painter.drawText(rect, alignment, text);
        painter.restore();
        first = last + 1;
    }
}

} // namespace NumberTransitions

NumberMotion::NumberMotion(NumberTransitions::Kind kind, Format format)
    : kind_(kind), format_(std::move(format)) {}

bool NumberMotion::moveTo(double value) {
    if (!hasValue_) {
        settle(value);
        return false;
    }
    if (value == to_) return false;
    const double shown = shownValue();
    if (kind_ == NumberTransitions::Kind::countUp && !(value > shown)) {
        settle(value);
        return false;
    }
    fromText_ = shownText();
    from_ = shown;
    to_ = value;
    toText_ = format_(value);
    progress_ = 0;
    return true;
}

void NumberMotion::settle(double value) {
    hasValue_ = true;
    from_ = to_ = value;
    fromText_ = toText_ = format_(value);
    progress_ = 1;
}

void NumberMotion::setProgress(double progress) {
    progress_ = NumberTransitions::clampProgress(progress);
}

double NumberMotion::shownValue() const {
    if (progress_ >= 1) return to_;
    return from_ + (to_ - from_) * progress_;
}

QString NumberMotion::shownText() const {
    if (progress_ >= 1) return toText_;
    if (kind_ == NumberTransitions::Kind::roll) return progress_ < 0.5 ? fromText_ : toText_;
    return format_(shownValue());
}

NumberTransitions::RollFrame NumberMotion::frame() const {
    if (kind_ == NumberTransitions::Kind::roll) return {fromText_, toText_, progress_};
    return NumberTransitions::RollFrame::settled(shownText());
}

std::vector<QString> NumberMotion::texts() const {
    if (kind_ == NumberTransitions::Kind::roll || !moving()) return {fromText_, toText_};
    std::vector<QString> texts;
    constexpr int steps = 16;
    for (int i = 0; i <= steps; ++i)
        texts.push_back(format_(from_ + (to_ - from_) * i / steps));
    return texts;
}

NumberTransition::NumberTransition(NumberTransitions::Kind kind, int milliseconds,
                                   NumberMotion::Format format, QWidget* view)
    : QObject(view), view_(view), motion_(kind, std::move(format)) {
    Motion::prepareTransition(animation_, milliseconds);
    connect(&animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        motion_.setProgress(value.toDouble());
        view_->update();
    });
    connect(&animation_, &QAbstractAnimation::finished, this, [this] {
        motion_.setProgress(1);
        view_->update();
        emit settled();
    });
}

void NumberTransition::setValue(double value) {
    if (motion_.hasValue() && value == motion_.value()) return;
    if (!Motion::transitionsAllowed() || !view_->isVisible()) return settle(value);
    animation_.stop();
    const bool moves = motion_.moveTo(value);
    view_->update();
    if (!moves) {
        emit settled();
        return;
    }
    emit started();
    animation_.start();
}

void NumberTransition::settle(double value) {
    const bool changed = !motion_.hasValue() || motion_.moving() || value != motion_.value();
    animation_.stop();
    motion_.settle(value);
    if (!changed) return;
    view_->update();
    emit settled();
}

} // namespace bramwick

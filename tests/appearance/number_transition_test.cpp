// Numbers that roll or count to a new value: the glyphs of a roll, the texts a move shows on its
// way, a new value that comes mid-way, and the animation that drives it on a widget.
#include <cmath>

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

#include "appearance/motion.h"
#include "appearance/number_transition.h"
#include "appearance_support.h"
#include "base/text.h"

using namespace bramwick;
using NumberTransitions::Kind;
using NumberTransitions::RollingGlyph;

namespace {

QString bytes(double value) {
    return QString::fromStdString(Text::byteCount(std::llround(value)));
}

QString percent(double value) {
    return QString::number(std::llround(value)) + "%";
}

// Turns the process-wide switch for one test and back.
struct MotionSwitch {
    explicit MotionSwitch(bool on) : was(Motion::enabled()) { Motion::setEnabled(on); }
    ~MotionSwitch() { Motion::setEnabled(was); }
    bool was;
};

} // namespace

TEST(RollGlyphs, OnlyChangedDigitsMoveUpAndUnequalLengthsRollWhole) {
    struct Case {
        const char* from;
        const char* to;
        double progress;
        std::vector<RollingGlyph> glyphs;
    };
    const std::vector<Case> cases = {
        // Only the second glyph changes: it leaves upwards while its successor rises from below.
        {"25", "27", 0, {{1, false, 0, 1}, {0, true, 0, 1}}},
        {"25", "27", 0.25, {{1, false, 0.25, 0.75}, {0, true, 0, 1}, {1, true, -0.75, 0.25}}},
        {"25", "27", 1, {{0, true, 0, 1}, {1, true, 0, 1}}},
        // A smaller number rolls the same way up: it never counts down.
        {"9%", "8%", 0.5, {{0, false, 0.5, 0.5}, {0, true, -0.5, 0.5}, {1, true, 0, 1}}},
        {"9%",
         "10%",
         0.5,
         {{0, false, 0.5, 0.5},
          {1, false, 0.5, 0.5},
          {0, true, -0.5, 0.5},
          {1, true, -0.5, 0.5},
          {2, true, -0.5, 0.5}}},
        {"7%", "7%", 0.5, {{0, true, 0, 1}, {1, true, 0, 1}}},
        {"", "1%", 0.5, {{0, true, -0.5, 0.5}, {1, true, -0.5, 0.5}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NumberTransitions::rollGlyphs(c.from, c.to, c.progress), c.glyphs)
            << c.from << " → " << c.to << " at " << c.progress;
    EXPECT_EQ(NumberTransitions::rollGlyphs("1", "2", std::nan("")),
              NumberTransitions::rollGlyphs("1", "2", 1))
        << "a progress that is not a number counts as done";
}

TEST(NumberMotion, CountsUpThroughFormattedValuesOrRollsStraightToTheNewText) {
    struct Case {
        Kind kind;
        double from;
        double to;
        std::vector<std::pair<double, const char*>> shown; // eased progress, text
    };
    const std::vector<Case> cases = {
        {Kind::countUp, 1e9, 2e9, {{0, "1 GB"}, {0.5, "1.5 GB"}, {0.9, "1.9 GB"}, {1, "2 GB"}}},
        {Kind::countUp, 0, 13, {{0, "0%"}, {0.5, "7%"}, {1, "13%"}}},
        {Kind::roll, 1e9, 2e9, {{0, "1 GB"}, {0.49, "1 GB"}, {0.5, "2 GB"}, {1, "2 GB"}}},
        {Kind::roll, 2e9, 1e9, {{0, "2 GB"}, {0.5, "1 GB"}, {1, "1 GB"}}},
    };
    for (const Case& c : cases) {
        const bool bytesShown = c.from >= 1e9;
        NumberMotion motion(c.kind, bytesShown ? bytes : percent);
        EXPECT_FALSE(motion.moveTo(c.from)) << "the first value shows at once";
        EXPECT_TRUE(motion.moveTo(c.to));
        for (const auto& [progress, text] : c.shown) {
            motion.setProgress(progress);
            EXPECT_EQ(motion.shownText(), text) << c.from << " → " << c.to << " at " << progress;
        }
        EXPECT_EQ(motion.text(), motion.shownText());
        EXPECT_FALSE(motion.moving());
    }

    NumberMotion down(Kind::countUp, percent);
    down.settle(50);
    EXPECT_FALSE(down.moveTo(40)) << "a count never runs down";
    EXPECT_EQ(down.shownText(), "40%");
    EXPECT_FALSE(down.moveTo(40)) << "the same value again moves nothing";

    NumberMotion ring(Kind::roll, percent);
    ring.settle(0.2);
    ASSERT_TRUE(ring.moveTo(0.6));
    ring.setProgress(0.5);
    EXPECT_DOUBLE_EQ(ring.shownValue(), 0.4) << "a roll still eases the value it is keyed to";
    EXPECT_EQ(ring.frame().from, "0%");
    EXPECT_EQ(ring.frame().to, "1%");
}

TEST(NumberMotion, ANewValueMidWayStartsFromWhatIsShown) {
    NumberMotion count(Kind::countUp, percent);
    count.settle(0);
    count.moveTo(100);
    count.setProgress(0.5);
    ASSERT_TRUE(count.moveTo(80));
    EXPECT_EQ(count.shownText(), "50%") << "no jump back to 0 nor ahead to 80";
    count.setProgress(0.5);
    EXPECT_EQ(count.shownText(), "65%");

    count.moveTo(30); // below the 65 shown: at once
    EXPECT_FALSE(count.moving());
    EXPECT_EQ(count.shownText(), "30%");

    // A roll goes on from whichever text dominated: the old one before half-way, the new one
    // after; the value it is keyed to goes on from where it stood.
    for (const auto& [progress, from] : {std::pair{0.3, "1%"}, std::pair{0.7, "2%"}}) {
        NumberMotion roll(Kind::roll, percent);
        roll.settle(1);
        roll.moveTo(2);
        roll.setProgress(progress);
        ASSERT_TRUE(roll.moveTo(3));
        EXPECT_EQ(roll.frame().from, from) << progress;
        EXPECT_EQ(roll.frame().to, "3%");
        EXPECT_EQ(roll.frame().progress, 0);
        EXPECT_NEAR(roll.shownValue(), 1 + progress, 1e-12);
    }
}

TEST(NumberTransition, EasesOutOverItsTimeAndWithMotionOffShowsTheValueAtOnce) {
    needApplication();
    QWidget view;
    view.resize(100, 30);
    view.show();
    {
        MotionSwitch on(true);
        NumberTransition number(Kind::countUp, 500, bytes, &view);
        number.setValue(1e9);
        EXPECT_FALSE(number.running()) << "the first value is not animated";
        number.setValue(3e9);
        ASSERT_TRUE(number.running());
        EXPECT_EQ(number.motion().shownText(), "1 GB");
        number.animation().setCurrentTime(250);
        const double half = Motion::easeOut().valueForProgress(0.5);
        EXPECT_NEAR(number.motion().shownValue(), 1e9 + 2e9 * half, 1);
        EXPECT_NE(number.motion().shownText(), "1 GB");
        EXPECT_NE(number.motion().shownText(), "3 GB");
        number.animation().setCurrentTime(500);
        EXPECT_FALSE(number.running());
        EXPECT_EQ(number.motion().shownText(), "3 GB");

        view.hide();
        number.setValue(4e9);
        EXPECT_FALSE(number.running()) << "nothing moves off screen";
        EXPECT_EQ(number.motion().shownText(), "4 GB");
        view.show();
    }
    MotionSwitch off(false);
    NumberTransition number(Kind::roll, 1200, bytes, &view);
    number.setValue(1e9);
    number.setValue(2e9);
    EXPECT_FALSE(number.running());
    EXPECT_EQ(number.motion().shownText(), "2 GB");
}

TEST(NumberTransition, ARollDrawsTheSettledTextExactlyAsPlainTextDoes) {
    needApplication();
    auto draw = [](auto paint) {
        QImage image(120, 40, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setPen(Qt::black);
        paint(painter, QRectF(0, 0, 120, 40));
        return image;
    };
    for (int alignment : {int(Qt::AlignLeft | Qt::AlignVCenter), int(Qt::AlignCenter),
                          int(Qt::AlignRight | Qt::AlignVCenter)}) {
        const QImage plain =
            draw([&](QPainter& p, QRectF r) { p.drawText(r, alignment, "12.5 GB"); });
        const QImage settled = draw([&](QPainter& p, QRectF r) {
            NumberTransitions::paintRolling(p, r, alignment, {"12.4 GB", "12.5 GB", 1});
        });
        EXPECT_EQ(plain, settled) << alignment;
        // Half-way, the glyphs that stay are where the plain text has them; the moving one is
        // not.
        const QImage halfway = draw([&](QPainter& p, QRectF r) {
            NumberTransitions::paintRolling(p, r, alignment, {"12.4 GB", "12.5 GB", 0.5});
        });
        EXPECT_NE(plain, halfway) << alignment;
    }
}

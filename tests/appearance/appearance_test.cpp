// The skins' pure parts (skin names, palettes, level colours, ring arithmetic, easing, button
// looks, the symbol map) and how windows follow the stored skin.
#include <algorithm>
#include <cmath>
#include <limits>

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QRawFont>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include "appearance/button_style.h"
#include "appearance/icons.h"
#include "appearance/motion.h"
#include "appearance/progress.h"
#include "appearance/spinner.h"
#include "appearance/tiles.h"
#include "appearance/window_dressing.h"
#include "appearance_support.h"
#include "engine/catalog.h"
#include "platform/settings.h"
#include "system/maintenance.h"

using namespace bramwick;

void bramwick::needApplication() {
    if (QApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "appearance_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives as long as the process
    installSkinStyle();
}

namespace {

bool sameColor(const QColor& a, double r, double g, double b) {
    return std::abs(a.redF() - r) < 0.002 && std::abs(a.greenF() - g) < 0.002 &&
           std::abs(a.blueF() - b) < 0.002 && a.alphaF() == 1.0f;
}

} // namespace

TEST(SkinNames, OnlyExactRawValuesNameASkinAndTheStoredStringFallsBackToNightfall) {
    EXPECT_EQ(Skins::fromRawValue("classic"), Skin::classic);
    EXPECT_EQ(Skins::fromRawValue("nightfall"), Skin::nightfall);
    EXPECT_EQ(Skins::fromRawValue("hibernia"), Skin::hibernia);
    for (const char* odd : {"", "Nightfall", "dark", "hibernia "}) {
        EXPECT_EQ(Skins::fromRawValue(odd), std::nullopt) << odd;
        EXPECT_EQ(Skins::fromStored(std::string(odd)), Skin::nightfall) << odd;
    }
    EXPECT_EQ(Skins::fromStored(std::nullopt), Skin::nightfall);
    EXPECT_EQ(Skins::fromStored(std::string("classic")), Skin::classic);
    EXPECT_EQ(Skins::allCases.front(), Skin::classic);
    for (Skin skin : Skins::allCases)
        EXPECT_EQ(Skins::fromRawValue(Skins::rawValue(skin).toStdString()), skin);
}

TEST(Palettes, HoldTheirSrgbValues) {
    struct Case {
        const QColor& color;
        double r, g, b;
    };
    const Case cases[] = {
        {Nightfall::ink, 0.02, 0.027, 0.063},       {Nightfall::deep, 0.043, 0.071, 0.188},
        {Nightfall::cyan, 0.169, 0.835, 1.0},       {Nightfall::blue, 0.31, 0.549, 1.0},
        {Nightfall::violet, 0.545, 0.361, 0.965},   {Nightfall::mint, 0.169, 0.941, 0.784},
        {Nightfall::green, 0.239, 0.863, 0.518},    {Nightfall::amber, 0.961, 0.698, 0.239},
        {Nightfall::red, 1.0, 0.361, 0.431},        {Nightfall::grey, 0.604, 0.639, 0.71},
        {Hibernia::page, 0.961, 0.969, 0.98},       {Hibernia::ink, 0.169, 0.204, 0.271},
        {Hibernia::navy, 0.141, 0.188, 0.267},      {Hibernia::green, 0.455, 0.8, 0.518},
        {Hibernia::deepGreen, 0.184, 0.549, 0.271}, {Hibernia::amber, 0.851, 0.584, 0.122},
        {Hibernia::red, 0.761, 0.267, 0.29},        {Hibernia::grey, 0.42, 0.447, 0.502},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(sameColor(c.color, c.r, c.g, c.b)) << c.color.name().toStdString();
    const QLinearGradient clean = Nightfall::clean(QRectF(0, 0, 100, 20));
    ASSERT_EQ(clean.stops().size(), 2);
    EXPECT_EQ(clean.stops()[0].second, Nightfall::mint);
    EXPECT_EQ(clean.finalStop().x(), 100); // leading to trailing
}

TEST(LevelColors, FollowTheSkinAndOnlyHiberniasSafeDotIsLighter) {
    const QPalette light(Qt::white), dark(Qt::black);
    auto levelColor = [&](Skin skin, Level level, bool darkScheme = false) {
        return Skins::palette(skin, darkScheme ? dark : light).level(level);
    };
    auto levelDot = [&](Skin skin, Level level) {
        return Skins::palette(skin, light).levelDot(level);
    };
    EXPECT_EQ(levelColor(Skin::nightfall, Level::safe), Nightfall::green);
    EXPECT_EQ(levelColor(Skin::nightfall, Level::warning), Nightfall::amber);
    EXPECT_EQ(levelColor(Skin::nightfall, Level::redFlag), Nightfall::red);
    EXPECT_EQ(levelColor(Skin::nightfall, Level::protected_), Nightfall::grey);
    EXPECT_EQ(levelColor(Skin::hibernia, Level::safe), Hibernia::deepGreen);
    EXPECT_EQ(levelColor(Skin::hibernia, Level::protected_), Hibernia::grey);
    EXPECT_EQ(levelDot(Skin::hibernia, Level::safe), Hibernia::green);
    for (Skin skin : Skins::allCases) {
        for (Level level : Levels::allCases) {
            if (!(skin == Skin::hibernia && level == Level::safe)) {
                EXPECT_EQ(levelDot(skin, level), levelColor(skin, level));
            }
        }
    }
    // Classic follows the desktop's scheme; the palettes do not.
    EXPECT_NE(levelColor(Skin::classic, Level::safe, true),
              levelColor(Skin::classic, Level::safe, false));
    EXPECT_EQ(levelColor(Skin::nightfall, Level::safe, true),
              levelColor(Skin::nightfall, Level::safe, false));
}

TEST(ScanRingArithmetic, LightsTicksStrictlyBelowTheFractionAndClampsWhatComesIn) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double fraction;
        int lit;
        double span;
    };
    const Case cases[] = {
        {0, 0, 0.02},
        {nan, 0, 0.02},
        {-3, 0, 0.02},
        {0.01, 1, 0.02},
        {1.0 / 36, 1, 1.0 / 36},
        {0.5, 18, 0.5},
        {35.0 / 36 + 1e-9, 36, 35.0 / 36 + 1e-9},
        {1, 36, 1},
        {7.5, 36, 1},
        {std::numeric_limits<double>::infinity(), 36, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Ring::litTicks(c.fraction), c.lit) << c.fraction;
        EXPECT_DOUBLE_EQ(Ring::arcSpan(c.fraction), c.span) << c.fraction;
    }
    EXPECT_TRUE(Ring::tickLit(0, 1.0 / 36));
    EXPECT_FALSE(Ring::tickLit(1, 1.0 / 36));
    EXPECT_EQ(Ring::tickAngle(0), 0);
    EXPECT_EQ(Ring::tickAngle(9), 90); // 3 o'clock: the numbering runs clockwise

    needApplication();
    ScanRing ring(100);
    ring.setFraction(nan);
    EXPECT_EQ(ring.fraction(), 0);
    ring.setFraction(4);
    EXPECT_EQ(ring.fraction(), 1);
    EXPECT_EQ(ring.shownFraction(), 1); // not shown yet: no easing
    ring.setFraction(-1);
    EXPECT_EQ(ring.shownFraction(), 0);
}

TEST(ScanRingArithmetic, AngularGradientsRunClockwiseFromTwelve) {
    const QGradientStops stops = Ring::arcStops(Skin::nightfall);
    ASSERT_EQ(stops.size(), 4);
    const QConicalGradient g = Ring::clockwiseGradient({50, 50}, 0, stops);
    EXPECT_EQ(g.angle(), 90); // Qt's 90 is 12 o'clock
    // A third of the way round clockwise is two thirds of Qt's counter-clockwise way.
    bool found = false;
    for (const auto& [position, color] : g.stops())
        if (std::abs(position - 2.0 / 3) < 1e-9) {
            EXPECT_EQ(color, Nightfall::blue);
            found = true;
        }
    EXPECT_TRUE(found);
    // Classic takes the hibernia greens.
    EXPECT_EQ(Ring::arcStops(Skin::classic), Ring::arcStops(Skin::hibernia));
    EXPECT_EQ(Ring::arcStops(Skin::classic)[1].second, Hibernia::deepGreen);
}

TEST(Motion, TheSwitchStopsEverythingAndTheSettingOrReducedMotionStopOnlyLoops) {
    Motion::setReducedMotion(false);
    Motion::setEnabled(true);
    ASSERT_FALSE(Settings::standard().set("animateScans", true));
    EXPECT_TRUE(Motion::loopsAllowed());
    ASSERT_FALSE(Settings::standard().set("animateScans", false));
    EXPECT_FALSE(Motion::loopsAllowed());
    EXPECT_TRUE(Motion::transitionsAllowed()); // the ring still eases
    ASSERT_FALSE(Settings::standard().remove("animateScans"));
    EXPECT_TRUE(Motion::loopsAllowed()); // default on
    Motion::setReducedMotion(true);
    EXPECT_FALSE(Motion::loopsAllowed());
    Motion::setReducedMotion(false);
    Motion::setEnabled(false);
    EXPECT_FALSE(Motion::loopsAllowed());
    EXPECT_FALSE(Motion::transitionsAllowed());
}

TEST(Motion, EasingCurvesAreTheStandardTimings) {
    const QEasingCurve inOut = Motion::easeInOut();
    const QEasingCurve out = Motion::easeOut();
    EXPECT_NEAR(inOut.valueForProgress(0.5), 0.5, 1e-3);
    EXPECT_LT(inOut.valueForProgress(0.2), 0.2);
    EXPECT_GT(inOut.valueForProgress(0.8), 0.8);
    EXPECT_GT(out.valueForProgress(0.3), 0.4); // fast start, slow end
    EXPECT_NEAR(out.valueForProgress(1), 1, 1e-9);
    EXPECT_NEAR(Motion::linear().valueForProgress(0.37), 0.37, 1e-9);
    // The glow's swell: up over the first half, back down over the second.
    EXPECT_NEAR(Motion::autoreversed(0, inOut), 0, 1e-9);
    EXPECT_NEAR(Motion::autoreversed(0.5, inOut), 1, 1e-9);
    EXPECT_NEAR(Motion::autoreversed(0.25, inOut), Motion::autoreversed(0.75, inOut), 1e-9);
    EXPECT_NEAR(Motion::autoreversed(1, inOut), 0, 1e-9);
}

TEST(Motion, WithoutLoopsTheRingRestsBrightAndTheSweepIsParked) {
    needApplication();
    Motion::setEnabled(true);
    ASSERT_FALSE(Settings::standard().set("animateScans", false));
    QWidget window;
    auto* ring = new ScanRing(80, &window);
    auto* sweep = new SkinSweep(&window);
    window.show();
    EXPECT_FALSE(ring->looping());
    EXPECT_EQ(ring->motion().glowOpacity, 0.6);
    EXPECT_EQ(ring->motion().glowRadius, 16);
    EXPECT_FALSE(sweepBand(200, 40, sweep->progress()).intersects(QRectF(0, 0, 200, 40)));
    ASSERT_FALSE(Settings::standard().set("animateScans", true));
    EXPECT_TRUE(ring->looping()); // follows the setting while shown
    ASSERT_FALSE(Settings::standard().remove("animateScans"));
    Motion::setEnabled(false);
}

TEST(Motion, TheSpinnerSweepAndCleaningBarFollowTheSettingWhileShown) {
    needApplication();
    Motion::setEnabled(true);
    ASSERT_FALSE(Settings::standard().set("animateScans", false));
    QWidget window;
    auto* spinner = new Spinner(&window);
    auto* sweep = new SkinSweep(&window);
    auto* bar = new SkinCleaningBar(&window);
    window.show();
    EXPECT_FALSE(spinner->turning());
    EXPECT_FALSE(sweep->looping());
    EXPECT_FALSE(bar->looping());
    ASSERT_FALSE(Settings::standard().set("animateScans", true));
    EXPECT_TRUE(spinner->turning());
    EXPECT_TRUE(sweep->looping());
    EXPECT_TRUE(bar->looping());
    ASSERT_FALSE(Settings::standard().set("animateScans", false));
    EXPECT_FALSE(spinner->turning());
    EXPECT_FALSE(sweep->looping());
    EXPECT_FALSE(bar->looping());
    EXPECT_FALSE(sweepBand(200, 40, sweep->progress()).intersects(QRectF(0, 0, 200, 40)))
        << "parked again";
    // Hidden, nothing turns whatever the setting says.
    window.hide();
    ASSERT_FALSE(Settings::standard().set("animateScans", true));
    EXPECT_FALSE(spinner->turning());
    EXPECT_FALSE(sweep->looping());
    EXPECT_FALSE(bar->looping());
    ASSERT_FALSE(Settings::standard().remove("animateScans"));
    Motion::setEnabled(false);
}

TEST(ButtonLooks, PressingAndDisablingChangeOnlyWhatTheyShould) {
    needApplication();
    const ButtonAppearance rest = prominentLook(Skin::nightfall, true, false, true);
    const ButtonAppearance down = prominentLook(Skin::nightfall, true, true, true);
    EXPECT_EQ(rest.text, Nightfall::ink);
    EXPECT_TRUE(rest.horizontalFill);
    EXPECT_EQ(rest.fillStart, Nightfall::mint);
    EXPECT_EQ(rest.horizontalInset, 16);
    EXPECT_EQ(rest.verticalInset, 9);
    EXPECT_EQ(rest.glowRadius, 12);
    EXPECT_NEAR(rest.glow.alphaF(), 0.45, 0.01);
    EXPECT_EQ(down.glowRadius, 4);
    EXPECT_NEAR(down.glow.alphaF(), 0.2, 0.01);
    EXPECT_EQ(down.scale, 0.97);
    const ButtonAppearance light = prominentLook(Skin::hibernia, false, false, false);
    EXPECT_EQ(light.text, QColor(Qt::white));
    EXPECT_FALSE(light.horizontalFill);
    EXPECT_EQ(light.fillEnd, Hibernia::deepGreen);
    EXPECT_EQ(light.horizontalInset, 13);
    EXPECT_EQ(light.opacity, 0.4);
    // Any skin but nightfall takes the light look, classic included.
    EXPECT_EQ(prominentLook(Skin::classic, false, false, false).fillEnd, light.fillEnd);

    struct PillCase {
        Skin skin;
        bool pressed;
        double fill;
    };
    for (const auto& c :
         {PillCase{Skin::nightfall, true, 0.16}, PillCase{Skin::nightfall, false, 0.08},
          PillCase{Skin::hibernia, true, 1.0}, PillCase{Skin::hibernia, false, 0.75}}) {
        const ButtonAppearance pill = pillLook(c.skin, c.pressed, true);
        EXPECT_NEAR(pill.fillStart.alphaF(), c.fill, 0.01);
        EXPECT_EQ(pill.scale, 1);
        EXPECT_EQ(pill.glow.alpha(), 0);
    }
    EXPECT_EQ(pillLook(Skin::hibernia, false, true).text, Hibernia::ink);
    EXPECT_EQ(pillLook(Skin::nightfall, false, false).opacity, 0.4);
}

namespace {

// The contrast ratio of two opaque colours as accessibility guidelines define it.
double contrast(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        auto linear = [](double v) {
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double x = luminance(a), y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

} // namespace

TEST(TintedButtons, AreGreenOrRedSolidEnoughForTheirWhiteLabel) {
    for (bool dangerous : {false, true}) {
        const QColor fill = tintFill(dangerous);
        EXPECT_GE(contrast(fill, Qt::white), 4.5) << dangerous;
        EXPECT_GE(fill.hsvSaturationF(), 0.6) << dangerous;
        const int hue = fill.hsvHue();
        if (dangerous)
            EXPECT_TRUE(hue < 15 || hue > 345) << hue;
        else
            EXPECT_TRUE(hue > 100 && hue < 160) << hue;
    }
}

TEST(Symbols, EveryNameTheCatalogAndTheWindowsUseIsMappedAndInTheFont) {
    needApplication();
    QFile file(QStringLiteral(":/bramwick/icons/MaterialIcons-Regular.ttf"));
    Icons::family(); // loads the embedded resource
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QRawFont font(file.readAll(), 24);
    ASSERT_TRUE(font.isValid());
    std::vector<std::string> names;
    for (const auto& category : Catalog::all())
        names.push_back(category.symbol);
    for (const auto& task : Maintenance::all())
        names.push_back(task.symbol);
    names.push_back("folder"); // custom folders
    for (auto name : Icons::windowSymbols())
        names.emplace_back(name);
    for (const auto& name : names) {
        const auto glyph = Icons::glyph(name);
        ASSERT_TRUE(glyph) << name << " has no glyph";
        EXPECT_TRUE(font.supportsCharacter(static_cast<uint>(*glyph)))
            << name << " → " << Icons::fontName(name) << " is not in the font";
    }
    EXPECT_TRUE(font.supportsCharacter(static_cast<uint>(Icons::neutralGlyph())));
    EXPECT_EQ(Icons::glyph("no.such.symbol"), std::nullopt);
    EXPECT_TRUE(Icons::notice().contains(QStringLiteral("Apache")));
}

TEST(SymbolBadge, ClassicIgnoresTheSizeAndTheOthersAreExactlySquare) {
    EXPECT_EQ(iconFrame(Skin::classic, 60), QSizeF(34, 22));
    EXPECT_EQ(iconFrame(Skin::nightfall, 36), QSizeF(36, 36));
    EXPECT_EQ(iconFrame(Skin::hibernia, 36), QSizeF(36, 36));
    EXPECT_EQ(iconTint(Skin::nightfall, std::nullopt), Nightfall::cyan);
    EXPECT_EQ(iconTint(Skin::hibernia, std::nullopt), Hibernia::deepGreen);
    EXPECT_EQ(iconTint(Skin::hibernia, QColor(Qt::red)), QColor(Qt::red));
}

TEST(Tiles, KeepRoomForTheirShadowAndGlowBlueUnlessTold) {
    needApplication();
    EXPECT_EQ(tileGlow(std::nullopt), Nightfall::blue);
    EXPECT_EQ(tileGlow(Nightfall::mint), Nightfall::mint);
    EXPECT_TRUE(tileMargins(Skin::classic).isNull());
    const QMarginsF m = tileMargins(Skin::nightfall);
    EXPECT_GT(m.bottom(), m.top()); // the shadow falls 8 points down
    QWidget window;
    dressWindow(&window, Skin::classic);
    auto* tile = new SkinTile(16, std::nullopt, &window);
    tile->resize(400, 200);
    EXPECT_EQ(tile->shape(), QRectF(0, 0, 400, 200));
    EXPECT_EQ(tile->contentsMargins(), QMargins());
    dressWindow(&window, Skin::nightfall);
    EXPECT_EQ(tile->shape(), QRectF(0, 0, 400, 200) - m);
    EXPECT_EQ(tile->contentsMargins().bottom(), qCeil(m.bottom()));
}

TEST(WindowDressing, WindowsFollowTheStoredSkinAndClassicGivesBackOnlyWhatItTook) {
    needApplication();
    ASSERT_FALSE(Settings::standard().remove("skin"));
    QWidget window;
    QWidget child(&window);
    QWidget loose;
    EXPECT_EQ(skinOf(&loose), Skin::nightfall); // no dressed window: the default
    SkinScene::attach(&window);
    EXPECT_EQ(skinOf(&child), Skin::nightfall);
    EXPECT_TRUE(isDark(window.palette()));

    ASSERT_FALSE(SkinSettings::instance().setStored(Skin::hibernia));
    EXPECT_EQ(skinOf(&child), Skin::hibernia);
    EXPECT_FALSE(isDark(window.palette()));
    EXPECT_EQ(window.palette().color(QPalette::Window), Hibernia::page);

    ASSERT_FALSE(SkinSettings::instance().setStored(Skin::classic));
    EXPECT_EQ(skinOf(&child), Skin::classic);
    EXPECT_EQ(window.palette().color(QPalette::Window),
              QApplication::palette().color(QPalette::Window));

    // A window that starts in classic with a palette of its own keeps it.
    QWidget own;
    QPalette mine = own.palette();
    mine.setColor(QPalette::Window, Qt::magenta);
    own.setPalette(mine);
    SkinScene::attach(&own);
    EXPECT_EQ(own.palette().color(QPalette::Window), QColor(Qt::magenta));

    ASSERT_FALSE(Settings::standard().set("skin", "dark"));
    EXPECT_EQ(skinOf(&child), Skin::nightfall); // unknown reads nightfall
    ASSERT_FALSE(Settings::standard().remove("skin"));
}

TEST(SkinnedButtons, ClassicLeavesTheButtonToTheBaseStyle) {
    needApplication();
    QWidget window;
    dressWindow(&window, Skin::classic);
    auto* plain = new QPushButton("Details", &window);
    auto* pill = new QPushButton("Details", &window);
    skinPill(pill, false, false);
    EXPECT_EQ(pill->sizeHint(), plain->sizeHint());
    auto* direct = new QPushButton("Details", &window);
    setButtonLook(direct, ButtonLook::pill);
    EXPECT_EQ(direct->sizeHint(), buttonSize(ButtonLook::pill, false, "Details", false));
    dressWindow(&window, Skin::nightfall);
    EXPECT_EQ(pill->sizeHint(), buttonSize(ButtonLook::pill, false, "Details", false));
    auto* prominent = new QPushButton("Clean", &window);
    skinPill(prominent, true, true);
    EXPECT_EQ(prominent->sizeHint(), buttonSize(ButtonLook::prominent, true, "Clean", false));
}

// Shots of the skins' building blocks.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "appearance/button_style.h"
#include "appearance/icons.h"
#include "appearance/progress.h"
#include "appearance/tiles.h"
#include "appearance/typography.h"
#include "appearance/window_dressing.h"
#include "shots.h"

using namespace bramwick;

namespace {

// A label; a secondary one is coloured once the window is dressed.
class Label : public QLabel {
  public:
    Label(const QString& text, bool secondary) : QLabel(text), secondary_(secondary) {}

  protected:
    bool event(QEvent* event) override {
        if (secondary_ && event->type() == skinChangeEvent()) {
            QPalette p = window()->palette();
            p.setColor(QPalette::WindowText, Skins::palette(skinOf(this), p).secondaryText);
            setPalette(p);
        }
        return QLabel::event(event);
    }

  private:
    bool secondary_;
};

QLabel* label(const QString& text, TextStyle style, std::optional<QFont::Weight> weight = {},
              double opacity = 1) {
    auto* l = new Label(text, opacity < 1);
    l->setFont(textFont(style, weight));
    return l;
}

QWidget* padded(QWidget* inner, int margin = 24) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->addWidget(inner);
    return box;
}

QWidget* tileShot(Skin skin, std::optional<QColor> glow) {
    auto* tile = new SkinTile(18, glow);
    auto* layout = new QVBoxLayout(tile);
    layout->setContentsMargins(20, 18, 20, 18);
    auto* head = new QHBoxLayout;
    head->addWidget(new SkinIcon("internaldrive", std::nullopt, 40));
    auto* text = new QVBoxLayout;
    text->addWidget(label("412.6 GB free", TextStyle::title2, QFont::Bold));
    text->addWidget(label("of 994.7 GB", TextStyle::callout, {}, 0.6));
    head->addLayout(text, 1);
    layout->addLayout(head);
    layout->addStretch();
    auto* foot = new QHBoxLayout;
    foot->addWidget(label("18.4 GB safe to clean", TextStyle::callout, QFont::DemiBold));
    foot->addStretch();
    auto* clean =
        new QPushButton(Icons::icon("sparkles", skin == Skin::nightfall  ? Nightfall::ink
                                                : skin == Skin::hibernia ? QColor(Qt::white)
                                                                         : QColor(Qt::black)),
                        "Clean All Safe");
    skinPill(clean, true, true);
    foot->addWidget(clean);
    layout->addLayout(foot);
    return padded(tile, 30);
}

} // namespace

// Classic's backdrop is the standard window background: the caption keeps its picture from
// being a single colour.
BRAMWICK_SHOT(backdrop, 640, 420) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->addStretch();
    layout->addWidget(label("backdrop", TextStyle::caption, {}, 0.6));
    return box;
}

BRAMWICK_SHOT(tile, 520, 300) {
    return tileShot(skin, std::nullopt);
}

BRAMWICK_SHOT(tile_glow, 520, 300) {
    return tileShot(skin, Nightfall::mint);
}

BRAMWICK_SHOT(rows, 560, 250) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 16, 0, 16);
    layout->setSpacing(0);
    struct Row {
        const char* symbol;
        const char* name;
        const char* summary;
        const char* size;
        Level level;
    };
    const Row rows[] = {
        {"archivebox", "Application caches", "Regenerates on its own", "3.2 GB", Level::safe},
        {"hammer", "Build products", "Costs a rebuild", "11.8 GB", Level::warning},
        {"photo.on.rectangle", "Repeated pictures", "Your data", "742 MB", Level::redFlag},
    };
    for (const auto& r : rows) {
        auto* row = new SkinRow;
        auto* line = new QHBoxLayout(row);
        line->setSpacing(12);
        line->addWidget(new SkinIcon(r.symbol, std::nullopt, 36));
        auto* text = new QVBoxLayout;
        text->setSpacing(2);
        text->addWidget(label(r.name, TextStyle::body, QFont::DemiBold));
        auto* sub = label(r.summary, TextStyle::caption, {}, 0.6);
        text->addWidget(sub);
        line->addLayout(text, 1);
        auto* size = label(r.size, TextStyle::callout, QFont::DemiBold);
        QPalette p = size->palette();
        p.setColor(QPalette::WindowText, Skins::palette(skin, QPalette(Qt::white)).level(r.level));
        size->setPalette(p);
        line->addWidget(size);
        auto* details = new QPushButton("Details");
        skinPill(details, false, false);
        line->addWidget(details);
        auto* clean = new QPushButton("Clean");
        skinPill(clean, true, false);
        line->addWidget(clean);
        layout->addWidget(row);
    }
    layout->addStretch();
    return box;
}

BRAMWICK_SHOT(buttons, 560, 260) {
    auto* box = new QWidget;
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(24, 24, 24, 24);
    grid->setHorizontalSpacing(14);
    const char* states[] = {"normal", "pressed", "disabled"};
    for (int column = 0; column < 3; ++column)
        grid->addWidget(label(states[column], TextStyle::caption, {}, 0.6), 0, column + 1,
                        Qt::AlignCenter);
    const char* kinds[] = {"prominent large", "prominent", "pill"};
    for (int row = 0; row < 3; ++row) {
        grid->addWidget(label(kinds[row], TextStyle::caption, {}, 0.6), row + 1, 0);
        for (int column = 0; column < 3; ++column) {
            auto* button = new QPushButton(row == 0   ? "Clean All Safe"
                                           : row == 1 ? "Clean"
                                                      : "Details");
            skinPill(button, row < 2, row == 0);
            if (column == 1) button->setDown(true);
            if (column == 2) button->setEnabled(false);
            grid->addWidget(button, row + 1, column + 1, Qt::AlignCenter);
        }
    }
    return box;
}

BRAMWICK_SHOT(icons, 560, 200) {
    auto* box = new QWidget;
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(20, 20, 20, 20);
    const char* names[] = {"internaldrive",      "archivebox", "hammer",        "sparkles",
                           "photo.on.rectangle", "trash",      "no.such.symbol"};
    const Skins::Palette colours = Skins::palette(skin, QPalette(Qt::white));
    int column = 0;
    for (const char* name : names) {
        grid->addWidget(new SkinIcon(name, std::nullopt, 40), 0, column, Qt::AlignCenter);
        const QColor tint = column % 3 == 0   ? colours.level(Level::warning)
                            : column % 3 == 1 ? colours.level(Level::redFlag)
                                              : Nightfall::violet;
        grid->addWidget(new SkinIcon(name, tint, 40), 1, column, Qt::AlignCenter);
        ++column;
    }
    return box;
}

namespace {

QWidget* ringShot(double fraction) {
    auto* ring = new ScanRing(180);
    ring->setFraction(fraction);
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(ring, 0, Qt::AlignCenter);
    return box;
}

// The sweep and the shine stand parked while nothing moves; these draw one frame mid-way.
class SweepFrame : public QWidget {
  public:
    explicit SweepFrame(qreal progress) : progress_(progress) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRectF row = QRectF(rect()).adjusted(20, 30, -20, -30);
        paintRowPlate(painter, row, skinOf(this));
        painter.setClipRect(row.adjusted(10, 2, -10, -2));
        paintSweep(painter, row, skinOf(this), progress_);
    }

  private:
    qreal progress_;
};

class ShineFrame : public QWidget {
  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const Skin skin = skinOf(this);
        const QColor primary = Skins::palette(skin, palette()).text;
        for (int i = 0; i < 3; ++i) {
            const QRectF bar(30, 30 + i * 30, width() - 60, cleaningBarHeight);
            paintCleaningBar(painter, bar, skin, 0.25 + i * 0.25, primary);
        }
    }
};

} // namespace

// One frame of a turning ring: ticks a little past their places, the dashed ring turned back,
// the glow half swollen.
class TurningRing : public QWidget {
  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const Skin skin = skinOf(this);
        paintScanRing(painter, QRectF(30, 30, 180, 180), skin, 0.6, RingMotion{5, -20, 0.45, 12},
                      Skins::palette(skin, palette()).text);
    }
};

BRAMWICK_SHOT(ring_turning, 240, 240) {
    return new TurningRing;
}

BRAMWICK_SHOT(ring_0, 240, 240) {
    return ringShot(0);
}
BRAMWICK_SHOT(ring_25, 240, 240) {
    return ringShot(0.25);
}
BRAMWICK_SHOT(ring_50, 240, 240) {
    return ringShot(0.5);
}
BRAMWICK_SHOT(ring_100, 240, 240) {
    return ringShot(1);
}

BRAMWICK_SHOT(sweep, 520, 120) {
    return new SweepFrame(0.55);
}

BRAMWICK_SHOT(cleaning_bar, 520, 130) {
    return new ShineFrame;
}

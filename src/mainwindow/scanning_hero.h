// The progress card shown while every category is measured (nightfall and hibernia only): the
// scan ring, the percentage of categories done, which one is measured now and what was found so
// far. It follows the store: the percentage counts up over 0.4 s and the bytes found over 0.5 s,
// and the progress line cross-fades, while transitions are allowed. Its row shows it exactly
// while a full scan runs in a skin other than classic.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <QGraphicsOpacityEffect>
#include <QVariantAnimation>

#include "appearance/progress.h"
#include "appearance/tiles.h"
#include "mainwindow/tone_label.h"
#include "store/store.h"

namespace bramwick {

namespace ScanningHeroValues {

struct Progress {
    std::int64_t total = 1;             // the categories listed; an empty list counts as 1
    std::int64_t done = 0;              // listed ones measured in this pass
    std::optional<std::string> current; // the first listed one being measured
    std::int64_t found = 0;             // bytes in the ones done
    double fraction = 0;
    std::int64_t percent = 0; // halves away from zero
};

Progress progress(const std::vector<CleanupCategory>& categories,
                  const std::set<std::string>& scannedThisPass,
                  const std::map<std::string, Store::CategoryState>& states);
std::string percentText(std::int64_t percent); // "13%"
std::string percentText(const Progress& progress);
std::string progressLine(const Progress& progress); // "Measuring npm · 3 of 45"
bool shown(bool scanningAll, Skin skin);

} // namespace ScanningHeroValues

class ScanningHero : public SkinTile {
    Q_OBJECT

  public:
    explicit ScanningHero(Store& store, QWidget* parent = nullptr);
    void refresh();
    ScanRing* ring() const { return ring_; }

  protected:
    bool event(QEvent* event) override;

  private:
    Store& store_;
    ScanRing* ring_;
    NumberLabel* percent_;
    FadingLabel* line_;
    NumberLabel* found_;
};

// The hero with the margins it keeps in the window's column. When a full scan starts it slides
// down from the top edge while fading in, pushing the list down, and when the scan ends it leaves
// the same way back (ease-in-out over 0.35 s). While transitions are off, or when the skin
// changes, it simply shows or hides.
class ScanningHeroRow : public QWidget {
    Q_OBJECT

  public:
    explicit ScanningHeroRow(Store& store, QWidget* parent = nullptr);
    ScanningHero* hero() const { return hero_; }
    // How far it has come in: 0 folded away, 1 fully in.
    double reveal() const { return reveal_; }
    QVariantAnimation& transition() { return slide_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void follow(bool animate);
    void setReveal(double reveal);
    void place();
    Store& store_;
    ScanningHero* hero_;
    bool shown_ = false;
    double reveal_ = 0;
    QVariantAnimation slide_;
    QGraphicsOpacityEffect* fade_ = nullptr;
};

} // namespace bramwick

// The progress card shown while every category is measured (nightfall and hibernia only): the
// scan ring, the percentage of categories done, which one is measured now and what was found so
// far. It follows the store and shows itself exactly while a full scan runs in a skin other
// than classic.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

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
std::string percentText(const Progress& progress);  // "13%"
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
    ToneLabel* percent_;
    ToneLabel* line_;
    ToneLabel* found_;
};

// The hero with the margins it keeps in the window's column, hiding with it.
QWidget* scanningHeroRow(Store& store, QWidget* parent = nullptr);

} // namespace bramwick

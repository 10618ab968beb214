// The band at the top of the main window: how much of the home volume is free, how much the
// safe categories would free, whether a full scan runs, the CPU and memory meters once the first
// vitals sample exists, and "Clean All Safe". Classic draws it as one plain row with a drive
// symbol and a bar; nightfall and hibernia as tiles with the disk ring. It follows the store and
// the window's skin; it starts nothing but the vitals sampling, which runs exactly while the
// header is on screen (one sample at once when it appears, then the store's 2 s timer).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

#include "mainwindow/disk_ring.h"
#include "mainwindow/tone_label.h"
#include "mainwindow/vital_meter.h"
#include "store/store.h"

namespace bramwick {

namespace DiskHeaderValues {
// Shown only when purgeable space adds more than 500 MB to the free space (never on a volume
// without purgeable space, as here).
std::optional<std::string> purgeableCaption(const std::optional<DiskFigures>& disk,
                                            std::int64_t safeTotal);
// "<total> can be cleaned safely right now".
std::string safeSentence(std::int64_t safeTotal);
// Off while a full scan runs (the safe total is then not asked) or nothing safe was found.
bool cleanAllSafeEnabled(bool scanningAll, const std::function<std::int64_t()>& safeTotal);
// The free-space figure turns red only when the disk is almost full.
bool freeSpaceAlarming(const DiskFigures& disk);
// The classic bar's colour: healthy green, orange, red.
QColor barTint(const DiskFigures& disk, bool darkScheme);
std::string freeText(std::int64_t available); // "<available> free"
std::string ofTotal(const DiskFigures& disk); // "of <total>"
} // namespace DiskHeaderValues

// A line that shows the first of its texts that fits its width, else the last.
class FittingLabel : public ToneLabel {
    Q_OBJECT

  public:
    using ToneLabel::ToneLabel;
    void setCandidates(std::vector<QString> candidates);
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void choose();
    std::vector<QString> candidates_;
};

class DiskHeader : public QWidget {
    Q_OBJECT

  public:
    struct Actions {
        std::function<void()> cleanAllSafe;
        std::function<void()> showRunning;
        std::function<void()> showMemory;
    };

    DiskHeader(Store& store, Actions actions, QWidget* parent = nullptr);

    // Reads the store again (the header also follows its signals).
    void refresh();
    // Hands the latest sample to the meters shown; what one vitals tick repaints.
    void refreshVitals();
    bool classicLayout() const { return classic_ != nullptr && !classic_->isHidden(); }
    QPushButton* cleanAllSafeButton() const;
    VitalMeter* cpuMeter() const;
    VitalMeter* memoryMeter() const;

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    struct Parts {
        QWidget* disk = nullptr; // the ring or bar and the texts; hidden without figures
        QWidget* waiting = nullptr;
        ToneLabel* free = nullptr;
        NumberLabel* rollingFree = nullptr; // the same label, where its digits roll
        ToneLabel* total = nullptr;
        QProgressBar* bar = nullptr;
        DiskRing* ring = nullptr;
        ToneLabel* scanning = nullptr;
        FittingLabel* caption = nullptr;
        ToneLabel* safe = nullptr;
        QWidget* meters = nullptr;
        QList<QWidget*> meterTiles;
        VitalMeter* cpu = nullptr;
        VitalMeter* memory = nullptr;
        QPushButton* clean = nullptr;
    };

    QWidget* buildClassic(Parts& parts);
    QWidget* buildSkinned(Parts& parts);
    void addMeters(Parts& parts, QWidget* owner);
    void chooseLayout();
    const Parts& shown() const;
    void fill(Parts& parts, bool skinned);

    Store& store_;
    Actions actions_;
    Parts classicParts_;
    Parts skinnedParts_;
    QWidget* classic_ = nullptr;
    QWidget* skinned_ = nullptr;
    QHBoxLayout* skinnedRow_ = nullptr;
};

} // namespace bramwick

// The main window's frame. The main window ("main") is single: it is made the first time it
// opens and shown again after that, never restored from an earlier run. Its content area is
// whatever `setContent` puts there (the running program puts the category list there at once);
// a frame given nothing shows the store's disk state and says plainly that no list is there. It
// is dressed in the stored skin, on its backdrop.
#pragma once

#include <functional>

#include <QLabel>
#include <QWidget>

#include "appearance/window_dressing.h"
#include "store/store.h"

namespace bramwick {

class MainWindowFrame : public SkinBackdrop {
    Q_OBJECT

  public:
    static constexpr int leastWidth = 1000;
    static constexpr int leastHeight = 620;

    struct Hooks {
        std::function<void()> appeared;
        std::function<void()> disappeared;
    };

    MainWindowFrame(Store& store, Hooks hooks, QWidget* parent = nullptr);

    // Replaces the content area (the frame owns it from then on).
    void setContent(QWidget* content);
    // Replaces the disk line above the content with the window's top (toolbar, header,
    // banners); the frame owns it from then on.
    void setTop(QWidget* top);
    QWidget* top() const { return top_; }
    QWidget* content() const { return content_; }
    // Shows the window, centred on the screen the first time, and brings it to the front.
    void present();
    bool painted() const { return painted_; }
    // Closed, yet kept minimised in the taskbar (what "Keep in Dock" means here): the window is
    // not open, so neither hook runs; opening it from the taskbar or with `present` runs
    // `appeared`. `undock` takes it out of the taskbar again.
    void dock();
    void undock();
    bool docked() const { return docked_; }

  signals:
    void firstPaint();

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void showDisk();
    void place();
    void opened();

    Store& store_;
    Hooks hooks_;
    QLabel* disk_ = nullptr;
    QWidget* content_ = nullptr;
    QWidget* top_ = nullptr;
    bool placed_ = false;
    bool painted_ = false;
    bool shown_ = false;
    bool docked_ = false;
};

// "12.3 GB free of 500 GB · Healthy", or a plain note while the disk was never read.
std::string diskLine(const std::optional<Store::Disk>& disk);

} // namespace bramwick

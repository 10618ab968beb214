// The tray's panel: the disk state at a glance, the quick clean of everything safe (confirmed
// inline, never with the card), the outcome of the last clean, what needs the main window, the
// automatic clean's last run and a row of buttons. A frameless tool window that hides as soon
// as it loses the focus; what it shows comes from MenuBar::panel.
#pragma once

#include <functional>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QWidget>

#include "app/gui/menu_bar_model.h"
#include "app/gui/updater.h"
#include "appearance/window_dressing.h"
#include "store/store.h"

namespace bramwick {

namespace PanelLook {
// The opacity of the rating colour in the badge's capsule.
inline constexpr double badgeFill = 0.16;
// The badge's words over its capsule on `background` (the panel under it): the rating colour
// `tint`, darkened or lightened just enough to read at 4.5:1, as the pale capsule of a light skin
// leaves a light green or orange unreadable.
QColor badgeWords(const QColor& tint, const QColor& background);
} // namespace PanelLook

class TrayPanel : public SkinBackdrop {
    Q_OBJECT

  public:
    struct Actions {
        std::function<void()> openMainWindow; // opens or fronts the main window
        std::function<void()> openSettings;
        std::function<void()> activate; // brings the application to the front
        std::function<void()> quit;
        std::function<void()> appeared; // each time the panel shows (registers the opener)
        std::function<Date()> now;
    };

    static constexpr int panelWidth = 320;

    TrayPanel(Store& store, Updater& updater, Actions actions, QWidget* parent = nullptr);

    bool confirmingClean() const { return confirmingClean_; }
    const MenuBar::Panel& shown() const { return shown_; }
    // Recomputes every section now (it happens by itself on the next turn of the event loop
    // after the store changes, while the panel is on screen).
    void refresh();
    // Shows symbol `name` on a label or button, in `colour` or else the skin's text colour,
    // and again in the new colours whenever the skin changes.
    void keepSymbol(QWidget* target, std::string name, std::optional<QColor> colour);

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void build();
    void scheduleRefresh();
    // What the panel paints under `widget`'s centre: its backdrop, or the window colour.
    QColor backgroundUnder(const QWidget* widget);
    void setConfirming(bool confirming);
    struct KeptSymbol {
        QWidget* target;
        std::string name;
        std::optional<QColor> colour;
    };
    void recolour(const KeptSymbol& kept);

    Store& store_;
    Updater& updater_;
    Actions actions_;
    bool confirmingClean_ = false;
    bool refreshQueued_ = false;
    MenuBar::Panel shown_;
    std::vector<KeptSymbol> symbols_;

    QLabel* badge_ = nullptr;
    QWidget* diskSummary_ = nullptr;
    QLabel* free_ = nullptr;
    QLabel* of_ = nullptr;
    QProgressBar* usage_ = nullptr;
    QLabel* caption_ = nullptr;
    QStackedWidget* clean_ = nullptr;
    QWidget* progressPage_ = nullptr;
    QLabel* progressText_ = nullptr;
    QWidget* firstScanPage_ = nullptr;
    QWidget* confirmPage_ = nullptr;
    QLabel* warning_ = nullptr;
    QWidget* totalPage_ = nullptr;
    QLabel* total_ = nullptr;
    QPushButton* cleanAllSafe_ = nullptr;
    QWidget* reportRow_ = nullptr;
    QLabel* reportIcon_ = nullptr;
    QLabel* reportTitle_ = nullptr;
    QLabel* reportMessage_ = nullptr;
    QPushButton* runningRow_ = nullptr;
    QLabel* runningText_ = nullptr;
    QWidget* accessRow_ = nullptr;
    QWidget* autoCleanRow_ = nullptr;
    QLabel* autoCleanIcon_ = nullptr;
    QLabel* autoCleanText_ = nullptr;
    QToolButton* rescan_ = nullptr;
};

} // namespace bramwick

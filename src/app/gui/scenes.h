// A window run of the program: the one store, the main window, the settings window, the tray
// extra with its panel, the Dock-icon policy and the updater, and what a later launch hands
// over. The store is made first, so its timers and the automatic clean run even when no window
// is open.
#pragma once

#include <memory>
#include <vector>

#include <QObject>
#include <QStringList>

#include "app/gui/app_mode.h"
#include "app/gui/tray.h"
#include "app/gui/tray_panel.h"
#include "app/gui/updater.h"
#include "mainwindow/main_window_frame.h"
#include "mainwindow/window_top.h"
#include "settings/settings_window.h"
#include "store/store.h"

namespace bramwick {

class Scenes : public QObject {
    Q_OBJECT

  public:
    struct Options {
        bool openWindowAtLaunch = false;
        // Without a tray the main window opens at launch whatever the rule says, and closing it
        // ends the program, so it is never running out of reach. The tray at launch; later
        // changes come through `setTrayAvailable`.
        bool trayAvailable = false;
        // Ends the run (the real program quits its event loop); `quit` calls it when the
        // store's work allows.
        std::function<void()> quit;
        // The update back end; none gives the package-manager one.
        std::unique_ptr<UpdateBackend> updates;
        std::function<Date()> now;
        // Where the main window's maintenance and memory users sheets read from.
        WindowTop::SheetSources sheets;
    };

    Scenes(StoreServices services, Options options, QObject* parent = nullptr);
    ~Scenes() override;

    // Shows what opens at launch, applies the Dock-icon policy and starts the updater.
    void start();

    Store& store() { return *store_; }
    AppMode& appMode() { return *appMode_; }
    MainWindowOpener& opener() { return *opener_; }
    Updater* updater() { return updater_.get(); }
    // Made on first use.
    MainWindowFrame* mainWindow() const { return mainWindow_.get(); }
    SettingsWindow* settingsWindow() const { return settingsWindow_.get(); }
    TrayPanel* panel() const { return panel_.get(); }
    TrayExtra* tray() const { return tray_.get(); }
    // Every policy the rule decided, in order.
    const std::vector<ActivationPolicy>& policies() const { return policies_; }
    bool openWindowAtLaunch() const { return options_.openWindowAtLaunch; }

    void openMainWindow();
    void openSettings();
    // Shows the panel at the icon (else at the cursor), or hides it when it is on screen.
    void togglePanel(std::optional<QRect> icon);
    void showPanel(std::optional<QRect> icon);
    // The user asked to reopen the program (a later launch does): with no window on screen the
    // main window opens; the answer is always true.
    bool reopen(bool hasVisibleWindows);
    // What a later launch handed over: "reopen", and "--window" to open the main window.
    void handOff(const QStringList& request);
    // Every quit the user asks for (the tray, the panel, closing the window without a tray,
    // "Quit & Reopen"): the run ends once a clean under way has stopped and recorded what it
    // removed, at once when none runs. Nothing new starts after it.
    void quit();
    // A tray came (the icon shows, and closing the window no longer ends the program) or went
    // (the main window opens, and closing it ends the program).
    void setTrayAvailable(bool available);
    bool trayAvailable() const { return options_.trayAvailable; }

  signals:
    // The tray icon was made.
    void trayShown();

  private:
    void showTray();
    // What the policy shows while the main window is closed: with "regular" the window stays
    // minimised in the taskbar (while a tray holds the program), with "accessory" it leaves it.
    void followPolicy(ActivationPolicy policy);
    void releaseFirstScanAfterFirstFrame(MainWindowFrame& window);
    MainWindowFrame& ensureMainWindow();
    TrayPanel& ensurePanel();
    Updater& ensureUpdater();
    void activate();
    bool anyWindowVisible() const;

    Options options_;
    Settings* settings_ = nullptr;
    std::unique_ptr<Store> store_;
    std::vector<ActivationPolicy> policies_;
    bool starting_ = false;
    bool docking_ = false;
    std::unique_ptr<AppMode> appMode_;
    std::unique_ptr<MainWindowOpener> opener_;
    std::unique_ptr<Updater> updater_;
    std::unique_ptr<MainWindowFrame> mainWindow_;
    std::unique_ptr<SettingsWindow> settingsWindow_;
    std::unique_ptr<TrayPanel> panel_;
    std::unique_ptr<TrayExtra> tray_;
};

} // namespace bramwick

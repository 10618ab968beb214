#include "app/gui/scenes.h"

#include <malloc.h>
#include <memory>

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QThreadPool>
#include <QTimer>

#include "app/gui/ending_signals.h"
#include "mainwindow/window_top.h"
#include "store/store_services.h"

namespace bramwick {

namespace {

// Tells the user something without a modal loop; `done` runs when the message is dismissed.
void tell(const QString& title, const QString& message, std::function<void()> done) {
    auto* box = new QMessageBox(QMessageBox::Information, title, message, QMessageBox::Ok);
    box->setObjectName(QStringLiteral("updatesMessage"));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QObject::destroyed, box, [done = std::move(done)] { done(); });
    box->open();
}

// Qt's painter hands every large fill to the threads of the global pool and waits for them, and
// makes those threads the first time it needs them: in the main window's first frame, while the
// first scan starts its own threads, which costs that frame tens of milliseconds waiting for the
// process's memory map. So they are made here, before any window shows, and kept.
void startPaintingThreads() {
    StorePlatform::makeEveryThread(
        *QThreadPool::globalInstance(), [](bool) {}, 1000);
}

} // namespace

Scenes::Scenes(StoreServices services, Options options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {
    if (!options_.trayAvailable) options_.openWindowAtLaunch = true;
    if (!services.settings) services.settings = &Settings::standard();
    settings_ = services.settings;
    Settings& settings = *settings_;
    // "Quit & Reopen" quits as every other quit does, letting a clean under way finish first.
    services.quitApplication = [this] { quit(); };
    store_ = std::make_unique<Store>(std::move(services));

    appMode_ = std::make_unique<AppMode>(
        settings,
        [this](ActivationPolicy policy) {
            policies_.push_back(policy);
            if (!starting_) followPolicy(policy);
        },
        [this] { activate(); });
    opener_ = std::make_unique<MainWindowOpener>(*appMode_, [this] {
        // Nothing registered an opener yet: front the first window there is.
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && window != panel_.get()) {
                window->raise();
                window->activateWindow();
                return;
            }
    });
    if (!options_.updates)
        options_.updates = std::make_unique<PackageManagerUpdates>(settings, tell);
}

Scenes::~Scenes() {
    // The windows go before the store they show.
    tray_.reset();
    panel_.reset();
    settingsWindow_.reset();
    mainWindow_.reset();
}

void Scenes::start() {
    // The windows' thread allocates from the main heap, which grows by moving its end; that waits
    // for the whole process's memory map, which a scan's threads hold often. Growing it in large
    // steps makes those waits rare.
    ::mallopt(M_TOP_PAD, 32 << 20);
    startPaintingThreads();
    store_->prepareWorkers();
    // No window is open yet: the policy follows "keepInDock" alone. What it shows waits until
    // the window at launch, if any, is open.
    starting_ = true;
    appMode_->apply();
    if (options_.trayAvailable) showTray();
    if (options_.openWindowAtLaunch) {
        store_->holdFirstScan();
        releaseFirstScanAfterFirstFrame(ensureMainWindow()); // it may paint as it is shown
        openMainWindow();
    }
    starting_ = false;
    followPolicy(policies_.back());
    // Launching is over: the updater starts.
    ensureUpdater();
}

// The window's first frame is painted, then the first scan starts (on the next turn, when the
// whole frame is drawn); at the latest after a second, for a window system that shows nothing.
void Scenes::releaseFirstScanAfterFirstFrame(MainWindowFrame& window) {
    auto* once = new QObject(&window); // whichever comes first ends the other with it
    auto release = [once, store = QPointer<Store>(store_.get())] {
        if (store) store->releaseFirstScan();
        once->deleteLater();
    };
    connect(&window, &MainWindowFrame::firstPaint, once, release);
    QTimer::singleShot(1000, once, release);
}

void Scenes::showTray() {
    TrayExtra::Actions actions;
    actions.togglePanel = [this](std::optional<QRect> icon) { togglePanel(icon); };
    actions.openMainWindow = [this] { opener_->open(); };
    actions.quit = [this] { quit(); };
    actions.appeared = [this] { opener_->replaceOpener([this] { openMainWindow(); }); };
    tray_ = std::make_unique<TrayExtra>(*store_, std::move(actions));
    emit trayShown();
}

void Scenes::followPolicy(ActivationPolicy policy) {
    if (appMode_->windowOpen()) return; // the open window has its entry
    // Only a tray keeps the program once the window is closed: without one, closing ends it.
    docking_ = policy == ActivationPolicy::regular && options_.trayAvailable;
    if (!docking_) {
        if (mainWindow_) mainWindow_->undock();
        return;
    }
    // Not from inside the window's own hiding, which may still be under way.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (docking_ && !appMode_->windowOpen() && options_.trayAvailable)
                ensureMainWindow().dock();
        },
        Qt::QueuedConnection);
}

void Scenes::setTrayAvailable(bool available) {
    if (available == options_.trayAvailable) return;
    options_.trayAvailable = available;
    if (available) {
        showTray();
        return;
    }
    if (panel_) panel_->hide();
    tray_.reset();
    // Nothing else reaches the program now.
    opener_->open();
}

Updater& Scenes::ensureUpdater() {
    if (!updater_) updater_ = std::make_unique<Updater>(*settings_, std::move(options_.updates));
    return *updater_;
}

MainWindowFrame& Scenes::ensureMainWindow() {
    if (!mainWindow_) {
        MainWindowFrame::Hooks hooks;
        hooks.appeared = [this] { appMode_->windowDidAppear(); };
        hooks.disappeared = [this] {
            appMode_->windowDidDisappear();
            if (!options_.trayAvailable) quit();
        };
        mainWindow_ = makeMainWindow(*store_, *settings_, std::move(hooks), options_.sheets);
        if (auto* top = qobject_cast<WindowTop*>(mainWindow_->top()))
            connect(top, &WindowTop::settingsRequested, this, &Scenes::openSettings);
    }
    return *mainWindow_;
}

TrayPanel& Scenes::ensurePanel() {
    if (!panel_) {
        TrayPanel::Actions actions;
        actions.openMainWindow = [this] {
            if (panel_) panel_->hide();
            opener_->open();
        };
        actions.openSettings = [this] {
            if (panel_) panel_->hide();
            openSettings();
        };
        actions.activate = [this] { activate(); };
        actions.quit = [this] { quit(); };
        actions.appeared = [this] { opener_->offerOpener([this] { openMainWindow(); }); };
        actions.now = options_.now;
        panel_ = std::make_unique<TrayPanel>(*store_, ensureUpdater(), std::move(actions));
    }
    return *panel_;
}

void Scenes::openMainWindow() {
    ensureMainWindow().present();
}

void Scenes::openSettings() {
    if (!settingsWindow_)
        settingsWindow_ = std::make_unique<SettingsWindow>(
            *store_, *settings_, SettingsPages::Hooks{{}, [this] { appMode_->apply(); }});
    settingsWindow_->present();
}

void Scenes::togglePanel(std::optional<QRect> icon) {
    if (panel_ && panel_->isVisible()) {
        panel_->hide();
        return;
    }
    showPanel(icon);
}

void Scenes::showPanel(std::optional<QRect> icon) {
    TrayPanel& panel = ensurePanel();
    panel.refresh();
    panel.adjustSize();
    std::optional<QPoint> cursor;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!icon) {
        cursor = QCursor::pos();
        if (QScreen* under = QGuiApplication::screenAt(*cursor)) screen = under;
        if (cursor->isNull()) cursor.reset(); // no pointer to go by
    } else if (QScreen* under = QGuiApplication::screenAt(icon->center())) {
        screen = under;
    }
    QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    panel.move(panelPosition(icon, cursor, area, panel.size()));
    panel.show();
    panel.raise();
    panel.activateWindow();
}

bool Scenes::anyWindowVisible() const {
    return (mainWindow_ && mainWindow_->isVisible() && !mainWindow_->docked()) ||
           (settingsWindow_ && settingsWindow_->isVisible());
}

bool Scenes::reopen(bool hasVisibleWindows) {
    if (!hasVisibleWindows) opener_->open();
    return true;
}

void Scenes::handOff(const QStringList& request) {
    if (request.contains(QStringLiteral("--window"))) {
        opener_->open();
        return;
    }
    if (request.contains(QStringLiteral("reopen"))) reopen(anyWindowVisible());
}

void Scenes::activate() {
    // Here activating means bringing the program's windows forward.
    for (QWidget* window :
         {static_cast<QWidget*>(mainWindow_.get()), static_cast<QWidget*>(settingsWindow_.get())})
        if (window && window->isVisible()) {
            window->raise();
            window->activateWindow();
        }
}

void Scenes::quit() {
    if (!options_.quit) return;
    // As on an ending signal: the clean under way stops at its next item and records what it
    // removed, the settings are written, and only then does the run end.
    finishThenQuit(*store_, *settings_, options_.quit);
}

} // namespace bramwick

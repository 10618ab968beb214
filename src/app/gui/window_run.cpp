#include "app/gui/window_run.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

#include <QApplication>

#include "app/gui/desktop_store.h"
#include "app/gui/ending_signals.h"
#include "app/gui/launch.h"
#include "app/gui/scenes.h"
#include "appearance/button_style.h"
#include "base/edition.h"
#include "base/text.h"
#include "engine/settings_keys.h"
#include "platform/qt/single_instance.h"
#include "platform/qt/tray_presence.h"
#include "platform/qt/x11_windows.h"
#include "store/to_qstring.h"

namespace bramwick::WindowRun {

namespace {

// Why no window can be opened, as the line to print; empty when one can.
std::string whyNoWindows() {
    Launch::DisplayEnvironment environment = Launch::displayEnvironment();
    if (!Launch::hasDisplay(environment)) return Launch::noDisplayMessage();
    // The window system would abort the program on a display that does not answer.
    if (Launch::onlyX11(environment) && !X11Windows::displayAnswers())
        return Launch::noDisplayMessage(Text::printable(environment.display));
    return {};
}

} // namespace

int run(int& argc, char** argv, const std::vector<std::string>& arguments) {
    if (std::string why = whyNoWindows(); !why.empty()) {
        std::fputs(why.c_str(), stderr);
        return 1;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(toQString(Edition::displayName));
    QGuiApplication::setDesktopFileName(toQString(Edition::appId));
    // The tray keeps the program running; without one, closing the main window ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    installSkinStyle();

    SingleInstance instance;
    QStringList request{QStringLiteral("reopen")};
    if (Launch::wantsWindow(arguments)) request << QStringLiteral("--window");
    if (!instance.claim(request)) return 0;

    // A signal that comes before the event loop runs is heard once it does.
    EndingSignals endingSignals;
    installDesktopProviders();

    // Asked before any tray icon is made: Qt settles on the kind of tray at that moment.
    TrayPresence trayPresence;
    Scenes::Options options;
    options.trayAvailable = trayPresence.available();
    Settings& settings = Settings::standard();
    options.openWindowAtLaunch = Launch::openWindowAtLaunch(
        arguments, [] { return StorePlatform::fullDiskAccessGranted(); },
        settings.boolean(SettingsKeys::skippedFullDiskAccess).value_or(false));
    options.quit = [] {
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    };

    auto scenes = std::make_unique<Scenes>(desktopStoreServices(), std::move(options));
    QObject::connect(&instance, &SingleInstance::received, scenes.get(),
                     [&scenes](const QStringList& handed) { scenes->handOff(handed); });
    QObject::connect(scenes.get(), &Scenes::trayShown, &trayPresence, &TrayPresence::iconMade);
    QObject::connect(&trayPresence, &TrayPresence::availableChanged, scenes.get(),
                     &Scenes::setTrayAvailable);
    QObject::connect(&endingSignals, &EndingSignals::received, scenes.get(),
                     [&scenes] { scenes->quit(); });
    scenes->start();

    int status = QApplication::exec();
    scenes.reset();
    // The history is written in the background: what it still writes is waited for, and a
    // failure is said where it can still be read.
    if (auto problem = settings.flush())
        std::fprintf(stderr, "bramwick: the settings could not be saved: %s\n", problem->c_str());
    instance.leave();
    // Work still out on the pools (a scan in flight) is left as the store leaves it: the
    // program ends here without running the destructors of what those threads may still use.
    std::fflush(nullptr);
    std::_Exit(status);
}

} // namespace bramwick::WindowRun

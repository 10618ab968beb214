// A tray is followed as it comes and goes: a StatusNotifier host announced on the session bus,
// and an XEmbed tray on the X display.
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include "platform/qt/tray_presence.h"
#include "support/fixture.h"
#include "support/private_bus.h"
#include "support/private_display.h"
#include "support/status_notifier_watcher.h"

using namespace bramwick;
using namespace std::chrono_literals;

namespace {

// Lets the event loop run until `done` holds or `limit` passed.
bool until(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < limit.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(5ms);
    }
    return done();
}

// An XEmbed tray as a panel makes one: a window that takes the screen's tray selection and
// announces it to the root window; it goes with its window.
class XEmbedTray {
  public:
    explicit XEmbedTray(const std::string& display) {
        connection_ = xcb_connect(display.c_str(), nullptr);
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        window_ = xcb_generate_id(connection_);
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        const xcb_atom_t selection = atom("_NET_SYSTEM_TRAY_S0");
        xcb_set_selection_owner(connection_, window_, selection, XCB_CURRENT_TIME);
        xcb_client_message_event_t manager{};
        manager.response_type = XCB_CLIENT_MESSAGE;
        manager.format = 32;
        manager.window = screen->root;
        manager.type = atom("MANAGER");
        manager.data.data32[0] = XCB_CURRENT_TIME;
        manager.data.data32[1] = selection;
        manager.data.data32[2] = window_;
        xcb_send_event(connection_, 0, screen->root, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&manager));
        xcb_flush(connection_);
    }
    ~XEmbedTray() {
        xcb_destroy_window(connection_, window_);
        xcb_disconnect(connection_);
    }

  private:
    xcb_atom_t atom(const char* name) {
        auto* reply = xcb_intern_atom_reply(
            connection_,
            xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr);
        xcb_atom_t found = reply->atom;
        std::free(reply);
        return found;
    }

    xcb_connection_t* connection_;
    xcb_window_t window_;
};

// One application object for the length of a test, as each test of this binary makes its own.
struct Application {
    int argc = 1;
    char name[18] = "platform_qt_tests";
    char* argv[2] = {name, nullptr};
    QCoreApplication application{argc, argv};
};

} // namespace

TEST(TrayPresence, AStatusNotifierHostThatComesLateIsSeenAndSoIsItsGoing) {
    Application application;
    test::PrivateBus bus;
    if (!bus.running()) GTEST_SKIP() << "no dbus-daemon to start a private bus";
    TrayPresence presence(
        {QDBusConnection::connectToBus(QString::fromStdString(bus.address), "tray-client"), false});
    QSignalSpy changes(&presence, &TrayPresence::availableChanged);
    EXPECT_FALSE(presence.available()) << "no panel yet";

    test::StatusNotifierWatcher watcher(bus.address);
    ASSERT_TRUE(watcher.start(false)); // the watcher comes before the tray it serves
    until([&] { return false; }, 300ms);
    EXPECT_FALSE(presence.available());
    watcher.setHost(true);
    ASSERT_TRUE(until([&] { return presence.available(); }));
    watcher.setHost(false);
    ASSERT_TRUE(until([&] { return !presence.available(); }));
    watcher.setHost(true);
    ASSERT_TRUE(until([&] { return presence.available(); }));
    watcher.stop(); // the panel ended
    ASSERT_TRUE(until([&] { return !presence.available(); }));
    ASSERT_EQ(changes.count(), 4);
    EXPECT_EQ(changes.at(0).at(0).toBool(), true);
    EXPECT_EQ(changes.at(3).at(0).toBool(), false);
    QDBusConnection::disconnectFromBus("tray-client");
}

TEST(TrayPresence, AnXEmbedTrayIsFollowedAndOnceAnIconIsMadeOnlyItsKindCounts) {
    Application application;
    test::PrivateDisplay display;
    if (!test::PrivateDisplay::installed()) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(display.running());
    test::PrivateBus bus;
    if (!bus.running()) GTEST_SKIP() << "no dbus-daemon to start a private bus";
    test::EnvironmentChange onDisplay("DISPLAY", display.name);
    test::StatusNotifierWatcher watcher(bus.address);
    ASSERT_TRUE(watcher.start(false));
    TrayPresence presence(
        {QDBusConnection::connectToBus(QString::fromStdString(bus.address), "tray-client"), true});
    EXPECT_FALSE(presence.available());

    auto tray = std::make_unique<XEmbedTray>(display.name);
    ASSERT_TRUE(until([&] { return presence.available(); })) << "a tray that came late";
    tray.reset();
    ASSERT_TRUE(until([&] { return !presence.available(); })) << "and went";

    // Started again, with an icon made into it: Qt keeps to XEmbed from then on, so a
    // StatusNotifier host alone would show no icon of this program.
    tray = std::make_unique<XEmbedTray>(display.name);
    ASSERT_TRUE(until([&] { return presence.available(); }));
    presence.iconMade();
    watcher.setHost(true);
    tray.reset();
    ASSERT_TRUE(until([&] { return !presence.available(); }));
    until([&] { return presence.available(); }, 300ms);
    EXPECT_FALSE(presence.available());
    QDBusConnection::disconnectFromBus("tray-client");
}

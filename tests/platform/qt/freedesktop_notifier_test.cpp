#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include "engine/auto_clean.h"
#include "platform/qt/freedesktop_notifier.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {

// A stand-in for the desktop's notification service that keeps what it is asked to show.
class RecordingService : public QDBusVirtualObject {
  public:
    std::vector<QDBusMessage> calls;
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != "org.freedesktop.Notifications" || message.member() != "Notify")
            return false;
        calls.push_back(message);
        connection.send(message.createReply(QVariant::fromValue(7u)));
        return true;
    }
};

// A private message bus of our own, stopped when the test ends.
struct PrivateBus {
    std::string folder = test::makeTemporaryFolder("bus");
    std::string address = "unix:path=" + folder + "/bus";
    long pid = 0;
    PrivateBus() {
        std::string command =
            "dbus-daemon --session --fork --print-pid=1 --address=" + address + " 2>/dev/null";
        if (FILE* out = ::popen(command.c_str(), "r")) {
            if (std::fscanf(out, "%ld", &pid) != 1) pid = 0;
            ::pclose(out);
        }
    }
    ~PrivateBus() {
        if (pid > 0) ::kill(static_cast<pid_t>(pid), SIGTERM);
        test::removeTree(folder);
    }
};

} // namespace

TEST(FreedesktopNotifier, WithoutASessionBusNothingIsPostedAndNothingFails) {
    test::EnvironmentChange bus("DBUS_SESSION_BUS_ADDRESS",
                                "unix:path=/nonexistent/bramwick-test-bus");
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    FreedesktopNotifier notifier;
    EXPECT_FALSE(notifier.post("Freed 1 GB", "Bramwick ran a daily clean."));
    EXPECT_FALSE(notifier.post("Nothing to clean", "Bramwick ran a weekly clean."));
}

TEST(FreedesktopNotifier, ARunFromTheBuildTreeDoesNotPost) {
    test::clearHome();
    test::EnvironmentChange dataDirs("XDG_DATA_DIRS", test::home());
    FreedesktopNotifier notifier;
    EXPECT_FALSE(notifier.available());
    Settings settings(test::home() + "/settings.json");
    EXPECT_FALSE(AutoClean::postNotification(5, "daily clean", notifier, settings));
}

TEST(FreedesktopNotifier, TheBodyNeverCarriesMarkup) {
    EXPECT_EQ(FreedesktopNotifier::bodyMarkup("a <b>bold</b> & \"quoted\" claim"),
              QStringLiteral("a &lt;b&gt;bold&lt;/b&gt; &amp; &quot;quoted&quot; claim"));
}

TEST(FreedesktopNotifier, AsksTheServiceForANoticeOfThisProgram) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    PrivateBus bus;
    if (bus.pid <= 0) GTEST_SKIP() << "no dbus-daemon to start a private bus";
    auto service = QDBusConnection::connectToBus(QString::fromStdString(bus.address), "service");
    ASSERT_TRUE(service.isConnected());
    RecordingService recorder;
    ASSERT_TRUE(service.registerService("org.freedesktop.Notifications"));
    ASSERT_TRUE(service.registerVirtualObject("/org/freedesktop/Notifications", &recorder));

    FreedesktopNotifier notifier(
        QDBusConnection::connectToBus(QString::fromStdString(bus.address), "client"));
    ASSERT_TRUE(notifier.post("Freed 2 GB", "Bramwick ran a <daily> clean & more."));
    QElapsedTimer waited;
    waited.start();
    while (recorder.calls.empty() && waited.elapsed() < 10'000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(recorder.calls.size(), 1u);
    auto arguments = recorder.calls[0].arguments();
    ASSERT_EQ(arguments.size(), 8);
    EXPECT_EQ(arguments[0].toString(), "Bramwick");
    EXPECT_EQ(arguments[1].toUInt(), 0u);
    EXPECT_EQ(arguments[2].toString(), "app.bramwick.Bramwick");
    EXPECT_EQ(arguments[3].toString(), "Freed 2 GB");
    EXPECT_EQ(arguments[4].toString(), "Bramwick ran a &lt;daily&gt; clean &amp; more.");
    EXPECT_TRUE(arguments[5].toStringList().isEmpty());
    auto hints = qdbus_cast<QVariantMap>(arguments[6].value<QDBusArgument>());
    EXPECT_EQ(hints.value("desktop-entry").toString(), "app.bramwick.Bramwick");
    EXPECT_EQ(arguments[7].toInt(), -1);
    service.unregisterObject("/org/freedesktop/Notifications");
    QDBusConnection::disconnectFromBus("service");
    QDBusConnection::disconnectFromBus("client");
}

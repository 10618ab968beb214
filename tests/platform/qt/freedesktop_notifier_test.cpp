#include <chrono>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <gtest/gtest.h>

#include "engine/auto_clean.h"
#include "platform/qt/freedesktop_notifier.h"
#include "support/fixture.h"
#include "support/notification_service.h"
#include "support/private_bus.h"

using namespace bramwick;

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
    test::PrivateBus bus;
    if (!bus.running()) GTEST_SKIP() << "no dbus-daemon to start a private bus";
    test::NotificationService recorder(bus.address);
    ASSERT_TRUE(recorder.registered());

    FreedesktopNotifier notifier(
        QDBusConnection::connectToBus(QString::fromStdString(bus.address), "client"));
    ASSERT_TRUE(notifier.post("Freed 2 GB", "Bramwick ran a <daily> clean & more."));
    recorder.waitFor(1, std::chrono::seconds(10));
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
    QDBusConnection::disconnectFromBus("client");
}

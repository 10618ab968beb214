#include <atomic>
#include <cstdlib>
#include <mutex>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QStringList>
#include <QThread>
#include <gtest/gtest.h>

#include "platform/qt/desktop_applications.h"
#include "platform/qt/x11_windows.h"
#include "support/fixture.h"
#include "support/private_bus.h"

using namespace bramwick;

namespace {

// Lists what the test says; must never be asked to quit or activate anything itself.
class Lister : public RunningApplications {
  public:
    std::vector<RunningApplication> apps;
    std::vector<RunningApplication> list() const override { return apps; }
    bool activate(const RunningApplication&) override {
        ADD_FAILURE() << "the lister was asked to activate";
        return false;
    }
    std::optional<std::string> requestQuit(const RunningApplication&) override {
        ADD_FAILURE() << "the lister was asked to quit";
        return std::nullopt;
    }
};

// An application on the bus: exports its actions and Activate the way a GApplication does.
// It runs on a thread of its own, as another program would, so blocking calls reach it.
class FakeApplication : public QDBusVirtualObject {
  public:
    explicit FakeApplication(QStringList actions) : actions_(std::move(actions)) {}
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        std::lock_guard lock(mutex_);
        QString call = message.interface() + "." + message.member();
        if (call == "org.gtk.Actions.List") {
            connection.send(message.createReply(QVariant::fromValue(actions_)));
        } else if (call == "org.gtk.Actions.Activate") {
            activated_ << message.arguments().value(0).toString();
            connection.send(message.createReply());
        } else if (call == "org.freedesktop.Application.Activate") {
            activated_ << "(window)";
            connection.send(message.createReply());
        } else {
            return false;
        }
        return true;
    }
    QStringList activated() {
        std::lock_guard lock(mutex_);
        return activated_;
    }

  private:
    QStringList actions_;
    std::mutex mutex_;
    QStringList activated_;
};

struct Session {
    int argc = 1;
    char name[5] = "test";
    char* argv[2] = {name, nullptr};
    QCoreApplication application{argc, argv};
    Session() { ::unsetenv("DISPLAY"); } // never a real display: no window of anyone is touched
};

RunningApplication application(pid_t pid, std::string id) {
    RunningApplication app;
    app.pid = pid;
    app.bundleIdentifier = std::move(id);
    app.name = "Editor";
    app.regular = true;
    return app;
}

// The fake application registered under `id` on a private bus, and a provider talking to it.
struct OnPrivateBus {
    test::PrivateBus bus;
    QThread thread;
    std::unique_ptr<FakeApplication> fake;
    std::unique_ptr<DesktopApplications> provider;

    OnPrivateBus(const std::string& id, QStringList actions) {
        if (!bus.running()) return;
        fake = std::make_unique<FakeApplication>(std::move(actions));
        thread.start();
        fake->moveToThread(&thread);
        auto service =
            QDBusConnection::connectToBus(QString::fromStdString(bus.address), "service");
        auto address = DesktopApplications::busAddress(id);
        if (!service.isConnected() || !address || !service.registerService(address->service) ||
            !service.registerVirtualObject(address->path, fake.get()))
            ADD_FAILURE() << "could not export the fake application";
        provider = std::make_unique<DesktopApplications>(
            std::make_unique<Lister>(),
            QDBusConnection::connectToBus(QString::fromStdString(bus.address), "client"));
    }
    ~OnPrivateBus() {
        QDBusConnection::disconnectFromBus("service");
        QDBusConnection::disconnectFromBus("client");
        thread.quit();
        thread.wait();
    }
};

} // namespace

TEST(DesktopApplications, ListsThroughTheProviderItWraps) {
    auto lister = std::make_unique<Lister>();
    lister->apps = {application(42, "org.example.Editor")};
    DesktopApplications provider(std::move(lister));
    EXPECT_EQ(provider.list(),
              (std::vector<RunningApplication>{application(42, "org.example.Editor")}));
    EXPECT_TRUE(DesktopApplications(nullptr).list().empty());
}

TEST(DesktopApplications, WithoutSessionBusOrDisplayItRefusesCleanly) {
    test::EnvironmentChange bus("DBUS_SESSION_BUS_ADDRESS",
                                "unix:path=/nonexistent/bramwick-test-bus");
    Session session;
    DesktopApplications provider(std::make_unique<Lister>());
    auto app = application(::getpid(), "org.example.Editor");
    EXPECT_EQ(provider.requestQuit(app), "Neither the window system nor the session bus can be "
                                         "reached, so it cannot be asked to quit.");
    EXPECT_FALSE(provider.activate(app));
}

TEST(DesktopApplications, AsksForTheApplicationsOwnQuit) {
    Session session;
    OnPrivateBus onBus("app.bramwick.Test-Editor", {"about", "quit"});
    if (!onBus.bus.running()) GTEST_SKIP() << "no dbus-daemon to start a private bus";
    auto app = application(::getpid(), "app.bramwick.Test-Editor");
    EXPECT_EQ(onBus.provider->requestQuit(app), std::nullopt);
    EXPECT_TRUE(onBus.provider->activate(app));
    EXPECT_EQ(onBus.fake->activated(), (QStringList{"quit", "(window)"}));
}

TEST(DesktopApplications, AnApplicationWithoutQuitOrNotOwningItsNameIsNotAsked) {
    Session session;
    OnPrivateBus onBus("app.bramwick.Viewer", {"about"});
    if (!onBus.bus.running()) GTEST_SKIP() << "no dbus-daemon to start a private bus";
    auto reason = onBus.provider->requestQuit(application(::getpid(), "app.bramwick.Viewer"));
    EXPECT_EQ(reason,
              "It offers no Quit to other programs, and there is no window system here to ask its "
              "windows to close. Quit it from its own menu.");

    // Another process under the same identifier: the name's owner is not it, so nothing is asked.
    auto impostor = application(::getppid(), "app.bramwick.Viewer");
    EXPECT_TRUE(onBus.provider->requestQuit(impostor));
    EXPECT_FALSE(onBus.provider->activate(impostor));
    EXPECT_TRUE(onBus.fake->activated().isEmpty());
}

TEST(DesktopApplications, BusAddressOfAnIdentifier) {
    using Address = DesktopApplications::BusAddress;
    EXPECT_EQ(DesktopApplications::busAddress("org.gnome.Text-Editor"),
              (Address{"org.gnome.Text-Editor", "/org/gnome/Text_Editor"}));
    EXPECT_EQ(DesktopApplications::busAddress("app.bramwick.Bramwick"),
              (Address{"app.bramwick.Bramwick", "/app/bramwick/Bramwick"}));
    for (const char* invalid :
         {"firefox-esr", "", "org..example", "org.1password", "org.exa mple", "org.é"})
        EXPECT_FALSE(DesktopApplications::busAddress(invalid)) << invalid;
}

TEST(X11Windows, AProcessOwnsTheWindowsOfItsPidOnThisMachine) {
    using X11Windows::TopLevel;
    std::vector<TopLevel> windows = {
        {1, 42u, "here", true},          {2, 43u, "here", true}, {3, 42u, "elsewhere", true},
        {4, std::nullopt, "here", true}, {5, 42u, "", false},
    };
    EXPECT_EQ(X11Windows::ofProcess(windows, 42, "here"),
              (std::vector<TopLevel>{windows[0], windows[4]}));
    EXPECT_TRUE(X11Windows::ofProcess(windows, 0, "here").empty());
}

TEST(X11Windows, WithoutADisplayNothingIsSent) {
    ::unsetenv("DISPLAY");
    EXPECT_EQ(X11Windows::requestClose(::getpid()), X11Windows::Outcome::noDisplay);
    EXPECT_EQ(X11Windows::activate(::getpid()), X11Windows::Outcome::noDisplay);
}

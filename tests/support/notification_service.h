// A stand-in for the desktop's notification service (org.freedesktop.Notifications) on a bus of
// the test's own: it keeps every Notify it is asked and answers each with a notice id. Only for
// the tests that link Qt's D-Bus module.
#pragma once

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>

namespace bramwick::test {

class NotificationService : public QDBusVirtualObject {
  public:
    static constexpr const char* serviceName = "org.freedesktop.Notifications";
    static constexpr const char* objectPath = "/org/freedesktop/Notifications";

    // Takes the service's name on the bus at `address`, on a connection of its own.
    explicit NotificationService(const std::string& address)
        : bus_(QDBusConnection::connectToBus(QString::fromStdString(address),
                                             QStringLiteral("notification-service"))) {
        registered_ = bus_.isConnected() && bus_.registerService(serviceName) &&
                      bus_.registerVirtualObject(objectPath, this);
    }
    ~NotificationService() override {
        stop();
        QDBusConnection::disconnectFromBus(QStringLiteral("notification-service"));
    }

    bool registered() const { return registered_; }
    // Gives the name up, as a notification server that ended would.
    void stop() {
        if (!registered_) return;
        bus_.unregisterObject(objectPath);
        bus_.unregisterService(serviceName);
        registered_ = false;
    }

    // Lets the event loop run until `count` notices came or `limit` passed.
    void waitFor(std::size_t count, std::chrono::milliseconds limit) const {
        QElapsedTimer waited;
        waited.start();
        while (calls.size() < count && waited.elapsed() < limit.count()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    std::vector<QDBusMessage> calls;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != QLatin1String(serviceName) ||
            message.member() != QLatin1String("Notify"))
            return false;
        calls.push_back(message);
        connection.send(message.createReply(QVariant::fromValue(static_cast<uint>(calls.size()))));
        return true;
    }

  private:
    QDBusConnection bus_;
    bool registered_ = false;
};

} // namespace bramwick::test

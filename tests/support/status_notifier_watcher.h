// A stand-in for a panel's StatusNotifier watcher (org.kde.StatusNotifierWatcher) on a bus of the
// test's own: it says whether a host (a tray) is there, announces a host coming and going, and
// keeps the icons that register with it. Only for the tests that link Qt's D-Bus module.
#pragma once

#include <string>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QStringList>

namespace bramwick::test {

class StatusNotifierWatcher : public QDBusVirtualObject {
  public:
    static constexpr const char* serviceName = "org.kde.StatusNotifierWatcher";
    static constexpr const char* objectPath = "/StatusNotifierWatcher";

    // Not on the bus until `start`.
    explicit StatusNotifierWatcher(const std::string& address)
        : bus_(QDBusConnection::connectToBus(QString::fromStdString(address),
                                             QStringLiteral("status-notifier-watcher"))) {}
    ~StatusNotifierWatcher() override {
        stop();
        QDBusConnection::disconnectFromBus(QStringLiteral("status-notifier-watcher"));
    }

    // Takes the watcher's name, with a host or without one.
    bool start(bool withHost) {
        host_ = withHost;
        started_ = bus_.isConnected() && bus_.registerVirtualObject(objectPath, this) &&
                   bus_.registerService(serviceName);
        return started_;
    }
    // Gives the name up, as a panel that ended would.
    void stop() {
        if (!started_) return;
        bus_.unregisterService(serviceName);
        bus_.unregisterObject(objectPath);
        started_ = false;
    }
    void setHost(bool host) {
        host_ = host;
        bus_.send(
            QDBusMessage::createSignal(objectPath, serviceName,
                                       host ? QStringLiteral("StatusNotifierHostRegistered")
                                            : QStringLiteral("StatusNotifierHostUnregistered")));
    }

    // The services of the icons that registered, in order.
    QStringList items;

    QString introspect(const QString&) const override {
        return QStringLiteral(
            "<interface name=\"org.kde.StatusNotifierWatcher\">"
            "<method name=\"RegisterStatusNotifierItem\"><arg type=\"s\" direction=\"in\"/>"
            "</method>"
            "<method name=\"RegisterStatusNotifierHost\"><arg type=\"s\" direction=\"in\"/>"
            "</method>"
            "<property name=\"RegisteredStatusNotifierItems\" type=\"as\" access=\"read\"/>"
            "<property name=\"IsStatusNotifierHostRegistered\" type=\"b\" access=\"read\"/>"
            "<property name=\"ProtocolVersion\" type=\"i\" access=\"read\"/>"
            "<signal name=\"StatusNotifierItemRegistered\"><arg type=\"s\"/></signal>"
            "<signal name=\"StatusNotifierItemUnregistered\"><arg type=\"s\"/></signal>"
            "<signal name=\"StatusNotifierHostRegistered\"/>"
            "<signal name=\"StatusNotifierHostUnregistered\"/>"
            "</interface>");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties") &&
            message.member() == QLatin1String("Get")) {
            const QString name = message.arguments().value(1).toString();
            QVariant value;
            if (name == QLatin1String("IsStatusNotifierHostRegistered"))
                value = host_;
            else if (name == QLatin1String("RegisteredStatusNotifierItems"))
                value = items;
            else if (name == QLatin1String("ProtocolVersion"))
                value = 0;
            else
                return false;
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(value))));
            return true;
        }
        if (message.interface() != QLatin1String(serviceName)) return false;
        if (message.member() == QLatin1String("RegisterStatusNotifierItem")) {
            items << message.arguments().value(0).toString();
            connection.send(message.createReply());
            return true;
        }
        if (message.member() == QLatin1String("RegisterStatusNotifierHost")) {
            connection.send(message.createReply());
            return true;
        }
        return false;
    }

  private:
    QDBusConnection bus_;
    bool host_ = false;
    bool started_ = false;
};

} // namespace bramwick::test

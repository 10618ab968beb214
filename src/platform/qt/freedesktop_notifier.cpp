#include "platform/qt/freedesktop_notifier.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

#include "base/edition.h"
#include "platform/desktop_entry.h"

namespace bramwick {

bool FreedesktopNotifier::available() const {
    return DesktopEntry::runsInstalled();
}

QString FreedesktopNotifier::bodyMarkup(const std::string& body) {
    return QString::fromStdString(body).toHtmlEscaped();
}

bool FreedesktopNotifier::post(const std::string& summary, const std::string& body) {
    QDBusConnection bus = bus_ ? *bus_ : QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    // Lets the desktop group the notice under this program's entry and its settings.
    hints.insert(QStringLiteral("desktop-entry"), QString::fromUtf8(Edition::appId));
    call << QString::fromUtf8(Edition::displayName) // app_name
         << 0u                                      // replaces_id: always a new notice
         << QString::fromUtf8(Edition::appId)       // app_icon: the installed icon's name
         << QString::fromStdString(summary)         // plain text by definition
         << bodyMarkup(body) << QStringList() << hints
         << -1; // expire_timeout: the service's default
    // The answer (the notice's id, or an error) is of no use: a notice that is not shown loses
    // nothing, since the run is in the history anyway.
    return bus.send(call);
}

} // namespace bramwick

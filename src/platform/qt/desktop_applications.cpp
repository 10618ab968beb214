#include "platform/qt/desktop_applications.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include "platform/qt/x11_windows.h"

namespace bramwick {

namespace {

// An application that does not answer within this time is busy; its request still arrived.
constexpr int callTimeoutMs = 5000;

bool validElement(const QString& element) {
    if (element.isEmpty() || element.front().isDigit()) return false;
    for (QChar c : element)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'_' && c != u'-') return false;
    return true;
}

// Answered, or still busy with it (no answer in time): either way the application has the
// request.
bool delivered(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage ||
           (reply.type() == QDBusMessage::ErrorMessage &&
            reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.NoReply"));
}

} // namespace

DesktopApplications::DesktopApplications(std::unique_ptr<RunningApplications> lister)
    : lister_(std::move(lister)) {}

DesktopApplications::DesktopApplications(std::unique_ptr<RunningApplications> lister,
                                         const QDBusConnection& bus)
    : lister_(std::move(lister)), bus_(bus) {}

std::vector<RunningApplication> DesktopApplications::list() const {
    return lister_ ? lister_->list() : std::vector<RunningApplication>{};
}

void DesktopApplications::installOverSystem() {
    auto self = std::make_unique<DesktopApplications>(nullptr);
    DesktopApplications* installed = self.get();
    installed->lister_ = RunningApplications::install(std::move(self));
}

std::optional<DesktopApplications::BusAddress>
DesktopApplications::busAddress(const std::string& identifier) {
    QString service = QString::fromStdString(identifier);
    if (service.size() > 255) return std::nullopt;
    QStringList elements = service.split(u'.');
    if (elements.size() < 2) return std::nullopt;
    for (const auto& element : elements)
        if (!validElement(element)) return std::nullopt;
    // The path a GApplication exports its actions under: "org.gnome.Text-Editor" becomes
    // "/org/gnome/Text_Editor".
    QString path = u'/' + service;
    path.replace(u'.', u'/').replace(u'-', u'_');
    return BusAddress{service, path};
}

std::optional<DesktopApplications::BusAddress>
DesktopApplications::ownAddress(const QDBusConnection& bus,
                                const RunningApplication& application) const {
    auto address = busAddress(application.bundleIdentifier);
    if (!address || !bus.isConnected() || application.pid <= 0) return std::nullopt;
    // Only the very process that was listed: another instance or an impostor holding the name
    // is never asked.
    QDBusReply<uint> owner = bus.interface()->servicePid(address->service);
    if (!owner.isValid() || owner.value() != static_cast<uint>(application.pid))
        return std::nullopt;
    return address;
}

bool DesktopApplications::activate(const RunningApplication& application) {
    if (X11Windows::activate(application.pid) == X11Windows::Outcome::done) return true;
    QDBusConnection bus = bus_ ? *bus_ : QDBusConnection::sessionBus();
    auto address = ownAddress(bus, application);
    if (!address) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        address->service, address->path, QStringLiteral("org.freedesktop.Application"),
        QStringLiteral("Activate"));
    call << QVariantMap();
    return bus.call(call, QDBus::Block, callTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

std::optional<std::string> DesktopApplications::requestQuit(const RunningApplication& application) {
    QDBusConnection bus = bus_ ? *bus_ : QDBusConnection::sessionBus();
    if (auto address = ownAddress(bus, application)) {
        auto actions = [&](const char* member) {
            return QDBusMessage::createMethodCall(address->service, address->path,
                                                  QStringLiteral("org.gtk.Actions"),
                                                  QString::fromUtf8(member));
        };
        QDBusMessage listed = bus.call(actions("List"), QDBus::Block, callTimeoutMs);
        if (listed.type() == QDBusMessage::ReplyMessage &&
            listed.arguments().value(0).toStringList().contains(QStringLiteral("quit"))) {
            QDBusMessage quit = actions("Activate");
            quit << QStringLiteral("quit") << QVariant::fromValue(QVariantList()) << QVariantMap();
            if (delivered(bus.call(quit, QDBus::Block, callTimeoutMs))) return std::nullopt;
        }
    }
    switch (X11Windows::requestClose(application.pid)) {
    case X11Windows::Outcome::done:
        return std::nullopt;
    case X11Windows::Outcome::noWindows:
        return "It has no window to close and offers no Quit to other programs. Quit it from its "
               "own menu.";
    case X11Windows::Outcome::notAccepted:
        return "Its windows do not take a close request and it offers no Quit to other programs. "
               "Quit it "
               "from its own menu.";
    case X11Windows::Outcome::noDisplay:
        break;
    }
    if (!bus.isConnected())
        return "Neither the window system nor the session bus can be reached, so it cannot be "
               "asked to quit.";
    return "It offers no Quit to other programs, and there is no window system here to ask its "
           "windows to "
           "close. Quit it from its own menu.";
}

} // namespace bramwick

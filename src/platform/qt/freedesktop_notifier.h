// Notifications through the desktop's notification service (org.freedesktop.Notifications on
// the session bus).
#pragma once

#include <optional>

#include <QDBusConnection>
#include <QString>

#include "platform/notifier.h"

namespace bramwick {

class FreedesktopNotifier final : public Notifier {
  public:
    // Posts on the session bus of the moment.
    FreedesktopNotifier() = default;
    // Posts on `bus` instead.
    explicit FreedesktopNotifier(const QDBusConnection& bus) : bus_(bus) {}

    // Only the installed program posts (see DesktopEntry::runsInstalled).
    bool available() const override;
    // Hands the request to the service without waiting for its answer; false without a session
    // bus or when the request could not be sent. Needs a QCoreApplication.
    bool post(const std::string& summary, const std::string& body) override;

    // The body as the service receives it: services may read it as markup, so &, <, > and "
    // are written as entities and never taken for tags.
    static QString bodyMarkup(const std::string& body);

  private:
    std::optional<QDBusConnection> bus_;
};

} // namespace bramwick

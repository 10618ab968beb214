// Running applications as the desktop sees them: listed by another provider (the /proc one),
// brought forward and asked to quit through the window system and the session bus. Never a
// signal: an application that cannot be asked politely is left alone, with the reason.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <QDBusConnection>

#include "platform/running_apps.h"

namespace bramwick {

class DesktopApplications final : public RunningApplications {
  public:
    // Lists through `lister`; talks to the session bus of the moment.
    explicit DesktopApplications(std::unique_ptr<RunningApplications> lister);
    // Talks to `bus` instead.
    DesktopApplications(std::unique_ptr<RunningApplications> lister, const QDBusConnection& bus);

    std::vector<RunningApplication> list() const override;
    // The application's windows through the window manager, else its own Activate over the
    // session bus; false when neither answers.
    bool activate(const RunningApplication& application) override;
    // The application's "quit" action where it exports one on the session bus (its own Quit,
    // which may ask about unsaved work), else a close request to each of its windows; otherwise
    // the reason why it cannot be asked.
    std::optional<std::string> requestQuit(const RunningApplication& application) override;

    // Puts a DesktopApplications over the current process-wide provider, which keeps listing.
    // Call at start-up, before other threads use the provider. Needs a QCoreApplication.
    static void installOverSystem();

    // The bus name and object path an application with this identifier exports itself under,
    // or none when the identifier is no valid bus name.
    struct BusAddress {
        QString service;
        QString path;
        bool operator==(const BusAddress&) const = default;
    };
    static std::optional<BusAddress> busAddress(const std::string& identifier);

  private:
    // The application's address when its bus name is owned by its own process.
    std::optional<BusAddress> ownAddress(const QDBusConnection& bus,
                                         const RunningApplication& application) const;

    std::unique_ptr<RunningApplications> lister_;
    std::optional<QDBusConnection> bus_;
};

} // namespace bramwick

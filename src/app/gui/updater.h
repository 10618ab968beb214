// Update checks. `Updater` starts its back end at launch, switches automatic checks on only when
// the user never chose, always switches automatic downloads off, and mirrors on the GUI thread
// whether a check may start now. The program sets no update feed: the back end it uses here
// tells the user that updates come with the system's package manager.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QObject>
#include <QToolButton>

#include "platform/settings.h"

namespace bramwick {

// What an update service offers. `canCheckChanged` may come from any thread.
class UpdateBackend : public QObject {
    Q_OBJECT

  public:
    virtual void setAutomaticallyChecksForUpdates(bool on) = 0;
    virtual void setAutomaticallyDownloadsUpdates(bool on) = 0;
    virtual bool canCheckForUpdates() const = 0;
    // The user asked: the back end shows its own answer.
    virtual void checkForUpdates() = 0;

  signals:
    void canCheckChanged(bool canCheck);
};

// Where the running program comes from, for what a check tells the user.
struct Installation {
    std::string executable; // the program's own file
    bool fromSystemPackages = false;
};
// The running program's: from the system's packages only when its file lies in the system's own
// program folders (under /usr, not /usr/local) and the package manager lists it as the file of
// one of its packages. A copy run from a build folder or installed by hand is neither.
Installation currentInstallation();

// No feed: a program from the system's packages is updated with them, any other copy the way it
// was installed. The switch is kept under its key all the same; a check tells the user where
// updates come from, and no other check starts while that message is shown.
class PackageManagerUpdates : public UpdateBackend {
    Q_OBJECT

  public:
    // `tell(title, message, done)` shows the message without blocking and calls `done` once it
    // is dismissed.
    using Tell = std::function<void(const QString& title, const QString& message,
                                    std::function<void()> done)>;
    // `installation` is asked at each check (it may run the package manager once).
    PackageManagerUpdates(Settings& settings, Tell tell,
                          std::function<Installation()> installation = currentInstallation);

    static QString title(const Installation& installation);
    static QString message(const Installation& installation);

    void setAutomaticallyChecksForUpdates(bool on) override;
    void setAutomaticallyDownloadsUpdates(bool on) override { downloads_ = on; }
    bool automaticallyDownloadsUpdates() const { return downloads_; }
    bool canCheckForUpdates() const override { return !telling_; }
    void checkForUpdates() override;

  private:
    Settings& settings_;
    Tell tell_;
    std::function<Installation()> installation_;
    bool downloads_ = false;
    bool telling_ = false;
};

class Updater : public QObject {
    Q_OBJECT

  public:
    Updater(Settings& settings, std::unique_ptr<UpdateBackend> backend, QObject* parent = nullptr);

    bool canCheck() const { return canCheck_; }
    UpdateBackend& backend() { return *backend_; }
    void checkForUpdates() { backend_->checkForUpdates(); }

  signals:
    void canCheckChanged();

  private:
    std::unique_ptr<UpdateBackend> backend_;
    bool canCheck_ = true;
};

// The small button that starts a check by hand: disabled while no check may start; it brings
// the application to the front before the check, also when it lives in the tray only.
class CheckForUpdatesButton : public QToolButton {
    Q_OBJECT

  public:
    CheckForUpdatesButton(Updater& updater, std::function<void()> activate,
                          QWidget* parent = nullptr);

  private:
    Updater& updater_;
    std::function<void()> activate_;
};

} // namespace bramwick

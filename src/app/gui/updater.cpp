#include "app/gui/updater.h"

#include <filesystem>

#include <QPointer>

#include "base/edition.h"
#include "base/shell.h"
#include "base/text.h"
#include "engine/settings_keys.h"
#include "platform/admin.h"
#include "store/to_qstring.h"

namespace bramwick {

Installation currentInstallation() {
    Installation made;
    made.executable = Admin::ownExecutable();
    const std::string& file = made.executable;
    if (!Text::startsWith(file, "/usr/") || Text::startsWith(file, "/usr/local/")) return made;
    try {
        made.fromSystemPackages = Shell::run({"dpkg-query", "--search", file}, 10).status == 0;
    } catch (const std::exception&) {
        made.fromSystemPackages = false; // no package manager to ask: no package's file
    }
    return made;
}

PackageManagerUpdates::PackageManagerUpdates(Settings& settings, Tell tell,
                                             std::function<Installation()> installation)
    : settings_(settings), tell_(std::move(tell)), installation_(std::move(installation)) {}

QString PackageManagerUpdates::title(const Installation& installation) {
    return installation.fromSystemPackages ? QStringLiteral("Updates come with your system")
                                           : QStringLiteral("Update it the way you installed it");
}

QString PackageManagerUpdates::message(const Installation& installation) {
    const QString name = toQString(Edition::displayName);
    if (installation.fromSystemPackages)
        return QStringLiteral("%1 is installed from your system's packages, so your system's "
                              "package manager brings its updates with the rest of your software.")
            .arg(name);
    const QString folder =
        toQString(std::filesystem::path(installation.executable).parent_path().string());
    return QStringLiteral("This copy of %1 runs from %2 and is not one of your system's packages, "
                          "so nothing here brings its updates: update it the way you installed "
                          "it (for a copy you built, build the newer source).")
        .arg(name, folder);
}

void PackageManagerUpdates::setAutomaticallyChecksForUpdates(bool on) {
    // Nothing stored reads as on: switching on then writes nothing, so merely starting leaves
    // the settings file alone (an unreadable one is not set aside).
    if (settings_.boolean(SettingsKeys::automaticUpdateChecks).value_or(true) != on)
        settings_.set(SettingsKeys::automaticUpdateChecks, on);
}

void PackageManagerUpdates::checkForUpdates() {
    if (telling_) return;
    telling_ = true;
    emit canCheckChanged(false);
    QPointer<PackageManagerUpdates> self(this);
    const Installation installation = installation_ ? installation_() : Installation{};
    tell_(title(installation), message(installation), [self] {
        if (!self) return;
        self->telling_ = false;
        emit self->canCheckChanged(true);
    });
}

Updater::Updater(Settings& settings, std::unique_ptr<UpdateBackend> backend, QObject* parent)
    : QObject(parent), backend_(std::move(backend)) {
    // Only a user who never chose gets automatic checks switched on; a stored false stays.
    if (!settings.contains(SettingsKeys::automaticUpdateChecks))
        backend_->setAutomaticallyChecksForUpdates(true);
    backend_->setAutomaticallyDownloadsUpdates(false);

    // The back end may report from any thread: the flag changes only on this one.
    QPointer<Updater> self(this);
    auto mirror = [self](bool value) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, value] {
                if (!self || self->canCheck_ == value) return;
                self->canCheck_ = value;
                emit self->canCheckChanged();
            },
            Qt::QueuedConnection);
    };
    connect(backend_.get(), &UpdateBackend::canCheckChanged, this, mirror, Qt::DirectConnection);
    mirror(backend_->canCheckForUpdates());
}

CheckForUpdatesButton::CheckForUpdatesButton(Updater& updater, std::function<void()> activate,
                                             QWidget* parent)
    : QToolButton(parent), updater_(updater), activate_(std::move(activate)) {
    setObjectName(QStringLiteral("checkForUpdates"));
    setToolTip(QStringLiteral("Check for updates"));
    setAutoRaise(true);
    setEnabled(updater_.canCheck());
    connect(&updater_, &Updater::canCheckChanged, this,
            [this] { setEnabled(updater_.canCheck()); });
    connect(this, &QToolButton::clicked, this, [this] {
        if (activate_) activate_();
        updater_.checkForUpdates();
    });
}

} // namespace bramwick

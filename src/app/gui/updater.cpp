#include "app/gui/updater.h"

#include <QPointer>

#include "base/edition.h"

namespace bramwick {

PackageManagerUpdates::PackageManagerUpdates(Settings& settings, Tell tell)
    : settings_(settings), tell_(std::move(tell)) {}

QString PackageManagerUpdates::title() {
    return QStringLiteral("Updates come with your system");
}

QString PackageManagerUpdates::message() {
    return QStringLiteral("%1 is installed from your system's packages, so your system's package "
                          "manager brings its updates with the rest of your software.")
        .arg(QString::fromUtf8(Edition::displayName));
}

void PackageManagerUpdates::setAutomaticallyChecksForUpdates(bool on) {
    // Nothing stored reads as on: switching on then writes nothing, so merely starting leaves
    // the settings file alone (an unreadable one is not set aside).
    if (settings_.boolean(automaticChecksKey).value_or(true) != on)
        settings_.set(automaticChecksKey, on);
}

void PackageManagerUpdates::checkForUpdates() {
    if (telling_) return;
    telling_ = true;
    emit canCheckChanged(false);
    QPointer<PackageManagerUpdates> self(this);
    tell_(title(), message(), [self] {
        if (!self) return;
        self->telling_ = false;
        emit self->canCheckChanged(true);
    });
}

Updater::Updater(Settings& settings, std::unique_ptr<UpdateBackend> backend, QObject* parent)
    : QObject(parent), backend_(std::move(backend)) {
    // Only a user who never chose gets automatic checks switched on; a stored false stays.
    if (!settings.contains(automaticChecksKey)) backend_->setAutomaticallyChecksForUpdates(true);
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

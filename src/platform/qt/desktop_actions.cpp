#include "platform/qt/desktop_actions.h"

#include <set>

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

#include "platform/desktop_entry.h"
#include "platform/files.h"

namespace bramwick::DesktopActions {

namespace {

std::string parentOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

QStringList fileUris(const std::vector<std::string>& paths) {
    QStringList uris;
    for (const auto& path : paths)
        uris << QUrl::fromLocalFile(QString::fromStdString(path)).toString(QUrl::FullyEncoded);
    return uris;
}

std::vector<std::string> containingFolders(const std::vector<std::string>& paths) {
    std::vector<std::string> folders;
    std::set<std::string> seen;
    for (const auto& path : paths) {
        std::string folder = parentOf(path);
        if (seen.insert(folder).second) folders.push_back(folder);
    }
    return folders;
}

bool openFolder(const std::string& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
}

void reveal(const std::vector<std::string>& paths, std::optional<QDBusConnection> bus,
            FolderOpener opener) {
    if (paths.empty()) return;
    auto fallBack = [paths, opener] {
        for (const auto& folder : containingFolders(paths))
            opener(folder);
    };
    QDBusConnection connection = bus ? *bus : QDBusConnection::sessionBus();
    if (!connection.isConnected()) {
        fallBack();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << fileUris(paths) << QString(); // no startup notification id
    auto* watcher = new QDBusPendingCallWatcher(connection.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [fallBack](QDBusPendingCallWatcher* finished) {
                         if (finished->isError()) fallBack();
                         finished->deleteLater();
                     });
}

bool openApplication(const std::string& id) {
    auto entry = DesktopEntry::entryFor(id);
    if (!entry) return false;
    auto text = Files::read(*entry);
    if (!text) return false;
    auto keys = DesktopEntry::mainGroup(*text);
    auto exec = keys.find("Exec");
    if (exec == keys.end()) return false;
    std::string program = DesktopEntry::program(exec->second);
    auto arguments = DesktopEntry::execArguments(exec->second);
    if (program.empty() || arguments.empty()) return false;
    QStringList rest;
    for (std::size_t i = 1; i < arguments.size(); ++i)
        rest << QString::fromStdString(arguments[i]);
    return QProcess::startDetached(QString::fromStdString(program), rest);
}

} // namespace bramwick::DesktopActions

// What the store asks of the desktop: show files in the file manager, and start an installed
// application by its desktop-file id.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QDBusConnection>
#include <QStringList>

namespace bramwick::DesktopActions {

// The items as file URIs, in their order ("/a b" → "file:///a%20b").
QStringList fileUris(const std::vector<std::string>& paths);
// The folders that hold the items, each once, in the order first met.
std::vector<std::string> containingFolders(const std::vector<std::string>& paths);

// Opens a folder in the desktop's file manager; false when it could not be handed over.
using FolderOpener = std::function<bool(const std::string& folder)>;
bool openFolder(const std::string& folder);

// Asks the file manager to show the items selected (org.freedesktop.FileManager1 ShowItems on
// the session bus, which starts a file manager that offers it). Without an answer from such a
// file manager, the folders holding the items are opened instead. Returns at once: the answer
// is awaited on the event loop of the calling thread.
void reveal(const std::vector<std::string>& paths, std::optional<QDBusConnection> bus = {},
            FolderOpener opener = openFolder);

// Starts the application whose desktop entry has this id, as its Exec line says, detached from
// this program. False when there is no such entry or its program cannot be started.
bool openApplication(const std::string& id);

} // namespace bramwick::DesktopActions

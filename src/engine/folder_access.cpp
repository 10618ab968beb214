#include "engine/folder_access.h"

#include "engine/settings_keys.h"
#include "platform/settings.h"

namespace bramwick {

const std::vector<SuggestedFolder>& FolderAccess::suggested() {
    static const std::vector<SuggestedFolder> folders{
        {"caches", "Caches", "~/Library/Caches", "App and browser caches that rebuild themselves.",
         "scan app caches"},
        {"developer", "Developer", "~/Library/Developer",
         "Xcode's build data and the files it copies from your devices.",
         "scan Xcode's build data"},
        {"logs", "Logs", "~/Library/Logs",
         "Log files and crash reports, only needed when chasing a bug.", "scan log files"},
        {"desktop", "Desktop", "~/Desktop",
         "Your own files, for Large Files and the duplicate finders.",
         "look for large files and duplicates on your Desktop"},
        {"documents", "Documents", "~/Documents",
         "Your own files, for Large Files and the duplicate finders.",
         "look for large files and duplicates in Documents"},
    };
    return folders;
}

FolderAccess::FolderAccess(Settings& settings) : settings_(settings) {}

void FolderAccess::remove(const SuggestedFolder& folder) {
    settings_.remove(SettingsKeys::folderAccessPrefix + folder.id);
    // Access here is plain file permissions: there is no open scope to close, only the record.
    scoped_.erase(folder.id);
    if (granted_.erase(folder.id) == 0) return;
    auto observers = observers_; // an observer may unsubscribe while being told
    for (auto& [token, observer] : observers)
        observer();
}

std::size_t FolderAccess::subscribe(std::function<void()> observer) {
    observers_[nextToken_] = std::move(observer);
    return nextToken_++;
}

void FolderAccess::unsubscribe(std::size_t token) {
    observers_.erase(token);
}

} // namespace bramwick

#include "engine/folder_access.h"

#include "platform/settings.h"

namespace bramwick {

FolderAccess& FolderAccess::shared() {
    static FolderAccess record(Settings::standard());
    return record;
}

FolderAccess::FolderAccess(Settings& settings) : settings_(settings) {}

void FolderAccess::remove(const SuggestedFolder& folder) {
    settings_.remove("folderAccess." + folder.id);
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

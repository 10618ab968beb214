// The folders, out of the suggested ones, that the user has given the program access to. The
// record starts empty at every launch; only `remove` changes it, and views observe it.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace bramwick {

class Settings;

// One folder the settings suggest giving access to.
struct SuggestedFolder {
    std::string id;      // also the suffix of its settings key "folderAccess.<id>"
    std::string name;    // shown
    std::string path;    // "~" form
    std::string why;     // what it holds and why access helps
    std::string purpose; // what the program does there

    bool operator==(const SuggestedFolder&) const = default;
};

class FolderAccess {
  public:
    // The folders the settings suggest, in the order they are listed: caches, developer, logs,
    // desktop, documents.
    static const std::vector<SuggestedFolder>& suggested();

    // The one record of the process, over the standard settings. Used on the main thread.
    static FolderAccess& shared();
    explicit FolderAccess(Settings& settings);

    // Ids of the folders access was granted to.
    const std::set<std::string>& granted() const { return granted_; }
    // Folders whose access is open now, by id.
    const std::map<std::string, std::string>& scoped() const { return scoped_; }

    // Forgets the folder's access: its settings key, its open access and its grant. Harmless
    // for a folder that was never granted.
    void remove(const SuggestedFolder& folder);

    // Called after `granted` changed.
    std::size_t subscribe(std::function<void()> observer);
    void unsubscribe(std::size_t token);

  private:
    Settings& settings_;
    std::set<std::string> granted_;
    std::map<std::string, std::string> scoped_;
    std::map<std::size_t, std::function<void()>> observers_;
    std::size_t nextToken_ = 1;
};

} // namespace bramwick

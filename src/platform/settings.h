// The user's settings ("user defaults"): one JSON object in one file, typed values kept as JSON
// keeps them (an integer stays an integer), readable from any thread, written atomically. A
// settings file that is a link (kept in a dotfiles repository) is written where it leads.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <thread>

#include <nlohmann/json.hpp>

namespace bramwick {

class Settings {
  public:
    // A store over `file`. Nothing is read until the first access.
    explicit Settings(std::string file);
    // Waits for a write still running in the background.
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // The process-wide store at <config>/bramwick/settings.json.
    static Settings& standard();
    static std::string standardPath();

    const std::string& path() const { return path_; }

    std::optional<nlohmann::json> value(std::string_view key) const;
    // Lets `read` look at the stored value in place (null when there is none), without the copy
    // `value` makes: for long values read once, as the history at start-up.
    void read(std::string_view key, const std::function<void(const nlohmann::json*)>& read) const;
    // Only a JSON integer counts (a text "30" or the number 30.5 does not).
    std::optional<std::int64_t> integer(std::string_view key) const;
    // Any JSON number.
    std::optional<double> number(std::string_view key) const;
    std::optional<bool> boolean(std::string_view key) const;
    std::optional<std::string> string(std::string_view key) const;
    bool contains(std::string_view key) const;

    // Sets or removes a key and saves the file. On a failed save the value stays in memory,
    // the file on disk is unchanged, and the reason is returned.
    std::optional<std::string> set(const std::string& key, nlohmann::json value);
    std::optional<std::string> remove(const std::string& key);

    // Changes a key in memory at once (in place: a long history is not copied) and writes the
    // file on a thread of its own, for values too large for their caller to wait on the write.
    // Changes made while a write runs are written together after it. A failed write is kept in
    // `unsaved`, as for `set`, and told to those following the writes.
    void updateLater(const std::string& key, const std::function<void(nlohmann::json&)>& change);
    // Waits until every change made so far is in the file (or its write failed). What `unsaved`
    // says then.
    std::optional<std::string> flush();

    // Called after a key changed, on the thread that changed it.
    using Observer = std::function<void(const std::string& key)>;
    std::size_t subscribe(Observer observer);
    // Called after each write made by `updateLater`, on the writer's thread, with why it failed
    // (none when it succeeded). Never called once `unsubscribe` has returned.
    using WriteObserver = std::function<void(const std::optional<std::string>& problem)>;
    std::size_t subscribeToWrites(WriteObserver observer);
    void unsubscribe(std::size_t token);

    // Why the file could not be read at load, if it could not.
    std::optional<std::string> loadProblem() const;
    // Why the values in memory are not all in the file: the reason the last save failed, until
    // a save succeeds. Every save writes all the values, so one that succeeds saves those kept
    // only in memory by the failures before it.
    std::optional<std::string> unsaved() const;

  private:
    void load() const;
    // The document, to be changed: a copy of its own while a write still reads the old one.
    nlohmann::json& changeable();
    std::optional<std::string> save(const nlohmann::json& document);
    std::optional<std::string> writeFile(const nlohmann::json& document);
    void notify(const std::string& key);
    void writeInBackground();

    std::string path_;
    mutable std::shared_mutex mutex_;
    mutable bool loaded_ = false;
    // Shared with a write that is dumping it, so the write needs no copy and holds no lock.
    mutable std::shared_ptr<nlohmann::json> document_ =
        std::make_shared<nlohmann::json>(nlohmann::json::object());
    // The file on disk could not be read: it is set aside before the first save, never
    // overwritten in place, and left exactly as it is by a run that only reads.
    mutable bool setAsideBeforeSave_ = false;
    mutable std::optional<std::string> loadProblem_;
    std::optional<std::string> unsaved_;
    // Held across every write, so writes never overlap and each writes the latest document.
    std::mutex writeMutex_;
    bool temporariesChecked_ = false;

    // The background writer: changes queued and written, counted, so `flush` knows its own.
    std::mutex queueMutex_;
    std::condition_variable queueChanged_;
    std::uint64_t queued_ = 0;
    std::uint64_t written_ = 0;
    bool stopping_ = false;
    std::thread writer_;

    std::mutex observersMutex_;
    std::map<std::size_t, Observer> observers_;
    std::size_t nextToken_ = 1;
    // Held while they are called, so that `unsubscribe` waits for a call under way.
    std::mutex writeObserversMutex_;
    std::map<std::size_t, WriteObserver> writeObservers_;
};

} // namespace bramwick

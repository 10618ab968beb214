// The user's settings ("user defaults"): one JSON object in one file, typed values kept as JSON
// keeps them (an integer stays an integer), readable from any thread, written atomically.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace bramwick {

class Settings {
  public:
    // A store over `file`. Nothing is read until the first access.
    explicit Settings(std::string file);
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // The process-wide store at <config>/bramwick/settings.json.
    static Settings& standard();
    static std::string standardPath();

    const std::string& path() const { return path_; }

    std::optional<nlohmann::json> value(std::string_view key) const;
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

    // Called after a key changed, on the thread that changed it.
    using Observer = std::function<void(const std::string& key)>;
    std::size_t subscribe(Observer observer);
    void unsubscribe(std::size_t token);

    // Why the file could not be read at load, if it could not.
    std::optional<std::string> loadProblem() const;
    // Why the values in memory are not all in the file: the reason the last save failed, until
    // a save succeeds. Every save writes all the values, so one that succeeds saves those kept
    // only in memory by the failures before it.
    std::optional<std::string> unsaved() const;

  private:
    void load() const;
    std::optional<std::string> save(const nlohmann::json& document);
    std::optional<std::string> writeFile(const nlohmann::json& document);
    void notify(const std::string& key);

    std::string path_;
    mutable std::shared_mutex mutex_;
    mutable bool loaded_ = false;
    mutable nlohmann::json document_ = nlohmann::json::object();
    // The file on disk could not be read: it is set aside before the first save, never
    // overwritten in place, and left exactly as it is by a run that only reads.
    mutable bool setAsideBeforeSave_ = false;
    mutable std::optional<std::string> loadProblem_;
    std::optional<std::string> unsaved_;
    std::mutex writeMutex_;

    std::mutex observersMutex_;
    std::map<std::size_t, Observer> observers_;
    std::size_t nextToken_ = 1;
};

} // namespace bramwick

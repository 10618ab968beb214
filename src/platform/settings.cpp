#include "platform/settings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <fmt/format.h>

#include "base/edition.h"
#include "base/paths.h"
#include "base/unique_fd.h"
#include "platform/files.h"

namespace bramwick {

namespace {

// The text of the settings file (none when there is no file), or why it cannot be read. Only a
// regular file is read: a pipe or a device in its place would block the program or never end.
struct FileText {
    std::optional<std::string> text;
    std::optional<std::string> problem;
};

FileText readSettingsFile(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) {
        if (errno == ENOENT) return {};
        return {std::nullopt, fmt::format("cannot read {}: {}", path, std::strerror(errno))};
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {std::nullopt,
                fmt::format("{} is {}, not a file", path,
                            S_ISDIR(st.st_mode) ? "a folder" : "a pipe, socket or device")};
    auto text = Files::readAll(fd.get());
    int error = errno;
    if (!text) return {std::nullopt, fmt::format("cannot read {}: {}", path, std::strerror(error))};
    return {std::move(text), std::nullopt};
}

// Whether the JSON text nests deeper than `deepest` levels: one pass over it, outside strings.
// The parser's own per-value callback would tell too, but it makes a long list cost time
// quadratic in its length.
bool nestsDeeperThan(std::string_view text, int deepest) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > deepest) return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

// Where the settings are written: the file a link at `path` leads to (a dotfiles repository),
// so the link stays a link. Only a link to a regular file is written through; anything else
// (a link leading nowhere, to a device) is replaced as a file of its own would be.
std::string writtenPath(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    auto target = Paths::resolved(path);
    if (!target || ::lstat(target->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return path;
    return *target;
}

} // namespace

Settings::Settings(std::string file) : path_(std::move(file)) {}

Settings::~Settings() {
    {
        std::lock_guard lock(queueMutex_);
        stopping_ = true;
    }
    queueChanged_.notify_all();
    if (writer_.joinable()) writer_.join();
}

std::string Settings::standardPath() {
    return Edition::configHome() + "/bramwick/settings.json";
}

Settings& Settings::standard() {
    static Settings instance(standardPath());
    return instance;
}

void Settings::load() const {
    {
        std::shared_lock lock(mutex_);
        if (loaded_) return;
    }
    std::unique_lock lock(mutex_);
    if (loaded_) return;
    loaded_ = true;

    auto file = readSettingsFile(path_);
    if (file.problem) {
        loadProblem_ = std::move(file.problem);
    } else if (file.text) {
        // Settings nest a few levels at most. A document nested far deeper would be read, but
        // writing it out again recurses once per level and can overflow the stack.
        constexpr int deepest = 64;
        bool tooDeep = nestsDeeperThan(*file.text, deepest);
        nlohmann::json parsed =
            tooDeep ? nlohmann::json() : nlohmann::json::parse(*file.text, nullptr, false);
        if (tooDeep)
            loadProblem_ = fmt::format("{} nests its values too deeply", path_);
        else if (parsed.is_discarded())
            loadProblem_ = fmt::format("{} is not valid JSON", path_);
        else if (!parsed.is_object())
            loadProblem_ = fmt::format("{} does not hold a JSON object", path_);
        else
            document_ = std::make_shared<nlohmann::json>(std::move(parsed));
    }
    if (loadProblem_) {
        setAsideBeforeSave_ = true;
        std::fprintf(stderr, "bramwick: %s; using default settings (the file is kept as it is)\n",
                     loadProblem_->c_str());
    }
}

std::optional<nlohmann::json> Settings::value(std::string_view key) const {
    load();
    std::shared_lock lock(mutex_);
    auto it = document_->find(key);
    if (it == document_->end()) return std::nullopt;
    return *it;
}

void Settings::read(std::string_view key,
                    const std::function<void(const nlohmann::json*)>& read) const {
    load();
    std::shared_lock lock(mutex_);
    auto it = document_->find(key);
    read(it == document_->end() ? nullptr : &*it);
}

std::optional<std::int64_t> Settings::integer(std::string_view key) const {
    auto v = value(key);
    if (!v) return std::nullopt;
    if (v->is_number_unsigned()) {
        auto u = v->get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(INT64_MAX)) return INT64_MAX;
        return static_cast<std::int64_t>(u);
    }
    if (v->is_number_integer()) return v->get<std::int64_t>();
    return std::nullopt;
}

std::optional<double> Settings::number(std::string_view key) const {
    auto v = value(key);
    if (!v || !v->is_number()) return std::nullopt;
    return v->get<double>();
}

std::optional<bool> Settings::boolean(std::string_view key) const {
    auto v = value(key);
    if (!v || !v->is_boolean()) return std::nullopt;
    return v->get<bool>();
}

std::optional<std::string> Settings::string(std::string_view key) const {
    auto v = value(key);
    if (!v || !v->is_string()) return std::nullopt;
    return v->get<std::string>();
}

bool Settings::contains(std::string_view key) const {
    return value(key).has_value();
}

nlohmann::json& Settings::changeable() {
    if (document_.use_count() > 1) document_ = std::make_shared<nlohmann::json>(*document_);
    return *document_;
}

std::optional<std::string> Settings::set(const std::string& key, nlohmann::json value) {
    load();
    std::optional<std::string> problem;
    {
        std::lock_guard write(writeMutex_);
        std::shared_ptr<const nlohmann::json> snapshot;
        {
            std::unique_lock lock(mutex_);
            changeable()[key] = std::move(value);
            snapshot = document_;
        }
        problem = save(*snapshot);
    }
    notify(key);
    return problem;
}

std::optional<std::string> Settings::remove(const std::string& key) {
    load();
    std::optional<std::string> problem;
    {
        std::lock_guard write(writeMutex_);
        std::shared_ptr<const nlohmann::json> snapshot;
        {
            std::unique_lock lock(mutex_);
            if (!document_->contains(key)) return std::nullopt;
            changeable().erase(key);
            snapshot = document_;
        }
        problem = save(*snapshot);
    }
    notify(key);
    return problem;
}

void Settings::updateLater(const std::string& key,
                           const std::function<void(nlohmann::json&)>& change) {
    load();
    {
        std::unique_lock lock(mutex_);
        change(changeable()[key]);
    }
    {
        std::lock_guard lock(queueMutex_);
        ++queued_;
        if (!writer_.joinable()) writer_ = std::thread([this] { writeInBackground(); });
    }
    queueChanged_.notify_all();
    notify(key);
}

void Settings::writeInBackground() {
    std::unique_lock queue(queueMutex_);
    for (;;) {
        queueChanged_.wait(queue, [this] { return written_ < queued_ || stopping_; });
        if (written_ == queued_) return; // stopping, with nothing left to write
        const std::uint64_t upTo = queued_;
        queue.unlock();
        std::optional<std::string> problem;
        {
            // Whatever is in memory when the write starts goes in it: every change queued so
            // far, and any made by `set` meanwhile.
            std::lock_guard write(writeMutex_);
            std::shared_ptr<const nlohmann::json> snapshot;
            {
                std::shared_lock lock(mutex_);
                snapshot = document_;
            }
            problem = save(*snapshot);
        }
        {
            std::lock_guard observing(writeObserversMutex_);
            for (const auto& [token, observer] : writeObservers_)
                observer(problem);
        }
        queue.lock();
        written_ = upTo;
        queueChanged_.notify_all();
    }
}

std::optional<std::string> Settings::flush() {
    {
        std::unique_lock queue(queueMutex_);
        const std::uint64_t wanted = queued_;
        queueChanged_.wait(queue, [&] { return written_ >= wanted || !writer_.joinable(); });
    }
    return unsaved();
}

std::optional<std::string> Settings::save(const nlohmann::json& document) {
    auto problem = writeFile(document);
    std::unique_lock lock(mutex_);
    unsaved_ = problem;
    return problem;
}

std::optional<std::string> Settings::writeFile(const nlohmann::json& document) {
    const std::string target = writtenPath(path_);
    std::string folder = target.substr(0, target.rfind('/'));
    if (auto problem = Files::makeFolders(folder)) return problem;
    // What an earlier run left when it ended in the middle of a write.
    if (!temporariesChecked_) {
        temporariesChecked_ = true;
        Files::removeStaleTemporaries(target);
    }

    if (setAsideBeforeSave_) {
        char stamp[32];
        std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
        std::string aside = target + ".corrupt-" + stamp;
        if (::rename(target.c_str(), aside.c_str()) == 0) {
            std::fprintf(stderr, "bramwick: the unreadable settings file was kept as %s\n",
                         aside.c_str());
        } else if (errno != ENOENT) {
            // Never write over a file we could not read.
            return fmt::format("could not set aside the unreadable settings file {}: {}", target,
                               std::strerror(errno));
        }
        setAsideBeforeSave_ = false;
    }
    return Files::writeAtomically(
        target, document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

void Settings::notify(const std::string& key) {
    std::vector<Observer> observers;
    {
        std::lock_guard lock(observersMutex_);
        for (auto& [token, observer] : observers_)
            observers.push_back(observer);
    }
    for (auto& observer : observers)
        observer(key);
}

std::size_t Settings::subscribe(Observer observer) {
    std::lock_guard lock(observersMutex_);
    std::size_t token = nextToken_++;
    observers_.emplace(token, std::move(observer));
    return token;
}

std::size_t Settings::subscribeToWrites(WriteObserver observer) {
    std::size_t token = 0;
    {
        std::lock_guard lock(observersMutex_);
        token = nextToken_++;
    }
    std::lock_guard observing(writeObserversMutex_);
    writeObservers_.emplace(token, std::move(observer));
    return token;
}

void Settings::unsubscribe(std::size_t token) {
    {
        std::lock_guard lock(observersMutex_);
        observers_.erase(token);
    }
    std::lock_guard observing(writeObserversMutex_);
    writeObservers_.erase(token);
}

std::optional<std::string> Settings::loadProblem() const {
    load();
    std::shared_lock lock(mutex_);
    return loadProblem_;
}

std::optional<std::string> Settings::unsaved() const {
    std::shared_lock lock(mutex_);
    return unsaved_;
}

} // namespace bramwick

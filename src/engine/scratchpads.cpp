#include "engine/scratchpads.h"

#include <algorithm>
#include <chrono>
#include <sys/stat.h>
#include <unistd.h>

#include "base/edition.h"
#include "base/paths.h"
#include "base/text.h"
#include "engine/scanner.h"
#include "platform/files.h"

namespace bramwick::Scanner {

namespace {

constexpr const char* recentSessionNote = "Used in the last hour — may be a running session";
constexpr const char* copiedFilesNote =
    "Contains copied files that may not regenerate — check you have another copy first";
constexpr const char* recentBuildNote = "Built in the last hour — may belong to a running session";

bool isRealFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

using Files::names;

// A session's build folder, taken only where neither it nor its scratchpad is a link: a link
// there would have the build-folder category, which deletes outright, list what it leads to.
bool isBuildFolder(const std::string& session) {
    return isRealFolder(session + "/scratchpad") && isRealFolder(session + "/scratchpad/dd");
}

bool isRecent(const std::string& path) {
    auto date = modified(path);
    return date && *date > std::chrono::system_clock::now() - std::chrono::seconds(3600);
}

// Files the assistant copied in to work on (pull requests, posts, transcripts) that may exist
// nowhere else.
bool isCopiedFile(const std::string& name) {
    if (name.starts_with("pull") || name.starts_with("post")) return true;
    return name.size() >= 3 && name[0] == 't' && name[1] == 'r' && name[2] >= '0' && name[2] <= '9';
}

} // namespace

std::string claudeSessionRoot() {
    std::string folder = "/tmp/claude-" + std::to_string(::getuid());
    return Edition::isSandboxed() ? Edition::home() + folder : folder;
}

std::vector<std::string> claudeSessions(const std::string& root) {
    // /tmp is shared by every user: a root that another user made, or a link planted there,
    // must never lead the cleaner anywhere.
    struct stat st {};
    if (::lstat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return {};
    std::vector<std::string> sessions;
    for (const auto& project : names(root)) {
        std::string projectPath = root + "/" + project;
        if (!isRealFolder(projectPath)) continue;
        for (const auto& session : names(projectPath)) {
            std::string sessionPath = projectPath + "/" + session;
            if (isRealFolder(sessionPath)) sessions.push_back(std::move(sessionPath));
        }
    }
    return sessions;
}

std::string claudeSessionName(const std::string& sessionPath) {
    std::string key = lastComponent(Paths::parent(sessionPath));
    constexpr std::string_view marker = "-Projects-";
    auto at = key.rfind(marker);
    std::string project = at == std::string::npos ? key : key.substr(at + marker.size());
    // A session started outside any project is named after the home folder it ran in: the
    // users' homes, or the administrator's own (/root).
    if (project.starts_with("-Users-") || project.starts_with("-home-") || project == "-root" ||
        project.starts_with("-root-"))
        project = "no project folder";
    return project + " · session " + Text::prefix(lastComponent(sessionPath), 8);
}

std::vector<ScanItem> claudeScratchpads(const std::string& root) {
    auto sessions = claudeSessions(root);
    auto items = measure(sessions, claudeSessionName,
                         [](const std::string& session) -> std::optional<std::string> {
                             std::vector<std::string> notes;
                             if (isRecent(session)) notes.emplace_back(recentSessionNote);
                             auto entries = names(session + "/scratchpad");
                             if (std::any_of(entries.begin(), entries.end(), isCopiedFile))
                                 notes.emplace_back(copiedFilesNote);
                             if (notes.empty()) return std::nullopt;
                             std::string joined = notes.front();
                             for (std::size_t i = 1; i < notes.size(); ++i)
                                 joined += " · " + notes[i];
                             return joined;
                         });
    // The build folder is counted by the build-folder category alone.
    for (auto& item : items) {
        std::string build = item.url + "/scratchpad/dd";
        if (isBuildFolder(item.url))
            item.size = std::max<std::int64_t>(0, item.size - allocatedSize(build));
    }
    return items;
}

std::vector<ScanItem> claudeScratchpadBuilds(const std::string& root) {
    std::vector<std::string> builds;
    for (const auto& session : claudeSessions(root))
        if (isBuildFolder(session)) builds.push_back(session + "/scratchpad/dd");
    return measure(
        builds,
        [](const std::string& build) {
            return claudeSessionName(Paths::parent(Paths::parent(build)));
        },
        [](const std::string& build) -> std::optional<std::string> {
            if (isRecent(build)) return recentBuildNote;
            return std::nullopt;
        });
}

} // namespace bramwick::Scanner

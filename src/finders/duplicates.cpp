#include "finders/duplicates.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <unordered_map>

#include <fmt/format.h>
#include <tbb/parallel_for.h>

#include "base/paths.h"
#include "base/text.h"
#include "engine/catalog.h"
#include "engine/scanner.h"
#include "finders/file_digest.h"
#include "platform/held_item.h"

namespace bramwick::Duplicates {

namespace {

using FileDigest::Digest;

constexpr std::int64_t prefixBytes = 65'536;

// The files of one size that also share a digest or a print.
template <typename Value> struct Key {
    std::int64_t size;
    Value value;
    bool operator==(const Key&) const = default;
};

struct KeyHash {
    template <typename Value> std::size_t operator()(const Key<Value>& key) const noexcept {
        std::size_t h;
        if constexpr (std::is_same_v<Value, Digest>)
            std::memcpy(&h, key.value.data(), sizeof h);
        else
            h = static_cast<std::size_t>(key.value);
        return h ^ std::hash<std::int64_t>{}(key.size);
    }
};

// The folders of the user's downloads, as the Downloads Folder row lists them (~/Downloads and the
// download folder the desktop names, "Téléchargements"), each also as the walk spells a folder
// reached through a link, and each with a slash after it.
const std::vector<std::string>& downloadFolders() {
    static const std::vector<std::string> folders = [] {
        std::vector<std::string> out;
        const CleanupCategory* downloads = Catalog::find("downloads");
        for (const auto& path : downloads ? downloads->source.paths : std::vector<std::string>{}) {
            std::string folder = Paths::withoutTrailingSlash(Catalog::expand(path));
            out.push_back(folder + "/");
            if (std::string walked = Held::walkableFolder(folder);
                !walked.empty() && walked != folder)
                out.push_back(walked + "/");
        }
        return out;
    }();
    return folders;
}

bool downloaded(const std::string& path) {
    const auto& folders = downloadFolders();
    return std::any_of(folders.begin(), folders.end(),
                       [&](const std::string& folder) { return path.starts_with(folder); });
}

// Digests of the chosen files, all in one parallel loop. The larger files go first, so that one
// big file started last does not leave the other threads idle at the end.
template <typename Value, typename Read>
void digestAll(const Read& read, const std::vector<Candidate>& files,
               std::vector<std::size_t> chosen, std::vector<std::optional<Value>>& out) {
    std::sort(chosen.begin(), chosen.end(), [&](std::size_t a, std::size_t b) {
        return files[a].size != files[b].size ? files[a].size > files[b].size : a < b;
    });
    tbb::parallel_for(
        tbb::blocked_range<std::size_t>(0, chosen.size(), 1),
        [&](const tbb::blocked_range<std::size_t>& range) {
            for (std::size_t k = range.begin(); k != range.end(); ++k) {
                out[chosen[k]] = read(files[chosen[k]]);
            }
        },
        tbb::simple_partitioner());
}

// Splits the candidates by size and digest; keeps the lists of two or more, members in walk order.
template <typename Value>
std::vector<std::vector<std::size_t>> split(const std::vector<Candidate>& files,
                                            const std::vector<std::size_t>& chosen,
                                            const std::vector<std::optional<Value>>& digests) {
    std::unordered_map<Key<Value>, std::vector<std::size_t>, KeyHash> lists;
    for (std::size_t i : chosen)
        if (digests[i]) lists[{files[i].size, *digests[i]}].push_back(i); // none: unreadable, out
    std::vector<std::vector<std::size_t>> kept;
    for (auto& [key, list] : lists)
        if (list.size() >= 2) kept.push_back(std::move(list));
    return kept;
}

std::vector<ScanItem> rows(const Group& group) {
    std::vector<ScanItem> rows;
    const Candidate& keeper = group.keeper;
    std::string keeperName = Scanner::lastComponent(keeper.path);
    std::size_t count = group.copies.size() + 1;
    for (std::size_t p = 0; p < group.copies.size(); ++p) {
        const Candidate& copy = group.copies[p];
        std::string tail =
            Scanner::lastComponent(copy.path) == keeperName
                ? "keeping the copy in " + Catalog::shortFolder(Paths::parent(keeper.path))
                : "keeping " + keeperName;
        ScanItem item;
        item.id = copy.path;
        item.url = copy.path;
        item.name = Text::homeShortened(copy.path);
        item.size = FileWalk::freedByRemoving(copy.size, copy.links);
        item.modified = copy.modified;
        item.found = copy.found;
        item.keeps = KeptCopy{keeper.path, keeper.found};
        item.note = fmt::format("Copy {} of {} \u00b7 {}", p + 2, count, tail);
        rows.push_back(std::move(item));
    }
    return rows;
}

} // namespace

bool originalFirst(const Candidate& a, const Candidate& b) {
    // A copy that was downloaded is the one to let go, whatever its date.
    bool aDownloaded = downloaded(a.path), bDownloaded = downloaded(b.path);
    if (aDownloaded != bDownloaded) return bDownloaded;
    return FileWalk::olderThenShallower(a.path, a.modified, b.path, b.modified);
}

std::vector<Group> groups(const std::vector<std::string>& roots, std::int64_t minimumBytes,
                          const Digester& digester, const LeadingPrinter& printer) {
    Digester digest =
        digester ? digester : [](const Candidate& file, std::optional<std::int64_t> limit) {
            return FileDigest::sha256(file.path, file.identity, file.size, limit);
        };
    LeadingPrinter print = printer;
    if (!print && !digester)
        print = [](const Candidate& file) {
            return FileDigest::leadingPrint(file.path, file.identity, file.size);
        };
    std::vector<Candidate> files = FileWalk::regularFiles(roots, minimumBytes);

    // Only files that share their size with another are read at all.
    std::unordered_map<std::int64_t, std::vector<std::size_t>> bySize;
    for (std::size_t i = 0; i < files.size(); ++i)
        bySize[files[i].size].push_back(i);
    std::vector<std::size_t> sharing;
    for (const auto& [size, list] : bySize)
        if (list.size() >= 2) sharing.insert(sharing.end(), list.begin(), list.end());
    std::sort(sharing.begin(), sharing.end());

    // Of those, only files whose first 4 KiB may match another's are digested at all. The print
    // takes in every byte the 64 KiB digest starts with, so files it sets apart differ, and
    // identical files always stay together.
    if (print) {
        std::vector<std::optional<std::uint64_t>> leading(files.size());
        digestAll(print, files, sharing, leading);
        std::vector<std::size_t> alike;
        for (const auto& list : split(files, sharing, leading))
            alike.insert(alike.end(), list.begin(), list.end());
        std::sort(alike.begin(), alike.end());
        sharing = std::move(alike);
    }

    std::vector<std::optional<Digest>> prefix(files.size());
    digestAll([&](const Candidate& file) { return digest(file, prefixBytes); }, files, sharing,
              prefix);

    // Only files whose first 64 KiB match another's are read whole; a file no longer than that
    // was read whole already.
    std::vector<std::optional<Digest>> whole(files.size());
    std::vector<std::size_t> matching, toRead;
    for (const auto& list : split(files, sharing, prefix))
        for (std::size_t i : list) {
            matching.push_back(i);
            if (files[i].size <= prefixBytes)
                whole[i] = prefix[i];
            else
                toRead.push_back(i);
        }
    std::sort(matching.begin(), matching.end());
    digestAll([&](const Candidate& file) { return digest(file, std::nullopt); }, files, toRead,
              whole);

    std::vector<Group> found;
    for (auto& list : split(files, matching, whole)) {
        std::vector<Candidate> members;
        for (std::size_t i : list)
            members.push_back(files[i]);
        std::stable_sort(members.begin(), members.end(), originalFirst);
        Group group{std::move(members.front()), {}};
        group.copies.assign(std::make_move_iterator(members.begin() + 1),
                            std::make_move_iterator(members.end()));
        found.push_back(std::move(group));
    }
    std::sort(found.begin(), found.end(), [](const Group& a, const Group& b) {
        if (a.keeper.size != b.keeper.size) return a.keeper.size > b.keeper.size;
        return a.keeper.path < b.keeper.path;
    });
    return found;
}

std::vector<ScanItem> items(const std::vector<std::string>& roots, std::int64_t minimumBytes) {
    std::vector<ScanItem> items;
    for (const auto& group : groups(roots, minimumBytes)) {
        auto more = rows(group);
        items.insert(items.end(), std::make_move_iterator(more.begin()),
                     std::make_move_iterator(more.end()));
    }
    return items; // groups come larger first, so the rows already are
}

} // namespace bramwick::Duplicates

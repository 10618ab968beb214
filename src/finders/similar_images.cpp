#include "finders/similar_images.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <unordered_set>

#include <fmt/format.h>
#include <tbb/parallel_for.h>

#include "base/paths.h"
#include "base/text.h"
#include "engine/catalog.h"
#include "engine/scanner.h"
#include "finders/file_digest.h"
#include "finders/picture_files.h"

namespace bramwick::SimilarImages {

namespace {

bool hasPictureExtension(std::string_view name) {
    static constexpr std::array<std::string_view, 10> extensions{
        "jpg", "jpeg", "png", "heic", "heif", "gif", "tiff", "tif", "bmp", "webp"};
    auto dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    std::string extension = Text::asciiLowercased(name.substr(dot + 1));
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

std::optional<Outline> outlineOf(const std::string& path,
                                 std::optional<FileWalk::Identity> identity) {
    auto grey = PictureFiles::render(path, identity, outlineThumbnail, outlineSide, true);
    if (!grey) return std::nullopt;
    return Outline{std::move(*grey)};
}

std::optional<Grid> detailOf(const Candidate& candidate) {
    return PictureFiles::render(candidate.url, candidate.identity, gridSide, gridSide, false);
}

// The shortlist test bounds the sum of byte differences: a mean of at most 8.0 over 1,024 bytes
// is a sum of at most 8,192. The sum of differences is never below the difference of the sums,
// over the whole outline or over any split of it, so pictures that fail these cheap bounds are
// passed over without comparing every byte; what passes is exactly what the full test passes.
struct Sketch {
    static constexpr int blocks = 16; // 4 x 4 blocks of 8 x 8 pixels
    std::array<int, blocks> block{};
    int total = 0;
    bool exact = false; // the outline has the usual 32 x 32 layout

    explicit Sketch(const Outline& outline) {
        if (outline.grey.size() != std::size_t(outlineSide) * outlineSide) return;
        exact = true;
        for (int y = 0; y < outlineSide; ++y)
            for (int x = 0; x < outlineSide; ++x) {
                int v = outline.grey[static_cast<std::size_t>(y * outlineSide + x)];
                block[static_cast<std::size_t>((y / 8) * 4 + x / 8)] += v;
                total += v;
            }
    }
};

constexpr int shortlistSum = static_cast<int>(shortlistDifference * outlineSide * outlineSide);

bool closeEnough(const Outline& a, const Sketch& sa, const Outline& b, const Sketch& sb) {
    if (sa.exact && sb.exact) {
        int bound = 0;
        for (int k = 0; k < Sketch::blocks; ++k)
            bound += std::abs(sa.block[k] - sb.block[k]);
        if (bound > shortlistSum) return false;
    }
    return a.meanDifference(b) <= shortlistDifference;
}

} // namespace

int aspectKey(int width, int height) {
    if (height <= 0) return 0;
    return static_cast<int>(std::lround(static_cast<double>(width) / height * aspectFactor));
}

bool bestFirst(const Candidate& a, const Candidate& b) {
    std::int64_t pa = std::int64_t{a.width} * a.height, pb = std::int64_t{b.width} * b.height;
    if (pa != pb) return pa > pb;
    if (a.size != b.size) return a.size > b.size;
    return FileWalk::olderThenShallower(a.url, a.modified, b.url, b.modified);
}

std::vector<Candidate> collect(const std::vector<std::string>& roots, std::int64_t minimumBytes) {
    auto files = FileWalk::regularFiles(roots, minimumBytes, hasPictureExtension);
    // Only the header of each picture is read, in parallel.
    std::vector<std::optional<std::pair<int, int>>> sizes(files.size());
    tbb::parallel_for(std::size_t{0}, files.size(), [&](std::size_t i) {
        sizes[i] = PictureFiles::storedSize(files[i].path, files[i].identity);
    });
    std::vector<Candidate> candidates;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!sizes[i] || sizes[i]->first < 65 || sizes[i]->second < 65)
            continue; // icons, not pictures
        auto& file = files[i];
        candidates.push_back({std::move(file.path), file.size, file.modified, sizes[i]->first,
                              sizes[i]->second, file.identity, file.links, file.found});
    }
    return candidates;
}

std::vector<Candidate> representatives(const std::vector<Candidate>& candidates) {
    std::map<std::int64_t, std::vector<std::size_t>> bySize;
    for (std::size_t i = 0; i < candidates.size(); ++i)
        bySize[candidates[i].size].push_back(i);
    std::vector<std::size_t> shared;
    for (const auto& [size, list] : bySize)
        if (list.size() >= 2) shared.insert(shared.end(), list.begin(), list.end());
    std::vector<std::optional<FileDigest::Digest>> digests(candidates.size());
    tbb::parallel_for(std::size_t{0}, shared.size(), [&](std::size_t k) {
        const Candidate& c = candidates[shared[k]];
        digests[shared[k]] = FileDigest::sha256(c.url, c.identity, c.size);
    });

    std::vector<bool> kept(candidates.size(), true);
    for (const auto& [size, list] : bySize) {
        if (list.size() < 2) continue;
        std::map<FileDigest::Digest, std::size_t> best; // an unreadable file stays as it is
        for (std::size_t i : list) {
            if (!digests[i]) continue;
            auto [it, first] = best.emplace(*digests[i], i);
            if (first) continue;
            if (bestFirst(candidates[i], candidates[it->second])) {
                kept[it->second] = false;
                it->second = i;
            } else {
                kept[i] = false;
            }
        }
    }
    std::vector<Candidate> result;
    for (std::size_t i = 0; i < candidates.size(); ++i)
        if (kept[i]) result.push_back(candidates[i]);
    return result;
}

double Outline::meanDifference(const Outline& other) const {
    std::size_t n = grey.size();
    if (n == 0 || n != other.grey.size()) return incomparable;
    std::int64_t sum = 0;
    for (std::size_t k = 0; k < n; ++k)
        sum += std::abs(int(grey[k]) - int(other.grey[k]));
    return static_cast<double>(sum) / static_cast<double>(n);
}

std::optional<Outline> outline(const std::string& path) {
    return outlineOf(path, std::nullopt);
}

namespace {

// The outlines of the candidates `wanted` marks (none for the others), drawn in parallel.
std::vector<std::optional<Outline>> outlinesOf(const std::vector<Candidate>& candidates,
                                               const std::vector<bool>& wanted) {
    std::vector<std::optional<Outline>> result(candidates.size());
    tbb::parallel_for(
        tbb::blocked_range<std::size_t>(0, candidates.size(), 1),
        [&](const tbb::blocked_range<std::size_t>& range) {
            for (std::size_t i = range.begin(); i != range.end(); ++i)
                if (wanted[i]) result[i] = outlineOf(candidates[i].url, candidates[i].identity);
        },
        tbb::simple_partitioner());
    return result;
}

// Whether another candidate lies within the aspect keys a shortlist looks at (the candidate's
// own and the two beside it). A picture with none there is never grouped, either way round, so
// it need not be decoded at all.
std::vector<bool> pairable(const std::vector<Candidate>& candidates) {
    std::map<int, std::size_t> perKey;
    for (const auto& c : candidates)
        ++perKey[aspectKey(c.width, c.height)];
    auto count = [&](int key) {
        auto it = perKey.find(key);
        return it == perKey.end() ? std::size_t{0} : it->second;
    };
    std::vector<bool> result;
    for (const auto& c : candidates) {
        int key = aspectKey(c.width, c.height);
        result.push_back(count(key - 1) + count(key) + count(key + 1) >= 2);
    }
    return result;
}

} // namespace

std::vector<std::optional<Outline>> outlines(const std::vector<Candidate>& candidates) {
    return outlinesOf(candidates, std::vector<bool>(candidates.size(), true));
}

std::optional<Grid> detail(const std::string& path) {
    return PictureFiles::render(path, std::nullopt, gridSide, gridSide, false);
}

bool sameContent(const Grid& a, const Grid& b) {
    std::size_t n = a.size();
    if (n < 4 || n != b.size()) return false;
    auto allowed = static_cast<std::size_t>(static_cast<double>(n / 4) * changedShare);
    std::size_t differing = 0;
    for (std::size_t p = 0; p + 3 < n; p += 4) {
        if (std::abs(int(a[p]) - int(b[p])) > colourTolerance ||
            std::abs(int(a[p + 1]) - int(b[p + 1])) > colourTolerance ||
            std::abs(int(a[p + 2]) - int(b[p + 2])) > colourTolerance) {
            if (++differing > allowed) return false;
        }
    }
    return true;
}

DecodedPictures::DecodedPictures(Draw draw, std::size_t limit)
    : draw_(draw ? std::move(draw) : Draw(detailOf)), limit_(std::max<std::size_t>(limit, 1)) {}

std::shared_ptr<const Grid> DecodedPictures::grid(const Candidate& candidate) {
    if (auto it = held_.find(candidate.url); it != held_.end()) return it->second;
    if (held_.size() >= limit_) held_.clear(); // all at once, not the oldest
    std::shared_ptr<const Grid> value;
    if (auto it = drawn_.find(candidate.url); it != drawn_.end()) {
        value = std::move(it->second);
        drawn_.erase(it);
    } else if (auto grid = draw_(candidate)) {
        value = std::make_shared<const Grid>(std::move(*grid));
    }
    held_.emplace(candidate.url, value);
    return value;
}

bool DecodedPictures::ready(const Candidate& candidate) const {
    return held_.count(candidate.url) || drawn_.count(candidate.url);
}

void DecodedPictures::prefetch(const std::vector<const Candidate*>& next) {
    std::unordered_set<std::string> wanted;
    for (const Candidate* c : next)
        wanted.insert(c->url);
    std::erase_if(drawn_, [&](const auto& entry) { return !wanted.count(entry.first); });
    std::vector<const Candidate*> todo;
    std::unordered_set<std::string> named;
    for (const Candidate* c : next) {
        if (todo.size() + drawn_.size() >= limit_) break;
        if (held_.count(c->url) || drawn_.count(c->url) || !named.insert(c->url).second) continue;
        todo.push_back(c);
    }
    std::vector<std::shared_ptr<const Grid>> grids(todo.size());
    tbb::parallel_for(
        tbb::blocked_range<std::size_t>(0, todo.size(), 1),
        [&](const tbb::blocked_range<std::size_t>& range) {
            for (std::size_t k = range.begin(); k != range.end(); ++k)
                if (auto grid = draw_(*todo[k]))
                    grids[k] = std::make_shared<const Grid>(std::move(*grid));
        },
        tbb::simple_partitioner());
    for (std::size_t k = 0; k < todo.size(); ++k)
        drawn_.emplace(todo[k]->url, std::move(grids[k]));
}

namespace {

// The keeper order (best first) and each picture's rank in it.
struct KeeperOrder {
    std::vector<std::size_t> order;
    std::vector<std::size_t> rank;
};

KeeperOrder keeperOrder(const std::vector<Candidate>& candidates, std::size_t n) {
    KeeperOrder keepers{std::vector<std::size_t>(n), std::vector<std::size_t>(n)};
    for (std::size_t i = 0; i < n; ++i)
        keepers.order[i] = i;
    std::stable_sort(keepers.order.begin(), keepers.order.end(), [&](std::size_t a, std::size_t b) {
        return bestFirst(candidates[a], candidates[b]);
    });
    for (std::size_t r = 0; r < n; ++r)
        keepers.rank[keepers.order[r]] = r;
    return keepers;
}

// Buckets by aspect key, each sorted by the outline's total so that the pictures within the
// shortlist's reach of that total are found by a binary search.
class Shortlists {
  public:
    Shortlists(const std::vector<Candidate>& candidates,
               const std::vector<std::optional<Outline>>& outlines, const KeeperOrder& keepers)
        : candidates_(candidates), outlines_(outlines), keepers_(keepers),
          sketches_(keepers.order.size()) {
        for (std::size_t i : keepers_.order)
            if (outlines_[i]) {
                sketches_[i].emplace(*outlines_[i]);
                buckets_[aspectKey(candidates_[i].width, candidates_[i].height)].push_back(i);
            }
        auto byTotal = [&](std::size_t a, std::size_t b) {
            return sketches_[a]->total < sketches_[b]->total;
        };
        for (auto& [key, list] : buckets_) {
            bool exact = std::all_of(list.begin(), list.end(),
                                     [&](std::size_t i) { return sketches_[i]->exact; });
            if (exact) std::stable_sort(list.begin(), list.end(), byTotal);
            sortedByTotal_[key] = exact;
        }
    }

    // The pictures after i in the keeper order that i's shortlist can hold, in shortlist order
    // (neighbouring buckets, then keeper order). Every picture before i is used by the time i is
    // a keeper, so i's shortlist is exactly these, less the ones used by then.
    std::vector<std::size_t> following(std::size_t i) const {
        std::vector<std::size_t> list;
        if (!outlines_[i]) return list;
        const Sketch& si = *sketches_[i];
        int key = aspectKey(candidates_[i].width, candidates_[i].height);
        std::vector<std::pair<int, std::size_t>> near; // (key offset, rank)
        for (int k = key - 1; k <= key + 1; ++k) {
            auto bucket = buckets_.find(k);
            if (bucket == buckets_.end()) continue;
            const auto& members = bucket->second;
            auto begin = members.begin(), end = members.end();
            if (si.exact && sortedByTotal_.at(k)) {
                begin = std::partition_point(members.begin(), members.end(), [&](std::size_t j) {
                    return sketches_[j]->total < si.total - shortlistSum;
                });
                end = std::partition_point(begin, members.end(), [&](std::size_t j) {
                    return sketches_[j]->total <= si.total + shortlistSum;
                });
            }
            for (auto it = begin; it != end; ++it)
                if (keepers_.rank[*it] > keepers_.rank[i] &&
                    closeEnough(*outlines_[i], si, *outlines_[*it], *sketches_[*it]))
                    near.emplace_back(k - key, keepers_.rank[*it]);
        }
        std::sort(near.begin(), near.end());
        for (auto [offset, r] : near)
            list.push_back(keepers_.order[r]);
        return list;
    }

  private:
    const std::vector<Candidate>& candidates_;
    const std::vector<std::optional<Outline>>& outlines_;
    const KeeperOrder& keepers_;
    std::vector<std::optional<Sketch>> sketches_;
    std::map<int, std::vector<std::size_t>> buckets_;
    std::map<int, bool> sortedByTotal_;
};

// Walks the keepers in order; each takes the pictures of its shortlist whose content matches it
// and that no earlier keeper took.
class Grouping {
  public:
    Grouping(const std::vector<Candidate>& candidates, const KeeperOrder& keepers,
             const Shortlists& shortlists, DecodedPictures::Draw draw)
        : candidates_(candidates), keepers_(keepers), shortlists_(shortlists),
          cache_(std::move(draw)), used_(keepers.order.size(), false) {}

    std::vector<Group> run(const std::vector<std::optional<Outline>>& outlines) {
        std::vector<Group> found;
        const std::size_t n = keepers_.order.size();
        for (std::size_t r = 0; r < n; ++r) {
            if (r == first_ + lists_.size()) listBlockFrom(r);
            std::size_t i = keepers_.order[r];
            if (used_[i] || !outlines[i]) continue;
            used_[i] = true;
            std::vector<std::size_t> shortlist = unused(lists_[r - first_]);
            if (shortlist.empty()) continue;
            auto copies = copiesOf(i, shortlist, r);
            if (copies.empty()) continue;
            std::stable_sort(copies.begin(), copies.end(), bestFirst);
            found.push_back({candidates_[i], std::move(copies)});
        }
        return found;
    }

  private:
    // The lists of the keepers from rank `first` on, worked out in parallel a block at a time.
    static constexpr std::size_t block = 256;

    void listBlockFrom(std::size_t r) {
        first_ = r;
        lists_.assign(std::min(block, keepers_.order.size() - r), {});
        tbb::parallel_for(std::size_t{0}, lists_.size(), [&](std::size_t k) {
            if (!used_[keepers_.order[first_ + k]])
                lists_[k] = shortlists_.following(keepers_.order[first_ + k]);
        });
    }

    std::vector<std::size_t> unused(const std::vector<std::size_t>& list) const {
        std::vector<std::size_t> left;
        for (std::size_t j : list)
            if (!used_[j]) left.push_back(j);
        return left;
    }

    // What the cache will be asked for next: `now`, then the keepers after rank r with their
    // shortlists as far as they are known; drawn in parallel, half a cache's worth at a time.
    void drawAhead(std::vector<std::size_t> now, std::size_t r) {
        for (std::size_t q = r + 1; q < first_ + lists_.size() && now.size() < heldGrids / 2; ++q) {
            std::size_t i = keepers_.order[q];
            if (used_[i]) continue;
            auto left = unused(lists_[q - first_]);
            if (left.empty()) continue;
            now.push_back(i);
            now.insert(now.end(), left.begin(), left.end());
        }
        if (now.size() > heldGrids / 2) now.resize(heldGrids / 2);
        std::vector<const Candidate*> next;
        for (std::size_t i : now)
            next.push_back(&candidates_[i]);
        cache_.prefetch(next);
    }

    // The pictures of keeper i's shortlist with the same content as i, each then used.
    std::vector<Candidate> copiesOf(std::size_t i, const std::vector<std::size_t>& shortlist,
                                    std::size_t r) {
        std::vector<std::size_t> now{i};
        now.insert(now.end(), shortlist.begin(), shortlist.end());
        if (!cache_.ready(candidates_[i]) || !cache_.ready(candidates_[shortlist[0]]))
            drawAhead(now, r);
        auto keeperGrid = cache_.grid(candidates_[i]);
        if (!keeperGrid) return {}; // cannot be drawn: no group, and it stays used
        std::vector<Candidate> copies;
        for (std::size_t s = 0; s < shortlist.size(); ++s) {
            std::size_t j = shortlist[s];
            if (!cache_.ready(candidates_[j]))
                drawAhead({shortlist.begin() + static_cast<std::ptrdiff_t>(s), shortlist.end()}, r);
            auto grid = cache_.grid(candidates_[j]);
            if (!grid || !sameContent(*keeperGrid, *grid)) continue; // may join a later group
            used_[j] = true;
            copies.push_back(candidates_[j]);
        }
        return copies;
    }

    const std::vector<Candidate>& candidates_;
    const KeeperOrder& keepers_;
    const Shortlists& shortlists_;
    DecodedPictures cache_;
    std::vector<bool> used_;
    std::size_t first_ = 0;
    std::vector<std::vector<std::size_t>> lists_;
};

} // namespace

std::vector<Group> groups(const std::vector<Candidate>& candidates,
                          const std::vector<std::optional<Outline>>& outlines,
                          DecodedPictures::Draw draw) {
    std::size_t n = std::min(candidates.size(), outlines.size());
    KeeperOrder keepers = keeperOrder(candidates, n);
    Shortlists shortlists(candidates, outlines, keepers);
    return Grouping(candidates, keepers, shortlists, std::move(draw)).run(outlines);
}

std::vector<ScanItem> rows(const Group& group) {
    const Candidate& keeper = group.keeper;
    std::string keeperFolder = Paths::parent(keeper.url);
    std::string keeping = fmt::format("keeping {}, {}\u00d7{}", Scanner::lastComponent(keeper.url),
                                      keeper.width, keeper.height);
    std::vector<ScanItem> rows;
    for (std::size_t p = 0; p < group.copies.size(); ++p) {
        const Candidate& copy = group.copies[p];
        ScanItem item;
        item.id = copy.url;
        item.url = copy.url;
        item.name = Text::homeShortened(copy.url);
        item.size = FileWalk::freedByRemoving(copy.size, copy.links);
        item.modified = copy.modified;
        item.found = copy.found;
        item.keeps = KeptCopy{keeper.url, keeper.found};
        std::string note = fmt::format("{}\u00d7{} \u00b7 copy {} of {} \u00b7 {}", copy.width,
                                       copy.height, p + 2, group.copies.size() + 1, keeping);
        if (Paths::parent(copy.url) != keeperFolder)
            note += " in " + Catalog::shortFolder(keeperFolder);
        item.note = std::move(note);
        rows.push_back(std::move(item));
    }
    return rows;
}

std::vector<ScanItem> items(const std::vector<std::string>& roots, std::int64_t minimumBytes) {
    auto candidates = representatives(collect(roots, minimumBytes));
    if (candidates.size() < 2) return {};
    auto found = groups(candidates, outlinesOf(candidates, pairable(candidates)));
    std::vector<ScanItem> items;
    for (const auto& group : found) {
        auto more = rows(group);
        items.insert(items.end(), std::make_move_iterator(more.begin()),
                     std::make_move_iterator(more.end()));
    }
    // Copies of one picture differ in size, so a group's rows need not stay together.
    std::stable_sort(items.begin(), items.end(),
                     [](const ScanItem& a, const ScanItem& b) { return a.size > b.size; });
    return items;
}

} // namespace bramwick::SimilarImages

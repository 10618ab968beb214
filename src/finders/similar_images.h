// The same picture saved more than once (another size, another format, another compression), the
// best copy kept. Two pictures are the same when a cheap test and an exact test both say so:
// nearly the same aspect ratio and 32 x 32 grey outlines within 8 grey levels on average, then
// at most 0.02 % of the pixels of 512 x 512 renderings differing by more than 40 in a colour.
// Byte-identical files are left to the duplicate-files finder: only the best of them is compared.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/models.h"
#include "finders/file_walk.h"

namespace bramwick::SimilarImages {

// One picture found by the walk. Width and height are as stored, before any orientation flag.
struct Candidate {
    std::string url;
    std::int64_t size = 0; // logical bytes
    std::optional<Date> modified;
    int width = 0;
    int height = 0;
    FileWalk::Identity identity; // zero: not checked when the file is read again
    std::uint64_t links = 1;     // its names on the disk: removing one of several frees nothing
    FoundEntry found{};          // as the walk looked at it, for the clean to check again

    bool operator==(const Candidate&) const = default;
};

// A 32 x 32 grey sketch of a picture, row after row, stretched to the square.
struct Outline {
    std::vector<unsigned char> grey;

    // The mean absolute difference per byte; 255 when the two cannot be compared (lengths differ
    // or are zero).
    double meanDifference(const Outline& other) const;
};

// A 512 x 512 rendering, four bytes a pixel (red, green, blue, unused), stretched to the square.
using Grid = std::vector<unsigned char>;

// One picture saved more than once: the copy that stays and the others, best first.
struct Group {
    Candidate keeper;
    std::vector<Candidate> copies;
};

inline constexpr int outlineThumbnail = 64;
inline constexpr int outlineSide = 32;
inline constexpr int gridSide = 512;
inline constexpr int aspectFactor = 20;
inline constexpr double shortlistDifference = 8.0;
inline constexpr double incomparable = 255.0;
inline constexpr int colourTolerance = 40;
inline constexpr double changedShare = 0.0002;
inline constexpr std::size_t heldGrids = 64;

// The finder: one item per copy (keepers are not listed), larger first. Never fails.
std::vector<ScanItem> items(const std::vector<std::string>& roots, std::int64_t minimumBytes);

// Pictures of at least `minimumBytes` under the roots whose name ends in one of the ten
// extensions and whose stored width and height are both at least 65. Root order, then path order.
std::vector<Candidate> collect(const std::vector<std::string>& roots, std::int64_t minimumBytes);

// Every set of byte-identical candidates reduced to its best member; a file that cannot be read
// stays. The candidates keep their relative order.
std::vector<Candidate> representatives(const std::vector<Candidate>& candidates);

// The keeper order: more pixels, then the larger file, then the older, then fewer path
// components, then by path.
bool bestFirst(const Candidate& a, const Candidate& b);

// Width / height x 20, rounded half away from zero: 4032 x 3024 gives 27, a square 20.
int aspectKey(int width, int height);

std::optional<Outline> outline(const std::string& path);
// One outline per candidate (none for a picture that cannot be drawn), drawn in parallel.
std::vector<std::optional<Outline>> outlines(const std::vector<Candidate>& candidates);

std::optional<Grid> detail(const std::string& path);
// True when at most 0.02 % of the pixels differ by more than 40 in red, green or blue.
bool sameContent(const Grid& a, const Grid& b);

// The detail grids of one grouping, at most `limit` held at once: when one more must be drawn
// while the cache is full, it is emptied at once. A picture that cannot be drawn is remembered
// as such.
class DecodedPictures {
  public:
    using Draw = std::function<std::optional<Grid>(const Candidate&)>;

    explicit DecodedPictures(Draw draw = {}, std::size_t limit = heldGrids);

    // The grid of the picture (null when it cannot be drawn), from the cache or drawn now.
    std::shared_ptr<const Grid> grid(const Candidate& candidate);
    // Draws in parallel the pictures `grid` will be asked for next (at most `limit` of them), so
    // that they are ready when asked for; what `grid` answers is the same as without it. Pictures
    // drawn ahead earlier and no longer among `next` are let go.
    void prefetch(const std::vector<const Candidate*>& next);
    // Held, or drawn ahead.
    bool ready(const Candidate& candidate) const;
    std::size_t held() const { return held_.size(); }

  private:
    Draw draw_;
    std::size_t limit_;
    std::unordered_map<std::string, std::shared_ptr<const Grid>> held_;
    std::unordered_map<std::string, std::shared_ptr<const Grid>>
        drawn_; // by prefetch, not yet asked
};

// Groups the candidates (slot i of `outlines` belongs to candidate i) in the keeper order of
// their keepers. `draw` renders the detail grids; by default `detail` of the candidate's file.
std::vector<Group> groups(const std::vector<Candidate>& candidates,
                          const std::vector<std::optional<Outline>>& outlines,
                          DecodedPictures::Draw draw = {});

// The items of one group, one per copy, each noting its size and the picture that stays.
std::vector<ScanItem> rows(const Group& group);

} // namespace bramwick::SimilarImages

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <random>
#include <unistd.h>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "engine/catalog.h"
#include "engine/cleaner.h"
#include "finders/similar_images.h"
#include "support/fixture.h"
#include "support/pictures.h"

using namespace bramwick;
using namespace bramwick::SimilarImages;
namespace fs = std::filesystem;

namespace {

Candidate picture(const std::string& url, int width, int height, std::int64_t size = 1000) {
    Candidate c;
    c.url = url;
    c.width = width;
    c.height = height;
    c.size = size;
    return c;
}

Outline outlineOf(unsigned char value) {
    return Outline{std::vector<unsigned char>(1024, value)};
}

// An outline whose byte differences to outlineOf(100) add up to `sum`.
Outline outlineAt(int sum) {
    Outline o = outlineOf(100);
    for (std::size_t k = 0; sum > 0; ++k, sum -= 50)
        o.grey[k] = static_cast<unsigned char>(100 + std::min(sum, 50));
    return o;
}

Grid gridOf(unsigned char value) {
    return Grid(std::size_t(gridSide) * gridSide * 4, value);
}

std::vector<std::string> urls(const std::vector<Candidate>& candidates) {
    std::vector<std::string> urls;
    for (const auto& c : candidates)
        urls.push_back(c.url);
    return urls;
}

void date(const std::string& path, int age) {
    static const auto base = fs::file_time_type::clock::now() - std::chrono::hours(24 * 100);
    fs::last_write_time(path, base - std::chrono::hours(24 * age));
}

} // namespace

TEST(SimilarImages, AspectKeys) {
    struct Case {
        int width, height, key;
    } cases[] = {{4032, 3024, 27},
                 {1920, 1080, 36},
                 {500, 500, 20},
                 {3024, 4032, 15},
                 {41, 40, 21} /* 20.5 rounds away from zero */,
                 {39, 40, 20},
                 {65, 1000, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(aspectKey(c.width, c.height), c.key) << c.width << "x" << c.height;
}

TEST(SimilarImages, OutlineDifferences) {
    struct Case {
        Outline a, b;
        double mean;
    } cases[] = {
        {outlineOf(7), outlineOf(7), 0.0},
        {outlineOf(0), outlineOf(255), 255.0},
        {outlineAt(8192), outlineOf(100), 8.0},
        {outlineAt(8193), outlineOf(100), 8193.0 / 1024},
        {Outline{{1, 2}}, Outline{{1, 2, 3}}, incomparable},
        {Outline{}, Outline{}, incomparable},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(c.a.meanDifference(c.b), c.mean);
}

TEST(SimilarImages, PixelCheck) {
    auto changed = [](int pixels, int by, int channel = 0) {
        Grid g = gridOf(100);
        for (int p = 0; p < pixels; ++p)
            g[std::size_t(p) * 4 * 97 % g.size() / 4 * 4 + channel] =
                static_cast<unsigned char>(100 + by);
        return g;
    };
    Grid base = gridOf(100);
    Grid allThree = gridOf(140); // every colour off by exactly 40
    for (std::size_t p = 3; p < allThree.size(); p += 4)
        allThree[p] = 0;
    struct Case {
        Grid other;
        bool same;
    } cases[] = {
        {base, true},
        {allThree, true},
        {changed(52, 41), true},
        {changed(53, 41), false},
        {changed(53, 40), true},
        {changed(53, 41, 2), false},
        {changed(10000, 100, 3), true}, // the fourth byte is never compared
        {Grid(base.size() - 4, 100), false},
    };
    for (std::size_t k = 0; k < std::size(cases); ++k)
        EXPECT_EQ(sameContent(base, cases[k].other), cases[k].same) << k;
    EXPECT_FALSE(sameContent(Grid{1, 2, 3}, Grid{1, 2, 3}));
}

TEST(SimilarImages, KeeperOrder) {
    auto older = picture("/p/a.jpg", 100, 100);
    older.modified = Date{} + std::chrono::hours(1);
    auto newer = picture("/p/b.jpg", 100, 100);
    newer.modified = Date{} + std::chrono::hours(2);
    struct Case {
        Candidate first, second;
    } cases[] = {
        {picture("/z/z/z.jpg", 200, 100, 10), picture("/a.jpg", 100, 100, 999)}, // more pixels
        {picture("/z/z/z.jpg", 100, 100, 20), picture("/a.jpg", 100, 100, 10)},  // larger file
        {older, newer},
        {newer, picture("/a.jpg", 100, 100)}, // an unknown date counts as the far future
        {picture("/z/z.jpg", 100, 100), picture("/a/b/c.jpg", 100, 100)},
        {picture("/a/b.jpg", 100, 100), picture("/a/c.jpg", 100, 100)},
    };
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        EXPECT_TRUE(bestFirst(cases[k].first, cases[k].second)) << k;
        EXPECT_FALSE(bestFirst(cases[k].second, cases[k].first)) << k;
    }
    EXPECT_FALSE(bestFirst(older, older));
}

TEST(SimilarImages, GroupsOnlyNeighbouringShapesAndCloseOutlines) {
    auto sameGrid = [](const Candidate&) -> std::optional<Grid> { return gridOf(9); };
    struct Case {
        Candidate other;
        Outline outline;
        bool grouped;
    } cases[] = {
        {picture("/b.jpg", 1000, 1000), outlineOf(100), true},
        {picture("/b.jpg", 1050, 1000), outlineOf(100), true},  // key 21 next to 20
        {picture("/b.jpg", 1100, 1000), outlineOf(100), false}, // key 22: never compared
        {picture("/b.jpg", 1000, 1000), outlineAt(8192), true}, // 8.0 is on the list
        {picture("/b.jpg", 1000, 1000), outlineAt(8193), false},
    };
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        std::vector<Candidate> candidates{picture("/a.jpg", 2000, 2000), cases[k].other};
        auto found = groups(candidates, {outlineOf(100), cases[k].outline}, sameGrid);
        EXPECT_EQ(found.size(), cases[k].grouped ? 1u : 0u) << k;
    }
}

TEST(SimilarImages, GroupsKeepTheBestAndConfirmEachCopyAgainstIt) {
    // a: best, cannot be drawn; b, c, d: the same picture; e: shortlisted, different pixels.
    std::vector<Candidate> candidates{picture("/d.jpg", 400, 300), picture("/b.jpg", 1600, 1200),
                                      picture("/a.jpg", 4000, 3000), picture("/e.jpg", 800, 600),
                                      picture("/c.jpg", 800, 600, 2000)};
    std::vector<std::optional<Outline>> outlines(5, outlineOf(50));
    auto draw = [](const Candidate& c) -> std::optional<Grid> {
        if (c.url == "/a.jpg") return std::nullopt;
        return gridOf(c.url == "/e.jpg" ? 200 : 10);
    };
    auto found = groups(candidates, outlines, draw);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].keeper.url, "/b.jpg");
    EXPECT_EQ(urls(found[0].copies), (std::vector<std::string>{"/c.jpg", "/d.jpg"}));

    // A picture without an outline takes part in nothing.
    outlines[1].reset();
    found = groups(candidates, outlines, draw);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].keeper.url, "/c.jpg");
}

TEST(SimilarImages, HoldsAtMost64GridsAndDropsThemAllAtOnce) {
    std::atomic<int> draws{0};
    DecodedPictures cache([&](const Candidate& c) -> std::optional<Grid> {
        ++draws;
        if (c.url == "bad") return std::nullopt;
        return Grid(4, static_cast<unsigned char>(c.url.size()));
    });
    for (int k = 0; k < 64; ++k)
        EXPECT_TRUE(cache.grid(picture(std::to_string(k), 1, 1)));
    EXPECT_EQ(cache.held(), 64u);
    cache.grid(picture("5", 1, 1));
    EXPECT_EQ(draws, 64) << "a held grid is not drawn again";
    cache.grid(picture("64", 1, 1));
    EXPECT_EQ(cache.held(), 1u) << "the 65th empties the cache";
    EXPECT_FALSE(cache.grid(picture("bad", 1, 1)));
    EXPECT_FALSE(cache.grid(picture("bad", 1, 1)));
    EXPECT_EQ(draws, 66) << "a picture that cannot be drawn is remembered as such";

    // Drawing ahead gives the same answers and draws nothing twice.
    std::vector<Candidate> next;
    for (int k = 100; k < 110; ++k)
        next.push_back(picture(std::to_string(k), 1, 1));
    std::vector<const Candidate*> pointers;
    for (const auto& c : next)
        pointers.push_back(&c);
    cache.prefetch(pointers);
    EXPECT_EQ(draws, 76);
    for (const auto& c : next)
        EXPECT_EQ(*cache.grid(c), Grid(4, 3));
    EXPECT_EQ(draws, 76);
    EXPECT_EQ(cache.held(), 12u);
}

TEST(SimilarImages, RowsNameTheKeptPicture) {
    std::string home = test::home();
    auto keeper = picture(home + "/Pictures/IMG_0001.heic", 4032, 3024, 3'000'000);
    auto first = picture(home + "/Pictures/IMG_0001.jpg", 1600, 1200, 900'000);
    auto second = picture(home + "/Downloads/x/y/z/small.png", 800, 600, 400'000);
    auto rows = SimilarImages::rows({keeper, {first, second}});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].note,
              "1600\u00d71200 \u00b7 copy 2 of 3 \u00b7 keeping IMG_0001.heic, 4032\u00d73024");
    EXPECT_EQ(rows[1].note, "800\u00d7600 \u00b7 copy 3 of 3 \u00b7 keeping IMG_0001.heic, "
                            "4032\u00d73024 in ~/Pictures");
    EXPECT_EQ(rows[1].name, "~/Downloads/x/y/z/small.png");
    EXPECT_EQ(rows[1].id, second.url);
    EXPECT_EQ(rows[1].size, 400'000);

    // A copy that has another name on the disk frees nothing when it goes.
    second.links = 2;
    EXPECT_EQ(SimilarImages::rows({keeper, {first, second}})[1].size, 0);
}

TEST(SimilarImages, CollectsOnlyPicturesOfTheTenFormatsByTheirBytes) {
    test::clearHome();
    std::string dir = test::home() + "/Pictures";
    auto photo = test::Picture::photo(300, 200, 1);
    for (const char* name : {"a.jpg", "b.JPEG", "c.png", "d.heic", "e.heif", "f.gif", "g.tiff",
                             "h.TIF", "i.bmp", "j.WebP"})
        photo.save(dir + "/" + name);
    photo.save(dir + "/really-a-png.jpg.png");
    fs::rename(dir + "/really-a-png.jpg.png", dir + "/really-a-png.jpg");
    test::Picture::flat(65, 65, {1, 2, 3}).save(dir + "/smallest.png");
    test::Picture::flat(64, 1000, {1, 2, 3}).save(dir + "/too-narrow.png");
    // Not collected: other extensions, hidden or skipped places, links, mislabelled documents.
    photo.save(dir + "/other.jpe.jpg");
    fs::rename(dir + "/other.jpe.jpg", dir + "/other.jpe");
    fs::copy_file(dir + "/c.png", dir + "/raw.raw");
    fs::copy_file(dir + "/c.png", dir + "/.hidden.png");
    photo.save(dir + "/site-packages/p.png");
    photo.save(dir + "/Album.photoslibrary/p.png");
    test::makeLink(dir + "/c.png", dir + "/link.png");
    ASSERT_EQ(::link((dir + "/c.png").c_str(), (dir + "/c2.png").c_str()), 0);
    std::ofstream(dir + "/drawing.jpg")
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"900\" "
           "height=\"900\"><rect width=\"900\" height=\"900\"/></svg>";
    std::ofstream(dir + "/page.png") << "%PDF-1.4\n" << std::string(2000, ' ');
    std::ofstream(dir + "/text.gif") << std::string(5000, 'x');

    auto found = collect({"~/Pictures"}, 0);
    std::vector<std::string> names;
    for (const auto& c : found) {
        names.push_back(fs::path(c.url).filename().string());
        if (names.back() != "smallest.png") {
            EXPECT_EQ(c.width, 300) << names.back();
            EXPECT_EQ(c.height, 200) << names.back();
        }
        EXPECT_EQ(c.size, static_cast<std::int64_t>(fs::file_size(c.url)));
    }
    std::vector<std::string> expected{
        "a.jpg",  "b.JPEG", "c.png", "d.heic", "e.heif",           "f.gif",
        "g.tiff", "h.TIF",  "i.bmp", "j.WebP", "really-a-png.jpg", "smallest.png"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected) << "c2.png is a second name of c.png, which sorts first";

    // Every format draws, and draws the same scene.
    auto reference = outline(dir + "/c.png");
    ASSERT_TRUE(reference);
    for (const auto& c : found) {
        auto o = outline(c.url);
        ASSERT_TRUE(o) << c.url;
        if (c.width == 300) {
            EXPECT_LT(o->meanDifference(*reference), 3.0) << c.url;
        }
        EXPECT_TRUE(detail(c.url)) << c.url;
    }
    EXPECT_FALSE(outline(dir + "/drawing.jpg"));
    EXPECT_FALSE(detail(dir + "/page.png"));
}

TEST(SimilarImages, ByteIdenticalCopiesCollapseToTheirBest) {
    test::clearHome();
    std::string dir = test::home() + "/Pictures";
    auto photo = test::Picture::photo(200, 150, 2);
    photo.save(dir + "/2020.png");
    date(dir + "/2020.png", 20);
    fs::copy_file(dir + "/2020.png", dir + "/2019.png");
    date(dir + "/2019.png", 30);
    fs::copy_file(dir + "/2020.png", dir + "/2021.png");
    date(dir + "/2021.png", 10);
    // Two different pictures of one file size both stay.
    test::Picture::flat(200, 150, {10, 20, 30}).save(dir + "/blue.bmp");
    test::Picture::flat(200, 150, {200, 20, 30}).save(dir + "/red.bmp");

    auto all = collect({"~/Pictures"}, 0);
    ASSERT_EQ(all.size(), 5u);
    auto kept = representatives(all);
    std::vector<std::string> names;
    for (const auto& c : kept)
        names.push_back(fs::path(c.url).filename().string());
    EXPECT_EQ(names, (std::vector<std::string>{"2019.png", "blue.bmp", "red.bmp"}));

    // A file that cannot be read as the walk saw it (here: replaced since) stays, and so does its
    // twin.
    fs::copy_file(dir + "/2019.png", dir + "/replacement");
    fs::rename(dir + "/replacement", dir + "/2020.png");
    names.clear();
    for (const auto& c : representatives(all))
        names.push_back(fs::path(c.url).filename().string());
    EXPECT_EQ(names, (std::vector<std::string>{"2019.png", "2020.png", "blue.bmp", "red.bmp"}));
}

TEST(SimilarImages, DrawsTheWholePictureTurnedUprightOnWhite) {
    test::clearHome();
    std::string dir = test::home() + "/Pictures";
    // A portrait photo as a camera held upright stores it: turned, with orientation flag 6.
    auto portrait = test::Picture::photo(300, 400, 3);
    portrait.save(dir + "/upright.jpg", "[Q=95]");
    portrait.turned().save(dir + "/flagged.jpg", "[Q=95]", 6);
    auto found = collect({"~/Pictures"}, 0);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].url, dir + "/flagged.jpg");
    EXPECT_EQ(found[0].width, 400) << "stored size, flag not applied";
    EXPECT_EQ(found[0].height, 300);
    EXPECT_LT(outline(dir + "/flagged.jpg")->meanDifference(*outline(dir + "/upright.jpg")), 2.0);
    EXPECT_TRUE(items({"~/Pictures"}, 0).empty()) << "shapes 27 and 15 are never compared";

    // Transparency comes out white.
    test::Picture::flat(100, 100, {255, 0, 0}, 0).save(dir + "/clear.png");
    test::Picture::flat(100, 100, {255, 255, 255}).save(dir + "/white.png");
    EXPECT_EQ(outline(dir + "/clear.png")->grey, outline(dir + "/white.png")->grey);
    EXPECT_EQ(outline(dir + "/white.png")->grey, std::vector<unsigned char>(1024, 255));

    // A HEIF file's stored preview is never what is drawn, nor where its size comes from.
    auto scene = test::Picture::photo(400, 300, 4);
    scene.saveHeifWithThumbnail(dir + "/preview.heic", test::Picture::flat(160, 120, {0, 0, 0}));
    scene.save(dir + "/scene.png");
    auto heif = collect({"~/Pictures"}, 0);
    auto it = std::find_if(heif.begin(), heif.end(),
                           [&](const Candidate& c) { return c.url == dir + "/preview.heic"; });
    ASSERT_NE(it, heif.end());
    EXPECT_EQ(it->width, 400);
    EXPECT_EQ(it->height, 300);
    EXPECT_LT(outline(dir + "/preview.heic")->meanDifference(*outline(dir + "/scene.png")), 2.0)
        << "the preview is black";
}

// A progressive JPEG is decoded whole at its stored size, however small it is drawn, so a small
// file that claims a huge size must not be decoded at all.
TEST(SimilarImages, NeverDecodesAProgressiveJpegTooLargeToHold) {
    test::clearHome();
    std::string path = test::home() + "/Pictures/claims-272-megapixels.jpg";
    test::Picture::photo(300, 200, 9).save(path, "[interlace,Q=80]");
    std::string bytes = test::readFile(path);
    std::size_t frame = bytes.find("\xFF\xC2");
    ASSERT_NE(frame, std::string::npos) << "saved progressive";
    // Height and width of the frame header: 16000 x 17000.
    bytes.replace(frame + 5, 4, std::string{'\x3E', '\x80', '\x42', '\x68'});
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;

    auto found = collect({"~/Pictures"}, 0);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].width, 17000) << "the stored size is still read from the header";
    EXPECT_FALSE(outline(path));
    EXPECT_FALSE(detail(path));
}

// A picture cut short, as a broken download or a full disk leaves it, is not drawn at all: what
// was never saved would come out as a flat fill, and two such pictures would look alike. A
// damaged one is drawn or not, but never takes the finder down.
TEST(SimilarImages, NeverDrawsAPictureCutShort) {
    test::clearHome();
    std::string dir = test::home() + "/Pictures";
    auto photo = test::Picture::photo(1000, 749, 12);
    auto write = [&](const std::string& name, const std::string& content) {
        std::ofstream(dir + "/" + name, std::ios::binary | std::ios::trunc) << content;
        return dir + "/" + name;
    };
    for (std::string name : {"photo.jpg", "progressive.jpg", "photo.png", "interlaced.png",
                             "photo.webp", "photo.gif", "photo.tif", "photo.heic", "photo.bmp"}) {
        std::string options =
            name.starts_with("progressive") || name.starts_with("interlaced") ? "[interlace]" : "";
        photo.save(dir + "/" + name, options);
        std::string bytes = test::readFile(dir + "/" + name);
        EXPECT_TRUE(outline(dir + "/" + name)) << name;
        for (std::size_t kept : {bytes.size() / 2, std::size_t{100}}) {
            std::string cut = write("cut-" + name, bytes.substr(0, kept));
            EXPECT_FALSE(outline(cut)) << name << " cut to " << kept << " bytes";
            EXPECT_FALSE(detail(cut)) << name << " cut to " << kept << " bytes";
        }
    }

    std::string bytes = test::readFile(dir + "/photo.jpg");
    std::string garbled = bytes;
    for (std::size_t k = garbled.size() / 3; k < garbled.size() / 3 + 400; ++k)
        garbled[k] = static_cast<char>(k * 37);
    // Files that lack only their end marker or end chunk hold the whole picture.
    EXPECT_TRUE(outline(write("no-end.jpg", bytes.substr(0, bytes.size() - 2))));
    EXPECT_TRUE(detail(dir + "/no-end.jpg"));
    std::string png = test::readFile(dir + "/photo.png");
    EXPECT_TRUE(outline(write("no-end.png", png.substr(0, png.size() - 12))));
    outline(write("garbled.jpg", garbled)); // drawn or not, but never a crash
    detail(dir + "/garbled.jpg");
    EXPECT_FALSE(outline(write("no-frame.jpg", std::string("\xFF\xD8\xFF\xD9", 4))));
}

TEST(SimilarImages, FindsAPhotoSavedAgainButNotAChangedOne) {
    test::clearHome();
    std::string home = test::home();
    auto photo = test::Picture::photo(2400, 1800, 7, "Summer 2023");
    photo.save(home + "/Pictures/beach.png");
    photo.resized(1600, 1200).save(home + "/Downloads/beach-small.jpg", "[Q=90]");
    test::Picture::photo(2400, 1800, 7, "Summer 2024").save(home + "/Pictures/beach-2024.png");
    test::Picture::photo(2400, 1800, 8, "Summer 2023")
        .resized(1600, 1200)
        .save(home + "/Pictures/other.jpg", "[Q=90]");

    auto found = items({"~/Pictures", "~/Downloads"}, 100'000);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].id, home + "/Downloads/beach-small.jpg");
    EXPECT_EQ(
        found[0].note,
        "1600\u00d71200 \u00b7 copy 2 of 2 \u00b7 keeping beach.png, 2400\u00d71800 in ~/Pictures");
    EXPECT_FALSE(sameContent(*detail(home + "/Pictures/beach.png"),
                             *detail(home + "/Pictures/beach-2024.png")));
}

// The grouping as plainly described: every keeper compares every unused picture of the
// neighbouring buckets, one after another, with no shortcuts. The finder's own search (bounds on
// outline sums, pictures drawn ahead in parallel) must come to exactly the same groups.
TEST(SimilarImages, GroupsAsThePlainSearchDoes) {
    std::mt19937 random(5);
    for (int round = 0; round < 20; ++round) {
        std::size_t n = 20 + random() % 300;
        std::vector<Candidate> candidates;
        std::vector<std::optional<Outline>> outlines;
        std::map<std::string, int> scene; // which grid a picture draws as; -1: cannot be drawn
        for (std::size_t k = 0; k < n; ++k) {
            int w = 1000 + static_cast<int>(random() % 4) * 50; // keys 20 to 23
            candidates.push_back(
                picture(fmt::format("/p/{:03}.jpg", k), w, 1000, 1000 + random() % 5));
            if (random() % 10 == 0) {
                outlines.push_back(std::nullopt);
            } else {
                // Levels 8 apart: outlines whose differences add up to about the 8,192 line.
                Outline o = outlineOf(static_cast<unsigned char>(100 + random() % 3 * 8));
                for (int t = random() % 4; t > 0; --t)
                    o.grey[random() % 1024] += static_cast<unsigned char>(random() % 7) - 3;
                outlines.push_back(o);
            }
            scene[candidates.back().url] = random() % 12 == 0 ? -1 : static_cast<int>(random() % 4);
        }
        auto draw = [&](const Candidate& c) -> std::optional<Grid> {
            int s = scene.at(c.url);
            if (s < 0) return std::nullopt;
            return Grid(400, static_cast<unsigned char>(s * 50)); // small, for speed
        };

        std::vector<std::size_t> order(n);
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return bestFirst(candidates[a], candidates[b]);
        });
        std::vector<bool> used(n);
        std::vector<Group> expected;
        for (std::size_t i : order) {
            if (used[i] || !outlines[i]) continue;
            used[i] = true;
            int key = aspectKey(candidates[i].width, candidates[i].height);
            std::vector<std::size_t> shortlist;
            for (int k = key - 1; k <= key + 1; ++k)
                for (std::size_t j : order)
                    if (!used[j] && outlines[j] &&
                        aspectKey(candidates[j].width, candidates[j].height) == k &&
                        outlines[i]->meanDifference(*outlines[j]) <= 8.0)
                        shortlist.push_back(j);
            auto keeperGrid = shortlist.empty() ? std::nullopt : draw(candidates[i]);
            if (!keeperGrid) continue;
            std::vector<Candidate> copies;
            for (std::size_t j : shortlist)
                if (auto g = draw(candidates[j]); g && sameContent(*keeperGrid, *g)) {
                    used[j] = true;
                    copies.push_back(candidates[j]);
                }
            std::stable_sort(copies.begin(), copies.end(), bestFirst);
            if (!copies.empty()) expected.push_back({candidates[i], copies});
        }

        auto found = groups(candidates, outlines, draw);
        ASSERT_EQ(found.size(), expected.size()) << round;
        for (std::size_t g = 0; g < found.size(); ++g) {
            EXPECT_EQ(found[g].keeper, expected[g].keeper) << round;
            EXPECT_EQ(urls(found[g].copies), urls(expected[g].copies)) << round;
        }
    }
}

// Outlines are drawn on every thread at once, thousands of times over: the same outline each time,
// and never a crash or a corrupted one (libvips's compiled loops once broke this within seconds).
TEST(SimilarImages, OutlinesDrawnOnManyThreadsAtOnceAreAlwaysTheSame) {
    std::string dir = test::home() + "/Pictures";
    fs::create_directories(dir);
    std::vector<Candidate> candidates;
    for (unsigned k = 0; k < 40; ++k) {
        std::string path = fmt::format("{}/P{:02}.jpg", dir, k);
        test::Picture::photo(160 + 8 * static_cast<int>(k % 5), 120, 700 + k).save(path, "[Q=85]");
        candidates.push_back(picture(path, 160, 120));
    }
    auto first = outlines(candidates);
    for (const auto& outline : first)
        ASSERT_TRUE(outline);
    std::vector<Candidate> many;
    for (int round = 0; round < 100; ++round)
        many.insert(many.end(), candidates.begin(), candidates.end());
    auto again = outlines(many);
    for (std::size_t i = 0; i < again.size(); ++i) {
        ASSERT_TRUE(again[i]) << i;
        ASSERT_EQ(again[i]->grey, first[i % candidates.size()]->grey) << i;
    }
}

TEST(SimilarImages, ASavedAgainCopyIsCleanedOnlyWhileThePictureItKeepsIsAsFound) {
    CleanupCategory category = *Catalog::find("repeated-pictures");
    Cleaner::Services services;
    services.ownBundle = "/opt/Bramwick.app";
    for (bool keptRemoved : {true, false}) {
        SCOPED_TRACE(keptRemoved ? "kept picture removed" : "unchanged");
        test::clearHome();
        const std::string home = test::home();
        auto photo = test::Picture::photo(900, 600, 3, "Lake");
        photo.save(home + "/Pictures/lake.png");
        photo.resized(600, 400).save(home + "/Downloads/lake-small.jpg", "[Q=90]");
        auto found = items({"~/Pictures", "~/Downloads"}, 10'000);
        ASSERT_EQ(found.size(), 1u);
        if (keptRemoved) ::unlink((home + "/Pictures/lake.png").c_str());
        auto outcome = Cleaner::clean(found, category, services);
        EXPECT_EQ(outcome.cleaned.size(), keptRemoved ? 0u : 1u);
        EXPECT_EQ(test::exists(home + "/Downloads/lake-small.jpg"), keptRemoved);
        if (keptRemoved) {
            ASSERT_EQ(outcome.failures.size(), 1u);
            EXPECT_EQ(outcome.failures[0].reason,
                      "The copy it duplicates, ~/Pictures/lake.png, is gone, so this one was kept");
        }
    }
}

// Times `bramwick --pictures` on generated 12-megapixel photos: 300 different photos saved as
// JPEG, and 30 of them saved again at half the size, which it must find; beside it findimagedupes
// on the same photos, where installed. Then shows how the comparing step grows with the number
// of pictures: 750, 1,500 and 3,000 smaller photos, a tenth of them saved again, grouped in this
// process with the outlines drawn beforehand.
//
//   BRAMWICK_HOME=<empty folder> bench_pictures <bramwick program> [photos] [most pictures]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <fmt/format.h>
#include <tbb/parallel_for.h>
#include <vips/vips.h>

#include <vips/vector.h> // needs vips.h before it

#include "finders/similar_images.h"
#include "support.h"
#include "support/pictures.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool installed(const std::string& tool) {
    return bench::run({"sh", "-c", "command -v " + tool}, "/dev/null").status == 0;
}

// The sets findimagedupes prints, one a line, paths separated by blanks (which paths may hold:
// every path starts with the home).
std::vector<std::set<std::string>> printedSets(const std::string& output, const std::string& home) {
    std::vector<std::set<std::string>> sets;
    std::stringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        std::set<std::string> set;
        for (std::size_t at = line.find(home); at != std::string::npos;) {
            std::size_t next = line.find(" " + home, at + 1);
            set.insert(line.substr(at, next == std::string::npos ? std::string::npos : next - at));
            at = next == std::string::npos ? next : next + 1;
        }
        if (set.size() >= 2) sets.push_back(std::move(set));
    }
    return sets;
}

// The comparing step alone on `count` smaller photos, a tenth of them saved again at two thirds
// of the size, in folders of 750: its time and the groups found.
void scaling(const std::string& base, int most) {
    const int part = 750, width = 640, height = 480;
    const int parts = std::max(1, most / part);
    std::string home = base + "/scaling";
    if (!fs::exists(home + "/.generated")) {
        std::printf("generating %d photos of %d x %d and %d copies ...\n", parts * part, width,
                    height, parts * part / 10);
        std::fflush(stdout);
        tbb::parallel_for(0, parts * part, [&](int k) {
            std::string folder = fmt::format("{}/part{}", home, k / part);
            fs::create_directories(folder);
            auto photo =
                bramwick::test::Picture::photo(width, height, 50'000 + static_cast<unsigned>(k),
                                               k % 3 ? "" : fmt::format("Day {}", k));
            photo.save(fmt::format("{}/P{:05}.jpg", folder, k), "[Q=85]");
            if (k % 10 == 0)
                photo.resized(width * 2 / 3, height * 2 / 3)
                    .save(fmt::format("{}/P{:05} small.jpg", folder, k), "[Q=85]");
        });
        std::ofstream(home + "/.generated");
    }
    std::printf("comparing step (grouping, with the outlines drawn beforehand), median of 3:\n");
    double previous = 0;
    int previousCount = 0;
    for (int upTo = 1; upTo <= parts; upTo *= 2) {
        std::vector<std::string> roots;
        for (int k = 0; k < upTo; ++k)
            roots.push_back(fmt::format("{}/part{}", home, k));
        auto candidates = bramwick::SimilarImages::representatives(
            bramwick::SimilarImages::collect(roots, 10'000));
        auto outlines = bramwick::SimilarImages::outlines(candidates);
        std::vector<double> times, shortlists;
        std::size_t found = 0;
        // Without drawing the 512-pixel grids (none can be drawn), what is left is finding each
        // picture's shortlist among the outlines.
        auto nothing = [](const bramwick::SimilarImages::Candidate&) {
            return std::optional<bramwick::SimilarImages::Grid>();
        };
        for (int r = 0; r < 3; ++r) {
            auto start = Clock::now();
            found = 0;
            for (const auto& group : bramwick::SimilarImages::groups(candidates, outlines))
                found += group.copies.size();
            times.push_back(since(start));
            start = Clock::now();
            bramwick::SimilarImages::groups(candidates, outlines, nothing);
            shortlists.push_back(since(start));
        }
        std::sort(times.begin(), times.end());
        std::sort(shortlists.begin(), shortlists.end());
        double median = times[1];
        int count = static_cast<int>(candidates.size());
        // A copy two thirds the size of a small photo can differ from it at a few more pixels
        // than the same-picture line allows: a copy or two in a hundred may be missed, never
        // more, and nothing else may be found.
        const auto saved = static_cast<std::size_t>(upTo * part / 10);
        bool expected = found <= saved && found * 100 >= saved * 98;
        std::printf("  %5d pictures: %.3f s (shortlists %.3f s), %zu of the %zu copies found (%s)",
                    count, median, shortlists[1], found, saved,
                    expected ? "as expected" : "EXPECTED at least 98 in 100 and no more");
        if (previous > 0)
            std::printf(", %.1fx the time for %.1fx the pictures", median / previous,
                        double(count) / previousCount);
        std::printf("\n");
        previous = median;
        previousCount = count;
        if (upTo * 2 > parts && upTo != parts) upTo = parts / 2; // always end with all of them
    }
}

} // namespace

int main(int argc, char** argv) {
    const char* homeVariable = std::getenv("BRAMWICK_HOME");
    if (argc < 2 || !homeVariable || !*homeVariable) {
        std::fprintf(stderr,
                     "usage: BRAMWICK_HOME=<folder> bench_pictures <bramwick program> [photos]\n");
        return 2;
    }
    std::string bramwick = fs::absolute(argv[1]);
    std::string home = homeVariable;
    // Photos are drawn on many threads at once: libvips's cache of operations, which drawing in
    // place invalidates, is not safe for that.
    if (VIPS_INIT("bench_pictures") != 0) return 2;
    vips_cache_set_max(0);
    vips_vector_set_enabled(FALSE); // as the finder does: its compiled loops are not thread-safe
    int photos = argc > 2 ? std::atoi(argv[2]) : 300;
    int most = argc > 3 ? std::atoi(argv[3]) : 3000;
    int copies = photos / 10;
    const int width = 4000, height = 3000;

    std::vector<std::string> paths;
    for (int k = 0; k < photos; ++k)
        paths.push_back(fmt::format("{}/Pictures/{}/IMG_{:04}.jpg", home, 2015 + k % 8, k));
    for (int k = 0; k < copies; ++k)
        paths.push_back(fmt::format("{}/Downloads/IMG_{:04} small.jpg", home, k));
    if (!fs::exists(home + "/.generated")) {
        std::printf("generating %d photos of %d x %d ...\n", photos, width, height);
        std::fflush(stdout);
        tbb::parallel_for(0, photos, [&](int k) {
            auto photo =
                bramwick::test::Picture::photo(width, height, 1000 + static_cast<unsigned>(k),
                                               k % 3 ? "" : fmt::format("Trip {}", k));
            photo.save(paths[static_cast<std::size_t>(k)], "[Q=85]");
            if (k < copies)
                photo.resized(width / 2, height / 2)
                    .save(paths[static_cast<std::size_t>(photos + k)], "[Q=85]");
        });
        std::ofstream(home + "/.generated");
    }
    std::int64_t bytes = 0;
    for (const auto& path : paths) {
        bytes += static_cast<std::int64_t>(fs::file_size(path));
        // Warm cache: read each picture once.
        std::vector<char> buffer(1 << 20);
        int fd = ::open(path.c_str(), O_RDONLY);
        while (fd >= 0 && ::read(fd, buffer.data(), buffer.size()) > 0) {
        }
        if (fd >= 0) ::close(fd);
    }

    ::setenv("HOME", home.c_str(), 1); // the other tool keeps nothing in the user's home
    std::string output = home + "/.pictures.txt";
    std::string command = fmt::format("'{}' --pictures > '{}'", bramwick, output);
    auto start = Clock::now();
    int status = std::system(command.c_str());
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::ifstream in(output);
    std::stringstream text;
    text << in.rdbuf();
    std::string printed = text.str();

    std::smatch counted, found, timings;
    std::regex_search(printed, counted, std::regex("([0-9]+) pictures over"));
    std::regex_search(printed, found,
                      std::regex("([0-9]+) pictures saved more than once, ([0-9]+) repeats"));
    std::regex_search(printed, timings, std::regex("walk [^\n]*"));
    std::size_t pictures = counted.empty() ? 0 : std::stoul(counted[1]);
    std::size_t sets = found.empty() ? 0 : std::stoul(found[1]);
    std::printf(
        "%zu pictures (%d JPEGs of %.0f megapixels, %d of them saved again at half the size), "
        "%.2f GB, warm cache, %u threads\n",
        paths.size(), photos, width * height / 1e6, copies, bytes / 1e9,
        std::thread::hardware_concurrency());
    std::printf("bramwick --pictures: %.2f s, %.0f pictures a second (%s)\n", seconds,
                pictures / seconds, timings.empty() ? "no timings" : timings[0].str().c_str());
    bool right =
        status == 0 && pictures == paths.size() && sets == static_cast<std::size_t>(copies);
    std::printf("found %zu pictures saved more than once, %s %d\n", sets,
                right ? "as expected:" : "EXPECTED", copies);

    if (installed("findimagedupes")) {
        std::vector<std::string> command{"findimagedupes", "-R", "--", home + "/Pictures",
                                         home + "/Downloads"};
        bench::Run other = bench::run(command, home + "/.findimagedupes.txt");
        auto theirs = printedSets(other.output, home);
        // Every set the other finds must be one bramwick finds: each photo with its copy.
        std::size_t matching = 0;
        for (const auto& set : theirs) {
            bool pair = set.size() == 2;
            if (pair) {
                std::string a = *set.begin(), b = *set.rbegin();
                std::string small = a.find(" small.jpg") != std::string::npos ? a : b;
                std::string number = fs::path(small).filename().string().substr(4, 4);
                pair = printed.find(small.substr(home.size() + 1)) != std::string::npos &&
                       (a.find("IMG_" + number + ".jpg") != std::string::npos ||
                        b.find("IMG_" + number + ".jpg") != std::string::npos);
            }
            matching += pair ? 1 : 0;
        }
        bool agree = other.status == 0 && matching == theirs.size();
        std::printf("findimagedupes: %.2f s (cpu %.2f s), %zu sets; ratio %.1fx bramwick's time; "
                    "%s\n",
                    other.seconds, other.cpu, theirs.size(), other.seconds / seconds,
                    agree ? "results agree (every set it finds, bramwick finds too)"
                          : "results DIFFER");
        right = right && agree;
    } else {
        std::printf("findimagedupes: not installed\n");
    }

    scaling(home, most);
    return right ? 0 : 1;
}

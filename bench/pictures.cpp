// Times `bramwick --pictures` on generated 12-megapixel photos: 500 different photos saved as
// JPEG, and 50 of them saved again at half the size, which it must find.
//
//   BRAMWICK_HOME=<empty folder> bench_pictures <bramwick program> [photos]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <fmt/format.h>
#include <tbb/parallel_for.h>

#include "support/pictures.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    const char* homeVariable = std::getenv("BRAMWICK_HOME");
    if (argc < 2 || !homeVariable || !*homeVariable) {
        std::fprintf(stderr,
                     "usage: BRAMWICK_HOME=<folder> bench_pictures <bramwick program> [photos]\n");
        return 2;
    }
    std::string bramwick = fs::absolute(argv[1]);
    std::string home = homeVariable;
    int photos = argc > 2 ? std::atoi(argv[2]) : 500;
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
    return right ? 0 : 1;
}

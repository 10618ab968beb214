// A long history in the settings file: for 10,000, 100,000 and 1,000,000 records, how long the
// settings and the history take to load, and one more record to save (the part the window's
// thread waits for, and the whole write in the background), beside Python's json.load of the
// same file.
//
//   bench_history_settings [folder] [records...]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "base/text.h"
#include "engine/models.h"
#include "engine/settings_keys.h"
#include "platform/files.h"
#include "platform/settings.h"
#include "store/stored_lists.h"
#include "support.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A settings file as a long-used program leaves it: the usual keys and `records` records.
void writeSettings(const std::string& path, std::size_t records) {
    bench::Random random(records);
    namespace Keys = bramwick::SettingsKeys;
    nlohmann::json document = {
        {Keys::autoCleanSchedule, "weekly"}, {Keys::autoCleanHour, 13},
        {Keys::skin, "nightfall"},           {Keys::levelOverrides, {{"npm", "Red Flag"}}},
        {Keys::unusedAppDays, 100},          {Keys::animateScans, true}};
    nlohmann::json log = nlohmann::json::array();
    for (std::size_t i = 0; i < records; ++i) {
        bramwick::CleanupRecord record{
            bramwick::Text::newUuid(),
            bramwick::dateFromReferenceSeconds(700'000'000.0 + static_cast<double>(i) * 3600.25),
            fmt::format("Cleaned all safe categories: {} MB", random.below(5000)),
            fmt::format("Freed {} MB. Free space went up by {} MB.", random.below(5000),
                        random.below(5000))};
        log.push_back(bramwick::toJson(record));
    }
    document[Keys::history] = std::move(log);
    bramwick::Files::makeFolders(fs::path(path).parent_path());
    bramwick::Files::writeAtomically(path, document.dump(2) + "\n");
}

double pythonLoad(const std::string& path, const std::string& folder) {
    std::string script = folder + "/load.py";
    bramwick::Files::writeAtomically(script, "import json, sys, time\nstart = time.perf_counter()\n"
                                             "with open(sys.argv[1]) as f:\n    json.load(f)\n"
                                             "print(time.perf_counter() - start)\n");
    auto run = bench::run({"python3", script, path}, folder + "/python.txt");
    if (run.status != 0) return -1;
    return std::atof(run.output.c_str());
}

} // namespace

int main(int argc, char** argv) {
    std::string folder =
        argc > 1 ? argv[1] : (fs::temp_directory_path() / "bramwick-bench-history").string();
    std::vector<std::size_t> sizes{10'000, 100'000, 1'000'000};
    if (argc > 2) {
        sizes.clear();
        for (int i = 2; i < argc; ++i)
            sizes.push_back(std::stoul(argv[i]));
    }
    fs::create_directories(folder);
    std::printf("%10s %10s %10s %10s %8s %12s %12s\n", "records", "file MB", "load s", "python s",
                "ratio", "record ms", "saved s");
    for (std::size_t records : sizes) {
        std::string path = folder + "/settings.json";
        writeSettings(path, records);
        const double megabytes = static_cast<double>(fs::file_size(path)) / 1e6;
        const double python = pythonLoad(path, folder);

        // Loading as the store does at start-up: the file, then the history from it.
        auto start = Clock::now();
        auto settings = std::make_unique<bramwick::Settings>(path);
        auto history = bramwick::StoredLists::history(*settings);
        const double load = since(start);
        if (history.value.size() != records || history.unreadable) {
            std::fprintf(stderr, "the history did not load whole: %zu of %zu records\n",
                         history.value.size(), records);
            return 1;
        }

        // One more record: what the window's thread does, then the write it hands off.
        bramwick::CleanupRecord record{bramwick::Text::newUuid(), std::chrono::system_clock::now(),
                                       "Cleaned all safe categories: 1 MB", "Freed 1 MB."};
        history.value.insert(history.value.begin(), record);
        start = Clock::now();
        bramwick::StoredLists::saveHistory(history.value, *settings);
        const double onThread = since(start);
        settings->flush();
        const double saved = since(start);
        if (auto problem = settings->unsaved()) {
            std::fprintf(stderr, "the save failed: %s\n", problem->c_str());
            return 1;
        }
        settings.reset();
        std::printf("%10zu %10.1f %10.3f %10.3f %7.2fx %12.2f %12.3f\n", records, megabytes, load,
                    python, python > 0 ? load / python : 0.0, onThread * 1000, saved);
        std::fflush(stdout);
    }
    fs::remove_all(folder);
    return 0;
}

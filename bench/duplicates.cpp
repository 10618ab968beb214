// Times `bramwick --duplicates` against jdupes and rmlint on two generated homes, each tool a few
// times in turn with a warm cache, and checks that all three find the same sets once what
// bramwick leaves out by design (hidden files, skipped folders, packages, links, files under 1 MB,
// second names of a hard link) is taken out of the others' answers. The first home holds more
// than 10,000 files and 2 GB, many of them of equal sizes, with sets of copies and lookalikes; the
// second 10,000 files of exactly 1 MiB that all differ.
//
//   BRAMWICK_HOME=<empty folder> bench_duplicates <bramwick program>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <fcntl.h>
#include <fmt/format.h>
#include <nlohmann/json.hpp>
#include <tbb/parallel_for.h>

#include "engine/packages.h"
#include "finders/duplicates.h"
#include "finders/file_walk.h"
#include "support.h"
#include "trees.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::int64_t minimum = 1'000'000;
const std::vector<std::string> rootNames{"Downloads", "Desktop",  "Documents",
                                         "Movies",    "Pictures", "Music"};

using bench::Random;

// One file of the tree: its own bytes from `seed`, or a copy, link or hard link of another.
struct Planned {
    enum class Kind { bytes, copy, symlink, hardLink } kind = Kind::bytes;
    std::string path;
    std::int64_t size = 0;
    std::uint64_t seed = 0;
    std::int64_t flipAt = -1; // a byte changed here, so that only the end differs
    std::string source;       // for copies and links
    int age = 0;              // days
};

void writeBytes(const Planned& p) {
    fs::create_directories(fs::path(p.path).parent_path());
    std::FILE* f = std::fopen(p.path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + p.path);
    Random random(p.seed);
    std::vector<std::uint64_t> block(1 << 17);
    for (std::int64_t left = p.size; left > 0;) {
        for (auto& w : block)
            w = random.next();
        auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, block.size() * 8));
        std::fwrite(block.data(), 1, n, f);
        left -= static_cast<std::int64_t>(n);
    }
    std::fclose(f);
    if (p.flipAt >= 0) { // the byte there, turned over
        f = std::fopen(p.path.c_str(), "r+b");
        std::fseek(f, p.flipAt, SEEK_SET);
        int byte = std::fgetc(f);
        std::fseek(f, p.flipAt, SEEK_SET);
        std::fputc(~byte & 0xFF, f);
        std::fclose(f);
    }
}

void setAge(const std::string& path, int age) {
    struct timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = 1'700'000'000 - static_cast<time_t>(age) * 86'400;
    times[1].tv_nsec = 0;
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

// The tree: sets of copies, files of the same sizes that differ at the start or only at the end,
// a few large files, many small ones, and copies where bramwick does not look.
std::vector<Planned> plan(const std::string& home) {
    Random random(42);
    std::vector<Planned> files;
    std::vector<std::int64_t> sizes(250), smallSizes(60);
    for (auto& s : sizes)
        s = minimum + static_cast<std::int64_t>(random.below(200'000));
    for (auto& s : smallSizes)
        s = 4'000 + static_cast<std::int64_t>(random.below(120'000));
    std::uint64_t seed = 1;
    std::set<std::string> taken;
    auto place = [&](const std::string& name) {
        std::string folder = home + "/" + rootNames[random.below(rootNames.size())];
        for (std::size_t d = random.below(4); d > 0; --d)
            folder += fmt::format("/folder{}", random.below(12));
        std::string path = folder + "/" + name;
        for (int k = 2; !taken.insert(path).second; ++k)
            path = folder + fmt::format("/{} {}", k, name);
        return path;
    };
    auto bytes = [&](std::string path, std::int64_t size) {
        Planned p;
        p.path = std::move(path);
        p.size = size;
        p.seed = ++seed;
        p.age = static_cast<int>(random.below(2000));
        files.push_back(p);
        return files.size() - 1;
    };
    auto another = [&](Planned::Kind kind, std::size_t of, std::string path) {
        Planned p;
        p.kind = kind;
        p.path = std::move(path);
        p.size = files[of].size;
        p.source = files[of].path;
        p.age = static_cast<int>(random.below(2000));
        files.push_back(p);
    };

    std::vector<std::size_t> originals;
    for (int k = 0; k < 550; ++k) { // sets of 2 to 4 copies
        std::size_t first =
            bytes(place(fmt::format("file{}.dat", k)), sizes[random.below(sizes.size())]);
        originals.push_back(first);
        for (std::size_t c = 1 + random.below(3); c > 0; --c)
            another(Planned::Kind::copy, first,
                    place(random.below(2) ? fmt::format("file{}.dat", k)
                                          : fmt::format("copy {} of file{}.dat", c, k)));
    }
    std::vector<std::size_t> singles;
    for (int k = 0; k < 1000; ++k) // same sizes, different starts
        singles.push_back(
            bytes(place(fmt::format("single{}.bin", k)), sizes[random.below(sizes.size())]));
    for (int k = 0; k < 200; ++k) { // same sizes, same first 64 KiB, different ends
        std::size_t a =
            bytes(place(fmt::format("twin{}a.bin", k)), sizes[random.below(sizes.size())]);
        Planned b = files[a];
        b.path = place(fmt::format("twin{}b.bin", k));
        b.flipAt = b.size - 1 - static_cast<std::int64_t>(random.below(100'000));
        files.push_back(b);
    }
    for (std::int64_t mb : {80, 100, 150}) { // large sets
        std::size_t big = bytes(home + fmt::format("/Movies/film{}.mov", mb), mb * 1'000'000);
        another(Planned::Kind::copy, big, home + fmt::format("/Downloads/film{}.mov", mb));
    }
    bytes(home + "/Movies/other.mov", 90'000'000);
    bytes(home + "/Movies/another.mov", 90'000'000);
    for (int k = 0; k < 8000; ++k) { // small files, often of equal sizes, some copied
        std::size_t s =
            bytes(place(fmt::format("note{}.txt", k)), smallSizes[random.below(smallSizes.size())]);
        if (k % 10 == 0) another(Planned::Kind::copy, s, place(fmt::format("note{} copy.txt", k)));
    }
    // Where bramwick never looks, or what it never counts.
    for (int k = 0; k < 60; ++k) {
        std::size_t of = originals[random.below(originals.size())];
        std::string root = home + "/" + rootNames[random.below(rootNames.size())];
        const char* places[] = {"/.backup/{}.dat",
                                "/.hidden{}.dat",
                                "/node_modules/pkg/{}.dat",
                                "/deep/vendor/{}.dat",
                                "/Album.photoslibrary/originals/{}.dat",
                                "/app/venv/lib/{}.dat"};
        another(Planned::Kind::copy, of, root + fmt::format(fmt::runtime(places[k % 6]), k));
        another(Planned::Kind::symlink, of, root + fmt::format("/link{}.dat", k));
        another(Planned::Kind::hardLink, of, root + fmt::format("/hard{}.dat", k));
    }
    for (int k = 0; k < 30; ++k) // a single's only twin is hidden: no set at all
        another(Planned::Kind::copy, singles[random.below(singles.size())],
                home + fmt::format("/Documents/.cache/single-copy{}.bin", k));
    return files;
}

void generate(const std::string& home, std::vector<Planned>& files) {
    tbb::parallel_for(std::size_t{0}, files.size(), [&](std::size_t i) {
        if (files[i].kind == Planned::Kind::bytes) writeBytes(files[i]);
    });
    for (auto& p : files) {
        if (p.kind == Planned::Kind::bytes) {
            setAge(p.path, p.age);
            continue;
        }
        fs::create_directories(fs::path(p.path).parent_path());
        std::error_code error;
        fs::remove(p.path, error);
        if (p.kind == Planned::Kind::copy) {
            fs::copy_file(p.source, p.path);
            setAge(p.path, p.age);
        } else if (p.kind == Planned::Kind::symlink) {
            fs::create_symlink(p.source, p.path);
        } else {
            fs::create_hard_link(p.source, p.path);
        }
    }
    std::ofstream(home + "/.generated");
}

// Reads every file once, so that every tool starts with the same warm cache.
void warm(const std::string& home) {
    std::vector<std::string> paths;
    for (auto& entry : fs::recursive_directory_iterator(home))
        if (entry.is_regular_file() && !entry.is_symlink()) paths.push_back(entry.path());
    tbb::parallel_for(std::size_t{0}, paths.size(), [&](std::size_t i) {
        std::vector<char> buffer(1 << 20);
        int fd = ::open(paths[i].c_str(), O_RDONLY);
        if (fd < 0) return;
        while (::read(fd, buffer.data(), buffer.size()) > 0) {
        }
        ::close(fd);
    });
}

using bench::Run;
using bench::run;

using FileKey = std::pair<std::uint64_t, std::uint64_t>; // device, inode
using Set = std::vector<FileKey>;

// What bramwick would have listed of a set another tool reports.
Set ourPart(const std::vector<std::string>& paths, const std::vector<std::string>& roots) {
    std::set<FileKey> kept;
    for (const auto& path : paths) {
        auto root = std::find_if(roots.begin(), roots.end(),
                                 [&](const std::string& r) { return path.starts_with(r + "/"); });
        if (root == roots.end()) continue;
        std::vector<std::string> parts;
        std::stringstream rest(path.substr(root->size() + 1));
        for (std::string part; std::getline(rest, part, '/');)
            parts.push_back(part);
        bool excluded = false;
        for (std::size_t k = 0; k < parts.size(); ++k)
            if (parts[k].starts_with(".") || bramwick::FileWalk::isSkippedName(parts[k]) ||
                (k + 1 < parts.size() && bramwick::Packages::isPackageName(parts[k])))
                excluded = true;
        struct stat st {};
        if (excluded || ::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_size < minimum)
            continue;
        kept.insert({st.st_dev, st.st_ino});
    }
    return {kept.begin(), kept.end()};
}

std::set<Set> normalised(const std::vector<std::vector<std::string>>& sets,
                         const std::vector<std::string>& roots) {
    std::set<Set> result;
    for (const auto& s : sets) {
        Set part = ourPart(s, roots);
        if (part.size() >= 2) result.insert(part);
    }
    return result;
}

std::vector<std::vector<std::string>> jdupesSets(const std::string& output) {
    std::vector<std::vector<std::string>> sets(1);
    std::stringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) {
            if (!sets.back().empty()) sets.emplace_back();
        } else {
            sets.back().push_back(line);
        }
    }
    return sets;
}

std::vector<std::vector<std::string>> rmlintSets(const std::string& jsonFile) {
    std::ifstream in(jsonFile);
    auto json = nlohmann::json::parse(in, nullptr, false);
    std::map<std::string, std::vector<std::string>> byDigest;
    if (json.is_array())
        for (const auto& entry : json)
            if (entry.value("type", "") == "duplicate_file")
                byDigest[entry.value("checksum", "")].push_back(entry.value("path", ""));
    std::vector<std::vector<std::string>> sets;
    for (auto& [digest, paths] : byDigest)
        sets.push_back(paths);
    return sets;
}

bool installed(const std::string& tool) {
    return run({"sh", "-c", "command -v " + tool}, "/dev/null").status == 0;
}

using bench::median;

// Times bramwick --duplicates against jdupes and rmlint on one home, each run a few times in
// turn with a warm cache, and checks that all find the same sets.
bool compareOn(const std::string& home, const std::string& bramwick, const std::string& title) {
    ::setenv("BRAMWICK_HOME", home.c_str(), 1);
    std::string scratch = home + "/.bench";
    fs::create_directories(scratch);
    std::int64_t bytes = 0;
    std::size_t count = 0, large = 0;
    for (auto& entry : fs::recursive_directory_iterator(home)) {
        if (!entry.is_regular_file() || entry.is_symlink()) continue;
        ++count;
        bytes += static_cast<std::int64_t>(entry.file_size());
        if (entry.file_size() >= static_cast<std::uintmax_t>(minimum)) ++large;
    }
    std::vector<std::string> roots;
    for (const auto& r : rootNames)
        roots.push_back(home + "/" + r);
    constexpr int repeats = 3;
    std::printf("-- %s: %zu files, %.2f GB (%zu of at least 1 MB), warm cache, median of %d runs\n",
                title.c_str(), count, bytes / 1e9, large, repeats);

    struct Tool {
        std::string name;
        std::vector<std::string> command;
        std::string output;
    };
    std::vector<Tool> tools{
        {"bramwick --duplicates", {bramwick, "--duplicates"}, scratch + "/bramwick.txt"}};
    if (installed("jdupes")) {
        std::vector<std::string> command{"jdupes", "-r", "-q", "-A", "-X", "size+=:1000000"};
        command.insert(command.end(), roots.begin(), roots.end());
        tools.push_back({"jdupes", command, scratch + "/jdupes.txt"});
    } else {
        std::printf("jdupes: not installed\n");
    }
    std::string json = scratch + "/rmlint.json";
    if (installed("rmlint")) {
        std::vector<std::string> command{
            "rmlint", "-T", "df", "-o", "json:" + json, "--size", "1000000-1000000000000000"};
        command.insert(command.end(), roots.begin(), roots.end());
        tools.push_back({"rmlint", command, scratch + "/rmlint.txt"});
    } else {
        std::printf("rmlint: not installed\n");
    }
    std::vector<std::vector<Run>> runs(tools.size());
    for (int r = 0; r < repeats; ++r)
        for (std::size_t t = 0; t < tools.size(); ++t) {
            std::size_t k = (t + static_cast<std::size_t>(r)) % tools.size(); // in turn
            // Warmed again before every run: a tool may let the page cache go of what it read
            // (rmlint does), which would leave the next tool a cold cache.
            warm(home);
            runs[k].push_back(run(tools[k].command, tools[k].output));
        }
    std::vector<double> seconds(tools.size()), cpu(tools.size());
    for (std::size_t t = 0; t < tools.size(); ++t) {
        std::vector<double> s, c;
        for (const auto& one : runs[t]) {
            s.push_back(one.seconds);
            c.push_back(one.cpu);
        }
        seconds[t] = median(s);
        cpu[t] = median(c);
    }

    const Run& ours = runs[0].back();
    auto processorTime = [] {
        struct rusage usage {};
        ::getrusage(RUSAGE_SELF, &usage);
        return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    // The same search without the split on the first 4 KiB, as it was before: every file that
    // shares its size has its first 64 KiB digested.
    bramwick::Duplicates::Digester digestsOnly = [](const bramwick::Duplicates::Candidate& c,
                                                    std::optional<std::int64_t> limit) {
        return bramwick::FileDigest::sha256(c.path, c.identity, c.size, limit);
    };
    // Both searches a few times in turn, medians.
    std::vector<bramwick::Duplicates::Group> groups, without;
    std::vector<double> withTimes, withCpus, withoutTimes, withoutCpus;
    for (int r = 0; r < repeats; ++r)
        for (bool split : {r % 2 == 0, r % 2 != 0}) {
            double cpuStart = processorTime();
            auto start = Clock::now();
            auto found = split ? bramwick::Duplicates::groups(roots, minimum)
                               : bramwick::Duplicates::groups(roots, minimum, digestsOnly);
            double took = std::chrono::duration<double>(Clock::now() - start).count();
            (split ? withTimes : withoutTimes).push_back(took);
            (split ? withCpus : withoutCpus).push_back(processorTime() - cpuStart);
            (split ? groups : without) = std::move(found);
        }
    double inProcess = median(withTimes), inProcessCpu = median(withCpus);
    double withoutTime = median(withoutTimes), withoutCpu = median(withoutCpus);
    std::vector<std::vector<std::string>> ourSets;
    std::size_t copies = 0;
    for (const auto& g : groups) {
        std::vector<std::string> paths{g.keeper.path};
        for (const auto& c : g.copies)
            paths.push_back(c.path);
        copies += g.copies.size();
        ourSets.push_back(paths);
    }
    auto reference = normalised(ourSets, roots);
    bool consistent =
        ours.status == 0 &&
        ours.output.find(fmt::format("\n{} redundant copies,", copies)) != std::string::npos &&
        reference.size() == groups.size();
    std::printf("%-24s %7.3f s  (cpu %.3f s)  %zu sets, %zu redundant copies%s\n",
                tools[0].name.c_str(), seconds[0], cpu[0], groups.size(), copies,
                consistent ? "" : "  (MISMATCH between the program and the library)");
    std::printf("%-24s %7.3f s  (cpu %.3f s)  the same search in this process\n", "  in process",
                inProcess, inProcessCpu);
    auto key = [](const std::vector<bramwick::Duplicates::Group>& found) {
        std::set<std::vector<std::string>> sets;
        for (const auto& g : found) {
            std::vector<std::string> paths{g.keeper.path};
            for (const auto& c : g.copies)
                paths.push_back(c.path);
            sets.insert(paths);
        }
        return sets;
    };
    bool sameAsBefore = key(without) == key(groups);
    std::printf("%-24s %7.3f s  (cpu %.3f s)  without the first 4 KiB split, as before; sets %s\n",
                "  in process", withoutTime, withoutCpu, sameAsBefore ? "agree" : "DIFFER");

    bool allAgree = consistent && sameAsBefore;
    for (std::size_t t = 1; t < tools.size(); ++t) {
        const Run& last = runs[t].back();
        std::set<Set> sets = tools[t].name == "jdupes" ? normalised(jdupesSets(last.output), roots)
                                                       : normalised(rmlintSets(json), roots);
        std::size_t missing = 0, extra = 0;
        for (const auto& one : reference)
            missing += sets.count(one) ? 0 : 1;
        for (const auto& one : sets)
            extra += reference.count(one) ? 0 : 1;
        bool agree = missing == 0 && extra == 0 && last.status == 0;
        allAgree = allAgree && agree;
        std::printf("%-24s %7.3f s  (cpu %.3f s)  ratio %.2fx bramwick's time, %.1fx its cpu; "
                    "sets %s",
                    tools[t].name.c_str(), seconds[t], cpu[t], seconds[t] / seconds[0],
                    cpu[t] / cpu[0], agree ? "agree" : "DIFFER");
        if (!agree)
            std::printf(" (%zu only bramwick's, %zu only %s's)", missing, extra,
                        tools[t].name.c_str());
        std::printf("\n");
    }
    std::printf("results %s\n", allAgree ? "agree" : "DIFFER");
    return allAgree;
}

} // namespace

int main(int argc, char** argv) {
    const char* homeVariable = std::getenv("BRAMWICK_HOME");
    if (argc < 2 || !homeVariable || !*homeVariable) {
        std::fprintf(stderr, "usage: BRAMWICK_HOME=<folder> bench_duplicates <bramwick program>\n");
        return 2;
    }
    std::string bramwick = fs::absolute(argv[1]);
    std::string base = homeVariable;
    std::string mixed = base + "/mixed", same = base + "/same-size";
    fs::create_directories(mixed);
    fs::create_directories(same);

    auto files = plan(mixed);
    if (!fs::exists(mixed + "/.generated")) {
        std::printf("generating %zu files under %s ...\n", files.size(), mixed.c_str());
        std::fflush(stdout);
        generate(mixed, files);
    }
    constexpr std::size_t sameSize = 10'000;
    if (!fs::exists(same + "/.generated")) {
        std::printf("generating %zu files of 1 MiB under %s ...\n", sameSize, same.c_str());
        std::fflush(stdout);
        bench::sameSizeFiles(same, sameSize);
    }
    bool agree = compareOn(mixed, bramwick, "mixed sets of copies, lookalikes and small files");
    agree = compareOn(same, bramwick, "10,000 files of exactly 1 MiB that differ") && agree;
    return agree ? 0 : 1;
}
